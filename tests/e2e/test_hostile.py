"""Names and files that someone else controls: control bytes, links, FIFOs,
a file that appears between the check and the open, and runs side by side."""
import os
import socket
import subprocess
import tempfile
import threading

from tests.e2e.helpers import BIN, ENV, FAILED, TempDirTest, kib, random_file, read, write
from tests.messages import DONE

STOPPED = "ファイルの分割を中止しました。"
JOIN_STOPPED = "ファイルの結合を中止しました。"
BATCH_STOPPED = "バッチファイル作成を中止しました。"
NOT_FOUND = "指定されたファイルが見つかりません。"


def opening(name):
    return f"ファイル '{name}' のオープンに失敗しました。"


def batch_opening(name):
    return f"バッチファイル '{name}' のオープンに失敗しました。"


def run_with_shim(test, args, **race):
    """(exit status, output) of divro run with system_shim.c preloaded, armed by the race variables.
    The build makes the shim beside the program's tests; a program built elsewhere gets one here."""
    shim = os.path.join(os.path.dirname(BIN), "tests", "libdivro_system_shim.so")
    if not os.path.exists(shim):
        shim = test.path("shim.so")
        source = os.path.join(os.path.dirname(__file__), "system_shim.c")
        subprocess.run(["cc", "-shared", "-fPIC", "-o", shim, source, "-ldl"], check=True)
    # The shim comes before the sanitizer's runtime in the library order.
    env = dict(ENV, LD_PRELOAD=shim, **race,
               ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0")
    p = subprocess.run([BIN, *args], cwd=test.dir, env=env, stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=60)
    return p.returncode, p.stdout.decode()


# A name the operation writes, its arguments, and the message of a stop at
# its overwrite question; the join writes into out.
ASKED_NAMES = [("f.bin.002", ["f.bin", "/1"], STOPPED),
               ("f.bin", ["f.bin.001", "out"], JOIN_STOPPED),
               ("f.cpy.bat", ["f.bin.001", "/C"], BATCH_STOPPED)]


class HostileNamesTest(TempDirTest):
    def test_a_name_with_a_letter_and_a_colon_stays_a_name(self):
        # c:y.bin.001 in the current folder is ./c:y.bin.001: its pieces and
        # output never become y.bin on drive C:.
        write(self.path("c:y.bin.001"), b"AAA")
        write(self.path("c:y.bin.002"), b"BBB")
        write(self.path("y.bin"), b"precious")
        rc, out = self.run_divro("./c:y.bin.001", "/Y")
        self.assertEqual(rc, 0, out)
        self.assertEqual((read(self.path("c:y.bin")), read(self.path("y.bin"))), (b"AAABBB", b"precious"))
        random_file(self.path("c:x.bin"), 3000)
        rc, out = self.run_divro("./c:x.bin", "/1", "/C")
        self.assertEqual(rc, 0, out)
        # Windows holds no such name: no batch file, and none named x.cpy.bat.
        self.assertIn("バッチファイル 'c:x.cpy.bat' のオープンに失敗しました。", out)
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if "x" in n),
                         ["c:x.bin", "c:x.bin.001", "c:x.bin.002", "c:x.bin.003"])

    def test_batch_files_never_carry_a_control_byte(self):
        # The command processor ends a line at LF: the rest would run as a
        # command of its own. The division itself stands.
        for name in ["x\nmkdir INJECTED\n.bin", "r\rmkdir R.bin", "e\x1b[2J.bin", "d\x7f.bin"]:
            with self.subTest(name=name):
                data = random_file(self.path(name), 3000)
                rc, out = self.run_divro(name, "/1", "/C", "/S")
                self.assertEqual(rc, 0, out)
                stem = name[:name.rindex(".")]
                for batch in (stem + ".cpy.bat", stem + ".dvr.bat"):
                    self.assertIn(batch_opening(batch), out)
                    self.assertFalse(os.path.lexists(self.path(batch)))
                self.assertEqual(b"".join(read(self.path(f"{name}.00{n}")) for n in (1, 2, 3)), data)

    def test_batch_name_that_is_a_link_to_a_file_of_the_run(self):
        # (batch name, what it links to, arguments): piece 1 in batch mode,
        # the source while dividing, the other batch file.
        rows = [("m.cpy.bat", "m.bin.001", ["m.bin.001", "/C", "/Y"]),
                ("m.cpy.bat", "m.bin.002", ["m.bin.001", "/C", "/Y"]),
                ("m.dvr.bat", "m.bin", ["m.bin", "/1", "/S", "/Y"]),
                ("m.dvr.bat", "m.cpy.bat", ["m.bin", "/1", "/C", "/S", "/Y"])]
        for batch, target, args in rows:
            for link in (os.link, lambda t, b: os.symlink(os.path.basename(t), b)):
                with self.subTest(batch=batch, target=target, link=link):
                    source = random_file(self.path("m.bin"), 2500)
                    for n in (1, 2, 3):
                        write(self.path(f"m.bin.00{n}"), source[1024 * (n - 1):1024 * n])
                    if target == "m.cpy.bat":
                        write(self.path(target), b"old batch")
                    before = {n: read(self.path(n)) for n in os.listdir(self.dir)}
                    link(self.path(target), self.path(batch))
                    rc, out = self.run_divro(*args)
                    self.assertIn(batch_opening(batch), out)
                    for name, data in before.items():
                        if name != "m.cpy.bat" or batch == "m.dvr.bat":
                            self.assertEqual(read(self.path(name)), data, name)
                    for name in os.listdir(self.dir):
                        os.remove(self.path(name))

    def test_file_that_appears_after_the_check_gets_the_question(self):
        random_file(self.path("f.bin"), 3000)
        # No terminal: the question counts as S and the file stays as the
        # other program left it.
        os.mkdir(self.path("out"))
        for name, args, message in ASKED_NAMES:
            with self.subTest(name=name):
                if name != "f.bin.002":
                    self.assertEqual(self.run_divro("f.bin", "/1", "/Y")[0], 0)
                _, out = run_with_shim(self, args, DIVRO_RACE_NAME=name)
                self.assertIn(message, out)
                where = self.path("out", name) if args[-1] == "out" else self.path(name)
                self.assertEqual(read(where), b"precious")
                os.remove(where)

    def test_join_over_an_output_where_the_system_differs(self):
        # NFS locks a file alone only when it is open to write: the output
        # held for the join is opened so there. A read that a signal cuts
        # short is made again.
        data = random_file(self.path("j.bin"), 9000)
        self.assertEqual(self.run_divro("j.bin", "/4", "/H")[0], 0)
        for system in ["DIVRO_NFS_LOCKS", "DIVRO_READ_EINTR"]:
            with self.subTest(system=system):
                write(self.path("j.bin"), b"old")
                rc, out = run_with_shim(self, ["j.bin.001", "/Y", "/H"], **{system: "1"})
                self.assertEqual((rc, read(self.path("j.bin")) == data), (0, True), out)

    def test_piece_that_becomes_a_fifo_after_the_count_is_refused(self):
        write(self.path("j.bin.001"), b"abc")
        write(self.path("j.bin.002"), b"def")
        os.mkdir(self.path("out"))
        rc, out = run_with_shim(self, ["j.bin.001", "out"], DIVRO_RACE_FIFO="j.bin.002")
        self.assertEqual(rc, FAILED)
        self.assertRegex(out, "分割ファイル '[^']*/j.bin.002' のオープンに失敗しました。")

    def test_each_folder_is_resolved_once_a_run(self):
        # A folder renamed or replaced during a run cannot split it: each is
        # opened once, and the current folder read once, whatever the run does.
        write(self.path("f.bin"), b"x" * 5000)
        os.mkdir(self.path("out"))
        rows = [(["f.bin", "/1", "/C", "/S", "/H", "/Y"], 1),
                (["f.bin", "/2", "out", "/C", "/S", "/Y"], 1),
                (["f.bin.001", "/C", "/S", "/Y"], 1),
                (["f.bin.001", "/V"], 1),
                (["f.bin.001", "out", "/Y"], 2)]
        for args, folders in rows:
            with self.subTest(args=args):
                rc, out = run_with_shim(self, args, DIVRO_COUNT_CALLS=self.path("calls"))
                self.assertEqual(rc, 0, out)
                self.assertEqual(read(self.path("calls")).split(), [b"1", str(folders).encode()])

    def test_count_past_the_folder_listing_still_judges_each_odd_name(self):
        # Past eight pieces the count lists the folder; a link or a FIFO among
        # the names is judged by name there too: no file, which refuses the
        # join by its name.
        pieces = [write(self.path(f"c.bin.{n:03}"), bytes([n]) * 3) for n in range(1, 13)]
        os.mkdir(self.path("dir"))
        os.mkdir(self.path("out"))
        tenth = self.path("c.bin.010")
        rows = [("link to a folder", lambda p: os.symlink("dir", p), 0),
                ("FIFO", os.mkfifo, 0),
                ("link to a piece", lambda p: os.symlink("c.bin.001", p), 12)]
        for kind, make, count in rows:
            with self.subTest(kind=kind):
                os.remove(tenth)
                make(tenth)
                # A listing without entry types judges each name as well.
                for system in [{}, {"DIVRO_UNTYPED": "1"}]:
                    rc, out = run_with_shim(self, ["c.bin.001", "out", "/Y"], **system)
                    self.assertEqual(rc, 0 if count else FAILED, out)
                    if not count:
                        self.assertIn(f"分割ファイル '{tenth}' はファイルではありません。", out)
                        self.assertFalse(os.path.exists(self.path("out", "c.bin")))
                    else:
                        joined = b"".join(read(self.path(f"c.bin.{n:03}")) for n in range(1, count + 1))
                        self.assertEqual(read(self.path("out", "c.bin")), joined)
                os.remove(tenth)
                write(tenth, pieces[9])

    def test_links_at_names_to_write_are_replaced_never_written_through(self):
        # A dangling link: without a terminal the question counts as S and
        # the link stays; with /Y the link itself becomes the new file and
        # nothing appears where it pointed.
        random_file(self.path("f.bin"), 3000)
        self.assertEqual(self.run_divro("f.bin", "/1")[0], 0)
        os.mkdir(self.path("out"))
        for name, args, message in ASKED_NAMES:
            with self.subTest(name=name):
                where = self.path("out", name) if args[-1] == "out" else self.path(name)
                pointed = self.path("elsewhere")
                if os.path.exists(where):
                    os.rename(where, self.path("kept"))
                os.symlink(pointed, where)
                rc, out = self.run_divro(*args)
                self.assertEqual(rc, FAILED)
                self.assertIn(message, out)
                self.assertTrue(os.path.islink(where))
                rc, out = self.run_divro(*args, "/Y")
                self.assertEqual(rc, 0, out)
                self.assertFalse(os.path.islink(where))
                self.assertFalse(os.path.lexists(pointed))
                if os.path.exists(self.path("kept")):
                    self.assertEqual(read(where), read(self.path("kept")))
                    os.remove(self.path("kept"))

    def test_pieces_hard_linked_to_each_other(self):
        # The older piece 1 goes before anything is written: piece 2 is then
        # a file of its own, written over, and no piece holds another's bytes.
        data = random_file(self.path("f.bin"), 3000)
        write(self.path("f.bin.001"), b"old")
        os.link(self.path("f.bin.001"), self.path("f.bin.002"))
        rc, out = self.run_divro("f.bin", "/1", "/Y")
        self.assertEqual(rc, 0, out)
        self.assertEqual([read(self.path(f"f.bin.00{n}")) for n in (1, 2, 3)],
                         [data[:1024], data[1024:2048], data[2048:]])

    def test_special_files_are_refused_at_once(self):
        random_file(self.path("f.bin"), 3000)
        os.mkfifo(self.path("fifo.bin"))
        write(self.path("f.bin.001"), b"old")
        os.mkfifo(self.path("f.bin.002"))
        listener = socket.socket(socket.AF_UNIX)
        self.addCleanup(listener.close)
        listener.bind(self.path("sock.bin"))
        write(self.path("p.bin.001"), b"abc")
        os.mkfifo(self.path("p.bin.002"))
        os.mkfifo(self.path("p.bin"))
        rows = [(["fifo.bin", "/1"], NOT_FOUND), (["sock.bin", "/1"], NOT_FOUND),
                (["f.bin", "/1", "/Y"], opening("f.bin.002")),
                (["p.bin.001", "/Y"], f"分割ファイル '{self.path('p.bin.002')}' はファイルではありません。")]
        for args, message in rows:
            with self.subTest(args=args):
                rc, out = self.run_divro(*args)
                self.assertEqual(rc, FAILED)
                self.assertIn(message, out)
        os.remove(self.path("p.bin.002"))
        write(self.path("p.bin.002"), b"def")
        rc, out = self.run_divro("p.bin.001", "/Y")
        self.assertEqual((rc, opening("p.bin") in out), (FAILED, True))
        self.assertTrue(os.path.exists(self.path("p.bin")))

    def test_control_bytes_in_names_show_as_question_marks_on_a_terminal(self):
        # In the name, and in the folder that the pieces go to.
        for name, args, shown in [("t\x1b[2J\x07.bin", [], "t?[2J?.bin.003"),
                                  ("t.bin", ["d\x1b[2J\x07"], "d?[2J?/t.bin.003")]:
            with self.subTest(name=name, args=args):
                for folder in args:
                    os.mkdir(self.path(folder))
                random_file(self.path(name), 2500)
                p = self.start_pty(name, "/1", *args)
                rc, out, _ = p.finish()
                self.assertEqual(rc, 0, out)
                self.assertIn(shown, out)
                self.assertNotIn("\x1b", out)
                self.assertNotIn("\x07", out)
                rc, out = self.run_divro(name, "/1", *args, "/Y")  # to a pipe: the exact name
                self.assertEqual(rc, 0)
                self.assertIn("/".join(args + [name]) + ".003", out)
        # A failure's line on standard error, when that is the terminal too:
        # DEL as ?, its line break kept, the reason in the run's language.
        os.mkfifo(self.path("p\x7f.bin"))
        rc, out, _ = self.start_pty("p\x7f.bin", "/1", errors_shown=True).finish()
        self.assertEqual(rc, FAILED)
        self.assertIn("divro: p?.bin: 指定されたファイルが見つかりません。\n", out)

