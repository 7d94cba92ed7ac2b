#include "toolkit/host/host.h"

#include <mutex>

#include "toolkit/host/offscreen/offscreen_host.h"

namespace SkinUI {

namespace {

std::mutex& HostLock() {
  static std::mutex lock;  // guards TheHost()
  return lock;
}

std::unique_ptr<Host>& TheHost() {
  static std::unique_ptr<Host> host;
  return host;
}

}  // namespace

Host& CurrentHost() {
  std::lock_guard<std::mutex> hold(HostLock());
  if (!TheHost()) TheHost() = std::make_unique<OffscreenHost>();
  return *TheHost();
}

void SetHost(std::unique_ptr<Host> host) {
  std::lock_guard<std::mutex> hold(HostLock());
  TheHost() = std::move(host);
}

}  // namespace SkinUI
