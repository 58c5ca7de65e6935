#!/usr/bin/env python3
"""Writes src/text/texts.cpp: every console and batch text as code page 932
bytes, with the readable text beside it, and its UTF-8 form. Run after editing TEXTS.
With --check it writes nothing and fails when the files differ from it.

A row is (name, Japanese) or (name, Japanese, English): a row without its
English shows the Japanese in English runs too, and the texts' table test
names it until its English is written."""
import pathlib
import sys

TEXTS = [
    # Front end
    ("ArgumentsWrong", "引数が正しくありません。",
     "Invalid arguments."),
    ("HintTypeDivroComma", "ヘルプを表示するには、'divro' とタイプするか、",
     "For help, type 'divro' or"),
    ("HintUseHelpOption", "/? オプションを使用してください。",
     "use the /? option."),
    ("ArgumentsError", "引数の処理中にエラーが起きました。",
     "Error in the arguments."),
    ("HintTypeDivro", "ヘルプを表示するには 'divro' とタイプするか、",
     "For help, type 'divro' or"),
    ("NoSourceGiven", "処理するファイルを指定してください。",
     "No file given."),
    ("SourceNotFound", "指定されたファイルが見つかりません。",
     "File not found."),
    ("PieceSizeInvalid", "分割サイズが不正です。",
     "Invalid piece size."),
    ("PieceSizeNotBelow4GB", "分割サイズは 4GB 未満で指定してください。",
     "The piece size must be below 4 GB."),
    ("DestFolderInvalid", "保存フォルダ名が不正です。",
     "Invalid destination folder."),
    ("DestFolderMissing", "指定された保存ディレクトリ '%s' は存在しません。\n",
     "The destination folder '%s' does not exist.\n"),
    ("AskCreateFolder", "ディレクトリを新規作成しますか？ [はい (Y), いいえ (N)]",
     "Create it? [Yes (Y), No (N)]"),
    ("ProcessingStopped", "処理を中止しました。",
     "Stopped."),
    ("CreateFolderFailed", "ディレクトリの作成に失敗しました。",
     "Cannot create the destination folder."),
    ("NotDivided", "ファイルは分割されませんでした。",
     "The file was not divided."),
    ("NotJoined", "ファイルは結合されませんでした。",
     "The pieces were not joined."),
    ("NoBatchCreated", "バッチファイルは作成されませんでした。",
     "No batch file was written."),
    ("AskOverwrite", "同名ファイル '%s%s' を上書きしますか？\n[はい (Y), 以降全て上書き(A), 中止 (S)]",
     "Overwrite the existing file '%s%s'? [Yes (Y), All (A), Stop (S)]"),
    # Dividing
    ("SourceOpenFailed", "分割元のファイルが開けません。",
     "Cannot open the file to divide."),
    ("SourceSizeFailed", "分割元ファイルのサイズを取得できません。",
     "Cannot read the size of the file to divide."),
    ("PieceSizeTooLarge", "分割サイズが分割元ファイルのサイズを越えています。",
     "The piece size is larger than the file."),
    ("PieceSizeTooSmall", "分割サイズが小さすぎます。",
     "The piece size is too small."),
    ("OutOfMemory", "作業に必要なメモリが不足しています。",
     "Not enough memory."),
    ("DivideStopped", "ファイルの分割を中止しました。",
     "Dividing stopped."),
    ("FileOpenFailed", "ファイル '%s' のオープンに失敗しました。\n",
     "Cannot open the file '%s'.\n"),
    ("SourceReadFailed", "分割元ファイルの読み込みに失敗しました。",
     "Cannot read the file to divide."),
    ("FileWriteFailed", "ファイル '%s' の書き込みに失敗しました。\n",
     "Cannot write the file '%s'.\n"),
    ("DivideFinished", "ファイルの分割が終了しました。",
     "The file was divided."),
    ("AskDeleteStale", "古い分割ファイル '%s' 以降が残っています。削除しますか？ [はい (Y), いいえ (N)]",
     "Old pieces from '%s' on are left over. Delete them? [Yes (Y), No (N)]"),
    ("StaleKept", "古い分割ファイル '%s' 以降を残しました。\n",
     "Old pieces from '%s' on were kept.\n"),
    ("StaleDeleted", "古い分割ファイル '%s' から '%s' までを削除しました。\n",
     "Old pieces '%s' to '%s' were deleted.\n"),
    ("StaleDeleteFailed", "古い分割ファイル '%s' の削除に失敗しました。\n",
     "Cannot delete the old piece '%s'.\n"),
    ("StaleInUse", "古い分割ファイル '%s' は他のプログラムが使用中のため削除していません。\n",
     "Old piece '%s' is in use by another program and was not deleted.\n"),
    ("StaleChecksumDeleted", "古いチェックサムファイル '%s' を削除しました。\n",
     "The old checksum file '%s' was deleted.\n"),
    ("FirstPieceNotWritten", "分割が完了しなかったため、先頭ファイル '%s' は作成していません。\n",
     "The division did not finish, so the first piece '%s' was not written.\n"),
    ("TemporaryCreateFailed", "作業用ファイルを '%s' に作成できません。\n",
     "Cannot create a temporary file in '%s'.\n"),
    ("TemporaryRenameFailed", "作業用ファイル '%s' の名前を '%s' に変更できません。\n",
     "Cannot rename the temporary file '%s' to '%s'.\n"),
    # Joining
    ("FirstPieceMissing", "先頭ファイル (*.001) が見つかりません。",
     "First piece (*.001) not found."),
    ("SecondPieceMissing", "次の分割ファイル (*.002) が見つかりません。",
     "Second piece (*.002) not found."),
    ("JoinStopped", "ファイルの結合を中止しました。",
     "Joining stopped."),
    ("FirstPieceSizeFailed", "分割ファイルのサイズを取得できません。",
     "Cannot read the size of the first piece."),
    ("PieceOpenFailed", "分割ファイル '%s' のオープンに失敗しました。\n",
     "Cannot open the piece '%s'.\n"),
    ("PieceSizeFailed", "分割ファイル '%s' のサイズを取得できません。\n",
     "Cannot read the size of the piece '%s'.\n"),
    ("PieceReadFailed", "分割ファイル '%s' の読み込みに失敗しました。\n",
     "Cannot read the piece '%s'.\n"),
    ("JoinedWriteFailed", "結合ファイルの書き込みに失敗しました。",
     "Cannot write the joined file."),
    ("JoinFinished", "ファイルの結合が終了しました。",
     "The pieces were joined."),
    ("PieceMissing", "分割ファイル '%s' が見つかりません。\n",
     "Piece '%s' not found.\n"),
    ("PieceNotAFile", "分割ファイル '%s' はファイルではありません。\n",
     "Piece '%s' is not a file.\n"),
    ("PieceSizeDiffers", "分割ファイル '%s' のサイズ (%s バイト) が先頭ファイル (%s バイト) と異なります。\n",
     "Piece '%s' (%s bytes) differs in size from piece 1 (%s bytes).\n"),
    ("FirstPieceSizeDiffers", "分割ファイル '%s' のサイズ (%s バイト) が他の分割ファイル (%s バイト) と異なります。\n",
     "Piece '%s' (%s bytes) differs in size from the other pieces (%s bytes).\n"),
    ("PieceFollows", "分割ファイル '%s' の後に '%s' があります。\n",
     "Piece '%s' follows '%s'.\n"),
    ("AskJoinAnyway", "このまま結合しますか？ [はい (Y), いいえ (N)]",
     "Join anyway? [Yes (Y), No (N)]"),
    # Checksum files
    ("ChecksumUnreadable", "チェックサムファイル '%s' を読み取れません。\n",
     "Cannot read the checksum file '%s'.\n"),
    ("ChecksumLineUnreadable", "チェックサムファイル '%s' の %s 行目を読み取れません。\n",
     "Line %2$s of the checksum file '%1$s' cannot be read.\n"),
    ("PieceNotListed", "分割ファイル '%s' はチェックサムファイル '%s' に載っていません。\n",
     "Piece '%s' is not listed in the checksum file '%s'.\n"),
    ("ChecksumMatched", "チェックサムファイル '%s' と一致しました。\n",
     "Matches the checksum file '%s'.\n"),
    ("ChecksumCreated", "チェックサムファイルを作成しました。",
     "The checksum file was created."),
    ("VerifyMatched", "分割ファイル %s 個がチェックサムファイル '%s' と一致しました。\n",
     "%s pieces match the checksum file '%s'.\n"),
    ("VerifySoundUnchecked",
     "分割ファイルのサイズと並びに問題はありません。チェックサムファイルがないため、内容は確かめていません。",
     "The pieces' sizes and order are sound. There is no checksum file, so their contents were not checked."),
    ("VerifyFoundProblems", "分割ファイルに問題があります。", "The pieces have problems."),
    ("PieceChecksumMismatch", "分割ファイル '%s' のチェックサムが一致しません。\n",
     "Checksum of the piece '%s' does not match.\n"),
    ("JoinedChecksumMismatch", "結合ファイル '%s' のチェックサムが一致しません。\n",
     "Checksum of the joined file '%s' does not match.\n"),
    ("ChecksumNameUnconvertible", "ファイル名を UTF-8 に変換できないため、チェックサムファイル '%s' は作成しません。\n",
     "The name cannot be written in UTF-8: no checksum file '%s'.\n"),
    ("ChecksumFailed", "チェックサムの計算に失敗しました。",
     "Cannot compute the checksum."),
    # Batch files
    ("BatchStopped", "バッチファイル作成を中止しました。",
     "Writing the batch file stopped."),
    ("BatchOpenFailed", "バッチファイル '%s' のオープンに失敗しました。\n",
     "Cannot open the batch file '%s'.\n"),
    ("BatchWriteFailed", "バッチファイル '%s' の書き込みに失敗しました。\n",
     "Cannot write the batch file '%s'.\n"),
    ("BatchCreated", "バッチファイルを作成しました。",
     "Batch file written."),
    ("CopyBatchEcho", "ECHO 結合が完了しました。何かキーを押すと終了します。\r\n"),
    ("SelfBatchEcho", "\r\nECHO 処理が終了しました。何かキーを押すと終了します。\r\n"),
    ("CopyBatchMissing",
     "IF DEFINED DIVRO_MISSING ECHO 分割ファイル *.%DIVRO_MISSING% が見つかりません。結合を中止しました。\r\n"),
    # After IF EXIST and the output's name.
    ("CopyBatchOutputFolder", "ECHO 結合先と同じ名前のフォルダがあります。結合を中止しました。\r\n"),
    ("CopyBatchWrongSize",
     "IF DEFINED DIVRO_BAD ECHO 結合したファイルのサイズが元のファイルと異なります。結合に失敗しました。\r\n"),
]
# Texts of the batch files: a command processor on a single-byte code page
# reads a second byte 0x7C or 0x5E as | or ^ and would act on it.
BATCH_TEXTS = ("CopyBatchEcho", "SelfBatchEcho", "CopyBatchMissing", "CopyBatchOutputFolder",
               "CopyBatchWrongSize")

