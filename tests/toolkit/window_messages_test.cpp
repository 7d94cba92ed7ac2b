// The window base's messages: posted and sent from other threads, from other processes through
// the window's socket (installer progress, WM_COPYDATA, class and title queries, activation),
// window timers, modal loops and the message loop's end.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/os/window_socket.h"
#include "skin_fixture.h"
#include "support/temp_dir.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/messages.h"
#include "toolkit/window/message_loop.h"
#include "xml/utf.h"

namespace {

using namespace SkinUI;
using skin_fixture::RecordingWindow;

constexpr const char* kBox = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="200,100"><VerticalLayout name="lay_main">
  <Button name="btn_ok" float="true" pos="10,10,90,40" text="OK"/>
</VerticalLayout></Window>
)";

// A modal box that closes with 1 on its button.
class Box : public RecordingWindow {
 public:
  Box() : RecordingWindow(u"box", u"box.xml") {}
  void Notify(Notification& n) override {
    RecordingWindow::Notify(n);
    if (n.type == kNotifyClick) Close(1);
  }
  void OnFinalMessage() override { delete this; }
};

// The UI thread of a test: runs the loop of the off-screen host until the test quits it.
class UiThread {
 public:
  explicit UiThread(std::function<void()> setUp) {
    thread_ = std::thread([this, setUp] {
      MessageLoop::Current().BindToCurrentThread();
      setUp();
      {
        std::lock_guard<std::mutex> hold(lock_);
        ready_ = true;
      }
      ready.notify_all();
      code_ = RunMessageLoop();
    });
    std::unique_lock<std::mutex> hold(lock_);
    ready.wait(hold, [this] { return ready_; });
  }
  int Join() {
    thread_.join();
    return code_;
  }
  std::condition_variable ready;

 private:
  std::mutex lock_;  // guards ready_
  bool ready_ = false;
  int code_ = -100;
  std::thread thread_;
};

class WindowMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLoop::Current().BindToCurrentThread();
    WriteWholeFile(dir_.File("box.xml"), kBox);
    SkinResources::Get().SetFolder(dir_.Path());
    auto host = std::make_unique<OffscreenHost>();
    host_ = host.get();
    SetHost(std::move(host));
  }
  TempDir dir_;
  OffscreenHost* host_ = nullptr;
};

bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    MessageLoop::Current().WaitIdle(std::chrono::milliseconds(100));
  }
  return done();
}

TEST_F(WindowMessagesTest, PostAndSendFromOtherThreadsAndProcesses) {
  RecordingWindow window(u"NUV", u"box.xml");
  uint32_t handle = 0;
  UiThread ui([&] { handle = window.Create(nullptr, u"Capturo messages test"); });
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(WindowBase::FromHandle(handle), &window);

  // Another thread: a post is queued, a send waits for the handler's result.
  std::thread([&] {
    EXPECT_TRUE(window.Post(0x8064));
    EXPECT_EQ(window.Send(0x8069, 41), 42);
    EXPECT_TRUE(WindowBase::PostTo(handle, 0x8065, 7));
  }).join();

  // Another process would use the socket: installer progress and a text, then the identity.
  EXPECT_TRUE(nuv::os::PostWindowMessage(handle, kWmInstallerProgress, 55));
  EXPECT_TRUE(
      nuv::os::SendCopyData(handle, 3, WideToUtf16LeBytes(u"安装完成") + std::string(2, '\0')));
  std::optional<nuv::os::WindowIdentity> who = nuv::os::QueryWindow(handle);
  ASSERT_TRUE(who);
  EXPECT_EQ(who->className, "NUV");
  EXPECT_EQ(who->title, "Capturo messages test");
  EXPECT_EQ(nuv::os::FindWindow("NUV", "Capturo messages test"), handle);
  window.Invoke([&] { window.SetTitle(u"Capturo 2"); });
  EXPECT_EQ(nuv::os::QueryWindow(handle)->title, "Capturo 2");

  ASSERT_TRUE(WaitFor([&] { return window.Messages().size() >= 5; }));
  const std::vector<Message> m = window.Messages();
  ASSERT_EQ(m.size(), 5u);
  EXPECT_EQ(m[0].id, 0x8064u);
  EXPECT_EQ(m[1].id, 0x8069u);
  EXPECT_EQ(m[2].id, 0x8065u);
  EXPECT_EQ(m[2].wParam, 7u);
  EXPECT_EQ(m[3].id, kWmInstallerProgress);
  EXPECT_EQ(m[3].wParam, 55u);
  EXPECT_EQ(m[4].id, kWmCopyData);
  EXPECT_EQ(m[4].lParam, 3);
  EXPECT_EQ(WideToUtf8(Utf16LeBytesToWide(m[4].data)), "安装完成");

  // Activation from another instance shows a hidden window.
  EXPECT_FALSE(window.IsVisible());
  EXPECT_TRUE(nuv::os::ActivateWindow(handle));
  ASSERT_TRUE(WaitFor([&] {
    bool visible = false;
    window.Invoke([&] { visible = window.IsVisible(); });
    return visible;
  }));

  window.PostTask([&] { window.Destroy(); });
  window.PostTask([] {});  // a task for a destroyed window does not run
  QuitMessageLoop(5);
  EXPECT_EQ(ui.Join(), 5);
  EXPECT_FALSE(nuv::os::QueryWindow(handle));
  EXPECT_FALSE(window.Post(0x8064));
  EXPECT_EQ(window.Send(0x8069, 1), 0);
}

TEST_F(WindowMessagesTest, ModalBoxReturnsItsResultAndDisablesItsOwner) {
  RecordingWindow owner(u"NUV", u"box.xml");
  std::atomic<int> result{-1};
  UiThread ui([&] { owner.Create(nullptr, u"owner"); });
  owner.PostTask([&] {
    auto* box = new Box;  // deletes itself when ShowModal destroyed its window
    box->Create(&owner, u"box");
    result = box->ShowModal();
    QuitMessageLoop(0);
  });
  ASSERT_TRUE(WaitFor([&] { return host_->WindowNames().size() == 2; }));
  // Input to the owner is refused while the box is up.
  ASSERT_TRUE(host_->Press(u"btn_ok", u"NUV"));
  EXPECT_TRUE(owner.Events().empty() || owner.Events() == std::vector<std::string>{"windowinit:"});
  ASSERT_TRUE(host_->Press(u"btn_ok", u"box"));
  EXPECT_EQ(ui.Join(), 0);
  EXPECT_EQ(result, 1);
}

TEST_F(WindowMessagesTest, CloseRequestAndWindowTimers) {
  MessageLoop::Current().UseManualClock();
  RecordingWindow window(u"NUV", u"box.xml");
  ASSERT_NE(window.Create(nullptr, u"w"), 0u);
  ASSERT_TRUE(window.SetWindowTimer(1, 1000));
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(2000));
  ASSERT_TRUE(window.KillWindowTimer(1));
  MessageLoop::Current().AdvanceTime(std::chrono::milliseconds(2000));
  int timers = 0;
  for (const Message& m : window.Messages()) timers += m.id == kWmTimer && m.wParam == 1;
  EXPECT_EQ(timers, 2);

  // Alt+F4 is the system close, which closes the window unless the window handles it.
  window.HostKeyDown(kVkF4, kModAlt);
  host_->Settle();
  EXPECT_FALSE(window.IsCreated());
  const Message last = window.Messages().back();
  EXPECT_EQ(last.id, kWmSysCommand);
  EXPECT_EQ(last.wParam, kScClose);
}

}  // namespace
