#!/usr/bin/env python3
"""Writes src/text/texts.cpp: every console and batch text as code page 932
bytes, with the readable text beside it, and its UTF-8 form. Run after editing TEXTS.
With --check it writes nothing and fails when the files differ from it."""
import pathlib
import sys

TEXTS = [
    # Front end
    ("ArgumentsWrong", "引数が正しくありません。"),
    ("HintTypeDivroComma", "ヘルプを表示するには、'divro' とタイプするか、"),
    ("HintUseHelpOption", "/? オプションを使用してください。"),
    ("ArgumentsError", "引数の処理中にエラーが起きました。"),
    ("HintTypeDivro", "ヘルプを表示するには 'divro' とタイプするか、"),
    ("NoSourceGiven", "処理するファイルを指定してください。"),
    ("SourceNotFound", "指定されたファイルが見つかりません。"),
    ("PieceSizeInvalid", "分割サイズが不正です。"),
    ("DestFolderInvalid", "保存フォルダ名が不正です。"),
    ("DestFolderMissing", "指定された保存ディレクトリ '%s' は存在しません。\n"),
    ("AskCreateFolder", "ディレクトリを新規作成しますか？ [はい (Y), いいえ (N)]"),
    ("ProcessingStopped", "処理を中止しました。"),
    ("CreateFolderFailed", "ディレクトリの作成に失敗しました。"),
    ("NotDivided", "ファイルは分割されませんでした。"),
    ("NotJoined", "ファイルは結合されませんでした。"),
    ("NoBatchCreated", "バッチファイルは作成されませんでした。"),
    ("AskOverwrite", "同名ファイル '%s%s' を上書きしますか？\n[はい (Y), 以降全て上書き(A), 中止 (S)]"),
    # Dividing
    ("SourceOpenFailed", "分割元のファイルが開けません。"),
    ("SourceSizeFailed", "分割元ファイルのサイズを取得できません。"),
    ("PieceSizeTooLarge", "分割サイズが分割元ファイルのサイズを越えています。"),
    ("FileTooLarge", "4GB 以上のファイルには対応していません。"),
    ("PieceSizeTooSmall", "分割サイズが小さすぎます。"),
    ("OutOfMemory", "作業に必要なメモリが不足しています。"),
    ("DivideStopped", "ファイルの分割を中止しました。"),
    ("FileOpenFailed", "ファイル '%s' のオープンに失敗しました。\n"),
    ("SourceReadFailed", "分割元ファイルの読み込みに失敗しました。"),
    ("FileWriteFailed", "ファイル '%s' の書き込みに失敗しました。\n"),
    ("DivideFinished", "ファイルの分割が終了しました。"),
    ("AskDeleteStale", "古い分割ファイル '%s' 以降が残っています。削除しますか？ [はい (Y), いいえ (N)]"),
    ("StaleKept", "古い分割ファイル '%s' 以降を残しました。\n"),
    ("StaleDeleted", "古い分割ファイル '%s' から '%s' までを削除しました。\n"),
    ("StaleDeleteFailed", "古い分割ファイル '%s' の削除に失敗しました。\n"),
    ("TwoDivisionsMixed", "保存先には今回と以前の分割ファイルが混在しています。"),
    # Joining
    ("FirstPieceMissing", "先頭ファイル (*.001) が見つかりません。"),
    ("SecondPieceMissing", "次の分割ファイル (*.002) が見つかりません。"),
    ("JoinStopped", "ファイルの結合を中止しました。"),
    ("FirstPieceSizeFailed", "分割ファイルのサイズを取得できません。"),
    ("PieceOpenFailed", "分割ファイル '%s' のオープンに失敗しました。\n"),
    ("PieceSizeFailed", "分割ファイル '%s' のサイズを取得できません。\n"),
    ("PieceReadFailed", "分割ファイル '%s' の読み込みに失敗しました。\n"),
    ("JoinedWriteFailed", "結合ファイルの書き込みに失敗しました。"),
    ("JoinFinished", "ファイルの結合が終了しました。"),
    ("PieceMissing", "分割ファイル '%s' が見つかりません。\n"),
    ("PieceSizeDiffers", "分割ファイル '%s' のサイズが先頭ファイルと異なります。\n"),
    # Checksum files
    ("ChecksumUnreadable", "チェックサムファイル '%s' を読み取れません。\n"),
    ("PieceChecksumMismatch", "分割ファイル '%s' のチェックサムが一致しません。\n"),
    ("JoinedChecksumMismatch", "結合ファイル '%s' のチェックサムが一致しません。\n"),
    ("ChecksumNameUnconvertible", "ファイル名を UTF-8 に変換できないため、チェックサムファイル '%s' は作成しません。\n"),
    ("ChecksumFailed", "チェックサムの計算に失敗しました。"),
    # Batch files
    ("BatchStopped", "バッチファイル作成を中止しました。"),
    ("BatchOpenFailed", "バッチファイル '%s' のオープンに失敗しました。\n"),
    ("BatchWriteFailed", "バッチファイル '%s' の書き込みに失敗しました。\n"),
    ("BatchCreated", "バッチファイルを作成しました。"),
    ("CopyBatchEcho", "ECHO 結合が完了しました。何かキーを押すと終了します。\r\n"),
    ("SelfBatchEcho", "\r\nECHO 処理が終了しました。何かキーを押すと終了します。\r\n"),
    ("CopyBatchMissing",
     "IF DEFINED DIVRO_MISSING ECHO 分割ファイル *.%DIVRO_MISSING% が見つかりません。結合を中止しました。\r\n"),
]
# Texts of the batch files: a command processor on a single-byte code page
# reads a second byte 0x7C or 0x5E as | or ^ and would act on it.
BATCH_TEXTS = ("CopyBatchEcho", "SelfBatchEcho", "CopyBatchMissing")

