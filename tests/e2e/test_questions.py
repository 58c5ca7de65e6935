import glob
import os
import shutil
import termios
import time

from tests import scenarios
from tests.e2e.helpers import FAILED, TempDirTest, kib, random_file, read, write

ASK_FOLDER = "指定された保存ディレクトリ 'new/sub/' は存在しません。\nディレクトリを新規作成しますか？ [はい (Y), いいえ (N)]"
ASK_OVERWRITE = "同名ファイル 'f.bin.001' を上書きしますか？\n[はい (Y), 以降全て上書き(A), 中止 (S)]"
OVERWRITE_END = "中止 (S)]"
STOPPED = "ファイルの分割を中止しました。\nファイルは分割されませんでした。\n"


class QuestionTest(TempDirTest):
    def setUp(self):
        super().setUp()
        self.data = random_file(self.path("f.bin"), 10)

    def old_pieces(self, count):
        for name in glob.glob(self.path("f.bin.*")):
            os.remove(name)
        for n in range(1, count + 1):
            write(self.path(f"f.bin.00{n}"), b"old")

    def finish(self, p):
        """Ends a pty run and checks that the terminal is back to line mode with echo."""
        rc, out, lflag = p.finish()
        self.assertEqual(lflag & (termios.ICANON | termios.ECHO), termios.ICANON | termios.ECHO)
        return rc, out

    def assert_divided(self):
        self.assertEqual(b"".join(read(self.path(f"f.bin.00{n}")) for n in range(1, 5)), self.data)

    def test_destination_folder_question(self):
        for ignored, echo, rc in scenarios.native_rows(scenarios.DESTINATION_ANSWERS):
            keys = (ignored + echo).encode()
            with self.subTest(keys=keys):
                shutil.rmtree(self.path("new"), ignore_errors=True)
                p = self.start_pty("f.bin", kib(3), "new/sub")
                p.question("(N)]")
                p.send(keys)
                status, out = self.finish(p)
                self.assertEqual(status, rc, out)
                self.assertTrue(out.startswith(f"{ASK_FOLDER}{echo}\n"), out)
                if rc == 0:
                    self.assertEqual(read(self.path("new/sub/f.bin.004")), self.data[9:])
                else:
                    self.assertEqual(out, f"{ASK_FOLDER}{echo}\n処理を中止しました。\n")
                    self.assertFalse(os.path.exists(self.path("new")))

    def test_overwrite_answers(self):
        cases = [  # keys typed before the run, keys sent at each question, echo, exit status
            (b"", [b"Y", b"Y"], "Y", 0), (b"", [b"y", b"y"], "y", 0), (b"", [b"A"], "A", 0),
            (b"", [b"a"], "a", 0), (b"", [b"S"], "S", FAILED), (b"", [b"s"], "s", FAILED),
            (b"", [b"\x1b[3~"], "S", FAILED),  # Delete: 224 then 83, the code of S
            (b"x7a", [], "a", 0), (b"\x1b[3~", [], "S", FAILED),
            (b"", [b"\x1b\x1b[As"], "s", FAILED),  # Esc, Up: nothing; never the A of all
            (b"\x1b\x1b[A\x1by\x1b[1;5AS", [], "S", FAILED)]  # Alt+Y and Ctrl+Up answer nothing
        for ahead, keys, echo, rc in cases:
            with self.subTest(ahead=ahead, keys=keys):
                self.old_pieces(2)
                p = self.start_pty("f.bin", kib(3), typed_ahead=ahead)
                for n, key in enumerate(keys, 1):
                    p.question(OVERWRITE_END, count=n)
                    p.send(key)
                status, out = self.finish(p)
                self.assertEqual(status, rc, out)
                asked = max(1, len(keys))  # Y asks again for the next piece
                self.assertEqual((out.count(OVERWRITE_END), out.count(f"{OVERWRITE_END}{echo}\n")), (asked, asked))
                if rc == 0:
                    self.assert_divided()
                else:
                    self.assertTrue(out.endswith(f"{ASK_OVERWRITE}{echo}\n{STOPPED}"), out)
                    self.assertEqual(read(self.path("f.bin.001")), b"old")

    def test_other_keys_are_ignored_without_echo(self):
        self.old_pieces(1)
        p = self.start_pty("f.bin", kib(3))
        p.question(OVERWRITE_END)
        for key in (b"N", b"\r", b"\x1b", b" ", b"7", b"y"):  # only y answers, and only y shows
            p.send(key)
            time.sleep(0.1)
        status, out = self.finish(p)
        self.assertEqual(status, 0, out)
        self.assertTrue(out.startswith(f"{ASK_OVERWRITE}y\nf.bin.001\r"), out)
        self.assert_divided()

    def test_question_shown_on_the_terminal_when_output_is_a_file(self):
        self.old_pieces(1)
        progress = "".join(f"{{0}}f.bin.00{n}\r" for n in range(1, 5)) + "\nファイルの分割が終了しました。\n"
        for args, question, folder in [(("f.bin", kib(3), "new/sub"), ASK_FOLDER, "new/sub/"),
                                       (("f.bin", kib(3)), ASK_OVERWRITE, "")]:
            with self.subTest(question=question), open(self.path("log.txt"), "w+b") as log:
                p = self.start_pty(*args, stdout=log)
                p.question(question)
                p.send(b"Y")
                status, screen = self.finish(p)
                self.assertEqual((status, screen), (0, f"{question}Y\n"))
                log.seek(0)
                self.assertEqual(log.read().decode(), f"{question}Y\n" + progress.format(folder))
                self.assertEqual(read(self.path(folder, "f.bin.004")), self.data[9:])

    def test_without_a_terminal_questions_answer_at_once(self):
        self.old_pieces(1)
        rc, out = self.run_divro("f.bin", kib(3))
        self.assertEqual((rc, out), (FAILED, f"{ASK_OVERWRITE}\n{STOPPED}"))
        self.assertEqual(read(self.path("f.bin.001")), b"old")
        rc, out = self.run_divro("f.bin", kib(3), "new/sub")
        self.assertEqual((rc, out), (FAILED, f"{ASK_FOLDER}\n処理を中止しました。\n"))
        self.assertFalse(os.path.exists(self.path("new")))

    def test_all_at_the_first_question_covers_the_batch_files(self):
        self.old_pieces(4)
        for name in ("f.cpy.bat", "f.dvr.bat"):
            write(self.path(name), b"old")
        p = self.start_pty("f.bin", kib(3), "/C", "/S")
        p.question(OVERWRITE_END)
        p.send(b"A")
        status, out = self.finish(p)
        self.assertEqual((status, out.count(OVERWRITE_END)), (0, 1), out)
        self.assert_divided()
        self.assertTrue(read(self.path("f.cpy.bat")).startswith(b"@ECHO OFF\r\nSET DIVRO_MISSING=\r\nIF NOT EXIST f.bin.001"))
        self.assertTrue(read(self.path("f.dvr.bat")).startswith(b"@ECHO OFF\r\nDIVRO f.bin.001\r\n"))
