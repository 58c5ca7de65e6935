"""Across platforms under Wine: batch files written by the native POSIX build
run by Wine's command processor, a console of another code page, and a
current folder that the ANSI code page cannot hold."""
import os
import shlex
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_wine import (ENV, EXE, FAILED, HINT, TMUX, USAGE, WINE, WineTest, cp, read,  # noqa: E402
                       tearDownModule, write)  # noqa: F401  (ends the tmux server)

NATIVE = os.path.abspath(os.environ.get("DIVRO_BIN", os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build-test", "divro")))


class CrossPlatformTest(WineTest):
    def start_in(self, locale, *args):
        """A console session whose terminal and Wine take the locale's character set."""
        name = "s%d" % len(self.sessions)
        self.sessions.append(name)
        command = "cd %s && LC_ALL=%s %s %s; echo $? > %s.rc; sleep 60" % (
            shlex.quote(self.dir), locale, shlex.quote(WINE), " ".join(map(shlex.quote, [EXE, *args])), name)
        subprocess.run(TMUX + ["new-session", "-d", "-s", name, "-x", "200", "-y", "50", command],
                       env=dict(ENV, LC_ALL=locale), check=True, timeout=10)
        return name

    @unittest.skipUnless(os.path.exists(NATIVE), "no native build at " + NATIVE)
    def test_batch_files_from_posix_run_under_cmd(self):
        # Divided on Linux in a UTF-8 locale; the names in the batch files are
        # code page 932, ソ's second byte 0x5C included.
        env = dict(ENV, WINEPATH="Z:" + os.path.dirname(EXE).replace("/", "\\"))
        for name in ["表示ソフト.avi", "ソ表.bin"]:
            with self.subTest(name=name):
                data = self.source(name, 2500)
                subprocess.run([NATIVE, name, "/1", "/C", "/S"], cwd=self.dir, check=True, timeout=60,
                               env=dict(os.environ, LC_ALL="C.UTF-8"), stdout=subprocess.DEVNULL)
                os.remove(self.path(name))
                base = name.rsplit(".", 1)[0]
                for batch in (".cpy.bat", ".dvr.bat"):
                    status, out = self.run_wine(["cmd", "/c", base + batch], self.dir, env)
                    self.assertEqual(status, 0, out.decode("cp932"))
                    self.assertEqual(read(self.path(name)), data, batch)
                    os.remove(self.path(name))

    def test_console_of_another_code_page(self):
        # A German console (code page 1252) shows the Japanese usage screen and
        # messages; a Japanese one as before; a pipe gets code page 932 bytes.
        for locale in ["de_DE.UTF-8", "ja_JP.UTF-8"]:
            with self.subTest(locale=locale):
                name = self.start_in(locale, "/?")
                self.assertEqual(self.finish(name)[0], 0)
                self.assertEqual(self.screen(name).splitlines()[:len(USAGE)], [l.rstrip() for l in USAGE])
                name = self.start_in(locale, "none.bin", "/1")
                self.assertEqual(self.finish(name)[0], FAILED)
                self.assertIn("指定されたファイルが見つかりません。\n引数の処理中にエラーが起きました。", self.screen(name))
        status, out = self.run_wine([EXE, "none.bin", "/1"], env=dict(ENV, LC_ALL="de_DE.UTF-8"))
        self.assertEqual((status, out), (FAILED, cp("指定されたファイルが見つかりません。", "引数の処理中にエラーが起きました。", *HINT)))

    def test_current_folder_the_ansi_code_page_cannot_hold(self):
        # ä has no code in code page 932: Windows would work in a best-fit
        # namesake, a\, instead.
        for folder in ["ä", "a"]:
            os.mkdir(self.path(folder))
            write(self.path(folder, "f.bin.001"), b"x")
            write(self.path(folder, "f.bin.002"), b"y")
        wrong = cp("引数が正しくありません。", "ヘルプを表示するには、'divro' とタイプするか、", HINT[1])
        self.assertEqual(self.divro("f.bin.001", cwd=self.path("ä")), (FAILED, wrong))
        self.assertEqual(self.divro("ä\\f.bin.001"), (FAILED, wrong))
        self.assertEqual(sorted(os.listdir(self.path("ä")) + os.listdir(self.path("a"))), ["f.bin.001", "f.bin.001",
                                                                                          "f.bin.002", "f.bin.002"])

    def test_no_batch_file_for_a_name_code_page_932_cannot_hold(self):
        # é has no code there: a batch file would join caf?.bin, another file.
        data = self.source("café.bin", 2500)
        status, out = self.run_wine([EXE, "café.bin", "/1", "/C", "/S"], env=dict(ENV, LC_ALL="de_DE.UTF-8"))
        self.assertEqual(status, 0, out)
        self.assertEqual(sorted(os.listdir(self.dir)), ["café.bin"] + ["café.bin.%03d" % n for n in (1, 2, 3)])
        self.assertEqual(read(self.path("café.bin.003")), data[2048:])


if __name__ == "__main__":
    unittest.main()
