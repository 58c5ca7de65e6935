"""divro.exe under Wine with code page 932: double-byte names, the command
processor running the join batch files, console questions through tmux,
messages and exit codes."""
import os
import random
import shlex
import shutil
import subprocess
import tempfile
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from tests import scenarios  # noqa: E402
from tests.e2e.helpers import read, write  # noqa: E402  (one pair of file helpers for both)

WINE = os.environ.get("DIVRO_WINE", "wine64")
EXE = os.path.abspath(os.environ.get("DIVRO_EXE", os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build-win", "divro.exe")))
# The native build, for batch files written on POSIX and run by Wine's cmd.
NATIVE = os.path.abspath(os.environ.get("DIVRO_BIN", os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build-test", "divro")))
ENV = dict(os.environ, LC_ALL="ja_JP.UTF-8", WINEDEBUG="-all")
TMUX = ["tmux", "-L", "divro-wine-%d" % os.getpid()]
FAILED = 255  # exit status -1
RNG = random.Random(932)


def cp(*lines):
    """Console output of whole lines, as the program writes it to a file."""
    return b"".join(line.encode("cp932") + b"\r\n" for line in lines)




HINT = ["ヘルプを表示するには 'divro' とタイプするか、", "/? オプションを使用してください。"]
# The usage screen, as the unit tests hold it.
USAGE = read(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden",
                          "usage.txt")).decode("cp932").split("\n")[:-1]
PROMPT_END = "中止 (S)]"


def tearDownModule():
    subprocess.run(TMUX + ["kill-server"], capture_output=True, timeout=10)


class WineTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="divro-wine-")
        self.sessions = []

    def tearDown(self):
        for name in self.sessions:
            subprocess.run(TMUX + ["kill-session", "-t", name], capture_output=True, timeout=10)
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def source(self, name, size):
        return write(self.path(name), RNG.randbytes(size))

    def run_wine(self, args, cwd=None, env=ENV, timeout=60):
        """Runs a Windows program without a console; returns (status, output bytes)."""
        p = subprocess.run([WINE, *args], cwd=cwd or self.dir, env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        return p.returncode, p.stdout

    def divro(self, *args, cwd=None):
        # The program exits with 0 or 255 only; 1 with no output is Wine
        # failing to start it, seen once in a loaded run: one more try.
        status, out = self.run_wine([EXE, *args], cwd)
        if status == 1 and not out:
            status, out = self.run_wine([EXE, *args], cwd)
        return status, out

    def assert_pieces(self, folder, name, data, size):
        chunks = [data[i:i + size] for i in range(0, len(data), size)]
        for n, chunk in enumerate(chunks, 1):
            self.assertEqual(read(os.path.join(folder, "%s.%03d" % (name, n))), chunk)
        self.assertFalse(os.path.exists(os.path.join(folder, "%s.%03d" % (name, len(chunks) + 1))))

    # Console sessions: keys reach Wine's console only through a terminal.
    def start(self, *args, redirect=""):
        name = "s%d" % len(self.sessions)
        self.sessions.append(name)
        command = "cd %s && %s %s %s; echo $? > %s.rc; sleep 60" % (
            shlex.quote(self.dir), shlex.quote(WINE), " ".join(map(shlex.quote, [EXE, *args])), redirect,
            name)
        subprocess.run(TMUX + ["new-session", "-d", "-s", name, "-x", "200", "-y", "50", command],
                       env=ENV, check=True, timeout=10)
        return name

    def screen(self, name):
        return subprocess.run(TMUX + ["capture-pane", "-p", "-t", name], capture_output=True,
                              timeout=10).stdout.decode("utf-8", "replace")

    def poll(self, probe, what, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            result = probe()
            if result is not None:
                return result
            time.sleep(0.1)
        self.fail(what)

    def wait_screen(self, name, text):
        shown = self.poll(lambda: (lambda s: s if text in s else None)(self.screen(name)),
                          "%r not shown" % text)
        # Wine's terminal echoes a key that comes before the program opens the
        # console input, so keys wait for the question to settle.
        time.sleep(0.5)
        return shown

    def keys(self, name, *keys):
        for key in keys:
            subprocess.run(TMUX + ["send-keys", "-t", name, key], check=True, timeout=10)
            time.sleep(0.1)

    def finish(self, name):
        """Waits for the program's exit status; returns it and the final screen."""
        rc = self.path(name + ".rc")
        status = self.poll(lambda: int(read(rc)) if os.path.exists(rc) and read(rc).strip() else None,
                           "no exit")
        return status, self.screen(name)

    def assert_waiting(self, name):
        """The question still waits: the screen ends with it, unanswered and once."""
        time.sleep(0.5)
        shown = self.screen(name).rstrip()
        self.assertTrue(shown.endswith(("(S)]", "(N)]")), shown)
        self.assertEqual(shown.count("(S)]") + shown.count("(N)]"), 1, shown)


class DoubleByteNamesTest(WineTest):
    def test_divide_and_join_with_second_byte_backslash(self):
        # 表 is 0x95 0x5C, ソ 0x83 0x5C, 能 0x94 0x5C: a byte-wise scan would
        # see a separator inside each of them.
        for name, dest, back in [("ソ.bin", "out表", "j能"), ("表示.dat", "表", "ソ能")]:
            with self.subTest(name=name):
                data = self.source(name, 5000)
                status, out = self.divro(name, "/2", dest + "\\", "/C", "/S")
                self.assertEqual(status, FAILED)  # no console: the folder question answers N
                self.assertEqual(out, cp("指定された保存ディレクトリ '%s\\' は存在しません。" % dest,
                                         "ディレクトリを新規作成しますか？ [はい (Y), いいえ (N)]",
                                         "処理を中止しました。"))
                self.assertFalse(os.path.exists(self.path(dest)))
                os.mkdir(self.path(dest))
                status, out = self.divro(name, "/2", dest + "\\", "/C", "/S")
                self.assertEqual(status, 0, out.decode("cp932"))
                self.assert_pieces(self.path(dest), name, data, 2048)
                base = name.rsplit(".", 1)[0]
                self.assertTrue(out.endswith(cp(
                    "ファイルの分割が終了しました。", "%s\\%s.cpy.bat" % (dest, base), "バッチファイルを作成しました。",
                    "%s\\%s.dvr.bat" % (dest, base), "バッチファイルを作成しました。")), out.decode("cp932"))
                os.mkdir(self.path(back))
                status, out = self.divro("%s\\%s.002" % (dest, name), back + "\\")
                self.assertEqual(status, 0, out.decode("cp932"))
                self.assertTrue(out.endswith(cp("ファイルの結合が終了しました。")))
                self.assertEqual(read(self.path(back, name)), data)

    def test_join_pieces_made_elsewhere(self):
        # Unequal pieces, a later one larger than the first, and 0x5C second
        # bytes in the name and in its extension; enough of them that the
        # count lists the folder, where a folder at a piece's name is seen.
        parts = [RNG.randbytes(n) for n in (100, 3000, 7, 1, 2, 3, 4, 5, 6, 9)]
        for n, part in enumerate(parts, 1):
            write(self.path("能ソ.表.%03d" % n), part)
        os.mkdir(self.path("能ソ.表.011"))
        write(self.path("能ソ.表.012"), b"after a folder")
        os.mkdir(self.path("out"))
        # A folder at a piece's name is no piece: nothing is joined.
        status, out = self.divro("能ソ.表.001", "out")
        self.assertEqual(status, FAILED, out.decode("cp932"))
        self.assertIn("\\能ソ.表.011' はファイルではありません。\r\n".encode("cp932"), out)
        self.assertFalse(os.path.exists(self.path("out", "能ソ.表")))
        os.rmdir(self.path("能ソ.表.011"))
        os.remove(self.path("能ソ.表.012"))
        # Unequal pieces are asked about: without a console nobody agreed.
        status, out = self.divro("能ソ.表.001", "out")
        self.assertEqual(status, FAILED, out.decode("cp932"))
        self.assertIn(cp("このまま結合しますか？ [はい (Y), いいえ (N)]"), out)
        self.assertFalse(os.path.exists(self.path("out", "能ソ.表")))
        session = self.start("能ソ.表.001", "out")
        self.wait_screen(session, "いいえ (N)]")
        self.keys(session, "y")
        status, shown = self.finish(session)
        self.assertEqual(status, 0, shown)
        self.assertEqual(read(self.path("out", "能ソ.表")), b"".join(parts))

    def test_checksum_file_from_cng(self):
        # The digests come from CNG, the name from code page 932 into UTF-8;
        # a join checks them, and refuses a flipped bit with the output kept.
        import hashlib
        data = self.source("表示.dat", 5000)
        status, out = self.divro("表示.dat", "/2", "/H")
        self.assertEqual(status, 0, out.decode("cp932"))
        parts = [data[i:i + 2048] for i in range(0, len(data), 2048)]
        names = ["表示.dat.%03d" % n for n in (1, 2, 3)] + ["表示.dat"]
        lines = "".join("%s  %s\n" % (hashlib.sha256(b).hexdigest(), name)
                        for b, name in zip(parts + [data], names))
        self.assertEqual(read(self.path("表示.dat.sha256")), lines.encode("utf-8"))
        os.mkdir(self.path("out"))
        for old in [None, b"old"]:  # the checked file takes the place of an older one
            if old:
                write(self.path("out", "表示.dat"), old)
            status, out = self.divro("表示.dat.001", "out", "/H", "/Y")
            self.assertEqual(status, 0, out.decode("cp932"))
            self.assertEqual(read(self.path("out", "表示.dat")), data)
        write(self.path("表示.dat.002"), bytes([parts[1][0] ^ 1]) + parts[1][1:])
        status, out = self.divro("表示.dat.001", "out", "/Y")
        self.assertEqual(status, FAILED, out.decode("cp932"))
        self.assertIn("表示.dat.002' のチェックサムが一致しません。\r\n".encode("cp932"), out)
        self.assertEqual(read(self.path("out", "表示.dat")), data)
        self.assertEqual(os.listdir(self.path("out")), ["表示.dat"])

    def test_output_that_is_a_piece_under_another_name(self):
        # A hard link made on the host: the file identity, not the name, tells.
        parts = [write(self.path("m.avi.%03d" % n), RNG.randbytes(size))
                 for n, size in enumerate(scenarios.OUTPUT_IS_A_PIECE_SIZES, 1)]
        for how, piece in scenarios.windows_rows(scenarios.OUTPUT_IS_A_PIECE):
            with self.subTest(link=how, piece=piece):
                self.assertEqual(how, "hard")  # the links Windows has of its own
                os.link(self.path("m.avi.%03d" % piece), self.path("m.avi"))
                status, out = self.divro("m.avi.001", "/Y")
                self.assertEqual(status, FAILED, out.decode("cp932"))
                self.assertTrue(out.startswith(cp("ファイル 'm.avi' のオープンに失敗しました。")))
                self.assertEqual([read(self.path("m.avi.%03d" % n)) for n in (1, 2, 3)], parts)
                os.remove(self.path("m.avi"))

    def test_older_larger_set_is_removed(self):
        # With /Y the pieces an earlier division left above the new ones go
        # (a name in another case too: the file system does not tell them
        # apart), and one line names the first and the last.
        self.source("表.bin", 5000)
        self.assertEqual(self.divro("表.bin", "/1")[0], 0)
        os.rename(self.path("表.bin.005"), self.path("表.BIN.005"))
        data = self.source("表.bin", 2000)
        status, out = self.divro("表.bin", "/1", "/Y")
        self.assertEqual(status, 0, out.decode("cp932"))
        self.assertIn(cp("古い分割ファイル '表.bin.003' から '表.bin.005' までを削除しました。"), out)
        self.assertEqual(sorted(os.listdir(self.dir)), ["表.bin", "表.bin.001", "表.bin.002"])
        self.assert_pieces(self.dir, "表.bin", data, 1024)

    def test_fractional_size_in_a_decimal_comma_locale(self):
        # Wine takes the code pages from LC_ALL: a German one writes 1,5.
        # Both it and the point are the decimal separator there.
        data = RNG.randbytes(3000)
        write(self.path("f.bin"), data)
        for (option,) in scenarios.windows_rows(scenarios.DECIMAL_COMMA_SIZES):
            status, out = self.run_wine([EXE, "f.bin", option, "/Y"], env=dict(ENV, LC_ALL="de_DE.UTF-8"))
            self.assertEqual(status, 0, out)
            self.assert_pieces(self.dir, "f.bin", data, scenarios.DECIMAL_COMMA_PIECE)

    @unittest.skipUnless(os.access("/", os.W_OK), "the root folder is not writable")
    def test_drive_relative_source_and_destination(self):
        # Z:ソ is the current folder's on drive Z:; the destination Z: is the
        # drive's root, Wine's / (Z:ソ.001 would be no valid piece name).
        data = self.source("ソ", 3000)
        made = ["/ソ.%03d" % n for n in (1, 2, 3)]
        self.assertEqual([p for p in made if os.path.exists(p)], [], "left in / by another run")
        self.addCleanup(lambda: [os.remove(p) for p in made if os.path.exists(p)])
        status, out = self.divro("Z:ソ", "/1", "Z:")
        self.assertEqual(status, 0, out.decode("cp932"))
        self.assert_pieces("/", "ソ", data, 1024)
        self.assertFalse(os.path.exists(self.path("ソ.001")))

    def test_bare_drive_destination_is_its_root(self):
        # A drive letter mapped to the folder out for this test.
        devices = os.path.join(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")),
                               "dosdevices")
        if not os.path.isdir(devices):
            self.divro()  # the first run makes the prefix
        # A letter no other run maps at this moment: runs side by side each
        # take their own.
        letter = next(c for c in "qponmlkjihgfe" if not os.path.lexists(os.path.join(devices, c + ":")))
        out, link = self.path("out"), os.path.join(devices, letter + ":")
        os.mkdir(out)
        os.symlink(out, link)
        self.addCleanup(lambda: os.path.lexists(link) and os.remove(link))
        data = self.source("a.txt", 8)
        drive = letter.upper() + ":"
        status, shown = self.divro("a.txt", "/0.003", drive)
        self.assertEqual(status, 0, shown.decode("cp932"))
        self.assert_pieces(out, "a.txt", data, 3)
        status, shown = self.divro(drive + "\\a.txt.001", drive)
        self.assertEqual(status, 0, shown.decode("cp932"))
        self.assertEqual(read(os.path.join(out, "a.txt")), data)
        status, shown = self.divro(drive + "\\a.txt.001", "/C", drive)
        self.assertEqual(status, 0, shown.decode("cp932"))
        self.assertTrue(os.path.isfile(os.path.join(out, "a.cpy.bat")))


class CommandProcessorTest(WineTest):
    def test_batch_files_join_under_cmd(self):
        # All but the first break a batch line when written bare; the last
        # would also run a command of its own (md), leaving a stray folder.
        names = ["plain.bin", "my movie.avi", "a&b.dat", "50%.dat", "ソ^(1)=!.dat", "c++.txt",
                 "x&md pwned.dat"]
        env = dict(ENV, WINEPATH="Z:" + os.path.dirname(EXE).replace("/", "\\"))
        for i, name in enumerate(names):
            with self.subTest(name=name):
                data = self.source(name, 2500)
                folder = self.path("p%d" % i)
                os.mkdir(folder)
                status, out = self.divro(name, "/1", "p%d" % i, "/C", "/S")
                self.assertEqual(status, 0, out.decode("cp932"))
                base = name.rsplit(".", 1)[0]
                expected = {"%s.%03d" % (name, n) for n in (1, 2, 3)} | {base + ".cpy.bat",
                                                                         base + ".dvr.bat", name, "go.bat"}
                for batch, echo in [(".cpy.bat", "結合が完了しました。何かキーを押すと終了します。"),
                                    (".dvr.bat", "処理が終了しました。何かキーを押すと終了します。")]:
                    # cmd /c strips the quotes of a name holding & and a blank, so a
                    # launcher names the batch file, quoted and with % doubled.
                    write(os.path.join(folder, "go.bat"),
                          ('@"%s%s"\r\n' % (base.replace("%", "%%"), batch)).encode("cp932"))
                    status, out = self.run_wine(["cmd", "/c", "go.bat"], folder, env)
                    self.assertEqual(status, 0)
                    self.assertIn(cp(echo), out)
                    self.assertEqual(read(os.path.join(folder, name)), data, batch)
                    self.assertEqual(set(os.listdir(folder)), expected)
                    os.remove(os.path.join(folder, name))
        self.assertEqual(set(os.listdir(self.dir)), set(names) | {"p%d" % i for i in range(len(names))})

    def test_file_past_2_gib_joins_by_program_and_by_copy(self):
        # Offsets past the signed 32-bit range: a sparse source with data
        # across each piece boundary, in pieces of 1 GiB; the size check of
        # the .cpy.bat compares text where IF's numbers end.
        gib = 1 << 30
        size, regions = 2 * gib + 3 * 1048576 + 5, [gib - 500, 2 * gib - 500, 2 * gib + 1048576]
        if shutil.disk_usage(self.dir).free < 5 * gib:
            self.skipTest("a file past 2 GiB needs 5 GiB free in " + self.dir)
        with open(self.path("big.bin"), "wb") as f:
            f.truncate(size)
            for at in regions:
                f.seek(at)
                f.write(RNG.randbytes(1000))

        def regions_of(path):
            with open(path, "rb") as f:
                found = [os.fstat(f.fileno()).st_size]
                for at in regions:
                    f.seek(at)
                    found.append(f.read(1000))
                return found

        expected = regions_of(self.path("big.bin"))
        status, out = self.run_wine([EXE, "big.bin", "/1G", "/C"], timeout=600)
        self.assertEqual(status, 0, out.decode("cp932"))
        self.assertEqual(os.path.getsize(self.path("big.bin.003")), size - 2 * gib)
        os.rename(self.path("big.bin"), self.path("big.orig"))
        os.mkdir(self.path("out"))
        status, out = self.run_wine([EXE, "big.bin.001", "out"], timeout=600)
        self.assertEqual(status, 0, out.decode("cp932"))
        self.assertEqual(regions_of(self.path("out", "big.bin")), expected)
        os.remove(self.path("out", "big.bin"))
        status, out = self.run_wine(["cmd", "/c", "big.cpy.bat"], timeout=600)
        self.assertEqual(status, 0, out.decode("cp932"))
        self.assertIn(cp("結合が完了しました。何かキーを押すと終了します。"), out)
        self.assertEqual(regions_of(self.path("big.bin")), expected)

    def test_copy_batch_refuses_a_join_it_cannot_make(self):
        # A missing piece would give a short file; a folder at a piece's name
        # passes IF NOT EXIST, and COPY would splice in its files; COPY would
        # write into a folder at the output's name; a piece another program
        # holds fails its COPY line, and the next one clears ERRORLEVEL.
        missing = "分割ファイル *.%03d が見つかりません。結合を中止しました。"
        rows = [("missing", missing % 3), ("folder at a piece", missing % 2),
                ("folder at the output", "結合先と同じ名前のフォルダがあります。結合を中止しました。"),
                ("held", "結合したファイルのサイズが元のファイルと異なります。結合に失敗しました。")]
        self.source("m.bin", 4000)
        self.assertEqual(self.divro("m.bin", "/1", "/C")[0], 0)
        # Again, over its own batch file: that is no file of the run.
        first = read(self.path("m.cpy.bat"))
        status, out = self.divro("m.bin", "/1", "/C", "/Y")
        self.assertNotIn(cp("バッチファイル 'm.cpy.bat' のオープンに失敗しました。"), out)
        self.assertEqual((status, read(self.path("m.cpy.bat"))), (0, first))
        os.remove(self.path("m.bin"))
        pieces = {n: read(self.path("m.bin.%03d" % n)) for n in (1, 2, 3, 4)}
        for case, message in rows:
            with self.subTest(case):
                for name in (n for n in os.listdir(self.dir) if n.startswith("m.bin")):
                    (shutil.rmtree if os.path.isdir(self.path(name)) else os.remove)(self.path(name))
                for n, data in pieces.items():
                    write(self.path("m.bin.%03d" % n), data)
                if case == "missing":
                    os.remove(self.path("m.bin.003"))
                elif case == "folder at a piece":
                    os.remove(self.path("m.bin.002"))
                    os.makedirs(self.path("m.bin.002", "inside"))
                elif case == "folder at the output":
                    os.makedirs(self.path("m.bin"))
                    write(self.path("m.bin", "mine.txt"), b"mine")
                else:
                    # Another divro joins a set over m.bin.002, holding it
                    # alone while it waits at a question.
                    for n, size in enumerate((10, 5, 7), 1):
                        self.source("m.bin.002.%03d" % n, size)
                    session = self.start("m.bin.002.001", "/Y")
                    self.wait_screen(session, "いいえ (N)]")
                status, out = self.run_wine(["cmd", "/c", "m.cpy.bat"])
                if case == "held":
                    self.keys(session, "n")
                    self.finish(session)
                self.assertEqual(status, 1, out.decode("cp932", "replace"))
                self.assertIn(cp(message), out)
                self.assertNotIn("結合が完了しました".encode("cp932"), out)
                if case == "folder at the output":
                    self.assertEqual(os.listdir(self.path("m.bin")), ["mine.txt"])
                else:
                    self.assertEqual(os.path.isfile(self.path("m.bin")), case == "held")

    def test_exclamation_under_delayed_expansion(self):
        # With /v:on a ! is expanded even inside quotes: the COPY line would
        # become COPY /B "a.txt.002" "a.txt", over the pieces of another file.
        data = self.source("a!.txt", 2500)
        others = {name: write(self.path(name), name.encode()) for name in ("a.txt", "a.txt.002")}
        self.assertEqual(self.divro("a!.txt", "/1", "/C", "/S")[0], 0)
        os.remove(self.path("a!.txt"))
        # A copy under a plain name: /v:on would expand the ! of the name in the command line too.
        write(self.path("go.bat"), read(self.path("a!.cpy.bat")))
        status, out = self.run_wine(["cmd", "/v:on", "/c", "go.bat"])
        self.assertEqual(status, 0, out.decode("cp932", "replace"))
        self.assertEqual(read(self.path("a!.txt")), data)
        for name, kept in others.items():
            self.assertEqual(read(self.path(name)), kept, name)


    def test_check_without_joining(self):
        # /V: a sound set, then one with two bad pieces, each named.
        self.source("v.bin", 5000)
        status, out = self.divro("v.bin", "/1", "/H")
        self.assertEqual(status, 0)
        self.assertIn(cp("v.bin.sha256", "チェックサムファイルを作成しました。"), out)
        status, out = self.divro("/V", "v.bin.001")
        self.assertEqual(status, 0, out.decode("cp932"))
        self.assertTrue(out.endswith(cp("\\v.bin.sha256' と一致しました。")), out.decode("cp932"))
        self.assertIn(cp("分割ファイル 5 個がチェックサムファイル '")[:-2], out)
        for n in (2, 4):
            piece = self.path("v.bin.%03d" % n)
            write(piece, b"X" + read(piece)[1:])
        status, out = self.divro("/V", "v.bin.001")
        self.assertEqual(status, FAILED, out.decode("cp932"))
        for n in (2, 4):
            self.assertIn(cp("\\v.bin.%03d' のチェックサムが一致しません。" % n), out)
        self.assertTrue(out.endswith(cp("分割ファイルに問題があります。")))


class QuestionsTest(WineTest):
    def test_overwrite_while_dividing(self):
        self.source("表示.dat", 5000)
        self.assertEqual(self.divro("表示.dat", "/2")[0], 0)
        data = self.source("表示.dat", 5000)
        session = self.start("表示.dat", "/2")
        shown = self.wait_screen(session, PROMPT_END)
        self.assertIn("同名ファイル '表示.dat.001' を上書きしますか？\n[はい (Y), 以降全て上書き(A), 中止 (S)]", shown)
        self.keys(session, "n", "N", "Enter", "Escape", "Space", "5", "F1", "M-y", "M-a", "C-Up")
        self.assert_waiting(session)
        self.keys(session, "Y")
        shown = self.wait_screen(session, "'表示.dat.002'")
        self.assertIn(PROMPT_END + "Y\n", shown)
        self.keys(session, "a")
        status, shown = self.finish(session)
        self.assertEqual(status, 0, shown)
        self.assertIn(PROMPT_END + "a\n", shown)
        self.assertNotIn("表示.dat.003' を", shown)
        self.assert_pieces(self.dir, "表示.dat", data, 2048)

    def test_overwrite_answers_when_joining(self):
        for n, part in enumerate((b"first", b"second"), 1):
            write(self.path("ソ.txt.%03d" % n), part)
        for key, echo, status in [("y", "y", 0), ("A", "A", 0), ("S", "S", FAILED),
                                  ("s", "s", FAILED), ("DC", "S", FAILED)]:
            with self.subTest(key=key):
                write(self.path("ソ.txt"), b"old")
                session = self.start("ソ.txt.001")
                self.wait_screen(session, "同名ファイル 'ソ.txt' を上書きしますか？")
                self.keys(session, key)
                got, shown = self.finish(session)
                self.assertEqual(got, status, shown)
                self.assertIn(PROMPT_END + echo + "\n", shown)
                self.assertEqual(read(self.path("ソ.txt")), b"firstsecond" if status == 0 else b"old")
                self.assertEqual("ファイルの結合を中止しました。" in shown, status != 0)

    def test_redirected_input_never_waits(self):
        # Wine's console reads the redirected input, where no key can come:
        # the questions answer as without a console (N, S) at once.
        write(self.path("r.txt.001"), b"1")
        write(self.path("r.txt.002"), b"2")
        write(self.path("r.txt"), b"old")
        for args, end in [(["r.txt.001"], "ファイルの結合を中止しました。"),
                          (["r.txt.001", "新"], "処理を中止しました。")]:
            with self.subTest(args=args):
                got, shown = self.finish(self.start(*args, redirect="< /dev/null"))
                self.assertEqual(got, FAILED, shown)
                self.assertIn("]\n" + end, shown)
        self.assertEqual(read(self.path("r.txt")), b"old")
        self.assertFalse(os.path.exists(self.path("新")))

    def test_question_shown_on_the_console_when_output_is_a_file(self):
        write(self.path("q.001"), b"1")
        write(self.path("q.002"), b"2")
        ask = ["指定された保存ディレクトリ '新表\\' は存在しません。", "ディレクトリを新規作成しますか？ [はい (Y), いいえ (N)]"]
        session = self.start("q.001", "新表\\", redirect="> log.txt")
        self.assertIn("\n".join(ask), self.wait_screen(session, "(N)]"))
        self.keys(session, "Y")
        status, shown = self.finish(session)
        self.assertEqual(status, 0, shown)
        self.assertIn("\n".join(ask) + "Y\n", shown)
        self.assertNotIn("q.002", shown)
        pieces = "".join("Z:%s\\q.00%d\r" % (self.dir.replace("/", "\\"), n) for n in (1, 2))
        self.assertEqual(read(self.path("log.txt")), cp(ask[0], ask[1] + "Y") + pieces.encode() +
                         cp("", "ファイルの結合が終了しました。"))
        self.assertEqual(read(self.path("新表", "q")), b"12")

    def test_progress_reaches_a_file_before_a_question(self):
        # Whoever follows the log sees the pieces written so far while the
        # question waits on the console.
        data = self.source("f.bin", 3000)
        write(self.path("f.bin.002"), b"old")
        session = self.start("f.bin", "/1", redirect="> log.txt")
        self.wait_screen(session, "同名ファイル 'f.bin.002' を上書きしますか？")
        self.assertTrue(read(self.path("log.txt")).startswith(b"f.bin.001\r"))
        self.keys(session, "Y")
        status, shown = self.finish(session)
        self.assertEqual(status, 0, shown)
        self.assert_pieces(self.dir, "f.bin", data, 1024)

    def test_key_typed_before_the_question_answers_it(self):
        for n, part in enumerate((b"first", b"second"), 1):
            write(self.path("t.txt.%03d" % n), part)
        write(self.path("t.txt"), b"old")
        session = self.start("t.txt.001")
        self.keys(session, "A")  # sent before Wine has even started the program
        got, shown = self.finish(session)
        self.assertEqual(got, 0, shown)
        self.assertIn(PROMPT_END + "A\n", shown)
        self.assertEqual(read(self.path("t.txt")), b"firstsecond")

    def test_destination_folder_question(self):
        write(self.path("a.001"), b"1")
        write(self.path("a.002"), b"2")
        for ignored, key, status in scenarios.windows_rows(scenarios.DESTINATION_ANSWERS):
            with self.subTest(key=key):
                session = self.start("a.001", "新表\\")
                shown = self.wait_screen(session, "(N)]")
                self.assertIn("指定された保存ディレクトリ '新表\\' は存在しません。\nディレクトリを新規作成しますか？", shown)
                self.keys(session, *("Enter" if k == "\r" else k for k in ignored))
                self.assert_waiting(session)
                self.keys(session, key)
                got, shown = self.finish(session)
                self.assertEqual(got, status, shown)
                self.assertIn("(N)]" + key + "\n", shown)
                self.assertEqual("処理を中止しました。" in shown, status != 0)
                self.assertEqual(os.path.exists(self.path("新表", "a")), status == 0)


class MessagesTest(WineTest):
    def test_messages_and_exit_status(self):
        missing = cp("指定されたファイルが見つかりません。", "引数の処理中にエラーが起きました。", *HINT)
        cases = [
            ([], cp(*USAGE), 0),
            (["/?", "nothing", "/0"], cp(*USAGE), 0),
            (["nothing.bin", "/2"], missing, FAILED),
            (["表.bin"], missing, FAILED),
            (["/2"], cp("処理するファイルを指定してください。") + missing, FAILED),
            (["a"] * 7, cp("引数が正しくありません。", "ヘルプを表示するには、'divro' とタイプするか、", HINT[1]),
             FAILED),
        ]
        self.assertEqual(len(USAGE), 25)  # with the lines for /H and /V
        for args, expected, status in cases:
            with self.subTest(args=args):
                got, out = self.divro(*args)
                self.assertEqual((got, out), (status, expected), out.decode("cp932", "replace"))


class HostileNamesTest(WineTest):
    def test_batch_files_from_posix_run_only_the_join(self):
        # Made by the native build: a name holding a line feed gets no batch
        # file at all; one holding & and a command gets batch files that
        # cmd runs as the join and nothing else.
        for name, batches in [("x\nmd INJECTED\n.bin", False), ("x&md INJECTED.bin", True)]:
            with self.subTest(name=name):
                data = self.source(name, 2500)
                p = subprocess.run([NATIVE, name, "/1", "/C", "/S"], cwd=self.dir, capture_output=True,
                                   stdin=subprocess.DEVNULL, env=dict(ENV, LC_ALL="C.UTF-8"), timeout=60)
                self.assertEqual(p.returncode, 0, p.stdout)
                base = name.rsplit(".", 1)[0]
                made = sorted(n for n in os.listdir(self.dir) if n.endswith(".bat"))
                self.assertEqual(made, sorted([base + ".cpy.bat", base + ".dvr.bat"]) if batches else [])
                os.remove(self.path(name))
                for batch in made:
                    write(self.path("go.bat"), ('@"%s"\r\n' % batch).encode("cp932"))
                    env = dict(ENV, WINEPATH="Z:" + os.path.dirname(EXE).replace("/", "\\"))
                    self.assertEqual(self.run_wine(["cmd", "/c", "go.bat"], env=env)[0], 0)
                    self.assertEqual(read(self.path(name)), data, batch)
                    os.remove(self.path(name))
                self.assertFalse(os.path.exists(self.path("INJECTED")))
                for leftover in os.listdir(self.dir):
                    os.remove(self.path(leftover))

    def test_batch_name_linked_to_a_file_of_the_run_is_refused(self):
        # Host hard links: Wine shows them as plain files, the identity tells.
        for batch, target, args in [("m.cpy.bat", "m.bin.001", ["m.bin.001", "/C", "/Y"]),
                                    ("m.dvr.bat", "m.bin", ["m.bin", "/1", "/S", "/Y"])]:
            with self.subTest(batch=batch):
                data = self.source("m.bin", 2500)
                if target != "m.bin":
                    self.assertEqual(self.divro("m.bin", "/1", "/Y")[0], 0)
                kept = read(self.path(target))
                os.link(self.path(target), self.path(batch))
                status, out = self.divro(*args)
                self.assertIn(cp("バッチファイル '%s' のオープンに失敗しました。" % batch), out)
                self.assertEqual(read(self.path(target)), kept)
                self.assertEqual(read(self.path("m.bin")), data)
                for name in os.listdir(self.dir):
                    os.remove(self.path(name))

    def test_composed_name_the_path_rules_refuse_is_never_opened(self):
        # Windows opens x. and "x " as x: the join would empty x unasked.
        for base in ("x.", "x "):
            with self.subTest(base=base):
                write(self.path("x"), b"precious")
                write(self.path(base + ".001"), b"AAAA")
                write(self.path(base + ".002"), b"BBBB")
                status, out = self.divro(base + ".001")
                self.assertEqual((status, out), (FAILED, cp("ファイル '%s' のオープンに失敗しました。" % base,
                                                           "ファイルは結合されませんでした。")))
                self.assertEqual(read(self.path("x")), b"precious")

    def test_dangling_link_is_never_written_through(self):
        # Wine 8 hides a link that points nowhere; the open refuses it rather
        # than create the file it names.
        data = self.source("f.bin", 3000)
        os.symlink("elsewhere", self.path("f.bin.002"))
        status, out = self.divro("f.bin", "/1", "/Y")
        self.assertEqual(status, FAILED)
        self.assertIn(cp("ファイル 'f.bin.002' のオープンに失敗しました。"), out)
        self.assertFalse(os.path.exists(self.path("elsewhere")))
        # The division stopped: no piece 1 of its own is left.
        self.assertIn(cp("分割が完了しなかったため、先頭ファイル 'f.bin.001' は作成していません。"), out)
        self.assertEqual(sorted(os.listdir(self.dir)), ["f.bin", "f.bin.002"])
        self.assertEqual(data, read(self.path("f.bin")))

    def test_ctrl_c_removes_the_temporary_file(self):
        # At a question piece 1 waits under its temporary name: Ctrl+C
        # removes it and ends the run with -1.
        self.source("f.bin", 3000)
        write(self.path("f.bin.002"), b"old")
        session = self.start("f.bin", "/1")
        self.wait_screen(session, "'f.bin.002' を上書きしますか？")
        self.assertIn("f.bin.001.unfinished-1", os.listdir(self.dir))
        self.keys(session, "C-c")
        status, shown = self.finish(session)
        self.assertEqual(status, FAILED, shown)
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if n.startswith("f.bin")),
                         ["f.bin", "f.bin.002"])

    def test_older_piece_another_program_holds_is_left(self):
        # Another divro holds v.bin.004 alone: it joins a set over it and
        # waits at a question. The older piece stays, and so the division
        # has no piece 1.
        data = self.source("v.bin", 3000)
        write(self.path("v.bin.004"), b"old")
        for n, size in enumerate((10, 5, 7), 1):
            self.source("v.bin.004.%03d" % n, size)
        session = self.start("v.bin.004.001", "/Y")
        self.wait_screen(session, "いいえ (N)]")
        status, out = self.divro("v.bin", "/1", "/Y")
        self.keys(session, "n")
        self.assertEqual(status, FAILED, out.decode("cp932"))
        self.assertIn(cp("古い分割ファイル 'v.bin.004' は他のプログラムが使用中のため削除していません。",
                         "分割が完了しなかったため、先頭ファイル 'v.bin.001' は作成していません。"), out)
        self.assertFalse(os.path.exists(self.path("v.bin.001")))
        self.assertEqual(read(self.path("v.bin.002")), data[1024:2048])


if __name__ == "__main__":
    unittest.main()
