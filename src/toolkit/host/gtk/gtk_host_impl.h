// The GTK host's classes, shared by the files of this folder.
#pragma once

#include <gtk/gtk.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "toolkit/host/host.h"

namespace SkinUI {

class GtkTray;

class GtkHost : public Host {
 public:
  GtkHost();
  ~GtkHost() override;

  const char* Name() const override { return "gtk"; }
  std::unique_ptr<HostWindow> CreateNativeWindow(WindowBase& window,
                                                 const NativeWindowParams& params) override;
  Size ScreenSize() const override;
  Point CursorPosition() const override;
  int RunLoop() override;
  void RunModalLoop(const std::function<bool()>& done) override;
  std::u16string ClipboardText() override;
  void SetClipboardText(std::u16string_view text) override;
  std::optional<std::u16string> PickFolder(WindowBase* owner, std::u16string_view title,
                                           std::u16string_view initialFolder) override;
  bool AddTrayIcon(WindowBase& window, const TrayIconData& data) override;
  bool ModifyTrayIcon(WindowBase& window, const TrayIconData& data) override;
  void RemoveTrayIcon(WindowBase& window, uint32_t id) override;
  uint32_t TrackPopupMenu(WindowBase& owner, const std::vector<MenuItem>& items,
                          Point screenPoint) override;

 private:
  static gboolean Dispatch(gpointer self);
  void Schedule();  // any thread: run the toolkit's loop soon
  void ArmTimer();  // UI thread: wake for the next toolkit timer

  std::atomic<bool> scheduled_{false};
  guint timerSource_ = 0;
  struct Loop {
    GMainLoop* loop;
    std::function<bool()> done;
  };
  std::vector<Loop> loops_;  // UI thread: the running loop and the modal loops inside it
  std::unique_ptr<GtkTray> tray_;
};

// The GtkWindow of a window (nullptr when it has none in this host).
GtkWidget* GtkWindowOf(WindowBase& window);

}  // namespace SkinUI
