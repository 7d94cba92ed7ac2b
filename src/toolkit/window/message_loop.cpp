#include "toolkit/window/message_loop.h"

namespace SkinUI {

MessageLoop::MessageLoop() : manualNow_(Clock::now()) {}

MessageLoop::~MessageLoop() = default;

MessageLoop& MessageLoop::Current() {
  static MessageLoop loop;
  return loop;
}

void MessageLoop::Post(Task task) {
  std::function<void()> waker;
  {
    std::lock_guard<std::mutex> hold(lock_);
    tasks_.push_back(std::move(task));
    idle_ = false;
    waker = waker_;
  }
  changed_.notify_all();
  if (waker) waker();
}

MessageLoop::TimerId MessageLoop::AddTimer(std::chrono::milliseconds period, Task tick) {
  if (period.count() <= 0) period = std::chrono::milliseconds(1);
  std::function<void()> waker;
  TimerId id = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    id = nextTimer_++;
    const Clock::time_point now = manualClock_ ? manualNow_ : Clock::now();
    timers_[id] = Timer{period, now + period, std::make_shared<Task>(std::move(tick))};
    waker = waker_;
  }
  changed_.notify_all();
  if (waker) waker();
  return id;
}

void MessageLoop::RemoveTimer(TimerId id) {
  std::lock_guard<std::mutex> hold(lock_);
  timers_.erase(id);
}

void MessageLoop::Quit(int code) {
  // In order, like a quit message: what was posted before it still runs.
  Post([this, code] {
    {
      std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
      quitCode_ = code;
    }
    changed_.notify_all();
  });
}

bool MessageLoop::QuitRequested() const {
  std::lock_guard<std::mutex> hold(lock_);
  return quit_;
}

int MessageLoop::QuitCode() const {
  std::lock_guard<std::mutex> hold(lock_);
  return quitCode_;
}

void MessageLoop::SetWaker(std::function<void()> waker) {
  std::lock_guard<std::mutex> hold(lock_);
  waker_ = std::move(waker);
}

void MessageLoop::BindToCurrentThread() {
  std::lock_guard<std::mutex> hold(lock_);
  thread_ = std::this_thread::get_id();
  threadBound_ = true;
}

void MessageLoop::BindIfUnbound() {
  std::lock_guard<std::mutex> hold(lock_);
  if (threadBound_) return;
  thread_ = std::this_thread::get_id();
  threadBound_ = true;
}

bool MessageLoop::IsLoopThread() const {
  std::lock_guard<std::mutex> hold(lock_);
  return !threadBound_ || thread_ == std::this_thread::get_id();
}

bool MessageLoop::RunDueTimers(Clock::time_point now) {
  bool ran = false;
  // Each due timer ticks once per call; one that is due again waits for the next turn, so a
  // slow tick cannot starve the queue.
  std::vector<std::pair<TimerId, std::shared_ptr<Task>>> due;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto& [id, timer] : timers_) {
      if (timer.due > now) continue;
      due.emplace_back(id, timer.tick);
      timer.due += timer.period;
      if (!manualClock_ && timer.due <= now) timer.due = now + timer.period;
    }
  }
  for (auto& [id, tick] : due) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!timers_.count(id)) continue;  // an earlier tick removed it
    }
    (*tick)();
    ran = true;
  }
  return ran;
}

bool MessageLoop::RunPending() {
  BindIfUnbound();
  bool ran = false;
  // Only the tasks queued so far: tasks posted by these run on the next turn. One at a time from
  // the queue, so that a task entering a modal loop leaves the rest to that loop.
  size_t count = 0;
  bool quitBefore = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    count = tasks_.size();
    quitBefore = quit_;
  }
  for (size_t i = 0; i < count; ++i) {
    Task task;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (tasks_.empty() || (quit_ && !quitBefore)) break;  // nothing after a quit of this turn
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    ran = true;
  }
  ran = RunDueTimers(Now()) || ran;
  return ran;
}

std::optional<MessageLoop::Clock::time_point> MessageLoop::NextDeadline() const {
  std::lock_guard<std::mutex> hold(lock_);
  std::optional<Clock::time_point> next;
  for (const auto& [id, timer] : timers_)
    if (!next || timer.due < *next) next = timer.due;
  return next;
}

void MessageLoop::WaitForWork(const std::function<bool()>& done) {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    if (quit_ || !tasks_.empty()) break;
    hold.unlock();
    const bool finished = done && done();
    hold.lock();
    if (finished) break;
    std::optional<Clock::time_point> next;
    if (!manualClock_) {
      for (const auto& [id, timer] : timers_)
        if (!next || timer.due < *next) next = timer.due;
      if (next && *next <= Clock::now()) break;
    }
    idle_ = true;
    changed_.notify_all();
    if (next)
      changed_.wait_until(hold, *next);
    else
      changed_.wait(hold);
    idle_ = false;
    if (next && Clock::now() >= *next) break;
  }
  idle_ = false;
}

void MessageLoop::ClearQuit() {
  std::lock_guard<std::mutex> hold(lock_);
  quit_ = false;
}

int MessageLoop::Run() {
  ClearQuit();
  BindToCurrentThread();
  while (!QuitRequested()) {
    if (!RunPending()) WaitForWork(nullptr);
  }
  return QuitCode();
}

void MessageLoop::RunUntil(const std::function<bool()>& done) {
  while (!QuitRequested() && !done()) {
    if (!RunPending()) WaitForWork(done);
  }
}

MessageLoop::Clock::time_point MessageLoop::Now() const {
  std::lock_guard<std::mutex> hold(lock_);
  return manualClock_ ? manualNow_ : Clock::now();
}

void MessageLoop::UseManualClock() {
  std::lock_guard<std::mutex> hold(lock_);
  if (manualClock_) return;
  manualClock_ = true;
  manualNow_ = Clock::now();
}

bool MessageLoop::IsManualClock() const {
  std::lock_guard<std::mutex> hold(lock_);
  return manualClock_;
}

void MessageLoop::AdvanceTime(std::chrono::milliseconds by) {
  Clock::time_point target;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!manualClock_) return;
    target = manualNow_ + by;
  }
  // Step from one due time to the next so that every tick sees the time it was due at.
  for (int guard = 0; guard < 1000000; ++guard) {
    std::optional<Clock::time_point> next = NextDeadline();
    if (!next || *next > target) break;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (*next > manualNow_) manualNow_ = *next;
    }
    RunPending();
  }
  std::lock_guard<std::mutex> hold(lock_);
  manualNow_ = target;
}

bool MessageLoop::IsIdle() const {
  std::lock_guard<std::mutex> hold(lock_);
  return (idle_ && tasks_.empty()) || quit_;
}

bool MessageLoop::WaitIdle(std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> hold(lock_);
  // A loop asked to quit runs nothing more that one could wait for.
  return changed_.wait_for(hold, limit, [this] { return (idle_ && tasks_.empty()) || quit_; });
}

}  // namespace SkinUI
