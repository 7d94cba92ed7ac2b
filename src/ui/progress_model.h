// The download page's one progress bar over download and install: the download share from the
// controller's byte counts, a simulated install part that creeps with the installation time, the
// product installer's own reports taking over at the end, and the remaining-time line. The
// window feeds it and applies what a tick returns; texts come from the language table.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

// What the window shows after one progress tick.
struct ProgressView {
  // `progress_download` and `lbl_progress_value` (this number followed by "%"). Never lower than
  // on an earlier tick, also when the installer's reports take over.
  int bar = 0;
  // The percentage computed on this tick (the tray tooltip's number); may fall after a retry.
  uint16_t shownPercent = 0;
  // The taskbar progress: the highest percentage computed so far.
  uint16_t taskbar = 0;
  // The installer's reports drive the end of the bar: log "[INFO] transfer install progress = %d"
  // with installerShare (90..100).
  bool takeover = false;
  int installerShare = 0;
  // The remaining-time line: `timeTipKey` formatted with minutes and seconds; it goes to
  // `lbl_progress_tip` while `lbl_wait_for_time_tip` is hidden.
  int remainingMinutes = 0;
  int remainingSeconds = 0;
  const char16_t* timeTipKey = u"new_download_time_tip";
};

// One per program (the highest percentage shown lives as long as the process). The two setters
// run on other threads (one writer each); Tick and the accessors on the window thread.
class ProgressModel {
 public:
  static constexpr uint16_t kMaxDownloadShare = 70;
  static constexpr float kMaxInstallCreep = 28;

  // OnDownloadProgress with total and done bytes, task count and reporting-task count. Returns
  // the new download share (0..70: the analytics property "downgrogress"), or nothing when total
  // or the task count is not positive (the share is then unchanged).
  std::optional<uint16_t> SetDownloadProgress(int64_t total, int64_t done, int32_t tasks,
                                              int32_t reporting);
  // WM_INSTALLER_PROGRESS: stores the percent when it is at most 100; false (ignored) otherwise.
  bool SetInstallerPercent(uint64_t percent);

  // The one-second progress tick. installSeconds: the controller's installation time
  // (NuvMgr::EffectiveInstallSeconds); packageSize: the queried package size in bytes; while a
  // message box is open the simulated install part holds still.
  ProgressView Tick(int installSeconds, int64_t packageSize, bool modalOpen);

  uint16_t DownloadShare() const { return downloadShare_.load(); }
  float InstallCreep() const { return installCreep_; }
  uint16_t MaxShown() const { return maxShown_; }

 private:
  std::atomic<uint16_t> downloadShare_{0};  // written by the controller's notification thread
  std::atomic<int> installerPercent_{0};    // written by the window's message handler
  // The window thread's own.
  float installCreep_ = 0;
  uint16_t maxShown_ = 0;
  int barShown_ = 0;
};
