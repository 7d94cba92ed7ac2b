// Both ends of a window's socket (frames in window_frame.h): the client calls other processes use
// to reach a window, and the listener a window (or a test) runs to receive them.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/os/window_frame.h"

namespace nuv::os {

// Client side. Each call opens one connection; connect, send and answer waits are bounded
// (kWindowSocketTimeoutMs). False / nothing when the window is not there or does not answer.
inline constexpr int kWindowSocketTimeoutMs = 3000;

bool PostWindowMessage(uint32_t handle, uint32_t message, uint64_t wParam);
// Waits until the window has handled it.
bool SendWindowData(uint32_t handle, uint32_t message, uint64_t wParam, std::string_view payload);
bool SendCopyData(uint32_t handle, uint64_t dwData, std::string_view data);
bool ActivateWindow(uint32_t handle);

struct WindowIdentity {
  std::string className;
  std::string title;
};
std::optional<WindowIdentity> QueryWindow(uint32_t handle);

// Handles of every listening window socket of this network namespace (from /proc/net/unix).
std::vector<uint32_t> ListWindowHandles();
// The first window whose class name and title match exactly.
std::optional<uint32_t> FindWindow(std::string_view className, std::string_view title);

// Reads one frame from a connected socket, the way the listener reads its requests. False at the
// end of the stream and for a frame that breaks the format (the listener then ends the connection).
bool ReadWindowFrame(int fd, WindowFrame* frame);

// Listener side: binds the window's address and serves connections one at a time on its own
// thread; the handler runs on that thread, in arrival order. Query frames are answered from the
// identity without calling the handler.
class WindowSocketListener {
 public:
  using Handler = std::function<void(const WindowFrame&)>;

  WindowSocketListener(uint32_t handle, WindowIdentity identity, Handler handler);
  ~WindowSocketListener();
  WindowSocketListener(const WindowSocketListener&) = delete;
  WindowSocketListener& operator=(const WindowSocketListener&) = delete;

  // False when the address is taken or the socket can't be made.
  bool Start();
  // Stops accepting and joins the thread; a connection being served is finished first (bounded
  // by the socket time-out).
  void Stop();

  uint32_t Handle() const { return handle_; }
  void SetTitle(std::string title);

 private:
  void Run();
  void Serve(int fd);

  uint32_t handle_;
  std::mutex identityLock_;  // guards identity_ (title changes while queries are answered)
  WindowIdentity identity_;
  Handler handler_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace nuv::os
