// The UI loop on its own: order of tasks, a nested loop that takes over the queue, quitting in
// order, and timers on the manual clock.
#include "toolkit/window/message_loop.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using SkinUI::MessageLoop;
using namespace std::chrono_literals;

TEST(MessageLoopTest, NestedLoopRunsWhatIsQueuedBehindItAndQuitComesInOrder) {
  MessageLoop loop;
  std::string trace;
  bool modalDone = false;
  loop.Post([&] {
    trace += "modal(";
    // Like a modal box: a nested loop until its answer, fed by tasks queued after this one.
    loop.RunUntil([&] { return modalDone; });
    trace += ")";
  });
  loop.Post([&] { trace += "a"; });
  loop.Post([&] {
    trace += "answer";
    modalDone = true;
  });
  loop.Quit(7);
  loop.Post([&] { trace += "late"; });  // after the quit: never runs in this Run
  EXPECT_EQ(loop.Run(), 7);
  EXPECT_EQ(trace, "modal(aanswer)");
}

TEST(MessageLoopTest, ManualClockFiresEveryDueTickInOrder) {
  MessageLoop loop;
  loop.BindToCurrentThread();
  loop.UseManualClock();
  std::string trace;
  const MessageLoop::TimerId fast = loop.AddTimer(300ms, [&] { trace += "f"; });
  loop.AddTimer(1000ms, [&] { trace += "S"; });
  loop.AdvanceTime(999ms);
  EXPECT_EQ(trace, "fff");
  loop.AdvanceTime(1ms);
  EXPECT_EQ(trace, "fffS");
  loop.RemoveTimer(fast);
  loop.AdvanceTime(2000ms);
  EXPECT_EQ(trace, "fffSSS");
  ASSERT_TRUE(loop.NextDeadline());
}

}  // namespace
