#include "console_window.h"

#include <unistd.h>

#include <cstdarg>

#include "platform/os/random.h"
#include "xml/utf.h"

ConsoleWindow::~ConsoleWindow() {
  if (listener_) listener_->Stop();
}

bool ConsoleWindow::Open(const std::string& title) {
  // A few random handles: another window of this namespace may hold one.
  for (int tries = 0; tries < 8; ++tries) {
    uint32_t handle = 0;
    nuv::os::FillRandom(&handle, sizeof(handle));
    handle = (handle & 0x7FFFFFF0u) | 0x10u;
    auto listener = std::make_unique<nuv::os::WindowSocketListener>(
        handle, nuv::os::WindowIdentity{"NUV", title},
        [this](const nuv::os::WindowFrame& frame) { OnWindowFrame(frame); });
    if (!listener->Start()) continue;
    listener_ = std::move(listener);
    return true;
  }
  return false;
}

void ConsoleWindow::OnWindowFrame(const nuv::os::WindowFrame& frame) {
  if (frame.message == nuv::os::kMsgInstallerProgress) {
    Say("   installer progress %llu%%\n", static_cast<unsigned long long>(frame.wParam));
  } else if (frame.message == nuv::os::kMsgCopyData) {
    const std::u16string text = Utf16LeBytesToWide(frame.payload);
    Say("   installer says \"%s\"\n", WideToUtf8(text).c_str());
  }
}

void ConsoleWindow::OnFinished(NuvTask& task, int32_t code) {
  Say("   download of %s (task %d) ended: %s (code %d)\n", WideToUtf8(task.productName).c_str(),
      task.id, code == 0 ? "complete" : "failed", code);
  std::lock_guard<std::mutex> hold(lock_);
  ended_.insert(task.id);
  changed_.notify_all();
}

void ConsoleWindow::OnDownloadProgress(int64_t total, int64_t downloaded, int32_t, int32_t) {
  if (total <= 0) return;
  const int percent = static_cast<int>(downloaded * 100 / total);
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (percent / 10 == lastPercent_ / 10) return;
    lastPercent_ = percent;
  }
  Say("   downloaded %lld of %lld bytes (%d%%)\n", static_cast<long long>(downloaded),
      static_cast<long long>(total), percent);
}

void ConsoleWindow::OnInstall(NuvTask& task, int32_t code) {
  Say("   installer of %s (task %d) ended with %d\n", WideToUtf8(task.productName).c_str(), task.id,
      code);
}

void ConsoleWindow::Rearm(int32_t taskId) {
  std::lock_guard<std::mutex> hold(lock_);
  ended_.erase(taskId);
  lastPercent_ = -1;
}

bool ConsoleWindow::WaitDownloads(const std::set<int32_t>& ids, std::chrono::seconds limit) {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, limit, [&] {
    for (int32_t id : ids)
      if (!ended_.count(id)) return false;
    return true;
  });
}

void ConsoleWindow::Say(const char* format, ...) {
  std::lock_guard<std::mutex> hold(lock_);
  va_list args;
  va_start(args, format);
  std::vfprintf(out_, format, args);
  va_end(args);
  std::fflush(out_);
}
