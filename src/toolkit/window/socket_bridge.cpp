#include "toolkit/window/socket_bridge.h"

#include "platform/os/window_socket.h"
#include "toolkit/window/window_base.h"

namespace SkinUI {

WindowSocketBridge::WindowSocketBridge(WindowBase& window) : window_(window) {}

WindowSocketBridge::~WindowSocketBridge() {
  Stop();
}

bool WindowSocketBridge::Start(uint32_t handle, const std::string& className,
                               const std::string& title) {
  WindowBase* window = &window_;
  auto listener = std::make_unique<nuv::os::WindowSocketListener>(
      handle, nuv::os::WindowIdentity{className, title},
      [window](const nuv::os::WindowFrame& frame) {
        switch (frame.kind) {
          case nuv::os::WindowFrameKind::Post:
            window->Post(frame.message, frame.wParam);
            break;
          case nuv::os::WindowFrameKind::Send: {
            Message message;
            message.id = frame.message;
            if (frame.message == kWmCopyData) {
              message.lParam = static_cast<int64_t>(frame.wParam);  // dwData
              message.data = frame.payload;
            } else {
              message.wParam = frame.wParam;
              message.data = frame.payload;
            }
            window->Send(message);  // the peer's answer waits for the handling
            break;
          }
          case nuv::os::WindowFrameKind::Activate:
            window->PostTask([window] { window->HostActivateRequest(); });
            break;
          default:
            break;
        }
      });
  if (!listener->Start()) return false;
  listener_ = std::move(listener);
  return true;
}

void WindowSocketBridge::SetTitle(const std::string& title) {
  if (listener_) listener_->SetTitle(title);
}

void WindowSocketBridge::Stop() {
  if (listener_) listener_->Stop();
  listener_.reset();
}

}  // namespace SkinUI
