#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "ui/progress_model.h"

namespace {

constexpr int64_t kMiB = 1024 * 1024;

struct Share {
  int64_t total, done;
  int32_t tasks = 1, reporting = 1;
  bool updates = true;
};
struct Installer {
  uint64_t percent;
  bool stored = true;
};
struct Ticks {
  int count;
  bool modal = false;
};
using Step = std::variant<Share, Installer, Ticks>;

struct Expected {
  uint16_t share;
  float creep;
  int bar, shown, taskbar;
  bool takeover;
  int installerShare;
  int minutes, seconds;
  std::u16string key;
};

struct Case {
  const char* name;
  int64_t packageSize;
  std::vector<Step> steps;
  Expected want;
};

const std::u16string kDown = u"new_download_time_tip";
const std::u16string kInst = u"new_install_time_tip";

TEST(ProgressModel, TicksFromDownloadShareCreepAndInstallerReports) {
  const Case cases[] = {
      {"nothing downloaded yet shows 1 %",
       10 * kMiB,
       {Ticks{1}},
       {0, 0, 1, 1, 1, false, 0, 0, 59, kDown}},
      {"share 50 shows 76",
       900 * kMiB,
       {Share{700, 500}, Ticks{1}},
       {50, 0, 76, 76, 76, false, 0, 1, 12, kDown}},
      {"half the tasks reporting halve the share",
       0,
       {Share{1000, 1000, 2, 1}, Ticks{1}},
       {35, 0, 59, 59, 59, false, 0, 0, 24, kDown}},
      {"share 70 with no creep yet shows 90",
       0,
       {Share{100, 100}, Ticks{1}},
       {70, 0.125f, 90, 90, 90, false, 0, 0, 5, kInst}},
      {"creep adds 0.125 per second at 240 s",
       0,
       {Share{100, 100}, Ticks{8}},
       {70, 1.0f, 91, 91, 91, false, 0, 0, 5, kInst}},
      {"creep stops at 28",
       0,
       {Share{100, 100}, Ticks{300}},
       {70, 28.0f, 98, 98, 98, false, 0, 0, 1, kInst}},
      {"creep holds still while a message box is open",
       0,
       {Share{100, 100}, Ticks{8}, Ticks{20, true}},
       {70, 1.0f, 91, 91, 91, false, 0, 0, 5, kInst}},
      {"creep restarts when the share falls below 69",
       0,
       {Share{100, 100}, Ticks{8}, Share{700, 600}, Ticks{1}},
       {60, 0, 91, 85, 91, false, 0, 0, 9, kDown}},
      {"the bar never moves back after a share drop",
       0,
       {Share{700, 500}, Ticks{1}, Share{700, 100}, Ticks{1}},
       {10, 0, 76, 18, 76, false, 0, 0, 49, kDown}},
      {"900 MiB at 40 % leaves 3 minutes",
       900 * kMiB,
       {Share{7000, 2200}, Ticks{1}},
       {22, 0, 40, 40, 40, false, 0, 3, 0, kDown}},
      {"10 MiB estimates from 60 s",
       10 * kMiB,
       {Share{7000, 2200}, Ticks{1}},
       {22, 0, 40, 40, 40, false, 0, 0, 36, kDown}},
      {"installer 55 gives 95 once 90 is shown",
       0,
       {Share{100, 100}, Installer{55}, Ticks{1}},
       {70, 0.125f, 95, 90, 90, true, 95, 0, 5, kInst}},
      {"installer reports wait until 90 is shown",
       0,
       {Share{700, 500}, Installer{55}, Ticks{1}},
       {50, 0, 76, 76, 76, false, 0, 0, 14, kDown}},
      {"installer reports over 100 are ignored",
       0,
       {Share{100, 100}, Installer{55}, Installer{150, false}, Ticks{1}},
       {70, 0.125f, 95, 90, 90, true, 95, 0, 5, kInst}},
      {"a late takeover does not pull the bar back",
       0,
       {Share{100, 100}, Ticks{300}, Installer{5}, Ticks{1}},
       {70, 28.0f, 98, 98, 98, true, 90, 0, 1, kInst}},
      {"the takeover reaches 100",
       0,
       {Share{100, 100}, Ticks{300}, Installer{5}, Ticks{1}, Installer{100}, Ticks{1}},
       {70, 28.0f, 100, 98, 98, true, 100, 0, 1, kInst}},
      {"done beyond total stays at 70 instead of wrapping",
       0,
       {Share{100, 100000}, Ticks{1}},
       {70, 0.125f, 90, 90, 90, false, 0, 0, 5, kInst}},
      {"negative counts stay at 0",
       0,
       {Share{100, -50}, Ticks{1}},
       {0, 0, 1, 1, 1, false, 0, 0, 59, kDown}},
      {"no total or no task leaves the share",
       0,
       {Share{700, 500}, Share{0, 5, 1, 1, false}, Share{100, 5, 0, 0, false}, Ticks{1}},
       {50, 0, 76, 76, 76, false, 0, 0, 14, kDown}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgressModel model;
    ProgressView view;
    for (const Step& step : c.steps) {
      if (const auto* s = std::get_if<Share>(&step)) {
        EXPECT_EQ(model.SetDownloadProgress(s->total, s->done, s->tasks, s->reporting).has_value(),
                  s->updates);
      } else if (const auto* i = std::get_if<Installer>(&step)) {
        EXPECT_EQ(model.SetInstallerPercent(i->percent), i->stored);
      } else {
        const auto& t = std::get<Ticks>(step);
        for (int n = 0; n < t.count; ++n) view = model.Tick(240, c.packageSize, t.modal);
      }
    }
    const Expected& w = c.want;
    EXPECT_EQ(model.DownloadShare(), w.share);
    EXPECT_FLOAT_EQ(model.InstallCreep(), w.creep);
    EXPECT_EQ(view.bar, w.bar);
    EXPECT_EQ(view.shownPercent, w.shown);
    EXPECT_EQ(view.taskbar, w.taskbar);
    EXPECT_EQ(view.takeover, w.takeover);
    if (w.takeover) {
      EXPECT_EQ(view.installerShare, w.installerShare);
    }
    EXPECT_EQ(view.remainingMinutes, w.minutes);
    EXPECT_EQ(view.remainingSeconds, w.seconds);
    EXPECT_EQ(view.timeTipKey, w.key);
  }
}

}  // namespace
