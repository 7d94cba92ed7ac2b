// One thread per connection, so that stalled and throttled answers never starve the others.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

namespace testbed {

class ConnectionThreads : public httplib::TaskQueue {
 public:
  explicit ConnectionThreads(size_t maxThreads) : maxThreads_(maxThreads) {}
  ~ConnectionThreads() override { shutdown(); }

  // Blocks while maxThreads connections are being served.
  void enqueue(std::function<void()> fn) override;
  // Waits for every connection thread.
  void shutdown() override;

 private:
  struct Worker {
    std::thread thread;
    bool done = false;
  };
  void ReapLocked(std::list<std::thread>& finished);

  std::mutex lock_;  // guards workers_ and each worker's done flag
  std::condition_variable changed_;
  std::list<Worker> workers_;
  size_t running_ = 0;
  size_t maxThreads_;
};

}  // namespace testbed
