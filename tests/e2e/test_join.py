import os
import random
import subprocess

from tests import scenarios
from tests.e2e.helpers import FAILED, TempDirTest, kib, random_file, read, sha256, write
from tests.messages import NOT_JOINED

MiB = 1 << 20


class JoinTest(TempDirTest):
    def test_pieces_from_the_first_up_to_a_gap(self):
        # A piece beyond a gap refuses the join; pieces of unequal sizes are
        # named and asked about, and without a terminal nobody agreed.
        for present, source, joined in [([1, 2, 4], 1, 0), ([1, 2, 3], 3, 3), ([1, 2, 3], 2, 3)]:
            with self.subTest(present=present, source=source):
                for name in os.listdir(self.dir):
                    os.remove(self.path(name))
                parts = {n: write(self.path(f"m.avi.{n:03d}"), os.urandom(10 + n)) for n in present}
                rc, out = self.run_divro(f"m.avi.{source:03d}")
                if not joined:
                    missing = f"分割ファイル '{self.path('m.avi.003')}' が見つかりません。"
                    self.assertEqual((rc, out), (FAILED, f"{missing}\n{NOT_JOINED}\n"))
                    self.assertFalse(os.path.exists(self.path("m.avi")))
                    continue
                names = "".join(self.path(f"m.avi.{n:03d}\r") for n in range(1, joined + 1))
                odd = (f"分割ファイル '{self.path('m.avi.001')}' のサイズ (11 バイト) が他の分割ファイル (12 バイト) と異なります。\n"
                       "このまま結合しますか？ [はい (Y), いいえ (N)]\n")
                self.assertEqual((rc, out), (FAILED, f"{names}\n{odd}{NOT_JOINED}\n"))
                self.assertFalse(os.path.exists(self.path("m.avi")))
                p = self.start_pty(f"m.avi.{source:03d}")
                p.question("いいえ (N)]")
                p.send(b"y")
                self.assertEqual(p.finish()[0], 0)
                self.assertEqual(read(self.path("m.avi")), b"".join(parts[n] for n in range(1, joined + 1)))

    def test_first_or_second_piece_missing(self):
        for present, message in [(1, "次の分割ファイル (*.002) が見つかりません。"),
                                 (2, "先頭ファイル (*.001) が見つかりません。")]:
            with self.subTest(present=present):
                write(self.path(f"m{present}.avi.00{present}"), b"piece")
                rc, out = self.run_divro(f"m{present}.avi.00{present}")
                self.assertEqual((rc, out), (FAILED, f"{message}\n{NOT_JOINED}\n"))
                self.assertFalse(os.path.exists(self.path(f"m{present}.avi")))

    def test_output_that_is_a_piece_under_another_name(self):
        # Emptied before it is read, the piece would be lost and the joined
        # file wrong, with success reported: refused before anything is opened.
        parts = [write(self.path(f"m.avi.00{n}"), os.urandom(size))
                 for n, size in enumerate(scenarios.OUTPUT_IS_A_PIECE_SIZES, 1)]

        def moved(piece, output):  # the output a plain file of its own
            os.rename(piece, output)
            os.symlink("m.avi", piece)
        links = {"hard": os.link, "symbolic": lambda piece, output: os.symlink(os.path.basename(piece), output),
                 "moved": moved}
        for how, piece in scenarios.native_rows(scenarios.OUTPUT_IS_A_PIECE):
            with self.subTest(link=how, piece=piece):
                links[how](self.path(f"m.avi.00{piece}"), self.path("m.avi"))
                rc, out = self.run_divro("m.avi.001", "/Y")
                self.assertEqual((rc, out), (FAILED, f"ファイル 'm.avi' のオープンに失敗しました。\n{NOT_JOINED}\n"))
                self.assertEqual([read(self.path(f"m.avi.00{n}")) for n in (1, 2, 3)], parts)
                if os.path.islink(self.path(f"m.avi.00{piece}")):
                    os.remove(self.path(f"m.avi.00{piece}"))
                    os.rename(self.path("m.avi"), self.path(f"m.avi.00{piece}"))
                else:
                    os.remove(self.path("m.avi"))
        # A plain file is replaced as before, once the odd sizes are agreed to.
        p = self.start_pty("m.avi.001", "/Y")
        p.question("いいえ (N)]")
        p.send(b"y")
        self.assertEqual(p.finish()[0], 0)
        self.assertEqual(read(self.path("m.avi")), b"".join(parts))

    def test_output_folder_and_names(self):
        os.makedirs(self.path("work", "out"))
        for folder, name, args, output in [  # pieces' folder and name, arguments run in work, output
                ("p", "m.avi", ["../p/m.avi.001"], "work/m.avi"),
                ("p", "m.avi", ["../p/m.avi.001", "out"], "work/out/m.avi"),
                ("p", "m.avi", [self.path("p/m.avi.001"), self.path("work/out") + "/"], "work/out/m.avi"),
                ("work", "README", ["README.001"], "work/README"),
                ("work", "d.001", ["d.001.001", "out/"], "work/out/d.001")]:
            with self.subTest(args=args):  # a piece of 12 MiB goes in three chunks
                parts = [random_file(self.path(folder, f"{name}.00{n}"), s) for n, s in ((1, 12 * MiB), (2, 5))]
                self.assertEqual(self.run_divro(*args, cwd=self.path("work"))[0], 0)
                self.assertEqual(read(self.path(output)), b"".join(parts))
                os.remove(self.path(output))

    def test_round_trips(self):
        rng = random.Random(7)
        for i in range(6):
            size = rng.randint(5000, 12 * MiB)
            piece = max(rng.choice([rng.randint(1, 4096), rng.randint(1, size - 1)]), size // 2000 + 1)
            with self.subTest(size=size, piece=piece):
                folder = self.path(str(i))
                random_file(os.path.join(folder, "f.bin"), size, rng)
                for sub in ("pieces", "joined"):
                    os.makedirs(os.path.join(folder, sub))
                self.assertEqual(self.run_divro("f.bin", kib(piece), "pieces", cwd=folder)[0], 0)
                self.assertEqual(self.run_divro("pieces/f.bin.001", "joined", cwd=folder)[0], 0)
                self.assertEqual(sha256(f"{folder}/joined/f.bin"), sha256(f"{folder}/f.bin"))

    def test_joins_pieces_made_by_gnu_split(self):
        rng = random.Random(99)
        data = write(self.path("f.bin"), bytes(rng.choice(b"ab\n") for _ in range(300000)))
        # Equal pieces, odd sizes, lines (uneven, a later piece may be larger), and a larger last piece.
        for i, how in enumerate([["-b", "65536"], ["-b", "4097"], ["-l", "20000"], ["-n", "7"]]):
            with self.subTest(split=how):
                os.makedirs(self.path(str(i), "joined"))
                subprocess.run(["split", *how, "-d", "-a", "3", "--numeric-suffixes=1", "../f.bin", "f.bin."],
                               cwd=self.path(str(i)), check=True)
                if how[0] == "-l":  # pieces of uneven sizes, asked about
                    p = self.start_pty(f"{i}/f.bin.001", f"{i}/joined")
                    p.question("いいえ (N)]")
                    p.send(b"y")
                    self.assertEqual(p.finish()[0], 0)
                else:
                    self.assertEqual(self.run_divro(f"{i}/f.bin.001", f"{i}/joined")[0], 0)
                self.assertEqual(read(self.path(str(i), "joined", "f.bin")), data)

    def test_batch_files_after_dividing(self):
        # л is 0x84 0x7C in code page 932: a single-byte system reads a pipe.
        # A ! turns delayed expansion off, which would expand it in quotes.
        off = "SETLOCAL DisableDelayedExpansion\r\n"
        # The .cpy.bat looks for every piece first: 20 bytes, two lines a piece,
        # 169; then for a folder at the output; its size check follows COPY.
        for name, quoted, base, head, sizes in [
                ("movie.avi", "{}", "movie", "", (167 + 20 + 3 * (50 + 48) + 169 + 146 + 238, 94)),
                ("my movie.avi", '"{}"', "my movie", "", (197 + 20 + 3 * (55 + 53) + 169 + 161 + 243, 99)),
                ("лmarker", '"{}"', "лmarker", "", (173 + 20 + 3 * (51 + 49) + 169 + 149 + 239, 95)),
                ("a!.txt", '"{}"', "a!", off, (195 + 20 + 3 * (49 + 47) + 169 + 143 + 237, 127))]:
            with self.subTest(name=name):
                random_file(self.path(name), 2500)  # three pieces of 1 KiB
                rc, out = self.run_divro("/C", name, "/1", "/S")
                self.assertEqual(rc, 0, out)
                self.assertTrue(out.endswith(f"{base}.cpy.bat\nバッチファイルを作成しました。\n"
                                             f"{base}.dvr.bat\nバッチファイルを作成しました。\n"), out)
                whole, p = quoted.format(name), [quoted.format(f"{name}.00{n}") for n in (1, 2, 3)]
                folder = [quoted.format(f"{name}.00{n}\\*") for n in (1, 2, 3)]
                check = ("SET DIVRO_MISSING=\r\n" +
                         "".join(f"IF NOT EXIST {p[n]} SET DIVRO_MISSING=00{n + 1}\r\n"
                                 f"IF EXIST {folder[n]} SET DIVRO_MISSING=00{n + 1}\r\n" for n in range(3)) +
                         "IF DEFINED DIVRO_MISSING ECHO 分割ファイル *.%DIVRO_MISSING% が見つかりません。"
                         "結合を中止しました。\r\nIF DEFINED DIVRO_MISSING PAUSE\r\n"
                         "IF DEFINED DIVRO_MISSING EXIT /B 1\r\n")
                out_folder = "IF EXIST %s " % quoted.format(name + "\\*")
                check += (f"{out_folder}ECHO 結合先と同じ名前のフォルダがあります。結合を中止しました。\r\n"
                          f"{out_folder}PAUSE\r\n{out_folder}EXIT /B 1\r\n")
                size = (f"SET DIVRO_BAD=1\r\nFOR %%F IN ({whole}) DO IF \"%%~zF\"==\"2500\" SET DIVRO_BAD=\r\n"
                        "IF DEFINED DIVRO_BAD ECHO 結合したファイルのサイズが元のファイルと異なります。結合に失敗しました。\r\n"
                        "IF DEFINED DIVRO_BAD PAUSE\r\nIF DEFINED DIVRO_BAD EXIT /B 1\r\n")
                copy = (f"@ECHO OFF\r\n{head}{check}COPY /B {p[0]} + {p[1]} {whole}\r\nCOPY /B {whole} + {p[2]} {whole}\r\n"
                        f"{size}ECHO 結合が完了しました。何かキーを押すと終了します。\r\nPAUSE\r\n").encode("cp932")
                self_ = (f"@ECHO OFF\r\n{head}DIVRO {p[0]}\r\n"
                         "ECHO 処理が終了しました。何かキーを押すと終了します。\r\nPAUSE\r\n").encode("cp932")
                self.assertEqual((read(self.path(f"{base}.cpy.bat")), read(self.path(f"{base}.dvr.bat"))),
                                 (copy, self_))
                self.assertEqual((len(copy), len(self_)), sizes)
        # Pieces of 4 GiB and more in all: Wine's cmd gives the size modulo 4 GiB, a second line accepts that.
        for second, whole, remainder in [(2, 5 << 30, 1 << 30), (1, 4 << 30, 0)]:
            for n, size in [(1, 3 << 30), (2, second << 30)]:
                write(self.path(f"big.bin.00{n}"), b"")
                os.truncate(self.path(f"big.bin.00{n}"), size)  # sparse
            self.assertEqual(self.run_divro("/C", "/Y", "big.bin.001")[0], 0)
            self.assertIn(f'IF "%%~zF"=="{whole}" SET DIVRO_BAD=\r\nFOR %%F IN (big.bin) DO IF "%%~zF"=="{remainder}"'
                          .encode(), read(self.path("big.cpy.bat")))

    def test_checksum_file_written_by_a_division_checks_the_join(self):
        # sha256sum reads the file divro writes; a flipped bit in a piece
        # refuses the join and leaves the existing output as it was.
        data = random_file(self.path("m.avi"), 3 * MiB + 5)
        self.assertEqual(self.run_divro("m.avi", "/1M", "/H")[0], 0)
        self.assertEqual(sorted(os.listdir(self.dir)), ["m.avi", "m.avi.001", "m.avi.002", "m.avi.003",
                                                       "m.avi.004", "m.avi.sha256"])
        check = subprocess.run(["sha256sum", "-c", "m.avi.sha256"], cwd=self.dir, capture_output=True)
        self.assertEqual((check.returncode, check.stdout.count(b": OK")), (0, 5))
        os.makedirs(self.path("joined"))
        self.assertEqual(self.run_divro("m.avi.001", "joined")[0], 0)
        self.assertEqual(read(self.path("joined", "m.avi")), data)
        piece = bytearray(read(self.path("m.avi.002")))
        piece[12345] ^= 0x10
        write(self.path("m.avi.002"), bytes(piece))
        rc, out = self.run_divro("m.avi.001", "joined", "/Y")
        mismatch = f"分割ファイル '{self.path('m.avi.002')}' のチェックサムが一致しません。"
        self.assertEqual(rc, FAILED)
        self.assertTrue(out.endswith(f"{mismatch}\n{NOT_JOINED}\n"), out)
        self.assertEqual(read(self.path("joined", "m.avi")), data)
        self.assertEqual(os.listdir(self.path("joined")), ["m.avi"])  # no temporary file left
