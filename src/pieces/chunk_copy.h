// The one copy loop of divisions and joins: a piece's bytes moved from one
// file to another in chunks of at most ChunkSize.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "path/file_handle.h"
#include "path/work_buffer.h"
#include "platform/platform.h"

namespace pieces {

// What sees every byte a copy moves, piece by piece and in order: a
// checksum made or checked. False stops the copy; whoever answers keeps
// why. Plain functions rather than an interface: nothing here needs a
// type that the sanitizers would check at every call.
struct ByteInspector {
  std::function<bool()> startPiece;
  std::function<bool(const char* data, std::uint32_t size)> add;
  std::function<bool(int n)> finishPiece;
};

// The inspector made of an object's StartPiece, Add and FinishPiece; the
// object must outlive the copy.
template <class Checks>
ByteInspector InspectorOf(Checks& checks) {
  return {[&checks] { return checks.StartPiece(); },
          [&checks](const char* data, std::uint32_t size) { return checks.Add(data, size); },
          [&checks](int n) { return checks.FinishPiece(n); }};
}

// Where each piece's bytes come from: a file of its own (a join), or one
// file read from start to end (a division), whose small pieces are taken
// from blocks read ahead: one read for many pieces instead of one each.
enum class Source { FilePerPiece, OneFile };

class ChunkCopier {
 public:
  // Without an inspector the kernel copies where it can. With one, the
  // bytes pass through the program and the inspector works on a second
  // thread with a second buffer while the next chunk is read and this one
  // written; what its functions reach must outlive the copier.
  explicit ChunkCopier(std::optional<ByteInspector> inspector = std::nullopt,
                       Source source = Source::FilePerPiece);
  ~ChunkCopier();
  ChunkCopier(const ChunkCopier&) = delete;
  ChunkCopier& operator=(const ChunkCopier&) = delete;

  // Buffers for pieces of `size` bytes; false when out of memory, the
  // buffers held before then unchanged.
  bool Reserve(std::uint64_t size);

  enum class Outcome { Copied, ReadShort, WriteShort, Refused };
  struct [[nodiscard]] Copied {
    Outcome outcome = Outcome::Copied;
    platform::Failure failure;  // the short read's or write's
  };
  // Copies piece `n`, `size` bytes, from the position of `from` to that of
  // `to`. `afterRead` runs once each chunk is in hand, before it is
  // written. Refused may come a piece late, Finish says it at the latest.
  Copied CopyPiece(int n, path::FileHandle& from, path::FileHandle& to, std::uint64_t size,
                   const std::function<void()>& afterRead);
  // Forgets what was read ahead of the pieces from `from`, which is read
  // again as it is by now: after a wait (a question) the file may have
  // changed. False when the file cannot go back.
  path::Done ForgetReadAhead(path::FileHandle& from);
  // Waits until the inspector has seen every byte; false when it refused.
  bool Finish();
  void Release();

 private:
  // One chunk: inside the kernel where it can be, else through the buffer
  // whose turn it is, seen by the inspector.
  Copied CopyChunk(path::FileHandle& from, path::FileHandle& to, std::uint32_t chunk,
                   bool inBackground, const std::function<void()>& afterRead);
  // `count` bytes of the one source from the block read ahead, which is
  // refilled first when it holds fewer.
  Copied CopyAhead(path::FileHandle& from, path::FileHandle& to, std::uint32_t count,
                   const std::function<void()>& afterRead);
  void Inspect(bool inBackground, std::function<bool()> step, int buffer = -1);

  std::optional<ByteInspector> inspector_;
  Source source_;
  // The one source's bytes read but not yet copied: [aheadBegin_, aheadEnd_).
  path::WorkBuffer ahead_;
  std::uint32_t aheadBegin_ = 0;
  std::uint32_t aheadEnd_ = 0;
  path::WorkBuffer buffers_[2];
  // The buffers take turns, across pieces too, so that a piece of one
  // chunk is read while the last one is inspected.
  int next_ = 0;
  platform::Worker::Ticket lastUse_[2] = {0, 0};
  std::atomic<bool> refused_{false};
  // Last, so that it ends, and waits for its tasks, before the buffers go.
  std::optional<platform::Worker> worker_;
};

}  // namespace pieces
