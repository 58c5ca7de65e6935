// Checksum files as text: the lines written, the lines read back (as GNU
// sha256sum writes and reads them), and the lines matched to a set of pieces.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pieces/checksum_file.h"
#include "pieces/piece_names.h"

namespace {

using pieces::ChecksumEntry;
using pieces::Digest;

const std::string A = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
const std::string B = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string BUpper = "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855";

Digest DigestOf(const std::string& hex) {
  Digest digest{};
  EXPECT_TRUE(pieces::ReadDigestHex(hex, &digest)) << hex;
  return digest;
}

TEST(ChecksumFile, ParsesLinesAsSha256sumWritesThem) {
  struct Row {
    std::string text;
    std::size_t badLine;  // 0: accepted
    std::vector<std::pair<std::string, std::string>> entries;  // name, lowercase digest
  };
  const Row rows[] = {
      {A + "  a.txt.001\n" + B + "  a.txt\n", 0, {{"a.txt.001", A}, {"a.txt", B}}},
      {A + "  a.txt.001\r\n" + BUpper + " *a.txt", 0, {{"a.txt.001", A}, {"a.txt", B}}},
      {"", 0, {}},
      {"\\" + A + "  a\\\\b\\nc\\rd\n", 0, {{"a\\b\nc\rd", A}}},
      {A + "  a\\b\\n\n", 0, {{"a\\b\\n", A}}},  // not escaped: backslashes are the name's
      {A + "   blank first \n", 0, {{" blank first ", A}}},
      {A + "  \xe8\xa1\xa8.txt\n", 0, {{"\xe8\xa1\xa8.txt", A}}},
      // Blank lines and comments are no entries; a byte-order mark opens the file only.
      {A + "  a\n\n", 0, {{"a", A}}},
      {"\r\n", 0, {}},
      {"# made by hand\n" + A + "  a\n", 0, {{"a", A}}},
      {"\xEF\xBB\xBF" + A + "  a\r\n", 0, {{"a", A}}},
      {A + "  a\n\xEF\xBB\xBF" + B + "  b\n", 2, {}},
      {A.substr(1) + "  a\n", 1, {}},  // 63 digits
      {A + "0  a\n", 1, {}},           // 65
      {"g" + A.substr(1) + "  a\n", 1, {}},
      // One blank or tab after the digest, then a blank or * may mark the mode.
      {A + " a\n", 0, {{"a", A}}},
      {A + "\ta\n", 0, {{"a", A}}},
      {A + "\t a\n", 0, {{"a", A}}},
      {A + " -a\n", 0, {{"-a", A}}},
      {A + "a\n", 1, {}},
      {A + "\n", 1, {}},
      {A + "  \n", 1, {}},  // no name
      {"\\" + A + "  \n", 1, {}},
      {" " + A + "  a\n", 1, {}},
      {A + "  a\n" + B + "  b\n" + "\\" + A + "  a\\x\n", 3, {}},  // an unknown escape
      {"\\" + A + "  a\\\n", 1, {}},                              // a lone backslash at the end
      {A + "  a" + std::string(1, '\0') + "b\n", 1, {}},
      // Tag lines, as sha256sum --tag writes them.
      {"SHA256 (a.txt) = " + A + "\n", 0, {{"a.txt", A}}},
      {"SHA256 (a) = b) = " + BUpper, 0, {{"a) = b", B}}},
      {"\\SHA256 (a\\nb) = " + A + "\n", 0, {{"a\nb", A}}},
      {"SHA256 () = " + A + "\n", 1, {}},
      {"SHA1 (a) = " + A + "\n", 1, {}},
      {"SHA256 (a) " + A + "\n", 1, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<ChecksumEntry> entries;
    std::size_t badLine = 0;
    EXPECT_EQ(pieces::ParseChecksumFile(row.text, &entries, &badLine), row.badLine == 0);
    EXPECT_EQ(badLine, row.badLine);
    if (row.badLine != 0) continue;
    ASSERT_EQ(entries.size(), row.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].name, row.entries[i].first);
      EXPECT_EQ(pieces::DigestHex(entries[i].digest), row.entries[i].second);
    }
  }
}

