"""Runs the built divro as a black box: with no terminal, or on a pty of its own."""
import ctypes
import fcntl
import hashlib
import os
import select
import signal
import subprocess
import tempfile
import termios
import time
import unittest

BIN = os.path.abspath(os.environ.get("DIVRO_BIN", "build-test/divro"))
# Japanese messages unless a case asks for English (any locale but ja...).
# LANGUAGE would choose the system's error texts: left out.
ENV = {k: v for k, v in dict(os.environ, LC_ALL="ja_JP.UTF-8").items() if k != "LANGUAGE"}
ENGLISH = "C.UTF-8"
FAILED = 255  # exit status -1
# The line of a division that stopped after piece 1 was begun.
FIRST_NOT_WRITTEN = "分割が完了しなかったため、先頭ファイル '{}' は作成していません。\n"


def check_errors(err):
    """Standard error holds divro's own lines only: a sanitizer's report fails the test."""
    if b"Sanitizer" in err or b"runtime error" in err:
        raise AssertionError(err.decode("utf-8", "replace"))


def locale_env(locale):
    """The environment for a locale: a name for LC_ALL, or the variables themselves (LC_ALL unset)."""
    if not locale:
        return ENV
    if isinstance(locale, str):
        return dict(ENV, LC_ALL=locale)
    return {**{k: v for k, v in ENV.items() if k != "LC_ALL"}, **locale}


def system_reason(code, locale="ja_JP.UTF-8", ctype=None):
    """The C library's text for an error code under a locale's messages, as divro writes it.
    ctype: the character set's locale where it is another (the text comes in that set)."""
    libc = ctypes.CDLL(None)
    libc.setlocale.restype = libc.strerror.restype = ctypes.c_char_p
    libc.setlocale.argtypes = [ctypes.c_int, ctypes.c_char_p]
    saved = {category: libc.setlocale(category, None) for category in (0, 5)}  # LC_CTYPE, LC_MESSAGES
    try:
        libc.setlocale(0, (ctype or locale).encode())
        libc.setlocale(5, locale.encode())
        return libc.strerror(code).decode()
    finally:
        for category, value in saved.items():
            libc.setlocale(category, value)


def run_with_errors(args, cwd, locale=None):
    """(exit status, output, standard error) of divro with no controlling terminal and stdin /dev/null.
    locale: see locale_env."""
    env = locale_env(locale)
    p = subprocess.run([BIN, *args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       start_new_session=True, timeout=120)
    check_errors(p.stderr)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr


def run(args, cwd, locale=None):
    """(exit status, output) of divro with no controlling terminal and stdin /dev/null."""
    return run_with_errors(args, cwd, locale)[:2]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return data


def sha256(path):
    return hashlib.sha256(read(path)).hexdigest()


def random_file(path, size, rng=None):
    """Writes size random bytes (from rng when given, for a repeatable run)."""
    return write(path, rng.randbytes(size) if rng else os.urandom(size))


def kib(nbytes):
    """The size option for a piece of exactly nbytes (nbytes / 1024 is exact in binary)."""
    return "/" + repr(nbytes / 1024)


class Pty:
    """divro with a fresh pty as its controlling terminal and stdin/stdout."""

    def __init__(self, args, cwd, typed_ahead=b"", launcher=(), ignored=(), stdout=None,
                 errors_shown=False):
        """launcher: words run in front of the program; ignored: signals it starts with ignored;
        errors_shown: standard error on the terminal too."""
        self.master, self.slave = os.openpty()
        # Failure lines on standard error are the terminal's too, but kept
        # apart: the output is the program's standard output alone.
        self.errors = tempfile.TemporaryFile()
        if typed_ahead:
            os.write(self.master, typed_ahead)

        def prepare():  # the pty becomes the controlling terminal after setsid
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
            for number in ignored:
                signal.signal(number, signal.SIG_IGN)

        self.proc = subprocess.Popen(
            [*launcher, BIN, *args], cwd=cwd, env=ENV, stdin=self.slave,
            stdout=self.slave if stdout is None else stdout,
            stderr=self.slave if errors_shown else self.errors,
            start_new_session=True, preexec_fn=prepare)
        self.out = b""

    def send(self, data):
        os.write(self.master, data)

    def _read(self, timeout):
        ready = select.select([self.master], [], [], timeout)[0]
        self.out += os.read(self.master, 65536) if ready else b""
        return bool(ready)

    def expect(self, text, count=1, timeout=10):
        """Waits until text has appeared count times in all the output so far."""
        end = time.monotonic() + timeout
        while self.text().count(text) < count:
            if not self._read(max(0, end - time.monotonic())):
                raise AssertionError(f"no {text!r} in {self.text()!r}")

    def question(self, text, count=1, timeout=10):
        """Waits for a question, then until the program reads keys (else the tty echoes them)."""
        self.expect(text, count, timeout)
        end = time.monotonic() + timeout
        while termios.tcgetattr(self.slave)[3] & termios.ICANON:
            if time.monotonic() > end:
                raise AssertionError(f"terminal still in line mode after {self.text()!r}")
            time.sleep(0.005)

    def text(self):
        return self.out.decode("utf-8", "replace").replace("\r\n", "\n")

    def finish(self, timeout=30):
        """Waits for the end; returns (exit status, output, terminal local flags)."""
        end = time.monotonic() + timeout
        while self.proc.poll() is None and time.monotonic() < end:
            self._read(0.05)  # keeps the pty from filling up
        rc = self.proc.wait(0.1)
        while self._read(0.05):
            pass
        lflag = termios.tcgetattr(self.slave)[3]
        self.errors.seek(0)
        check_errors(self.errors.read())
        self.close()
        return rc, self.text(), lflag

    def close(self):
        """Ends a run that a failed test left waiting; safe to call twice."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.errors.close()
        for fd in (self.master, self.slave):
            if fd >= 0:
                os.close(fd)
        self.master = self.slave = -1


class TempDirTest(unittest.TestCase):
    def setUp(self):  # a temporary folder of its own, self.dir
        self._tmp = tempfile.TemporaryDirectory(prefix="divro-e2e-")
        self.dir = os.path.realpath(self._tmp.name)
        self.addCleanup(self._tmp.cleanup)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def run_divro(self, *args, cwd=None, locale=None):
        return run(args, cwd or self.dir, locale)

    def start_pty(self, *args, **options):
        p = Pty(args, self.dir, **options)
        self.addCleanup(p.close)
        return p
