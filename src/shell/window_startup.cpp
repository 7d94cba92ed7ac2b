#include "shell/window_startup.h"

#include <optional>
#include <string>

#include "log/simple_log.h"
#include "platform/os/resources.h"
#include "session/nuv_mgr.h"
#include "shell/placeholder_window.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/host/host.h"
#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/window/window_base.h"
#ifdef NUV_HAVE_GTK_HOST
#include "toolkit/host/gtk/gtk_host.h"
#endif

namespace {

constexpr int kSkinResource = 133;
constexpr int kIconResource = 101;

void UseSkinArchive() {
  SkinUI::SkinResources& resources = SkinUI::SkinResources::Get();
  std::optional<std::string> zip = nuv::os::LoadResource("ZIPRES", kSkinResource);
  if (!zip || zip->empty()) {
    resources.Clear();  // no skin: the window opens empty
    return;
  }
  if (resources.SetResourceZip(std::move(*zip))) resources.LoadSkin("skin.xml");
}

// GTK when a display opens; otherwise windows live off screen.
bool UseWindowHost() {
#ifdef NUV_HAVE_GTK_HOST
  if (std::unique_ptr<SkinUI::Host> gtk = SkinUI::CreateGtkHost()) {
    SkinUI::SetHost(std::move(gtk));
    NUV_LOG(3, "[INFO] window host=[gtk]");
    return true;
  }
#endif
  SkinUI::SetHost(std::make_unique<SkinUI::OffscreenHost>());
  NUV_LOG(3, "[INFO] window host=[offscreen]");
  return false;
}

}  // namespace

bool OpenMainWindow(NuvMgr& mgr, LanguageTable&) {
  UseSkinArchive();
  const bool onScreen = UseWindowHost();

  auto* window = new PlaceholderMainWindow(!onScreen || mgr.forkMode);
  const uint32_t handle = window->Create(nullptr, mgr.ProductName);
  if (handle == 0) {
    delete window;
    return false;
  }
  NUV_LOG(3, "[INFO] NuvWnd handle=[%x]", handle);
  mgr.mainWnd = handle;

  window->SetIcon(kIconResource);
  window->CenterWindow();
  if (!mgr.forkMode) window->ShowWindow(true, true);
  return true;
}

void RunMainWindowLoop(NuvMgr&, LanguageTable&) {
  SkinUI::RunMessageLoop();
}
