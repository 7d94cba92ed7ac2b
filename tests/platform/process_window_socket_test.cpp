#include "platform/os/window_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/process_launch.h"
#include "platform/process_test_util.h"

namespace {

using nuv::os::WindowFrame;
using nuv::os::WindowFrameKind;

// Handles unique to this test process, since ctest runs cases of several suites at once.
uint32_t TestHandle(uint32_t n) {
  return 0x70000000u | (static_cast<uint32_t>(getpid()) & 0xFFFFFu) << 4 | n;
}

class Recorder {
 public:
  void Add(const WindowFrame& frame) {
    std::lock_guard<std::mutex> guard(lock_);
    frames_.push_back(frame);
    changed_.notify_all();
  }
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10),
                             [&] { return frames_.size() >= count; });
  }
  std::vector<WindowFrame> Frames() {
    std::lock_guard<std::mutex> guard(lock_);
    return frames_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<WindowFrame> frames_;
};

class WindowSocketTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(listener_.Start()); }

  Recorder recorder_;
  nuv::os::WindowSocketListener listener_{
      TestHandle(1), {"NUV", "Capturo 安装"}, [this](const WindowFrame& f) { recorder_.Add(f); }};
};

TEST_F(WindowSocketTest, ProgressArrivesInOrderAndCopyDataIsHandledBeforeSendReturns) {
  for (uint32_t p = 0; p <= 100; ++p) {
    ASSERT_TRUE(nuv::os::PostWindowMessage(listener_.Handle(), nuv::os::kMsgInstallerProgress, p));
  }
  const std::u16string text = u"install_step=copy";
  std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
  ASSERT_TRUE(nuv::os::SendCopyData(listener_.Handle(), 7, bytes));
  // No wait: the send is synchronous, and posts before it were served first.
  std::vector<WindowFrame> frames = recorder_.Frames();
  ASSERT_EQ(frames.size(), 102u);
  for (uint32_t p = 0; p <= 100; ++p) {
    EXPECT_EQ(frames[p].kind, WindowFrameKind::Post);
    EXPECT_EQ(frames[p].message, 0x046Fu);
    EXPECT_EQ(frames[p].wParam, p);
  }
  EXPECT_EQ(frames[101].kind, WindowFrameKind::Send);
  EXPECT_EQ(frames[101].message, 0x004Au);
  EXPECT_EQ(frames[101].wParam, 7u);
  EXPECT_EQ(frames[101].payload, bytes);
}

TEST_F(WindowSocketTest, QueryAndFindByClassAndTitle) {
  nuv::os::WindowSocketListener other(TestHandle(2), {"Other", "Capturo 安装"}, nullptr);
  ASSERT_TRUE(other.Start());
  std::optional<nuv::os::WindowIdentity> id = nuv::os::QueryWindow(listener_.Handle());
  ASSERT_TRUE(id);
  EXPECT_EQ(id->className, "NUV");
  EXPECT_EQ(id->title, "Capturo 安装");
  std::vector<uint32_t> handles = nuv::os::ListWindowHandles();
  EXPECT_NE(std::find(handles.begin(), handles.end(), listener_.Handle()), handles.end());
  EXPECT_NE(std::find(handles.begin(), handles.end(), other.Handle()), handles.end());
  EXPECT_EQ(nuv::os::FindWindow("NUV", "Capturo 安装"), listener_.Handle());
  EXPECT_EQ(nuv::os::FindWindow("NUV", "Capturo"), std::nullopt);
  listener_.SetTitle("renamed");
  EXPECT_EQ(nuv::os::FindWindow("NUV", "renamed"), listener_.Handle());
  EXPECT_TRUE(recorder_.Frames().empty());  // queries never reach the handler
}

TEST_F(WindowSocketTest, ActivateExistingWindowReachesTheNamedWindow) {
  platform::ActivateExistingWindow(u"Capturo 安装");
  ASSERT_TRUE(recorder_.WaitFor(1));
  EXPECT_EQ(recorder_.Frames()[0].kind, WindowFrameKind::Activate);
  platform::ActivateExistingWindow(u"no such title");  // nothing to do, no failure
}

TEST_F(WindowSocketTest, BrokenFramesEndTheConnectionAndServingGoesOn) {
  auto sendRaw = [&](const nuv::os::WindowFrameHeader& header) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string name = nuv::os::WindowSocketName(listener_.Handle());
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr),
                      offsetof(sockaddr_un, sun_path) + 1 + name.size()),
              0);
    ASSERT_EQ(write(fd, &header, sizeof header), static_cast<ssize_t>(sizeof header));
    char byte;
    EXPECT_EQ(read(fd, &byte, 1), 0);  // the listener hung up
    close(fd);
  };
  nuv::os::WindowFrameHeader badMagic;
  badMagic.magic = 0x12345678;
  badMagic.kind = 1;
  nuv::os::WindowFrameHeader badKind;
  badKind.kind = 99;
  nuv::os::WindowFrameHeader huge;
  huge.kind = 2;
  huge.length = nuv::os::kMaxWindowFramePayload + 1;
  for (const auto& header : {badMagic, badKind, huge}) sendRaw(header);
  EXPECT_TRUE(nuv::os::PostWindowMessage(listener_.Handle(), 0x046F, 42));
  ASSERT_TRUE(recorder_.WaitFor(1));
  EXPECT_EQ(recorder_.Frames().size(), 1u);
  EXPECT_FALSE(nuv::os::SendCopyData(listener_.Handle(), 0,
                                     std::string(nuv::os::kMaxWindowFramePayload + 1, 'x')));
}

TEST_F(WindowSocketTest, AbsentWindowAndTakenAddress) {
  EXPECT_FALSE(nuv::os::PostWindowMessage(TestHandle(9), 0x046F, 1));
  EXPECT_FALSE(nuv::os::SendCopyData(TestHandle(9), 0, "x"));
  EXPECT_EQ(nuv::os::QueryWindow(TestHandle(9)), std::nullopt);
  nuv::os::WindowSocketListener twin(listener_.Handle(), {"NUV", "twin"}, nullptr);
  EXPECT_FALSE(twin.Start());
  listener_.Stop();
  EXPECT_FALSE(nuv::os::PostWindowMessage(listener_.Handle(), 0x046F, 1));
}

TEST_F(WindowSocketTest, PeersOfAnotherUnprivilegedUserAreNotServed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  // Everything the child needs is prepared here: after fork it only makes system calls.
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string name = nuv::os::WindowSocketName(listener_.Handle());
  std::memcpy(addr.sun_path + 1, name.data(), name.size());
  socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  nuv::os::WindowFrameHeader header;
  header.kind = static_cast<uint32_t>(WindowFrameKind::Send);
  header.message = 0x004A;
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) _exit(3);
    (void)!send(fd, &header, sizeof header, MSG_NOSIGNAL);
    char answer[sizeof header];
    _exit(read(fd, answer, sizeof answer) > 0 ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "an unprivileged peer got an answer";
  // A privileged peer after it is served as usual.
  EXPECT_TRUE(nuv::os::SendCopyData(listener_.Handle(), 0, "ok"));
  EXPECT_EQ(recorder_.Frames().size(), 1u);
}

}  // namespace
