// MessageLoop: the UI thread's queue of tasks and timers. Any thread posts tasks and sets or
// kills timers; the UI thread runs them (RunPending). A window host drives it: the off-screen
// host blocks in Run, the GTK host wakes GLib's loop through the waker.
//
// The clock is steady time, or a manual clock that only moves when a test advances it, so that
// timers fire exactly when the test says.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace SkinUI {

class MessageLoop {
 public:
  using Clock = std::chrono::steady_clock;
  using Task = std::function<void()>;
  using TimerId = uint64_t;

  MessageLoop();
  ~MessageLoop();
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // The loop of the process's UI thread.
  static MessageLoop& Current();

  // ---- Any thread.
  void Post(Task task);
  // A repeating timer; the first tick comes after `period`. Returns its id (never 0).
  TimerId AddTimer(std::chrono::milliseconds period, Task tick);
  void RemoveTimer(TimerId id);
  // Ends Run (and every nested RunUntil) with the code once the tasks posted before it ran.
  void Quit(int code);
  bool QuitRequested() const;
  int QuitCode() const;
  // Called (on the posting thread) whenever new work arrives or the next deadline moves
  // earlier; hosts with their own loop schedule a RunPending there.
  void SetWaker(std::function<void()> waker);

  // ---- The UI thread.
  // The thread that runs the loop: the first to call Run, RunUntil or RunPending, or the one
  // set here.
  void BindToCurrentThread();
  // Binds to the calling thread unless a thread is bound already (the first window's thread).
  void BindIfUnbound();
  bool IsLoopThread() const;
  // Runs the queued tasks and the due timers once; true when anything ran.
  bool RunPending();
  // When the next timer is due (nothing when none is set).
  std::optional<Clock::time_point> NextDeadline() const;
  // Blocks running tasks and timers until Quit; returns the quit code.
  int Run();
  // Forgets an earlier quit, before a host runs its own loop (Run does it itself).
  void ClearQuit();
  // A nested loop (modal windows): runs until done() is true or Quit was called.
  void RunUntil(const std::function<bool()>& done);

  // ---- Clock.
  Clock::time_point Now() const;
  // Switches to the manual clock (starting at the current steady time).
  void UseManualClock();
  bool IsManualClock() const;
  // Manual clock: moves time forward, firing every timer tick that falls due on the way, in
  // order (a timer due several times fires several times). Runs on the UI thread.
  void AdvanceTime(std::chrono::milliseconds by);

  // Whether the loop is blocked waiting with nothing due, or asked to quit (tests wait for this
  // to settle).
  bool IsIdle() const;
  // Waits (another thread) until the loop is idle with an empty queue, at most `limit`.
  bool WaitIdle(std::chrono::milliseconds limit) const;

 private:
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    std::shared_ptr<Task> tick;
  };
  bool RunDueTimers(Clock::time_point now);
  void WaitForWork(const std::function<bool()>& done);

  mutable std::mutex lock_;  // guards everything below
  mutable std::condition_variable changed_;
  std::deque<Task> tasks_;
  std::map<TimerId, Timer> timers_;
  TimerId nextTimer_ = 1;
  std::function<void()> waker_;
  bool quit_ = false;
  int quitCode_ = 0;
  bool manualClock_ = false;
  Clock::time_point manualNow_;
  std::thread::id thread_;
  bool threadBound_ = false;
  bool idle_ = false;
};

}  // namespace SkinUI