# Reasons on standard error where the message itself is not the reason:
# English only, lower case, as the system's own reasons read.
REASONS = [
    ("ReasonNotCodePage932", "name not in code page 932, no batch file written"),
    ("ReasonPiecesFollow", "piece missing, pieces follow it"),
    ("ReasonWindowsCannotHold", "name Windows cannot hold, no batch file written"),
    ("ReasonNotARegularFile", "not a regular file"),
    ("ReasonNoOneToAsk", "older pieces kept: no terminal to ask"),
    ("ReasonOddSizesNoOneToAsk", "pieces differ in size: no terminal to ask"),
]

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
    "DIVRO [/Y] [/H] [/V] [ドライブ:][パス]ファイル名",
    "      [ドライブ:][パス][保存フォルダ]",
    "",
    "  分割されたファイルを結合します。",
    "  拡張子が 001 である先頭ファイルを指定して下さい。",
    "  /V       分割ファイルを結合せずに検査します。",
    "",
    "DIVRO [/C] [/S] [/Y] [ドライブ:][パス]ファイル名",
    "      [ドライブ:][パス][保存フォルダ]",
    "",
    "  すでに存在する分割ファイルに対する結合用バッチファイルを作成します。",
    "  拡張子が 001 である先頭ファイルを指定して下さい。",
]

