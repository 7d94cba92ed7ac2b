#include "testbed/task_queue.h"

namespace testbed {

void ConnectionThreads::ReapLocked(std::list<std::thread>& finished) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done) {
      finished.push_back(std::move(it->thread));
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void ConnectionThreads::enqueue(std::function<void()> fn) {
  std::list<std::thread> finished;
  {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return running_ < maxThreads_; });
    ReapLocked(finished);
    ++running_;
    workers_.emplace_back();
    Worker* worker = &workers_.back();
    worker->thread = std::thread([this, worker, fn = std::move(fn)] {
      fn();
      std::lock_guard<std::mutex> done(lock_);
      worker->done = true;
      --running_;
      changed_.notify_all();
    });
  }
  for (std::thread& t : finished) t.join();
}

void ConnectionThreads::shutdown() {
  std::list<std::thread> all;
  {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait(guard, [&] { return running_ == 0; });
    ReapLocked(all);
  }
  for (std::thread& t : all) t.join();
}

}  // namespace testbed
