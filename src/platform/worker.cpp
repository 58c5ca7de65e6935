// The real platforms' Worker (the fake runs every task at once): one
// thread and a queue, both released on every way out.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/platform.h"

namespace platform {

struct Worker::State {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::function<void()>> tasks;
  Ticket done = 0;
  bool ending = false;
  std::thread thread;

  void Run() {
    std::unique_lock<std::mutex> held(lock);
    for (;;) {
      changed.wait(held, [this] { return ending || !tasks.empty(); });
      if (tasks.empty()) return;
      std::function<void()> task = std::move(tasks.front());
      held.unlock();
      task();
      held.lock();
      tasks.pop_front();
      ++done;
      changed.notify_all();
    }
  }
};

Worker::Worker() {
  // No thread, for want of one or of the memory to start it: the tasks
  // run at once.
  try {
    auto state = std::make_unique<State>();
    State* running = state.get();
    state->thread = std::thread([running] { running->Run(); });
    state_ = std::move(state);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
}

Worker::~Worker() {
  if (state_ == nullptr) return;
  {
    std::lock_guard<std::mutex> held(state_->lock);
    state_->ending = true;
  }
  state_->changed.notify_all();
  state_->thread.join();
}

Worker::Ticket Worker::Post(std::function<void()> task) {
  ++posted_;
  if (state_ == nullptr) {
    task();
    return posted_;
  }
  try {
    std::lock_guard<std::mutex> held(state_->lock);
    state_->tasks.push_back(std::move(task));
  } catch (const std::bad_alloc&) {
    // No room in the queue: the task runs here, after those before it.
    WaitFor(posted_ - 1);
    task();
    std::lock_guard<std::mutex> held(state_->lock);
    ++state_->done;
  }
  state_->changed.notify_all();
  return posted_;
}

void Worker::WaitFor(Ticket ticket) {
  if (state_ == nullptr) return;
  std::unique_lock<std::mutex> held(state_->lock);
  state_->changed.wait(held, [&] { return state_->done >= ticket; });
}

void Worker::WaitForAll() { WaitFor(posted_); }

}  // namespace platform