# Line for line the English of USAGE.
USAGE_ENGLISH = [
    "DIVRO [/C] [/S] [/Y] [/H] [drive:][path]filename /Size",
    "      [drive:][path][destination folder]",
    "",
    "  Divides a file into pieces of the given size.",
    "",
    "  /C       Writes a batch file that joins the pieces with COPY.",
    "  /S       Writes a batch file that joins the pieces with DIVRO.",
    "  /Y       Overwrites existing files without asking.",
    "  /H       Writes a checksum file (.sha256) for the pieces.",
    "  /Size    The piece size in kilobytes.",
    "           A number followed by M gives megabytes.",
    "           /F gives pieces that fit a 1.44 MB floppy disk.",
    "",
    "DIVRO [/Y] [/H] [/V] [drive:][path]filename",
    "      [drive:][path][destination folder]",
    "",
    "  Joins the pieces of a file.",
    "  Give the first piece, the one whose extension is 001.",
    "  /V       Checks the pieces without joining them.",
    "",
    "DIVRO [/C] [/S] [/Y] [drive:][path]filename",
    "      [drive:][path][destination folder]",
    "",
    "  Writes a batch file that joins existing pieces.",
    "  Give the first piece, the one whose extension is 001.",
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


def english_of(row):
    return row[2] if len(row) > 2 else None


def main():
    for row in TEXTS:
        name, value = row[0], row[1]
        if name in BATCH_TEXTS and set(value.encode("cp932")) & {0x7C, 0x5E}:
            print("%s holds a byte | or ^ in code page 932" % name)
            return 1
    if len(USAGE_ENGLISH) != len(USAGE):
        print("USAGE_ENGLISH has %d lines, USAGE %d" % (len(USAGE_ENGLISH), len(USAGE)))
        return 1
    usage = [("UsageLine%02d" % (i + 1), ja, en)
             for i, (ja, en) in enumerate(zip(USAGE, USAGE_ENGLISH))]
    root = pathlib.Path(__file__).resolve().parent.parent / "src" / "text"
    lines = ["// Generated by tools/gen_texts.py: code page 932 bytes, and UTF-8. Do not edit.",
             "// clang-format off",
             '#include "text/texts.h"', "", "#include <cstring>", "", "namespace text {", ""]
    for row in TEXTS:
        name, value = row[0], row[1]
        shown = value.replace("\n", "\\n").replace("\r", "\\r")
        lines.append("// %s" % shown)
        lines.append("const char %s[] = %s;" % (name, literal(value)))
    lines.append("")
    for name, value in REASONS:
        lines.append("const char %s[] = %s;" % (name, literal(value, "ascii")))
    lines.append("")
    lines.append("namespace {")
    lines.append("")
    for name, value, _ in usage:
        lines.append("// %s" % value)
        lines.append("const char %s[] = %s;" % (name, literal(value)))
    lines.append("")
    lines.append("}  // namespace")
    lines.append("")
    lines.append("const char* const UsageLines[UsageLineCount] = {")
    for name, _, _ in usage:
        lines.append("    %s," % name)
    lines.append("};")
    lines.append("")
    # Every text with its English, by address: the one who formats a text
    # knows it by the array it names.
    lines.append("const Text AllTexts[AllTextCount] = {")
    entries = ([(row[0], row[0], english_of(row),
                 "Batch" if row[0] in BATCH_TEXTS else "Message") for row in TEXTS] +
               [(name, name, en, "Message") for name, _, en in usage] +
               [(name, "nullptr", value, "Reason") for name, value in REASONS])
    for name, japanese, english, kind in entries:
        shown = "nullptr" if english is None else literal(english, "ascii")
        lines.append('    {"%s", %s, %s, TextKind::%s},' % (name, japanese, shown, kind))
    lines.append("};")
    lines.append("")
    lines.append("const char* EnglishForm(const char* japanese) {")
    lines.append("  for (const Text& text : AllTexts) {")
    lines.append("    if (text.japanese != nullptr && text.japanese == japanese) return text.english;")
    lines.append("  }")
    lines.append("  return nullptr;")
    lines.append("}")
    lines.append("")
    # Every text, and every part of one between its %s, as UTF-8: a UTF-8
    # console needs no converter, which may be out of reach (no descriptor
    # left) when a message comes.
    forms = []
    for value in [row[1] for row in TEXTS] + USAGE:
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

    header = ["// The program's console and batch texts, as code page 932 bytes, and",
              "// their English. Generated by tools/gen_texts.py. Do not edit.",
              "#pragma once", "", "namespace text {", ""]
    for row in TEXTS:
        header.append("extern const char %s[];" % row[0])
    header.append("")
    header.append("// Reasons for standard error, in English only.")
    for name, _ in REASONS:
        header.append("extern const char %s[];" % name)
    header.append("")
    header.append("constexpr int UsageLineCount = %d;" % len(USAGE))
    header.append("extern const char* const UsageLines[UsageLineCount];")
    header.append("")
    header.append("enum class TextKind { Message, Batch, Reason };")
    header.append("struct Text {")
    header.append("  const char* name;")
    header.append("  const char* japanese;  // code page 932; nullptr for a reason")
    header.append("  const char* english;   // ASCII; nullptr where not written (yet)")
    header.append("  TextKind kind;         // batch texts stay Japanese")
    header.append("};")
    header.append("constexpr int AllTextCount = %d;" % len(entries))
    header.append("extern const Text AllTexts[AllTextCount];")
    header.append("")
    header.append("// The English of a text above, known by its address (a message or a")
    header.append("// usage line); nullptr for any other text.")
    header.append("const char* EnglishForm(const char* japanese);")
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
