import errno
import os
import re
import subprocess

from tests.e2e.helpers import ENGLISH, FAILED, TempDirTest, random_file, run_with_errors, system_reason

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(divro\b[^)]*\bVERSION\s+([0-9.]+)", f.read()).group(1)


class PosixConventionsTest(TempDirTest):
    def test_help_and_version_before_any_file(self):
        # A file named --help is there: the option still wins, and ./--help names it.
        random_file(self.path("--help"), 1500)
        status, usage = self.run_divro("/?")
        self.assertEqual(status, 0)
        cases = [
            (["--help"], usage),
            (["--help", "/1"], usage),
            (["x.bin", "--version"], "divro %s\n" % project_version()),
            (["--version", "--help"], "divro %s\n" % project_version()),
        ]
        for args, expected in cases:
            with self.subTest(args=args):
                self.assertEqual(self.run_divro(*args), (0, expected))
        self.assertEqual(sorted(os.listdir(self.dir)), ["--help"])

    def test_a_file_named_help_is_reached_as_dot_slash(self):
        random_file(self.path("--help"), 1500)
        status, _ = self.run_divro("./--help", "/1")
        self.assertEqual(status, 0)
        self.assertEqual(sorted(os.listdir(self.dir)), ["--help", "--help.001", "--help.002"])

    def test_a_root_folder_named_as_an_option_is_not_reached(self):
        # A folder of one element below the root is a destination, not a size.
        name = f"divro-{os.getpid()}.bin"
        random_file(self.path(name), 2500)
        status, out = self.run_divro(name, "/1", "/tmp")
        pieces = [f"/tmp/{name}.00{n}" for n in (1, 2, 3)]
        made = [os.path.exists(p) and os.remove(p) is None for p in pieces]
        self.assertEqual((status, made), (0, [True] * 3), out)
        # /V stays the check even with a folder /V: the root is reached as //V.
        if os.geteuid() != 0 or os.path.exists("/V"):
            self.skipTest("needs to make the folder /V")
        random_file(self.path("v.bin"), 2500)
        self.assertEqual(self.run_divro("v.bin", "/1")[0], 0)
        os.mkdir("/V")
        try:
            status, out = self.run_divro("/V", "v.bin.001")
        finally:
            os.rmdir("/V")
        self.assertEqual(status, 0, out)
        self.assertTrue(out.endswith("チェックサムファイルがないため、内容は確かめていません。\n"), out)

    def test_messages_where_the_locale_cannot_hold_japanese(self):
        # Latin-1 has no Japanese: UTF-8 then, never code page 932 bytes.
        # Standard error names the file as typed and the reason, the
        # system's, in UTF-8 as the rest (the C library would give question
        # marks in the locale's set); standard output is unchanged. A
        # Japanese locale gives the same lines.
        locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
        if "de_DE.iso88591" not in locales:
            self.skipTest("the de_DE.ISO-8859-1 locale is not generated (test.sh makes it)")
        lines = "指定されたファイルが見つかりません。\n引数の処理中にエラーが起きました。\n"
        random_file(self.path(":"), 10)  # never taken for the source not found
        for locale in ["de_DE.ISO-8859-1", "C", "ja_JP.UTF-8"]:
            with self.subTest(locale=locale):
                rc, out, err = run_with_errors(["none.bin", "/1"], self.dir,
                                               {"LC_CTYPE": locale, "LC_MESSAGES": "ja_JP.UTF-8"})
                self.assertEqual((rc, out[:len(lines)]), (FAILED, lines))
                reason = system_reason(errno.ENOENT, "ja_JP.UTF-8")
                self.assertEqual(err.decode("utf-8"), f"divro: none.bin: {reason}\n"
                                                      "divro: 引数の処理中にエラーが起きました。\n")