TEST(ChecksumFile, LinesReadBackAsWritten) {
  struct Row { std::string name, line; };  // line: the exact line, where pinned
  const Row rows[] = {
      {"movie.avi.001", A + "  movie.avi.001\n"},
      {"a\\b\nc\rd", "\\" + A + "  a\\\\b\\nc\\rd\n"},
      {"ends in CR\r", "\\" + A + "  ends in CR\\r\n"},
      {"\xe8\xa1\xa8\xe7\xa4\xba.avi", ""},
      {"\\", ""}, {"trailing\\", ""}, {"\\n", ""}, {"*star", ""}, {" blank ", ""}, {"\n", ""},
  };
  std::string file;
  for (const Row& row : rows) {
    const std::string line = pieces::ChecksumLine(DigestOf(A), row.name);
    if (!row.line.empty()) {
      EXPECT_EQ(line, row.line);
    }
    file += line;
  }
  // The whole file, and again with CRLF line ends as an editor may leave them.
  std::string crlf;
  for (char c : file) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {file, crlf}) {
    std::vector<ChecksumEntry> entries;
    ASSERT_TRUE(pieces::ParseChecksumFile(text, &entries));
    ASSERT_EQ(entries.size(), std::size(rows));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].name, rows[i].name);
      EXPECT_EQ(entries[i].digest, DigestOf(A));
    }
  }
}

TEST(ChecksumFile, EntriesMatchOnePieceSetOnly) {
  struct Row {
    std::vector<std::string> names;  // entry i has a digest whose first byte is i
    std::string whole;
    std::size_t badEntry;  // SIZE_MAX: matched
    std::vector<int> pieces;
    bool hasWhole;
    int count;  // the pieces counted, and whether the lines list exactly those
    bool exact;
  };
  const std::size_t ok = SIZE_MAX;
  const Row rows[] = {
      {{"m.avi.001", "m.avi.002", "m.avi"}, "m.avi", ok, {1, 2}, true, 2, true},
      {{"m.avi.002", "m.avi.001"}, "m.avi", ok, {1, 2}, false, 2, true},
      {{"m.avi.999", "m.avi.aaa", "m.avi.zzz"}, "m.avi", ok, {999, 1000, 18575}, false, 3, false},
      {{"m.avi.001", "m.avi.003"}, "m.avi", ok, {1, 3}, false, 2, false},
      {{"m.avi.001", "m.avi.002"}, "m.avi", ok, {1, 2}, false, 3, false},
      {{}, "m.avi", ok, {}, false, 0, true},
      {{"m.avi"}, "out.bin", 0, {}, false, 0, false},  // the whole file joined under another name
      {{"out.bin", "m.avi.001"}, "out.bin", ok, {1}, true, 1, true},
      {{"m.avi.001", "m.avi.001"}, "m.avi", 1, {}, false, 0, false},
      {{"m.avi", "m.avi.001", "m.avi"}, "m.avi", 2, {}, false, 0, false},
      {{"m.avi.000"}, "m.avi", 0, {}, false, 0, false},
      {{"m.avi.01"}, "m.avi", 0, {}, false, 0, false},
      {{"m.avi.0001"}, "m.avi", 0, {}, false, 0, false},
      {{"m.avi.AAA"}, "m.avi", 0, {}, false, 0, false},
      {{"m.avi.001", "n.avi.002"}, "m.avi", 1, {}, false, 0, false},
      {{"sub/m.avi.001"}, "m.avi", 0, {}, false, 0, false},
      {{"M.AVI.001"}, "m.avi", 0, {}, false, 0, false},
      {{"m.avi.sha256"}, "m.avi", 0, {}, false, 0, false},
      {{"m.avi."}, "m.avi", 0, {}, false, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.names) + " whole " + row.whole);
    std::vector<ChecksumEntry> entries;
    for (std::size_t i = 0; i < row.names.size(); ++i) {
      entries.push_back({row.names[i], Digest{static_cast<std::uint8_t>(i)}});
    }
    pieces::SetDigests digests;
    std::size_t badEntry = ok;
    EXPECT_EQ(pieces::MatchChecksums(entries, row.whole, "m.avi", &digests, &badEntry),
              row.badEntry == ok);
    EXPECT_EQ(badEntry, row.badEntry);
    if (row.badEntry != ok) continue;
    std::vector<int> numbers;
    for (const auto& [n, digest] : digests.pieces) {
      numbers.push_back(n);
      // The digest of the line that named the piece.
      EXPECT_EQ(row.names[digest[0]], "m.avi" + pieces::PieceSuffix(n));
    }
    EXPECT_EQ(numbers, row.pieces);
    EXPECT_EQ(digests.whole.has_value(), row.hasWhole);
    if (row.hasWhole) {
      EXPECT_EQ(row.names[(*digests.whole)[0]], row.whole);
    }
    EXPECT_EQ(pieces::ListsPiecesExactly(digests, row.count), row.exact);
  }
}

}  // namespace
