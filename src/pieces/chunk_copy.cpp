#include "pieces/chunk_copy.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "pieces/piece_names.h"

namespace pieces {

namespace {
// Below this a piece's bytes are hashed on the caller's thread: handing
// them over would cost more than hashing them. Pieces this small of one
// source are also read ahead.
constexpr std::uint32_t HandOverFrom = 65536;
constexpr std::uint32_t AheadSize = 256 * 1024;
static_assert(AheadSize >= HandOverFrom && AheadSize <= ChunkSize);
}  // namespace

ChunkCopier::ChunkCopier(std::optional<ByteInspector> inspector, Source source)
    : inspector_(std::move(inspector)), source_(source) {
  if (inspector_) worker_.emplace();
}

ChunkCopier::~ChunkCopier() { worker_.reset(); }

bool ChunkCopier::Reserve(std::uint64_t size) {
  if (source_ == Source::OneFile && size < HandOverFrom && ahead_.Data() == nullptr &&
      !ahead_.Allocate(AheadSize)) {
    return false;
  }
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, ChunkSize));
  const int used = inspector_ ? 2 : 1;
  for (int i = 0; i < used; ++i) {
    path::WorkBuffer& buffer = buffers_[i];
    if (buffer.Data() != nullptr && buffer.Size() == wanted) continue;
    // The inspector may still be reading the block that moves.
    if (worker_) worker_->WaitForAll();
    if (!(buffer.Data() == nullptr ? buffer.Allocate(wanted) : buffer.Resize(wanted))) {
      return false;
    }
  }
  return true;
}

void ChunkCopier::Inspect(bool inBackground, std::function<bool()> step, int buffer) {
  auto guarded = [this, step = std::move(step)] {
    if (!refused_ && !step()) refused_ = true;
  };
  if (inBackground) {
    const platform::Worker::Ticket ticket = worker_->Post(std::move(guarded));
    if (buffer >= 0) lastUse_[buffer] = ticket;
    return;
  }
  worker_->WaitForAll();
  guarded();
}

ChunkCopier::Copied ChunkCopier::CopyChunk(path::FileHandle& from, path::FileHandle& to,
                                           std::uint32_t chunk, bool inBackground,
                                           const std::function<void()>& afterRead) {
  if (!inspector_) {
    const path::FileHandle::Copied copied = from.CopyTo(to, buffers_[0].Data(), chunk, afterRead);
    switch (copied.outcome) {
      case path::FileHandle::CopyOutcome::ReadShort:
        return {Outcome::ReadShort, copied.failure};
      case path::FileHandle::CopyOutcome::WriteShort:
        return {Outcome::WriteShort, copied.failure};
      case path::FileHandle::CopyOutcome::Copied:
        return {};
    }
  }
  const int turn = next_;
  next_ ^= 1;
  char* data = buffers_[turn].Data();
  // The buffer is read into again only once the inspector is done with it.
  worker_->WaitFor(lastUse_[turn]);
  if (refused_) return {Outcome::Refused, {}};
  const path::Moved read = from.Read(data, chunk);
  if (read != chunk) return {Outcome::ReadShort, read.failure};
  afterRead();
  const ByteInspector* inspector = &*inspector_;
  Inspect(
      inBackground, [inspector, data, chunk] { return inspector->add(data, chunk); }, turn);
  const path::Moved written = to.Write(data, chunk);
  if (written != chunk) return {Outcome::WriteShort, written.failure};
  return {};
}

ChunkCopier::Copied ChunkCopier::CopyAhead(path::FileHandle& from, path::FileHandle& to,
                                           std::uint32_t count,
                                           const std::function<void()>& afterRead) {
  char* block = ahead_.Data();
  if (aheadEnd_ - aheadBegin_ < count) {
    std::memmove(block, block + aheadBegin_, aheadEnd_ - aheadBegin_);
    aheadEnd_ -= aheadBegin_;
    aheadBegin_ = 0;
    while (aheadEnd_ < count) {
      const path::Moved got = from.Read(block + aheadEnd_, AheadSize - aheadEnd_);
      if (got == 0) return {Outcome::ReadShort, got.failure};
      aheadEnd_ += got;
    }
  }
  const char* data = block + aheadBegin_;
  aheadBegin_ += count;
  afterRead();
  if (inspector_) {
    const ByteInspector* inspector = &*inspector_;
    Inspect(false, [inspector, data, count] { return inspector->add(data, count); });
  }
  const path::Moved written = to.Write(data, count);
  if (written != count) return {Outcome::WriteShort, written.failure};
  return {};
}

ChunkCopier::Copied ChunkCopier::CopyPiece(int n, path::FileHandle& from, path::FileHandle& to,
                                           std::uint64_t size,
                                           const std::function<void()>& afterRead) {
  const ByteInspector* inspector = inspector_ ? &*inspector_ : nullptr;
  const bool inBackground = size >= HandOverFrom;
  if (inspector != nullptr) Inspect(inBackground, [inspector] { return inspector->startPiece(); });
  // Read ahead only where Reserve made room for it: not for a division's
  // last small piece after large ones.
  const bool small = size < HandOverFrom && ahead_.Data() != nullptr;
  for (std::uint64_t left = size; left > 0;) {
    // What was read ahead comes first, also in a larger piece after small ones.
    const std::uint32_t ahead = aheadEnd_ - aheadBegin_;
    const auto chunk = static_cast<std::uint32_t>(
        small ? left : std::min<std::uint64_t>(left, ahead != 0 ? ahead : ChunkSize));
    Copied copied = small || ahead != 0 ? CopyAhead(from, to, chunk, afterRead)
                                        : CopyChunk(from, to, chunk, inBackground, afterRead);
    if (copied.outcome != Outcome::Copied) return copied;
    left -= chunk;
  }
  if (inspector == nullptr) return {};
  Inspect(inBackground, [inspector, n] { return inspector->finishPiece(n); });
  return {refused_ ? Outcome::Refused : Outcome::Copied, {}};
}

path::Done ChunkCopier::ForgetReadAhead(path::FileHandle& from) {
  const std::uint32_t unread = aheadEnd_ - aheadBegin_;
  aheadBegin_ = aheadEnd_ = 0;
  if (unread == 0) return {true, {}};
  return from.SeekBack(unread);
}

bool ChunkCopier::Finish() {
  if (worker_) worker_->WaitForAll();
  return !refused_;
}

void ChunkCopier::Release() {
  if (worker_) worker_->WaitForAll();
  for (path::WorkBuffer& buffer : buffers_) buffer.Release();
  ahead_.Release();
  aheadBegin_ = aheadEnd_ = 0;
}

}  // namespace pieces
