#include "e2e_window.h"

#include <unistd.h>

#include <atomic>

#include "analytics/report_data_store.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

// Process-unique handles that do not collide with another test program's windows.
uint32_t NextHandle() {
  static std::atomic<uint32_t> counter{0};
  return 0x4E000000u | ((static_cast<uint32_t>(getpid()) & 0xFFFFu) << 8) | (++counter & 0xFFu);
}

}  // namespace

TestWindow::TestWindow()
    : listener_(NextHandle(), {"NUV", "e2e"}, [this](const nuv::os::WindowFrame& frame) {
        std::lock_guard<std::mutex> hold(lock_);
        if (frame.message == nuv::os::kMsgInstallerProgress) {
          percents_.push_back(frame.wParam);
        } else if (frame.message == nuv::os::kMsgCopyData && !frame.payload.empty()) {
          copyTexts_.push_back(Utf16LeBytesToWide(frame.payload));
          GetReportDataStore().AddInstallerMessage(copyTexts_.back());
        }
      }) {}

TestWindow::~TestWindow() {
  listener_.Stop();
}

void TestWindow::OnFinished(NuvTask& task, int32_t code) {
  NUV_LOG(3, "[INFO] NuvWnd OnFinished, result=[%d].", code);
  {
    std::lock_guard<std::mutex> hold(lock_);
    finished_.push_back({task.id, code});
  }
  // A cancelled download ends the run in the window; the runs here never cancel.
  if (code != 0 && code != 13) Retry(task, false);
  Bump();
}

void TestWindow::OnDownloadProgress(int64_t, int64_t, int32_t, int32_t) {
  std::lock_guard<std::mutex> hold(lock_);
  ++progressCalls_;
}

void TestWindow::OnInstall(NuvTask& task, int32_t code) {
  NUV_LOG(3, "[INFO] NuvWnd OnInstall, code=[%d].", code);
  std::function<void(NuvTask&, int32_t)> hook;
  {
    std::lock_guard<std::mutex> hold(lock_);
    installs_.push_back({task.id, code});
    hook = installHook_;
  }
  if (hook) hook(task, code);
  if (code != 0) Retry(task, true);
  Bump();
}

void TestWindow::Retry(NuvTask& task, bool install) {
  std::lock_guard<std::mutex> hold(lock_);
  if (retryCount_ < kRetryBudget) {
    retryTaskIds_.push_back(task.id);
    ++task.downloadRetries;
    if (install) ++task.installRetries;
    ++retryCount_;
    return;
  }
  // An optional dependent whose installation keeps failing only goes into the track report.
  if (!install || task.forceInstall) failedPage_ = true;
}

void TestWindow::Bump() {
  std::lock_guard<std::mutex> hold(lock_);
  ++news_;
  changed_.notify_all();
}

void TestWindow::SetInstallHook(std::function<void(NuvTask&, int32_t)> hook) {
  std::lock_guard<std::mutex> hold(lock_);
  installHook_ = std::move(hook);
}

std::vector<int32_t> TestWindow::TakeRetries() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<int32_t> ids;
  ids.swap(retryTaskIds_);
  return ids;
}

bool TestWindow::FailedPage() const {
  std::lock_guard<std::mutex> hold(lock_);
  return failedPage_;
}

uint64_t TestWindow::News() const {
  std::lock_guard<std::mutex> hold(lock_);
  return news_;
}

void TestWindow::WaitForNews(uint64_t seen, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait_for(hold, limit, [&] { return news_ != seen; });
}

std::vector<TestWindow::Event> TestWindow::Finished() const {
  std::lock_guard<std::mutex> hold(lock_);
  return finished_;
}

std::vector<TestWindow::Event> TestWindow::Installs() const {
  std::lock_guard<std::mutex> hold(lock_);
  return installs_;
}

int TestWindow::RetryCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return retryCount_;
}

int TestWindow::ProgressCalls() const {
  std::lock_guard<std::mutex> hold(lock_);
  return progressCalls_;
}

std::vector<uint64_t> TestWindow::InstallerPercents() const {
  std::lock_guard<std::mutex> hold(lock_);
  return percents_;
}

std::vector<std::u16string> TestWindow::CopyTexts() const {
  std::lock_guard<std::mutex> hold(lock_);
  return copyTexts_;
}
