#!/usr/bin/env python3
"""Turns a UTF-8 text with LF line ends into what Notepad on a Japanese
Windows reads: code page 932 with CRLF. A character that code page 932
cannot hold stops the build rather than turning into a question mark.

    windows_text.py SOURCE OUTPUT
"""
import sys


def main(source, output):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    if "\r" in text:
        sys.exit(f"{source}: carriage returns in the source; keep it LF")
    try:
        data = text.replace("\n", "\r\n").encode("cp932")
    except UnicodeEncodeError as e:
        line = text.count("\n", 0, e.start) + 1
        sys.exit(f"{source}:{line}: {text[e.start]!r} is not in code page 932")
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(*sys.argv[1:])
