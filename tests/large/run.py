"""A real file just over 4 GiB: divided into 2 GiB pieces with a checksum
file, checked with /V, joined with the check, and compared with the source
by size and by the bytes at the offsets where it holds data.

The source is sparse, but the pieces and the joined file take real blocks
on most file systems: about twice the file. Where the disk lacks that room
this prints why and exits with 77 (skipped).
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", ".."))
from tests.e2e.helpers import BIN, ENV, check_errors  # noqa: E402

GiB = 1 << 30
SIZE = 4 * GiB + 3 * 4096 + 5
# Data at the start, across each 2 GiB boundary, below and above 4 GiB, and at the end.
REGIONS = [0, 2 * GiB - 700, 4 * GiB - 900, 4 * GiB + 4096, SIZE - 1000]
REGION = 1000
NEEDED = 2 * SIZE + GiB
SKIPPED = 77


def divro(*args, cwd):
    p = subprocess.run([BIN, *args], cwd=cwd, env=ENV, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=1800)
    check_errors(p.stderr)
    if p.returncode != 0:
        raise AssertionError(f"divro {' '.join(args)}: exit {p.returncode}\n"
                             f"{p.stdout.decode('utf-8', 'replace')}{p.stderr.decode('utf-8', 'replace')}")


def regions_digest(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for at in REGIONS:
            f.seek(at)
            digest.update(f.read(REGION))
    return digest.hexdigest()


def main():
    root = os.environ.get("DIVRO_LARGE_DIR") or tempfile.gettempdir()
    free = shutil.disk_usage(root).free
    if free < NEEDED:
        print(f"SKIPPED: a file past 4 GiB needs {NEEDED / GiB:.1f} GiB free in {root}, "
              f"which has {free / GiB:.1f} GiB (set DIVRO_LARGE_DIR to a roomier folder)")
        return SKIPPED
    work = tempfile.mkdtemp(prefix="divro-large-", dir=root)
    try:
        source = os.path.join(work, "big.bin")
        with open(source, "wb") as f:
            f.truncate(SIZE)
            for n, at in enumerate(REGIONS):
                f.seek(at)
                f.write(os.urandom(REGION - n))  # the zeros after each region count too
        expected = regions_digest(source)
        divro("/Y", "/H", "big.bin", "/2G", cwd=work)
        sizes = [os.path.getsize(os.path.join(work, f"big.bin.00{n}")) for n in (1, 2, 3)]
        assert sizes == [2 * GiB, 2 * GiB, SIZE - 4 * GiB], sizes
        assert not os.path.exists(os.path.join(work, "big.bin.004"))
        divro("/V", "big.bin.001", cwd=work)
        os.rename(source, source + ".orig")
        divro("/H", "big.bin.001", cwd=work)
        assert os.path.getsize(source) == SIZE, os.path.getsize(source)
        assert regions_digest(source) == expected, "the joined file differs from the source"
        print(f"divided into 2 GiB pieces, checked and joined back: {SIZE} bytes")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
