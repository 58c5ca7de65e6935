"""Mishaps that befall a set of pieces: each one either leaves the original
file or fails and says why, never a wrong file with success."""
import os

from tests.e2e.helpers import FAILED, TempDirTest, random_file, read, write

JOINED = "ファイルの結合が終了しました。"


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
        data = self.divide("v.bin", 4 * 1024)
        with open(self.path("v.bin.002"), "r+b") as piece:
            piece.truncate(500)
        rc, out = self.run_divro("v.bin.001", "/Y")
        # Joined byte for byte all the same, and the odd piece is named.
        self.assertEqual(rc, 0, out)
        self.assertIn(f"分割ファイル '{self.path('v.bin.002')}' のサイズが先頭ファイルと異なります。\n{JOINED}", out)
        return data[:1024] + data[1024:1524] + data[2048:]

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

    def test_mishaps(self):
        for mishap in (self.missing_middle_piece, self.older_larger_set, self.cut_short_middle_piece,
                       self.folder_swapped_at_the_question):
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

    def test_older_pieces_kept_without_a_terminal_fail_the_run(self):
        # Nobody chose to keep them: the pieces stand, and a script notices.
        for n in (3, 4):
            write(self.path(f"v.bin.{n:03}"), b"old")
        data = random_file(self.path("v.bin"), 2 * 1024)
        rc, out = self.run_divro("v.bin", "/1")
        self.assertEqual(rc, FAILED, out)
        self.assertTrue(out.endswith("古い分割ファイル 'v.bin.003' 以降を残しました。\n"), out)
        self.assertEqual(read(self.path("v.bin.001")) + read(self.path("v.bin.002")), data)
        self.assertEqual(read(self.path("v.bin.004")), b"old")
