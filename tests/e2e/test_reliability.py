"""Real faults from the operating system, signals, and round trips at scale."""
import errno
import gzip
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

from tests.e2e.helpers import (BIN, ENV, FAILED, FIRST_NOT_WRITTEN, TempDirTest, check_errors, kib, random_file, read,
                               run_with_errors, sha256, system_reason, write)
from tests.messages import NOT_DIVIDED, NOT_JOINED

MiB = 1 << 20
UNFINISHED = "f.bin.001.unfinished-1"

# Starts the program as a job of its own in the foreground, as a shell with
# job control does: unlike a session leader's group, such a job really stops
# on Ctrl-Z.
JOB_LAUNCHER = """
import os, signal, sys
signal.signal(signal.SIGTTOU, signal.SIG_IGN)
pid = os.fork()
if pid == 0:
    os.setpgid(0, 0)
    os.tcsetpgrp(0, os.getpgrp())
    signal.signal(signal.SIGTTOU, signal.SIG_DFL)
    os.execv(sys.argv[1], sys.argv[1:])
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]) & 0xFF)
"""


def wait_until(condition, what, timeout=5):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError(f"still not {what}")
        time.sleep(0.01)


def is_stopped(pid):
    with open(f"/proc/{pid}/stat") as f:
        return f.read().rsplit(")", 1)[1].split()[0] == "T"


def limited(max_file_bytes=None, user=None):
    """A preexec_fn: a file size limit with SIGXFSZ ignored, and/or another user."""
    def apply():
        os.setsid()
        if max_file_bytes is not None:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (max_file_bytes, max_file_bytes))
        if user is not None:
            os.setgid(user)
            os.setuid(user)
    return apply


def run_as(args, cwd, merged=False, **limits):
    """merged: standard error into the same pipe as the output, whose text is then both."""
    p = subprocess.run([BIN, *args], cwd=cwd, env=ENV, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT if merged else subprocess.PIPE,
                       preexec_fn=limited(**limits), timeout=120)
    check_errors(p.stderr or b"")
    return p.returncode, p.stdout.decode("utf-8", "replace"), (p.stderr or b"").decode()


NOBODY = 65534


