import os
import random
import re
import shutil
import string
import subprocess
import unittest

from tests import scenarios
from tests.e2e.helpers import FAILED, FIRST_NOT_WRITTEN, TempDirTest, kib, random_file, read
from tests.messages import DONE, NOT_DIVIDED

MiB = 1 << 20


def pieces(folder, name="f.bin"):
    """The suffixes of name's pieces in folder, in piece order (digits sort before letters)."""
    return sorted(n[len(name) + 1:] for n in os.listdir(folder) if n.startswith(name + "."))


class DivideTest(TempDirTest):
    def assert_pieces(self, folder, data, sizes):
        contents = [read(os.path.join(folder, "f.bin." + s)) for s in pieces(folder)]
        self.assertEqual([len(c) for c in contents], sizes)
        self.assertEqual(b"".join(contents), data)

    def test_piece_sizes_and_progress(self):
        cases = [  # file size, option, piece sizes, progress lines (chunks) per piece
            (10, kib(3), [3, 3, 3, 1], [1, 1, 1, 1]),
            (7 * MiB, "/3M", [3 * MiB, 3 * MiB, MiB], [1, 1, 1]),
            (30 * MiB, "/12M", [12 * MiB, 12 * MiB, 6 * MiB], [3, 3, 2]),
            (10 * MiB + 1, "/5m", [5 * MiB, 5 * MiB, 1], [1, 1, 1]),
            (2 * 1457152 + 5, "/F", [1457152, 1457152, 5], [1, 1, 1]),
            (2 * 1457152, "/f", [1457152, 1457152], [1, 1]),
        ]
        for i, (size, option, sizes, chunks) in enumerate(cases):
            with self.subTest(size=size, option=option):
                folder = self.path(str(i))
                data = random_file(os.path.join(folder, "f.bin"), size)
                rc, out = self.run_divro("f.bin", option, cwd=folder)
                names = "".join(f"f.bin.{n:03d}\r" * c for n, c in enumerate(chunks, 1))
                self.assertEqual((rc, out), (0, f"{names}\n{DONE}\n"))
                self.assert_pieces(folder, data, sizes)

    def test_most_pieces(self):
        data = random_file(self.path("f.bin"), 18575)
        self.assertEqual(self.run_divro("f.bin", "/0.0009765625")[0], 0)
        s = pieces(self.dir)
        self.assertEqual((s[998], s[999], s[1000], s[-1]), ("999", "aaa", "aab", "zzz"))
        self.assert_pieces(self.dir, data, [1] * 18575)

    @unittest.skipUnless("de_DE.utf8" in subprocess.run(["locale", "-a"], capture_output=True,
                                                        text=True).stdout.split(),
                         "the de_DE.UTF-8 locale is not generated")
    def test_fractional_size_under_a_decimal_comma_locale(self):
        # German writes 1,5: both it and the point are the decimal separator.
        data = random_file(self.path("f.bin"), 3000)
        size = scenarios.DECIMAL_COMMA_PIECE
        for (option,) in scenarios.native_rows(scenarios.DECIMAL_COMMA_SIZES):
            with self.subTest(option=option):
                self.assertEqual(self.run_divro("f.bin", option, "/Y", locale={"LANG": "de_DE.UTF-8",
                                                                                "LC_MESSAGES": "ja_JP.UTF-8"}),
                                 (0, f"f.bin.001\rf.bin.002\r\n{DONE}\n"))
                self.assert_pieces(self.dir, data, [size, 3000 - size])

    def test_refused_sizes(self):
        too_big = "分割サイズが分割元ファイルのサイズを越えています。"
        for size, option, message in [(0, "/1", too_big), (1024, "/1", too_big), (1024, "/2", too_big),
                                      (3 * MiB, "/3m", too_big), (3 * MiB, "/2G", too_big),
                                      (18576, "/0.0009765625", "分割サイズが小さすぎます。")]:
            with self.subTest(size=size, option=option):
                random_file(self.path("f.bin"), size)
                self.assertEqual(self.run_divro("f.bin", option), (FAILED, f"{message}\n{NOT_DIVIDED}\n"))
                self.assertEqual(pieces(self.dir), [])

    def test_destination_folders(self):
        data = random_file(self.path("src", "f.bin"), 7)
        for dest, where in [([], "work"), (["out"], "work/out"), (["out/"], "work/out"),
                            (["../o"], "o"), ([self.path("a")], "a"), ([self.path("b") + "/"], "b")]:
            with self.subTest(dest=dest):
                os.makedirs(self.path(where), exist_ok=True)
                rc, out = self.run_divro("../src/f.bin", kib(3), *dest, cwd=self.path("work"))
                self.assertEqual(rc, 0, out)
                self.assert_pieces(self.path(where), data, [3, 3, 1])
                for s in pieces(self.path(where)):
                    os.remove(self.path(where, "f.bin." + s))
        self.assertEqual(pieces(self.path("src")), [])

    @unittest.skipUnless(os.access("/", os.W_OK), "the root folder is not writable")
    def test_drive_relative_source_into_the_drive_root(self):
        # C:NAME is the current folder's; the destination C: is the root, /.
        data = random_file(self.path("work", "ab.bin"), 7)
        made = ["/ab.bin." + s for s in ("001", "002", "003")]
        self.assertEqual([p for p in made if os.path.exists(p)], [], "left in / by another run")
        self.addCleanup(lambda: [os.remove(p) for p in made if os.path.exists(p)])
        self.assertEqual(self.run_divro("C:ab.bin", kib(3), "C:", cwd=self.path("work")),
                         (0, f"/ab.bin.001\r/ab.bin.002\r/ab.bin.003\r\n{DONE}\n"))
        self.assertEqual(pieces("/", "ab.bin"), ["001", "002", "003"])
        self.assertEqual(b"".join(map(read, made)), data)
        self.assertEqual(pieces(self.path("work"), "ab.bin"), [])

    def test_current_folder_whose_path_holds_a_backslash(self):
        # Path text would read it as two folders: refused before anything is
        # written. /? still shows the usage screen there.
        wrong = "引数が正しくありません。\nヘルプを表示するには、'divro' とタイプするか、\n/? オプションを使用してください。\n"
        folder = self.path("a\\b")
        os.makedirs(folder)
        random_file(os.path.join(folder, "f.bin"), 10)
        shutil.copy(os.path.join(folder, "f.bin"), os.path.join(folder, "f.bin.001"))
        shutil.copy(os.path.join(folder, "f.bin"), os.path.join(folder, "f.bin.002"))
        for args in (["f.bin", kib(3)], ["f.bin.001"], ["/C", "f.bin.001"]):
            with self.subTest(args=args):
                self.assertEqual(self.run_divro(*args, cwd=folder), (FAILED, wrong))
                self.assertEqual(sorted(os.listdir(folder)), ["f.bin", "f.bin.001", "f.bin.002"])
        rc, out = self.run_divro("f.bin", "/?", "x" * 300, cwd=folder)
        self.assertEqual((rc, out.count("\n"), out[:6]), (0, 25, "DIVRO "))

    def test_long_paths_up_to_the_platform_limit(self):
        # Current folders of 300 and 3000 bytes of Japanese names; then, by
        # absolute paths, the longest name that divides (the path text
        # C:\... of piece 1's temporary name 4095 bytes) also joins, and its
        # batch file names its pieces; a byte more is refused.
        for length in (300, 3000, None):
            with self.subTest(length=length):
                shutil.rmtree(self.path("deep"), ignore_errors=True)
                folder, element = self.path("deep"), "表示" * 40  # 240 bytes
                while len((folder + "/" + element).encode()) <= (length or 3900):
                    folder += "/" + element
                if not length:
                    folder += "/" + "p" * (3900 - len(folder.encode()) - 1)
                os.makedirs(folder)
                unfinished = len(".001.unfinished-1")
                name = "f.bin" if length else "n" * (4095 - 2 - 3900 - 1 - unfinished - 9) + ".abcdefgh"
                where = [] if length else [folder]
                at = (lambda n: n) if length else (lambda n: os.path.join(folder, n))
                if not length:
                    random_file(os.path.join(folder, "n" + name), 10)
                    self.assertEqual(self.run_divro(at("n" + name), kib(4), *where)[0], FAILED)
                data = random_file(os.path.join(folder, name), 10)
                rc, out = self.run_divro(at(name), kib(4), *where, "/C", cwd=folder if length else None)
                self.assertEqual(rc, 0, out)
                os.remove(os.path.join(folder, name))
                rc, out = self.run_divro(at(name + ".001"), *where, cwd=folder if length else None)
                self.assertEqual((rc, read(os.path.join(folder, name))), (0, data), out)
                stem = name.rsplit(".", 1)[0]
                self.assertIn(f"COPY /B {name} + {name}.003 {name}".encode(),
                              read(os.path.join(folder, stem + ".cpy.bat")))

    def test_relative_names_near_the_limit_divide_only_if_they_join(self):
        # Named relative to a deep current folder: the division with both
        # batch files goes ahead only when the full form of its longest name
        # (piece 1's temporary name, NAME.001.unfinished-1) fits; what it
        # writes, the join and the batch writer
        # take; one byte more and nothing at all is written.
        folder = self.path("d" * 200)
        while len(folder.encode()) < 3900:
            folder += "/" + "d" * 200
        os.makedirs(folder)
        fits = 4095 - 2 - len(folder.encode()) - 1 - len(".001.unfinished-1")
        for length, divides in [(fits, True), (fits + 1, False)]:
            with self.subTest(length=length):
                name = "n" * length
                data = random_file(os.path.join(folder, name), 3000)
                rc, out = self.run_divro(name, "/1", "/C", "/S", "/Y", cwd=folder)
                if not divides:
                    self.assertEqual((rc, out.split("\n")[0]), (FAILED, "引数が正しくありません。"))
                    self.assertEqual(sorted(os.listdir(folder)), [name])
                    continue
                self.assertEqual(rc, 0, out)
                os.remove(os.path.join(folder, name))
                for args in ([name + ".001"], [os.path.join(folder, name + ".001")], [name + ".001", "/C"]):
                    rc, out = self.run_divro(*args, "/Y", cwd=folder)
                    self.assertEqual(rc, 0, out)
                self.assertEqual(read(os.path.join(folder, name)), data)
                os.remove(os.path.join(folder, name))
                for n in os.listdir(folder):
                    os.remove(os.path.join(folder, n))

    def test_a_run_that_cannot_start_makes_no_folder(self):
        # Its own checks come first: a forgotten slash makes a join with no
        # pieces, a size larger than the file divides nothing, batch files
        # need pieces; none asks
        # for the folder or makes it, even answered yes.
        random_file(self.path("s.bin"), 3000)
        gap = ["g.bin.001", "g.bin.002", "g.bin.004"]
        for args, message in [(["s.bin", "50M"], "先頭ファイル (*.001) が見つかりません。"),
                              (["s.bin", "/100M", "newdir"], "分割サイズが分割元ファイルのサイズを越えています。"),
                              (["/C", "s.bin", "newdir"], "先頭ファイル (*.001) が見つかりません。"),
                              (["/C", "g.bin.001", "newdir"], "g.bin.003' が見つかりません。")]:
            with self.subTest(args=args):
                for name in gap if args[1] == "g.bin.001" else []:
                    random_file(self.path(name), 10)
                p = self.start_pty(*args)
                p.send(b"y")
                rc, out, _ = p.finish()
                self.assertEqual(rc, FAILED, out)
                self.assertIn(message, out)
                self.assertNotIn("ディレクトリを新規作成しますか", out)
                self.assertEqual(sorted(os.listdir(self.dir)), sorted(["s.bin"] + (gap if args[1] == "g.bin.001" else [])))

    def test_slash_alone_is_the_size_option(self):
        # A forgotten size is not a join into the root; the root is /. or //.
        invalid = "分割サイズが不正です。\n引数の処理中にエラーが起きました。\n"
        missing = "指定されたファイルが見つかりません。\n引数の処理中にエラーが起きました。\n"
        random_file(self.path("f.bin"), 10)
        for args, lines in [(["f.bin", "/"], invalid), (["none", "/.", "/1"], missing),
                            (["none", "//", "/1"], missing)]:
            with self.subTest(args=args):
                rc, out = self.run_divro(*args)
                self.assertEqual((rc, out[:len(lines)]), (FAILED, lines), out)
        self.assertEqual(os.listdir(self.dir), ["f.bin"])

    def test_a_piece_name_linked_to_the_source_is_refused(self):
        # As on Windows, where the source's share mode refuses the write: the
        # source is never emptied through a link, and a plain longer piece is
        # still replaced whole.
        data = random_file(self.path("f.bin"), 5000)
        os.mkdir(self.path("out"))
        for link, piece in [(os.link, 1), (lambda s, d: os.symlink("../f.bin", d), 2)]:
            with self.subTest(piece=piece):
                if piece == 2:
                    random_file(self.path("out", "f.bin.001"), 9000)
                link(self.path("f.bin"), self.path("out", f"f.bin.00{piece}"))
                rc, out = self.run_divro("f.bin", kib(3), "out", "/Y")
                self.assertEqual(rc, FAILED)
                # Past piece 1 the division stops without one of its own:
                # the older piece 1 was removed, the new one never named.
                unfinished = "" if piece == 1 else FIRST_NOT_WRITTEN.format("out/f.bin.001")
                refused = f"ファイル 'out/f.bin.00{piece}' のオープンに失敗しました。\n{unfinished}{NOT_DIVIDED}\n"
                self.assertTrue(out.endswith(refused), out)
                self.assertEqual(read(self.path("f.bin")), data)
                self.assertEqual(os.path.exists(self.path("out", "f.bin.001")), piece == 1)
                for name in os.listdir(self.path("out")):
                    os.remove(self.path("out", name))

    def test_overwrite_all_is_silent_and_removes_later_pieces(self):
        # Pieces 3 and 4 of the older set would join into a wrong file: /Y
        # deletes them too, and one line says so.
        random_file(self.path("f.bin"), 10)
        self.assertEqual(self.run_divro("f.bin", kib(3))[0], 0)
        data = random_file(self.path("f.bin"), 10)
        deleted = "古い分割ファイル 'f.bin.003' から 'f.bin.004' までを削除しました。"
        # The division is done, and says so, once they are gone.
        self.assertEqual(self.run_divro("/Y", "f.bin", kib(5)), (0, f"f.bin.001\rf.bin.002\r\n{deleted}\n{DONE}\n"))
        self.assertEqual(read(self.path("f.bin.001")) + read(self.path("f.bin.002")), data)
        self.assertFalse(os.path.exists(self.path("f.bin.003")) or os.path.exists(self.path("f.bin.004")))

    def test_pieces_agree_with_split_cat_and_7zip(self):
        rng = random.Random(20240601)
        cases = [(10 * MiB + 3, 5 * MiB), (11 * MiB + 7, 5 * MiB + 1), (999 * 37, 37)]
        cases += [(s, rng.randint(-(-s // 999), s - 1)) for s in (rng.randint(2, 3 * MiB) for _ in range(4))]
        for i, (size, piece) in enumerate(cases):
            with self.subTest(size=size, piece=piece):
                ours, gnu, seven = (self.path(str(i), sub) for sub in ("ours", "gnu", "7z"))
                for folder in (ours, gnu, seven):
                    os.makedirs(folder)
                data = random_file(self.path(str(i), "f.bin"), size, rng)
                self.assertEqual(self.run_divro("f.bin", kib(piece), "ours", cwd=self.path(str(i)))[0], 0)
                subprocess.run(["split", "-b", str(piece), "-d", "-a", "3", "--numeric-suffixes=1",
                                "../f.bin", "f.bin."], cwd=gnu, check=True)
                self.assertEqual(pieces(ours), pieces(gnu))
                for s in pieces(ours):
                    self.assertEqual(read(f"{ours}/f.bin.{s}"), read(f"{gnu}/f.bin.{s}"), s)
                cat = subprocess.run("cat f.bin.[0-9][0-9][0-9]", shell=True, cwd=ours,
                                     stdout=subprocess.PIPE, check=True).stdout
                self.assertEqual(cat, data)
                subprocess.run(["7zz", "x", "-y", "../ours/f.bin.001"], cwd=seven,
                               stdout=subprocess.DEVNULL, check=True)
                self.assertEqual(read(f"{seven}/f.bin"), data)

    def test_man_pages_list_the_characters_refused_and_quoted(self):
        # The lists in both pages are those the program goes by: every name
        # divides and joins on POSIX; one Windows cannot hold is never put in
        # a batch file, and the others are quoted as listed.
        man = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "man")
        lists = []
        for page, refused, quoted in [("divro.1", r"holding one of \\fB(.*?)\\fR", r"one of \\fB(.*?)\\fR is put"),
                                      ("ja/divro.1", r"\\fB(.*?)\\fR のどれかを含む名前", r"空白か \\fB(.*?)\\fR を含む")]:
            text = read(os.path.join(man, page)).decode("utf-8").replace("\\(dq", '"')
            lists.append([set(re.search(pattern, text).group(1).split()) for pattern in (refused, quoted)])
        self.assertEqual(lists[0], lists[1])
        refused, quoted = lists[0]
        os.mkdir(self.path("out"))
        for c in sorted(set(string.punctuation) - set("/\\")):  # separators
            with self.subTest(c=c):
                for n in (1, 2):
                    random_file(self.path(f"a{c}b.t.00{n}"), 1)
                rc, out = self.run_divro("/C", "/Y", f"./a{c}b.t.001")
                self.assertEqual(rc, FAILED if c in refused else 0, out)
                if c not in refused:
                    self.assertEqual(b"COPY /B \"a" in read(self.path(f"a{c}b.cpy.bat")), c in quoted)
                rc, out = self.run_divro(f"./a{c}b.t.001", "out")
                self.assertEqual((rc, os.path.exists(self.path("out", f"a{c}b.t"))), (0, True), out)

    def test_names_only_posix_holds(self):
        # Hidden folders and files, a comma and a blank in a folder, a colon
        # and a semicolon in a name: each divides and joins. A name with a
        # colon, which Windows cannot hold, gets no batch file.
        for folder, name, batch in [(".hidden/sub", "f.bin", "f.cpy.bat"), (".", ".profile", ".cpy.bat"),
                                    ("Photos, 2024", "f.bin", "f.cpy.bat"), (".", "./ab:c;d.bin", None)]:
            with self.subTest(folder=folder, name=name):
                cwd = self.path(folder)
                os.makedirs(os.path.join(cwd, "out"), exist_ok=True)
                data = random_file(os.path.join(cwd, name), 10)
                rc, out = self.run_divro(name, kib(4), "/C", cwd=cwd)
                self.assertEqual((rc, "バッチファイルを作成しました。" in out), (0, batch is not None), out)
                self.assertEqual(batch is None or os.path.exists(os.path.join(cwd, batch)), True)
                rc, out = self.run_divro(name + ".001", "out", "/Y", cwd=cwd)
                self.assertEqual((rc, read(os.path.join(cwd, "out", os.path.basename(name)))), (0, data), out)
