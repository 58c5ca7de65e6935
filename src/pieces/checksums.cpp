#include "pieces/checksums.h"

#include <algorithm>

#include "app/output.h"
#include "path/file_handle.h"
#include "path/work_buffer.h"
#include "pieces/checksum_side.h"
#include "text/texts.h"

namespace pieces {

using app::Fail;

bool WriteChecksumFile(ChecksumWriter& checksum, const path::Place& place, WriteTarget target,
                       app::RunState& state, platform::OpenedFiles* files) {
  const path::Shown shown = place.ShownOf(checksum.Element());
  if (!checksum.Active()) return Fail(text::ChecksumNameUnconvertible, shown);
  std::string text;
  if (!checksum.Finish(&text)) return FailHash(checksum.LastFailure());
  path::FileHandle file;
  const WriteOpened opened = OpenToWrite(file, place, checksum.Element(), target, state, files);
  switch (opened.result) {
    case WriteOpen::Stopped:
      return Fail(text::DivideStopped, shown);
    case WriteOpen::Failed:
      return Fail(text::FileOpenFailed, shown, opened.failure);
    case WriteOpen::Opened:
    case WriteOpen::Replaced:
      break;
  }
  const auto length = static_cast<std::uint32_t>(text.size());
  const path::Moved written = file.Write(text.data(), length);
  if (written != length) return Fail(text::FileWriteFailed, shown, written.failure);
  app::Print("%s\n", shown);
  app::PrintLine(text::ChecksumCreated);
  return true;
}

bool CheckPieces(const PieceNamer& names, int from, int count, const SetDigests* digests,
                 const path::Shown& outputShown, std::vector<std::uint64_t>* sizes, bool progress) {
  path::FileHandle piece;
  path::WorkBuffer buffer;
  std::optional<platform::Sha256> whole;
  if (digests != nullptr && digests->whole && from == 1) whole.emplace();
  bool matches = true;
  for (int i = from; i <= count; ++i) {
    if (progress) app::Print("%s\r", names.Shown(i));
    const path::Done opened = names.Place().Open(piece, names.Element(i), platform::OpenMode::Read);
    if (!opened) return Fail(text::PieceOpenFailed, names.Shown(i), opened.failure);
    const std::optional<std::uint64_t> size = piece.OpenedSize();
    if (!size) return Fail(text::PieceSizeFailed, names.Shown(i));
    sizes->push_back(*size);
    if (digests == nullptr) continue;
    if (buffer.Size() == 0 && !buffer.Allocate(ChunkSize)) return Fail(text::OutOfMemory);
    std::optional<platform::Sha256> hash;
    if (digests->pieces.count(i) != 0) hash.emplace();
    for (std::uint64_t left = *size; left != 0;) {
      const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, ChunkSize));
      const path::Moved read = piece.Read(buffer.Data(), chunk);
      if (read != chunk) return Fail(text::PieceReadFailed, names.Shown(i), read.failure);
      if (hash && !hash->Update(buffer.Data(), chunk)) return FailHash(hash->LastFailure());
      if (whole && !whole->Update(buffer.Data(), chunk)) return FailHash(whole->LastFailure());
      left -= chunk;
    }
    Digest digest;
    if (hash && !hash->Finish(&digest)) return FailHash(hash->LastFailure());
    if (hash && digest != digests->pieces.at(i)) {
      matches = Fail(text::PieceChecksumMismatch, names.Shown(i));
    }
  }
  if (progress) app::Print("\n");
  Digest digest;
  if (whole && !whole->Finish(&digest)) return FailHash(whole->LastFailure());
  if (whole && matches && digest != *digests->whole) {
    return Fail(text::JoinedChecksumMismatch, outputShown);
  }
  return matches;
}

}  // namespace pieces