USAGE = [
    "DIVRO [/C] [/S] [/Y] [/H] [ドライブ:][パス]ファイル名 /Size",
    "      [ドライブ:][パス][保存フォルダ名]",
    "",
    "  ファイルを指定されたサイズで単純分割します。",
    "",
    "  /C       COPY コマンドを使用した結合用バッチファイルを作成します。",
    "  /S       DIVRO コマンドを使用した結合用バッチファイルを作成します。",
    "  /Y       同名ファイル存在時に警告せずに上書きします。",
    "  /H       分割ファイルのチェックサムファイル (.sha256) を作成します。",
    "  /Size    分割サイズを KByte 単位で指定します。",
    "           数字のあとに M を付けると MByte 単位で指定できます。",
    "           /F と指定した場合は 1.44MB フロッピーサイズに分割します。",
    "",
    "DIVRO [/Y] [/H] [ドライブ:][パス]ファイル名",
    "      [ドライブ:][パス][保存フォルダ]",
    "",
    "  分割されたファイルを結合します。",
    "  拡張子が 001 である先頭ファイルを指定して下さい。",
    "",
    "DIVRO [/C] [/S] [/Y] [ドライブ:][パス]ファイル名",
    "      [ドライブ:][パス][保存フォルダ]",
    "",
    "  すでに存在する分割ファイルに対する結合用バッチファイルを作成します。",
    "  拡張子が 001 である先頭ファイルを指定して下さい。",
]


def literal(text, encoding="cp932"):
    out = []
    for b in text.encode(encoding):
        if 0x20 <= b < 0x7F and chr(b) not in '"\\?':
            out.append(chr(b))
        else:
            out.append("\\x%02x" % b)
    # A hex escape swallows following hex digits: split the literal there.
    s, fixed = "".join(out), []
    i = 0
    while i < len(s):
        fixed.append(s[i])
        if s.startswith("\\x", i):
            fixed.append(s[i + 1:i + 4])
            i += 4
            if i < len(s) and s[i] in "0123456789abcdefABCDEF":
                fixed.append('" "')
            continue
        i += 1
    return '"' + "".join(fixed) + '"'


def main():
    for name, value in TEXTS:
        if name in BATCH_TEXTS and set(value.encode("cp932")) & {0x7C, 0x5E}:
            print("%s holds a byte | or ^ in code page 932" % name)
            return 1
    root = pathlib.Path(__file__).resolve().parent.parent / "src" / "text"
    lines = ["// Generated by tools/gen_texts.py: code page 932 bytes, and UTF-8. Do not edit.",
             "// clang-format off",
             '#include "text/texts.h"', "", "#include <cstring>", "", "namespace text {", ""]
    for name, value in TEXTS:
        shown = value.replace("\n", "\\n").replace("\r", "\\r")
        lines.append("// %s" % shown)
        lines.append("const char %s[] = %s;" % (name, literal(value)))
    lines.append("")
    lines.append("const char* const UsageLines[UsageLineCount] = {")
    for value in USAGE:
        lines.append("    // %s" % value)
        lines.append("    %s," % literal(value))
    lines.append("};")
    lines.append("")
    # Every text, and every part of one between its %s, as UTF-8: a UTF-8
    # console needs no converter, which may be out of reach (no descriptor
    # left) when a message comes.
    forms = []
    for value in [v for _, v in TEXTS] + USAGE:
        for part in [value] + (value.split("%s") if "%s" in value else []):
            if not part.isascii() and part not in forms:
                forms.append(part)
    lines.append("namespace {")
    lines.append("")
    lines.append("struct Form {")
    lines.append("  const char* cp932;")
    lines.append("  const char* utf8;")
    lines.append("};")
    lines.append("")
    lines.append("const Form Forms[] = {")
    for value in forms:
        lines.append("    {%s," % literal(value))
        lines.append("     %s}," % literal(value, "utf-8"))
    lines.append("};")
    lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("const char* Utf8Form(const char* cp932Text) {")
    lines.append("  for (const Form& form : Forms) {")
    lines.append("    if (std::strcmp(form.cp932, cp932Text) == 0) return form.utf8;")
    lines.append("  }")
    lines.append("  return nullptr;")
    lines.append("}")
    lines.append("")
    lines.append("}  // namespace text")
    outputs = {"texts.cpp": "\n".join(lines) + "\n"}

    header = ["// The program's console and batch texts, as code page 932 bytes.",
              "// Generated by tools/gen_texts.py. Do not edit.",
              "#pragma once", "", "namespace text {", ""]
    for name, _ in TEXTS:
        header.append("extern const char %s[];" % name)
    header.append("")
    header.append("constexpr int UsageLineCount = %d;" % len(USAGE))
    header.append("extern const char* const UsageLines[UsageLineCount];")
    header.append("")
    header.append("// The UTF-8 form of a text above that is not plain ASCII, or of such a")
    header.append("// part of one between its %s; nullptr for any other text.")
    header.append("const char* Utf8Form(const char* cp932Text);")
    header.append("")
    header.append("}  // namespace text")
    outputs["texts.h"] = "\n".join(header) + "\n"
    check = "--check" in sys.argv[1:]
    stale = [name for name, text in outputs.items()
             if (root / name).read_text(encoding="utf-8") != text]
    for name in stale:
        if check:
            print("src/text/%s differs from what tools/gen_texts.py generates" % name)
        else:
            (root / name).write_text(outputs[name], encoding="utf-8")
    return 1 if check and stale else 0


if __name__ == "__main__":
    sys.exit(main())
