// A second thread for the work on bytes in hand.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/platform.h"

namespace platform {

// Runs tasks on one more thread, one at a time and in the order posted, so
// that work on bytes in hand goes on while the next are read and written.
// Where no thread starts, each task runs at once on the caller's thread:
// the results are the same, only slower.
class Worker {
 public:
  using Ticket = std::uint64_t;
  Worker();
  // Waits for every task posted, then ends the thread.
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // The task's ticket, for WaitFor.
  Ticket Post(std::function<void()> task);
  // Returns once the task with `ticket`, and every one before it, has run.
  void WaitFor(Ticket ticket);
  void WaitForAll();

  struct State;  // the implementation's own

 private:
  std::unique_ptr<State> state_;  // null where tasks run at once
  Ticket posted_ = 0;
};

}  // namespace platform
