// Every file the program keeps under a fixed or guessable name in the temporary folder lives in
// the private folder of its user, never in the shared one, where another user could have put a
// link or a file of their own under that name first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analytics/report_data_store.h"
#include "analytics/track_report.h"
#include "log/log_folder.h"
#include "platform/folder_utils.h"
#include "platform/os/folders.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "xml/utf.h"

namespace {

class TempNamesTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    // The shared temporary folder is open to all, as /tmp is.
    ASSERT_EQ(chmod(Shared().c_str(), 01777), 0);
  }
  std::string Shared() const { return Root() + "tmp/"; }
};

TEST_F(TempNamesTest, EveryTemporaryFileIsInTheUsersPrivateFolder) {
  NuvMgr mgr(nullptr);
  mgr.ProductID = u"12345";
  auto task = std::make_unique<NuvTask>();
  task->id = 12345;
  task->type = kTaskProduct;
  mgr.tasks.push_back(std::move(task));
  mgr.BuildInstallPara(u"en");

  const std::vector<std::pair<const char*, std::function<std::string()>>> producers = {
      {"installer log", [] { return WideToUtf8(GetReportDataStore().InstallerLogPath()); }},
      {"host information file", [&] { return WideToUtf8(mgr.WriteHostInfoFile()); }},
      {"track report copy", [] { return TrackCopyPath(CurrentTrackEnvironment(), "12345"); }},
      {"temporary configuration folder",
       [] { return WideToUtf8(platform::GetTempSubFolder(u"Veltrin")); }},
      {"log folder", [] { return ChooseLogFolder(); }},
  };
  const std::string temp = nuv::os::TempFolder();
  ASSERT_NE(temp, Shared());
  struct stat st {};
  ASSERT_EQ(lstat(temp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_uid, geteuid());
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  for (const auto& [name, path] : producers) {
    const std::string p = path();
    EXPECT_EQ(p.rfind(temp, 0), 0u) << name << ": " << p;
  }
  // Nothing of ours lies in the shared folder but the private folder itself.
  for (const auto& e : std::filesystem::directory_iterator(Shared()))
    EXPECT_EQ(e.path().string() + "/", temp) << e.path();
}

}  // namespace