class ConcurrentRunsTest(TempDirTest):
    def test_a_piece_being_written_is_locked_against_other_programs(self):
        random_file(self.path("f.bin"), 3000)
        # Piece 1 is written under its temporary name.
        rc, out = run_with_shim(self, ["f.bin", "/1"], DIVRO_LOCK_PROBE=self.path("f.bin.001.unfinished-1"),
                                DIVRO_LOCK_SEEN=self.path("seen"))
        self.assertEqual(rc, 0, out)
        self.assertEqual(read(self.path("seen")), b"held")

    def test_two_divisions_into_one_folder_never_mix_a_piece(self):
        # Pieces of two chunks each, so that unlocked writers would interleave.
        size = 6 << 20
        sources = {}
        for side in ("a", "b"):
            os.mkdir(self.path(side))
            sources[side] = random_file(self.path(side, "x.bin"), 2 * size)
        os.mkdir(self.path("out"))
        for attempt in range(50):
            results = {}

            def divide(side):
                results[side] = self.run_divro(os.path.join(side, "x.bin"), kib(size), "out", "/Y")

            threads = [threading.Thread(target=divide, args=(side,)) for side in sources]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            for side, (rc, out) in results.items():
                self.assertIn(rc, (0, FAILED), out)
                if rc == FAILED:
                    self.assertIn("のオープンに失敗しました。", out)
            for n in (1, 2):
                piece = read(self.path("out", f"x.bin.00{n}"))
                slices = [data[size * (n - 1):size * n] for data in sources.values()]
                self.assertIn(piece, slices, f"attempt {attempt}, piece {n}")
