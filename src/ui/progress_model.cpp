#include "ui/progress_model.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t kBytesPerEstimateStep = 3145728;  // 3 MiB of package per second of estimate
constexpr int kMinBaseSeconds = 60;
constexpr int kMaxBaseSeconds = 300;
constexpr int kInstallTipFrom = 90;

// The curve lifts the early percentages so that a slow start still shows movement.
double Curve(uint16_t b) {
  return 100.0 * std::erf(0.024 * b / std::sqrt(2.0));
}

int RemainingSeconds(int64_t packageSize, uint16_t shownPercent) {
  // The low 32 bits as a signed value: an absurd size wraps, and the clamp below catches it.
  const auto steps =
      static_cast<int32_t>(static_cast<uint32_t>(packageSize / kBytesPerEstimateStep));
  const int base = std::clamp<int32_t>(steps, kMinBaseSeconds, kMaxBaseSeconds);
  return static_cast<int>((1 - shownPercent * 0.01) * base);
}

}  // namespace

std::optional<uint16_t> ProgressModel::SetDownloadProgress(int64_t total, int64_t done,
                                                           int32_t tasks, int32_t reporting) {
  if (total <= 0 || tasks <= 0) return std::nullopt;
  const double share = static_cast<double>(reporting) / tasks * done * 100 * 0.7 / total;
  // Done beyond total, more reporting tasks than tasks or a negative count would leave the
  // range (and wrap in 16 bits): the share stays within its 0..70 of the bar.
  const auto value = static_cast<uint16_t>(std::clamp(share, 0.0, double{kMaxDownloadShare}));
  downloadShare_.store(value);
  return value;
}

bool ProgressModel::SetInstallerPercent(uint64_t percent) {
  if (percent > 100) return false;
  installerPercent_.store(static_cast<int>(percent));
  return true;
}

ProgressView ProgressModel::Tick(int installSeconds, int64_t packageSize, bool modalOpen) {
  const uint16_t a = downloadShare_.load();
  if (a < 69) {
    installCreep_ = 0;
  } else if (!modalOpen) {
    // A non-positive time would divide to infinity or below zero; the clamp keeps 0..28.
    installCreep_ = std::clamp(installCreep_ + 30.0f / static_cast<float>(installSeconds), 0.0f,
                               kMaxInstallCreep);
  }
  const auto b = static_cast<uint16_t>(a + installCreep_);
  const double v = std::max({static_cast<double>(b), Curve(b), 1.0});

  ProgressView view;
  view.shownPercent = static_cast<uint16_t>(v);
  maxShown_ = std::max(maxShown_, view.shownPercent);
  view.taskbar = maxShown_;
  int bar = maxShown_;

  const int installer = installerPercent_.load();
  if (view.shownPercent > 89 && installer > 0) {
    view.takeover = true;
    view.installerShare = installer / 10 + 90;
    bar = view.installerShare;
  }
  // The installer's first reports may lie below what the creep already showed: the bar waits
  // for them instead of jumping back.
  barShown_ = std::max(barShown_, bar);
  view.bar = barShown_;

  const int seconds = RemainingSeconds(packageSize, view.shownPercent);
  view.remainingMinutes = seconds / 60;
  view.remainingSeconds = seconds % 60;
  view.timeTipKey =
      view.shownPercent < kInstallTipFrom ? u"new_download_time_tip" : u"new_install_time_tip";
  return view;
}
