// Joins a window's socket (platform/os/window_socket.h) to its message loop: posted frames
// become posted messages, sent frames (WM_COPYDATA) are handled before the peer gets its answer,
// and activation requests bring the window forward. Class and title queries are answered by the
// listener itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nuv::os {
class WindowSocketListener;
}

namespace SkinUI {

class WindowBase;

class WindowSocketBridge {
 public:
  explicit WindowSocketBridge(WindowBase& window);
  ~WindowSocketBridge();

  // Listens at the handle's address; false when it is taken or no socket can be made.
  bool Start(uint32_t handle, const std::string& className, const std::string& title);
  void SetTitle(const std::string& title);
  // Joins the listener thread; call after the window stopped taking messages.
  void Stop();

 private:
  WindowBase& window_;
  std::unique_ptr<nuv::os::WindowSocketListener> listener_;
};

}  // namespace SkinUI
