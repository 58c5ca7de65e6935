import os
import re

from tests.e2e.helpers import TempDirTest, random_file

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
