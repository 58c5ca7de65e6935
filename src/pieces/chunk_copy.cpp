#include "pieces/chunk_copy.h"

#include <algorithm>
#include <utility>

#include "pieces/piece_names.h"

namespace pieces {

namespace {
// Below this a piece's bytes are hashed on the caller's thread: handing
// them over would cost more than hashing them.
constexpr std::uint32_t HandOverFrom = 65536;
}  // namespace

ChunkCopier::ChunkCopier(std::optional<ByteInspector> inspector)
    : inspector_(std::move(inspector)) {
  if (inspector_) worker_.emplace();
}

ChunkCopier::~ChunkCopier() { worker_.reset(); }

bool ChunkCopier::Reserve(std::uint32_t size) {
  const std::size_t wanted = std::min(size, ChunkSize);
  const int used = inspector_ ? 2 : 1;
  for (int i = 0; i < used; ++i) {
    WorkBuffer& buffer = buffers_[i];
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

ChunkCopier::Outcome ChunkCopier::CopyChunk(path::FileHandle& from, path::FileHandle& to,
                                            std::uint32_t chunk, bool inBackground,
                                            const std::function<void()>& afterRead) {
  if (!inspector_) {
    switch (from.CopyTo(to, buffers_[0].Data(), chunk, afterRead)) {
      case path::FileHandle::CopyOutcome::ReadShort:
        return Outcome::ReadShort;
      case path::FileHandle::CopyOutcome::WriteShort:
        return Outcome::WriteShort;
      case path::FileHandle::CopyOutcome::Copied:
        return Outcome::Copied;
    }
  }
  const int turn = next_;
  next_ ^= 1;
  char* data = buffers_[turn].Data();
  // The buffer is read into again only once the inspector is done with it.
  worker_->WaitFor(lastUse_[turn]);
  if (refused_) return Outcome::Refused;
  if (from.Read(data, chunk) != chunk) return Outcome::ReadShort;
  afterRead();
  const ByteInspector* inspector = &*inspector_;
  Inspect(
      inBackground, [inspector, data, chunk] { return inspector->add(data, chunk); }, turn);
  return to.Write(data, chunk) == chunk ? Outcome::Copied : Outcome::WriteShort;
}

ChunkCopier::Outcome ChunkCopier::CopyPiece(int n, path::FileHandle& from, path::FileHandle& to,
                                            std::uint32_t size,
                                            const std::function<void()>& afterRead) {
  const ByteInspector* inspector = inspector_ ? &*inspector_ : nullptr;
  const bool inBackground = size >= HandOverFrom;
  if (inspector != nullptr) Inspect(inBackground, [inspector] { return inspector->startPiece(); });
  for (std::uint32_t left = size; left > 0;) {
    const std::uint32_t chunk = std::min(left, ChunkSize);
    const Outcome outcome = CopyChunk(from, to, chunk, inBackground, afterRead);
    if (outcome != Outcome::Copied) return outcome;
    left -= chunk;
  }
  if (inspector == nullptr) return Outcome::Copied;
  Inspect(inBackground, [inspector, n] { return inspector->finishPiece(n); });
  return refused_ ? Outcome::Refused : Outcome::Copied;
}

bool ChunkCopier::Finish() {
  if (worker_) worker_->WaitForAll();
  return !refused_;
}

void ChunkCopier::Release() {
  if (worker_) worker_->WaitForAll();
  for (WorkBuffer& buffer : buffers_) buffer.Release();
}

}  // namespace pieces
