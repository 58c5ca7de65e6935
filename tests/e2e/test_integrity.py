"""Mishaps that befall a set of pieces: each one either leaves the original
file or fails and says why, never a wrong file with success."""
import fcntl
import os
import shutil
import stat
import subprocess

from tests.e2e.helpers import BIN, ENV, FAILED, FIRST_NOT_WRITTEN, TempDirTest, random_file, read, write
from tests.messages import JOINED, NOT_JOINED


def unfinished(folder):
    return [n for n in os.listdir(folder) if ".unfinished-" in n]


class IntegrityTest(TempDirTest):
    def divide(self, name, size, *options):
        data = random_file(self.path(name), size)
        rc, out = self.run_divro(name, "/1", *options)
        self.assertEqual(rc, 0, out)
        return data

    def missing_middle_piece(self):
        self.divide("v.bin", 10 * 1024)
        os.remove(self.path("v.bin"))
        os.remove(self.path("v.bin.005"))
        rc, out = self.run_divro("v.bin.001", "/Y")
        self.assertEqual(rc, FAILED, out)
        self.assertIn(f"分割ファイル '{self.path('v.bin.005')}' が見つかりません。\n", out)
        return None

    def older_larger_set(self):
        self.divide("v.bin", 10 * 1024)
        data = self.divide("v.bin", 3 * 1024, "/C", "/Y")
        self.assertNotIn("v.bin.004", read(self.path("v.cpy.bat")).decode("cp932"))
        self.assertFalse(os.path.exists(self.path("v.bin.004")))
        rc, out = self.run_divro("v.bin.001", "/Y")
        self.assertEqual(rc, 0, out)
        return data

    def cut_short_middle_piece(self):
        # The odd piece is named and asked about; without a terminal nobody
        # agreed (/Y answers only overwrites), and the old output stays.
        data = self.divide("v.bin", 4 * 1024)
        with open(self.path("v.bin.002"), "r+b") as piece:
            piece.truncate(500)
        rc, out = self.run_divro("v.bin.001", "/Y")
        self.assertEqual(rc, FAILED, out)
        self.assertIn(f"分割ファイル '{self.path('v.bin.002')}' のサイズ (500 バイト) が先頭ファイル (1024 バイト) "
                      f"と異なります。\nこのまま結合しますか？ [はい (Y), いいえ (N)]\n{NOT_JOINED}", out)
        p = self.start_pty("v.bin.001", "/Y")
        p.question("いいえ (N)]")
        p.send(b"y")
        rc, out, _ = p.finish()
        self.assertEqual(rc, 0, out)
        return data[:1024] + data[1024:1524] + data[2048:]

    def killed(self, args, syscall, when, signal="KILL"):
        """Runs divro under strace, which sends `signal` at the call numbered `when`."""
        subprocess.run(["strace", "-f", "-o", "/dev/null", "-e", f"trace={syscall}",
                        "-e", f"inject={syscall}:signal={signal}:when={when}", BIN, *args],
                       cwd=self.dir, env=ENV, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)

    def joined_again(self, piece):
        """What a join of the set left gives: its bytes, or None when refused."""
        shutil.rmtree(self.path("again"), ignore_errors=True)
        os.mkdir(self.path("again"))
        rc, out = self.run_divro(piece, "again")
        target = self.path("again", os.path.basename(piece)[:-4])
        return read(target) if rc == 0 else self.assertFalse(os.path.exists(target), out)

    def killed_runs(self):
        # Killed at a few of its writes (SIGKILL: nothing cleans up; SIGINT:
        # the run removes its temporary file), a division, fresh or over an
        # older set, leaves no set a join takes for another file; a join,
        # checked or not, leaves the old output as it was.
        cut_short = 0  # divisions killed with pieces written: the kills land
        for when in (2, 5, 9):
            for signal in ("KILL", "INT"):
                for older in (False, True):
                    case = (when, signal, older)
                    for name in os.listdir(self.dir):
                        os.remove(self.path(name)) if os.path.isfile(self.path(name)) else None
                    before = self.divide("v.bin", 12 * 1024) if older else None
                    data = random_file(self.path("v.bin"), 10 * 1024)
                    self.killed(["v.bin", "/1", "/Y"], "write", when, signal)
                    cut_short += os.path.exists(self.path("v.bin.002")) and not older
                    joined = self.joined_again(self.path("v.bin.001"))
                    self.assertTrue(joined in (None, data, before), (case, joined and len(joined)))
                    self.assertTrue(signal == "KILL" or not unfinished(self.dir), case)
                    checked = ["/H"] if older else []
                    self.assertEqual(self.run_divro("v.bin", "/1", "/Y", *checked)[0], 0)
                    write(self.path("v.bin"), b"old")
                    self.killed(["v.bin.001", "/Y"], "write", when, signal)
                    self.assertEqual(read(self.path("v.bin")), b"old", case)
                    self.assertTrue(signal == "KILL" or not unfinished(self.dir), case)
                    self.assertTrue(self.joined_again(self.path("v.bin.001")) == data, case)
        self.assertGreater(cut_short, 0)
        return b"old"

    def no_file_at_a_piece(self):
        data = self.divide("v.bin", 3 * 1024)
        os.remove(self.path("v.bin.003"))
        for make, said in [(lambda p: os.symlink("/nonexistent/v.bin.003", p), "が見つかりません。"),
                           (os.mkfifo, "はファイルではありません。")]:
            make(self.path("v.bin.003"))
            rc, out = self.run_divro("v.bin.001", "/Y")
            self.assertEqual(rc, FAILED, out)
            self.assertIn(f"分割ファイル '{self.path('v.bin.003')}' {said}\n{NOT_JOINED}", out)
            os.remove(self.path("v.bin.003"))
        return data

    def others_names_and_locks(self):
        # New pieces and a new output have the mode any new file gets (piece
        # 1 too, written under a private temporary name); a FIFO at the
        # temporary name is skipped; a private output keeps its mode; an
        # output another program holds is refused before anything is
        # copied; a stale piece it holds stays, and the division has no
        # piece 1.
        mask = os.umask(0o027)
        try:
            data = self.divide("v.bin", 3 * 1024)
            os.mkdir(self.path("new"))
            self.assertEqual(self.run_divro("v.bin.001", "new")[0], 0)
        finally:
            os.umask(mask)
        modes = {stat.S_IMODE(os.stat(self.path(n)).st_mode) for n in ("v.bin.001", "v.bin.002", "new/v.bin")}
        self.assertEqual(modes, {0o640})
        os.remove(self.path("new", "v.bin"))
        os.mkfifo(self.path("v.bin.unfinished-1"))
        os.chmod(self.path("v.bin"), 0o600)
        rc, out = self.run_divro("v.bin.001", "/Y")
        self.assertEqual((rc, stat.S_IMODE(os.stat(self.path("v.bin")).st_mode)), (0, 0o600), out)
        self.assertTrue(stat.S_ISFIFO(os.stat(self.path("v.bin.unfinished-1")).st_mode))
        os.remove(self.path("v.bin.unfinished-1"))
        with open(self.path("v.bin"), "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            rc, out = self.run_divro("v.bin.001", "/Y")
            self.assertIn(f"ファイル 'v.bin' のオープンに失敗しました。\n{NOT_JOINED}", out)
        write(self.path("v.bin.009"), b"old")
        with open(self.path("v.bin.009"), "rb") as stale:
            fcntl.flock(stale, fcntl.LOCK_EX)
            rc, out = self.run_divro("v.bin", "/1", "/Y")
            self.assertEqual(rc, FAILED, out)
            self.assertIn("古い分割ファイル 'v.bin.009' は他のプログラムが使用中のため削除していません。\n"
                          + FIRST_NOT_WRITTEN.format("v.bin.001"), out)
        self.assertFalse(os.path.exists(self.path("v.bin.001")))
        self.assertEqual(read(self.path("v.bin.009")), b"old")
        return data

    def folder_swapped_at_the_question(self):
        # The count, the question and every open go through the folder
        # resolved first: a link swapped in while the question waits is
        # never read from.
        os.mkdir(self.path("in"))
        os.mkdir(self.path("other"))
        ours = [write(self.path("in", f"v.bin.{n:03}"), bytes([n]) * 3) for n in range(1, 21)]
        for n in range(1, 41):
            write(self.path("other", f"v.bin.{n:03}"), b"xx")
        write(self.path("v.bin"), b"old")
        p = self.start_pty("in/v.bin.001")
        p.question("中止 (S)]")
        os.rename(self.path("in"), self.path("in.old"))
        os.symlink("other", self.path("in"))
        p.send(b"y")
        rc, _, _ = p.finish()
        self.assertEqual(rc, 0, p.out)
        return b"".join(ours)

    def side_file_names_what_to_fetch(self):
        # Each fault of a checked set names every piece to fetch again, and
        # a whole-file line is checked beside the piece lines.
        data = self.divide("v.bin", 6 * 1024, "/H")
        sums = read(self.path("v.bin.sha256"))
        piece = {n: read(self.path(f"v.bin.{n:03}")) for n in (2, 4, 6)}  # .003-.005 stand beyond the gap
        side, stray = self.path("v.bin.sha256"), self.path("v.bin.007")
        flipped = lambda n: write(self.path(f"v.bin.{n:03}"), bytes([piece[n][0] ^ 0xFF]) + piece[n][1:])
        for fault, undo, lines in [
                (lambda: [os.remove(self.path(f"v.bin.00{n}")) for n in (2, 6)],
                 lambda: [write(self.path(f"v.bin.00{n}"), piece[n]) for n in (2, 6)],
                 [f"分割ファイル '{self.path(f'v.bin.00{n}')}' が見つかりません。" for n in (2, 6)]),
                (lambda: write(stray, b"x"), lambda: os.remove(stray),
                 [f"分割ファイル '{stray}' はチェックサムファイル '{side}' に載っていません。"]),
                (lambda: (flipped(2), flipped(4)), lambda: [write(self.path(f"v.bin.{n:03}"), piece[n]) for n in (2, 4)],
                 [f"分割ファイル '{self.path(f'v.bin.{n:03}')}' のチェックサムが一致しません。" for n in (2, 4)]),
                (lambda: write(side, sums.replace(sums[-72:-8], b"0" * 64)), lambda: write(side, sums),
                 ["結合ファイル 'v.bin' のチェックサムが一致しません。"])]:
            write(self.path("v.bin"), b"old")
            fault()
            rc, out = self.run_divro("v.bin.001", "/Y")
            undo()
            self.assertEqual(rc, FAILED, out)
            self.assertIn("\n".join(lines + [NOT_JOINED]) + "\n", out)
            self.assertEqual(read(self.path("v.bin")), b"old")
        rc, out = self.run_divro("v.bin.001", "/Y")
        self.assertTrue(out.endswith(f"チェックサムファイル '{side}' と一致しました。\n{JOINED}\n"), out)
        return data

    def test_mishaps(self):
        for mishap in (self.side_file_names_what_to_fetch, self.missing_middle_piece, self.older_larger_set, self.cut_short_middle_piece,
                       self.folder_swapped_at_the_question, self.killed_runs, self.no_file_at_a_piece,
                       self.others_names_and_locks):
            with self.subTest(mishap=mishap.__name__):
                for name in os.listdir(self.dir):
                    path = self.path(name)
                    if os.path.isdir(path) and not os.path.islink(path):
                        for inner in os.listdir(path):
                            os.remove(os.path.join(path, inner))
                        os.rmdir(path)
                    else:
                        os.remove(path)
                expected = mishap()
                if expected is None:
                    self.assertFalse(os.path.exists(self.path("v.bin")))
                else:
                    self.assertEqual(read(self.path("v.bin")), expected)

    def test_check_without_joining(self):
        # /V reads every piece and writes nothing: every problem named, then
        # one closing line; the exit status says whether all is well.
        self.divide("v.bin", 6 * 1024, "/H")
        os.remove(self.path("v.bin"))
        side, bad = self.path("v.bin.sha256"), "のチェックサムが一致しません。"
        # The first byte changed (an "X" over random data was one already once in 256).
        flip = lambda n: write(self.path(f"v.bin.{n:03}"), bytes([read(self.path(f"v.bin.{n:03}"))[0] ^ 0xFF])
                               + read(self.path(f"v.bin.{n:03}"))[1:])
        for case, change, rc, lines in [
                ("sound", None, 0, [f"分割ファイル 6 個がチェックサムファイル '{side}' と一致しました。"]),
                ("two bad", lambda: (flip(2), flip(4)), FAILED, ["分割ファイルに問題があります。"]),
                ("no side file", lambda: os.remove(side), 0,
                 ["分割ファイルのサイズと並びに問題はありません。チェックサムファイルがないため、内容は確かめていません。"]),
                ("odd size", lambda: os.truncate(self.path("v.bin.003"), 500), FAILED,
                 [f"分割ファイル '{self.path('v.bin.003')}' のサイズ (500 バイト) が先頭ファイル (1024 バイト) と異なります。",
                  "分割ファイルに問題があります。"])]:
            with self.subTest(case):
                if change:
                    change()
                status, out = self.run_divro("/V", "v.bin.001", "/Y")
                self.assertEqual(status, rc, out)
                self.assertTrue(out.endswith("\n".join(lines) + "\n"), out)
                named = [f"分割ファイル '{self.path(f'v.bin.00{n}')}' {bad}\n" for n in (2, 4)]
                self.assertEqual([line in out for line in named], [case == "two bad"] * 2)
                self.assertEqual(sorted(os.listdir(self.dir))[:2], ["v.bin.001", "v.bin.002"])
                self.assertFalse(os.path.exists(self.path("v.bin")))
        # /H asks for the checksum file, which is gone by now.
        status, out = self.run_divro("/V", "/H", "v.bin.001")
        self.assertEqual(status, FAILED, out)
        self.assertTrue(out.endswith(f"チェックサムファイル '{side}' を読み取れません。\n分割ファイルに問題があります。\n"), out)
        for refused in (["/V", "v.bin.001", "out"], ["/V", "/1", "v.bin.001"], ["/V", "/C", "v.bin.001"]):
            self.assertEqual(self.run_divro(*refused), (FAILED, "引数の処理中にエラーが起きました。\n"
                                                        "ヘルプを表示するには 'divro' とタイプするか、\n"
                                                        "/? オプションを使用してください。\n"))

    def test_the_largest_side_file_a_division_writes_is_read(self):
        # The most pieces there can be, of a long name: megabytes of lines.
        name = "n" * 196 + ".bin"
        self.divide(name, 18575 * 1024, "/H")
        self.assertGreater(os.path.getsize(self.path(name + ".sha256")), 4 << 20)
        rc, out = self.run_divro("/V", name + ".001")
        self.assertEqual(rc, 0, out[-300:])
        self.assertTrue(out.endswith(f"分割ファイル 18575 個がチェックサムファイル '{self.path(name)}.sha256' と一致しました。\n"))

    def test_older_pieces_kept_without_a_terminal_fail_the_run(self):
        # Nobody chose to keep them: they stand, no piece 1 joins them with
        # the new ones, and a script notices.
        for n in (3, 4):
            write(self.path(f"v.bin.{n:03}"), b"old")
        data = random_file(self.path("v.bin"), 2 * 1024)
        rc, out = self.run_divro("v.bin", "/1")
        self.assertEqual(rc, FAILED, out)
        self.assertIn("古い分割ファイル 'v.bin.003' 以降を残しました。\n" + FIRST_NOT_WRITTEN.format("v.bin.001"), out)
        self.assertFalse(os.path.exists(self.path("v.bin.001")))
        self.assertEqual(read(self.path("v.bin.002")), data[1024:])
        self.assertEqual(read(self.path("v.bin.004")), b"old")
