#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <set>
#include <thread>

#include "os_test_env.h"
#include "platform/os/admin.h"
#include "platform/os/clipboard.h"
#include "platform/os/message_box.h"
#include "platform/os/random.h"

namespace {

TEST(OsRandom, FillsWholeBuffersThatDiffer) {
  std::optional<std::string> a = nuv::os::RandomBytes(1 << 20);  // above one getrandom call's cap
  std::optional<std::string> b = nuv::os::RandomBytes(32);
  std::optional<std::string> c = nuv::os::RandomBytes(32);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->size(), 1u << 20);
  EXPECT_NE(*b, *c);
  std::set<char> distinct(a->begin(), a->end());
  EXPECT_EQ(distinct.size(), 256u);
  EXPECT_EQ(nuv::os::RandomBytes(0), std::optional<std::string>(""));
}

TEST(OsAdmin, EffectiveRootUnlessFaked) {
  ScopedEnv none(nuv::os::kFakeNonAdminEnv, std::nullopt);
  EXPECT_EQ(nuv::os::IsAdministrator(), geteuid() == 0);
  {
    ScopedEnv fake(nuv::os::kFakeNonAdminEnv, "1");
    EXPECT_FALSE(nuv::os::IsAdministrator());
    nuv::os::SetAdministratorOverride(true);
    EXPECT_TRUE(nuv::os::IsAdministrator());
    nuv::os::SetAdministratorOverride(std::nullopt);
  }
  ScopedEnv other(nuv::os::kFakeNonAdminEnv, "0");
  EXPECT_EQ(nuv::os::IsAdministrator(), geteuid() == 0);
  nuv::os::SetAdministratorOverride(false);
  EXPECT_FALSE(nuv::os::IsAdministrator());
  nuv::os::SetAdministratorOverride(std::nullopt);
}

TEST(OsClipboard, EmptyWithoutAReader) {
  nuv::os::SetClipboardReader({});
  EXPECT_EQ(nuv::os::ClipboardText(), "");
  nuv::os::SetClipboardReader([] { return std::string("copied 文本"); });
  EXPECT_EQ(nuv::os::ClipboardText(), "copied 文本");
  nuv::os::SetClipboardReader({});
  EXPECT_EQ(nuv::os::ClipboardText(), "");
}

// The window host installs its reader on its own thread while workers read.
TEST(OsClipboard, ReaderSwapsWhileOthersRead) {
  std::thread writer([] {
    for (int i = 0; i < 2000; ++i) {
      nuv::os::SetClipboardReader([i] { return std::to_string(i); });
    }
  });
  for (int i = 0; i < 2000; ++i) {
    std::string text = nuv::os::ClipboardText();
    EXPECT_TRUE(text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))) << text;
  }
  writer.join();
  nuv::os::SetClipboardReader({});
}

// Without a display the box is the caption and text on standard error (in a child, so no GTK
// state stays behind in this process).
TEST(OsMessageBox, WithoutDisplayWritesToStandardError) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(out[0]);
    dup2(out[1], 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    nuv::os::ShowErrorBox("Load product xml error.", "Error");
    _exit(0);
  }
  close(out[1]);
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(text.find("Error: Load product xml error.\n"), std::string::npos) << text;
}

}  // namespace