class OperatingSystemFaultTest(TempDirTest):
    def test_no_room_to_write(self):
        data = random_file(self.path("f.bin"), 3 * MiB)
        # Standard error names the file and the system's reason after each
        # failure message; standard output holds the messages alone.
        # Piece 1 is written under its temporary name, which is named.
        rc, out, err = run_as(["f.bin", "/1024"], self.dir, max_file_bytes=MiB // 2)
        self.assertEqual(err, f"divro: {UNFINISHED}: {system_reason(errno.EFBIG)}\n")
        self.assertEqual(rc, FAILED, out)
        self.assertIn(f"ファイル '{UNFINISHED}' の書き込みに失敗しました。\n"
                      f"{FIRST_NOT_WRITTEN.format('f.bin.001')}{NOT_DIVIDED}\n", out)
        self.assertEqual(read(self.path("f.bin")), data)
        # Small pieces are moved by read and write, not inside the kernel.
        # Output to a pipe comes in blocks, yet in its order with standard
        # error where both share one.
        rc, out, _ = run_as(["f.bin", "/40", "/Y"], self.dir, merged=True, max_file_bytes=20 * 1024)
        self.assertEqual(rc, FAILED, out)
        self.assertEqual(out, f"f.bin.001\rファイル '{UNFINISHED}' の書き込みに失敗しました。\n"
                              f"divro: {UNFINISHED}: {system_reason(errno.EFBIG)}\n"
                              f"{FIRST_NOT_WRITTEN.format('f.bin.001')}"
                              f"{NOT_DIVIDED}\n")
        self.assertEqual(read(self.path("f.bin")), data)
        self.assertEqual(sorted(os.listdir(self.dir)), ["f.bin"])
        # Without a terminal the question about a piece there counts as S: a
        # stop, which is no system error.
        write(self.path("f.bin.001"), b"left")
        rc, out, err = run_as(["f.bin", "/40"], self.dir)
        self.assertEqual(err, f"divro: f.bin.001: ファイルの分割を中止しました。\n")

        pieces = [random_file(self.path(f"p.{n:03d}"), MiB) for n in (1, 2)]
        os.mkdir(self.path("out"))
        rc, out, _ = run_as(["p.001", "out"], self.dir, max_file_bytes=MiB + 5)
        self.assertEqual(rc, FAILED, out)
        self.assertIn(f"結合ファイルの書き込みに失敗しました。\n{NOT_JOINED}\n", out)
        self.assertEqual([read(self.path(f"p.{n:03d}")) for n in (1, 2)], pieces)

    @unittest.skipUnless(os.geteuid() == 0, "needs root to run as another user")
    def test_folder_the_user_may_not_write(self):
        os.chmod(self.dir, 0o755)
        random_file(self.path("f.bin"), 3000)
        random_file(self.path("p.001"), 10)
        random_file(self.path("p.002"), 10)
        os.chmod(self.path("f.bin"), 0o644)
        os.mkdir(self.path("locked"), 0o755)
        rc, out, err = run_as(["f.bin", "/1", "locked"], self.dir, user=NOBODY)
        self.assertEqual(rc, FAILED, out)
        self.assertIn("作業用ファイルを 'locked/' に作成できません。", out)
        self.assertIn(f"divro: locked/: {system_reason(errno.EACCES)}\n", err)
        rc, out, _ = run_as(["p.001", "locked"], self.dir, user=NOBODY)
        self.assertEqual(rc, FAILED, out)
        self.assertIn("作業用ファイルを 'locked/' に作成できません。", out)
        self.assertEqual(os.listdir(self.path("locked")), [])
        # An output there that the user may write is written in place.
        write(self.path("locked", "p"), b"old")
        os.chown(self.path("locked", "p"), NOBODY, NOBODY)
        rc, out, _ = run_as(["p.001", "locked", "/Y"], self.dir, user=NOBODY)
        self.assertEqual(rc, 0, out)
        self.assertEqual(read(self.path("locked", "p")), read(self.path("p.001")) + read(self.path("p.002")))

    def test_piece_replaced_by_a_folder(self):
        random_file(self.path("f.bin"), 3000)
        os.mkdir(self.path("f.bin.002"))
        rc, out, err = run_with_errors(["f.bin", "/1", "/Y"], self.dir)
        self.assertEqual(err.decode(), f"divro: f.bin.002: {system_reason(errno.EISDIR)}\n")
        self.assertEqual(rc, FAILED, out)
        self.assertIn("ファイル 'f.bin.002' のオープンに失敗しました。", out)
        # No piece 1 is left for a join to take.
        self.assertEqual(sorted(os.listdir(self.dir)), ["f.bin", "f.bin.002"])

    def test_closed_standard_streams(self):
        # A file opened in place of a closed descriptor would take the
        # progress lines into the data, and a source opened there would
        # escape the check that keeps it from being emptied through a link.
        data = random_file(self.path("f.bin"), 10000)
        os.mkdir(self.path("out"))
        for fds in [(1,), (0, 1, 2)]:
            with self.subTest(closed=fds):
                def run_closed(*args):
                    return subprocess.run([BIN, *args], cwd=self.dir, env=ENV,
                                          preexec_fn=lambda: [os.close(fd) for fd in fds]).returncode
                self.assertEqual(run_closed("f.bin", kib(3000), "/Y"), 0)
                self.assertEqual(b"".join(read(self.path(f"f.bin.00{n}")) for n in range(1, 5)), data)
                self.assertEqual(run_closed("f.bin.001", "out", "/Y"), 0)
                self.assertEqual(read(self.path("out", "f.bin")), data)
                os.link(self.path("f.bin"), self.path("f.bin.005"))
                self.assertEqual(run_closed("f.bin", kib(2000), "/Y"), FAILED)
                self.assertEqual(read(self.path("f.bin")), data)
                os.remove(self.path("f.bin.005"))

    def test_few_free_descriptors(self):
        # At the question the source, its folder and the terminal take the
        # last descriptors: a message converted then must need none.
        data = random_file(self.path("f.bin"), 10)
        with open(self.path("f.bin.001"), "wb") as f:
            f.write(b"old")
        p = self.start_pty("f.bin", kib(3), launcher=("prlimit", "--nofile=6:6"))
        p.question("中止 (S)]")
        p.send(b"y")
        rc, out, _ = p.finish()
        self.assertEqual((rc, out), (0, "同名ファイル 'f.bin.001' を上書きしますか？\n[はい (Y), 以降全て上書き(A), 中止 (S)]y\n"
                                        + "".join(f"f.bin.00{n}\r" for n in range(1, 5)) + "\nファイルの分割が終了しました。\n"))
        self.assertEqual(b"".join(read(self.path(f"f.bin.00{n}")) for n in range(1, 5)), data)
        # A character set that no converter reaches: the run ends before any file is touched.
        charmap = self.path("locale", "x.charmap")
        os.mkdir(self.path("locale"))
        with gzip.open("/usr/share/i18n/charmaps/ISO-8859-1.gz") as source, open(charmap, "wb") as f:
            f.write(source.read().replace(b"<code_set_name> ISO-8859-1", b"<code_set_name> X-NO-CONVERTER"))
        subprocess.run(["localedef", "-i", "de_DE", "-f", charmap, self.path("locale", "de_DE.xnoconverter")],
                       check=True, capture_output=True)
        before = sorted(os.listdir(self.dir))
        p = subprocess.run([BIN, "f.bin", "/1", "/Y", "/C"], cwd=self.dir, capture_output=True,
                           env=dict(ENV, LOCPATH=self.path("locale"), LC_ALL="de_DE.X-NO-CONVERTER"))
        self.assertEqual((p.returncode, p.stdout, p.stderr), (FAILED, b"", b"divro: cannot convert messages to X-NO-CONVERTER\n"))
        self.assertEqual((sorted(os.listdir(self.dir)), read(self.path("f.bin.001"))), (before, data[:3]))
        # English needs no converter: only the batch file's names did.
        p = subprocess.run([BIN, "--help"], cwd=self.dir, capture_output=True,
                           env=dict(ENV, LOCPATH=self.path("locale"), LC_ALL="de_DE.X-NO-CONVERTER"))
        self.assertEqual((p.returncode, p.stdout[:6], p.stderr), (0, b"DIVRO ", b""))

    def test_source_that_shrinks_while_divided(self):
        random_file(self.path("f.bin"), 3000)
        random_file(self.path("f.bin.002"), 1)
        p = self.start_pty("f.bin", "/1")
        p.expect("[はい (Y), 以降全て上書き(A), 中止 (S)]")
        os.truncate(self.path("f.bin"), 1500)  # while the question waits
        p.send(b"y")
        rc, out, _ = p.finish()
        self.assertEqual(rc, FAILED, out)
        self.assertIn(f"分割元ファイルの読み込みに失敗しました。\n{FIRST_NOT_WRITTEN.format('f.bin.001')}{NOT_DIVIDED}\n", out)


class SignalTest(TempDirTest):
    def interrupt_question(self, interrupt, **options):
        random_file(self.path("f.bin"), 3000)
        random_file(self.path("f.bin.001"), 1)
        p = self.start_pty("f.bin", "/1", **options)
        p.question("中止 (S)]")
        interrupt(p)
        rc, _, lflag = p.finish()
        self.assertNotEqual(rc, 0)
        self.assertTrue(lflag & termios.ICANON and lflag & termios.ECHO)

    def test_ctrl_c_at_a_question(self):
        self.interrupt_question(lambda p: p.send(b"\x03"))

    def test_sigterm_at_a_question(self):
        self.interrupt_question(lambda p: p.proc.send_signal(signal.SIGTERM))

    def test_ignored_hang_up_leaves_the_question_waiting(self):
        def hang_up_then_stop(p):  # as under nohup
            p.proc.send_signal(signal.SIGHUP)
            time.sleep(0.2)
            self.assertIsNone(p.proc.poll(), "ended by a hang-up it was told to ignore")
            p.send(b"s")
        self.interrupt_question(hang_up_then_stop, ignored=(signal.SIGHUP,))

    def test_ctrl_z_gives_the_terminal_back_until_continued(self):
        def stop_then_continue(p):
            p.send(b"\x1a")
            job = os.tcgetpgrp(p.master)
            wait_until(lambda: is_stopped(job), "stopped")
            lflag = termios.tcgetattr(p.slave)[3]
            self.assertTrue(lflag & termios.ICANON and lflag & termios.ECHO, "raw while stopped")
            os.killpg(job, signal.SIGCONT)
            wait_until(lambda: not termios.tcgetattr(p.slave)[3] & termios.ICANON, "single keys again")
            p.send(b"s")
        self.interrupt_question(stop_then_continue, launcher=(sys.executable, "-c", JOB_LAUNCHER))

    def test_ctrl_z_where_no_stop_can_come_keeps_single_keys(self):
        # A session leader's group is orphaned: the stop is dropped, and the
        # question must still read single keys (s answers it, no Enter).
        self.interrupt_question(lambda p: (p.send(b"\x1a"), time.sleep(0.2), p.send(b"s")))

    def test_prompt_into_a_closed_pipe_gives_the_terminal_back(self):
        random_file(self.path("f.bin"), 3000)
        read_end, write_end = os.pipe()
        os.close(read_end)
        p = self.start_pty("f.bin", "/1", "new", stdout=write_end)
        os.close(write_end)
        rc, _, lflag = p.finish()
        self.assertEqual(rc, -signal.SIGPIPE)
        self.assertTrue(lflag & termios.ICANON and lflag & termios.ECHO)
        self.assertFalse(os.path.exists(self.path("new")))

    def test_ctrl_c_after_a_question_answered(self):
        # The question gave the terminal back; the temporary piece 1 is
        # still the run's to remove when Ctrl-C comes later.
        with open(self.path("f.bin"), "wb") as f:
            f.truncate(512 * MiB)
        write(self.path("f.bin.002"), b"old")
        p = self.start_pty("f.bin", "/1024")
        p.question("中止 (S)]")
        p.send(b"y")
        while not os.path.exists(self.path("f.bin.004")) and p.proc.poll() is None:
            time.sleep(0.0005)
        p.proc.send_signal(signal.SIGINT)
        self.assertEqual(p.proc.wait(30), -signal.SIGINT)
        self.assertFalse([n for n in os.listdir(self.dir) if n.startswith("f.bin.001")])

    def test_ctrl_c_during_a_large_division(self):
        with open(self.path("f.bin"), "wb") as f:
            f.truncate(512 * MiB)  # sparse: large without the cost of writing it
        proc = subprocess.Popen([BIN, "f.bin", "/1024", "/Y"], cwd=self.dir, env=ENV,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                start_new_session=True)
        while not os.path.exists(self.path("f.bin.003")) and proc.poll() is None:
            time.sleep(0.0005)
        proc.send_signal(signal.SIGINT)
        self.assertEqual(proc.wait(30), -signal.SIGINT)
        # The pieces written so far stay, but no piece 1: its temporary
        # file went with the interrupt, and no join takes the rest.
        written = sorted(n for n in os.listdir(self.dir) if n.startswith("f.bin."))
        self.assertIn("f.bin.003", written)
        self.assertLess(len(written), 512)
        self.assertFalse([n for n in written if n.startswith("f.bin.001")], written)


class RoundTripPropertyTest(TempDirTest):
    """Random (file size, piece size) pairs, divided and joined back, by us and by peers."""

    def setUp(self):
        # Memory is quicker than the disk for many small runs.
        shm = "/dev/shm" if os.path.isdir("/dev/shm") else None
        self._tmp = tempfile.TemporaryDirectory(prefix="divro-prop-", dir=shm)
        self.dir = os.path.realpath(self._tmp.name)
        self.addCleanup(self._tmp.cleanup)

    def round_trip(self, size, piece, rng, cross):
        folder = self.path("t")
        shutil.rmtree(folder, ignore_errors=True)
        random_file(os.path.join(folder, "f.bin"), size, rng)
        digest = sha256(os.path.join(folder, "f.bin"))
        rc, out = self.run_divro("f.bin", kib(piece), cwd=folder)
        if size <= piece:
            self.assertEqual(rc, FAILED, out)
            return
        count = -(-size // piece)
        if count > 18575:
            self.assertIn("分割サイズが小さすぎます。", out)
            return
        self.assertEqual(rc, 0, out)
        os.mkdir(os.path.join(folder, "j"))
        if cross == "cat" and count <= 999:
            subprocess.run(f"cat f.bin.[0-9]* > j/f.bin", shell=True, cwd=folder, check=True)
        elif cross == "split" and count <= 999:
            for name in os.listdir(folder):
                if name.startswith("f.bin."):
                    os.remove(os.path.join(folder, name))
            subprocess.run(["split", "-b", str(piece), "-d", "-a", "3", "--numeric-suffixes=1",
                            "f.bin", "f.bin."], cwd=folder, check=True)
            rc, out = self.run_divro("f.bin.001", "j", cwd=folder)
            self.assertEqual(rc, 0, out)
        else:
            rc, out = self.run_divro("f.bin.001", "j", cwd=folder)
            self.assertEqual(rc, 0, out)
        self.assertEqual(sha256(os.path.join(folder, "j", "f.bin")), digest, (size, piece, cross))

    def test_random_pairs(self):
        rng = random.Random(int(os.environ.get("DIVRO_SEED", "1861")))
        chunk = 5 * MiB
        edges = [(18575, 1), (18576, 1), (chunk + 1, chunk), (2 * chunk, chunk - 1),
                 (chunk - 1, 1000), (chunk + 7, 12345), (1, 1), (2, 1)]
        pairs = [(s, p, "ours") for s, p in edges]
        while len(pairs) < 1000:
            size = rng.choice([rng.randint(1, 4096), rng.randint(1, 300_000)])
            # Mostly a few hundred pieces at most, which keeps the run short;
            # the edges above and a tenth of tiny pieces cover the many.
            if size <= 2048 and rng.random() < 0.1:
                piece = rng.randint(1, 64)
            else:
                piece = max(1, size // rng.choice([1, 2, 3, rng.randint(2, 300)]) +
                            rng.randint(-2, 2))
            pairs.append((size, piece, rng.choice(["ours", "ours", "cat", "split"])))
        for size, piece, cross in pairs:
            with self.subTest(size=size, piece=piece, cross=cross):
                self.round_trip(size, piece, rng, cross)