class EnglishTest(TempDirTest):
    def test_messages_in_english(self):
        # Any locale but ja... speaks English: the usage, a refusal, a
        # question answered at once without a terminal, a system failure.
        random_file(self.path("f.bin"), 3000)
        usage = "DIVRO [/C] [/S] [/Y] [/H] [drive:][path]filename /Size\n"
        refused = "Invalid piece size.\nError in the arguments.\nFor help, type 'divro' or\nuse the /? option.\n"
        not_divided = "The file was not divided.\n"
        not_found = "File not found.\nError in the arguments.\n"
        no_batch = "No batch file was written.\n"
        cases = [  # arguments, files left before, exit status, standard output, standard error
            ([], None, 0, usage, ""),
            (["f.bin", "/0"], None, FAILED, refused, "divro: invalid piece size\ndivro: error in the arguments\n"),
            (["f.bin", "/1"], "f.bin.001", FAILED,
             "Overwrite the existing file 'f.bin.001'? [Yes (Y), All (A), Stop (S)]\nDividing stopped.\n" + not_divided,
             "divro: f.bin.001: dividing stopped\n"),
            (["f.bin", "/1", "/Y"], "f.bin.002/", FAILED,
             "f.bin.001\rCannot open the file 'f.bin.002'.\n"
             "The division did not finish, so the first piece 'f.bin.001' was not written.\n" + not_divided,
             f"divro: f.bin.002: {os.strerror(errno.EISDIR)}\n"),
            # A source not there is named as typed, with the system's reason.
            (["movie.avi", "/1"], None, FAILED, not_found,
             f"divro: movie.avi: {os.strerror(errno.ENOENT)}\ndivro: error in the arguments\n"),
            (["./none/movie.avi", "/1"], None, FAILED, not_found,
             f"divro: ./none/movie.avi: {os.strerror(errno.ENOENT)}\ndivro: error in the arguments\n"),
            (["g.bin.001", "/C"], ["g.bin.001", "g.bin.002", "g.bin.004"], FAILED,
             f"g.cpy.bat\nPiece '{self.path('g.bin.003')}' not found.\n" + no_batch,
             f"divro: {self.path('g.bin.003')}: piece missing, pieces follow it\n"),
            # The stderr line names the piece once, then says what is wrong.
            (["g.bin.001"], ["g.bin.001", "g.bin.002", "g.bin.004"], FAILED,
             f"Piece '{self.path('g.bin.003')}' not found.\nThe pieces were not joined.\n",
             f"divro: {self.path('g.bin.003')}: piece not found\n"),
            (["é.bin.001", "/C"], ["é.bin.001", "é.bin.002"], FAILED,
             "é.cpy.bat\nCannot open the batch file 'é.cpy.bat'.\n" + no_batch,
             "divro: é.cpy.bat: name not in code page 932, no batch file written\n"),
            (["a|b.bin.001", "/C"], ["a|b.bin.001", "a|b.bin.002"], FAILED,
             "a|b.cpy.bat\nCannot open the batch file 'a|b.cpy.bat'.\n" + no_batch,
             "divro: a|b.cpy.bat: name Windows cannot hold, no batch file written\n"),
            # Something there that is no file is said to be what it is.
            (["d.bin", "/1"], "d.bin/", FAILED, not_found,
             f"divro: d.bin: {os.strerror(errno.EISDIR)}\ndivro: error in the arguments\n"),
            (["/dev/null", "/1"], None, FAILED, not_found,
             "divro: /dev/null: not a regular file\ndivro: error in the arguments\n"),
            # Older pieces nobody could be asked about: the run fails, and says why.
            (["f.bin", "/1"], "f.bin.009", FAILED,
             "f.bin.001\rf.bin.002\rf.bin.003\r\n"
             "Old pieces from 'f.bin.009' on are left over. Delete them? [Yes (Y), No (N)]\n"
             "Old pieces from 'f.bin.009' on were kept.\n"
             "The division did not finish, so the first piece 'f.bin.001' was not written.\n" + not_divided,
             "divro: f.bin.009: older pieces kept: no terminal to ask\n"),
        ]
        for args, left, rc, out, err in cases:
            with self.subTest(args=args):
                names = [left] if isinstance(left, str) else left or []
                for name in names:
                    os.mkdir(self.path(name)) if name.endswith("/") else random_file(self.path(name), 1)
                status, output, errors = run_with_errors(args, self.dir, ENGLISH)
                self.assertEqual((status, output[:len(out)], errors.decode()), (rc, out, err))
                for name in names:
                    subprocess.run(["rm", "-r", self.path(name)], check=True)

    def test_the_language_the_locale_chooses(self):
        # The first of LC_ALL, LC_MESSAGES and LANG set and not empty; LANGUAGE is not read.
        japanese, english = "DIVRO [/C] [/S] [/Y] [/H] [ドライブ:]", "DIVRO [/C] [/S] [/Y] [/H] [drive:]"
        cases = [
            ({"LC_ALL": "", "LC_MESSAGES": "ja_JP.UTF-8", "LANG": "C.UTF-8"}, japanese),
            ({"LC_ALL": "", "LC_MESSAGES": "", "LANG": "ja_XX.UTF-8"}, japanese),  # not installed
            ({"LC_ALL": "C.UTF-8", "LC_MESSAGES": "ja_JP.UTF-8"}, english),
            ({"LC_ALL": "POSIX", "LANGUAGE": "ja"}, english),
            ({"LC_ALL": "", "LC_MESSAGES": "en_US.UTF-8", "LANG": "ja_JP.UTF-8"}, english),
        ]
        for env, first in cases:
            with self.subTest(env=env):
                status, out, _ = run_with_errors([], self.dir, env)
                self.assertEqual((status, out[:len(first)]), (0, first))
