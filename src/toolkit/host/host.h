// The window host: what the toolkit needs of a windowing system, behind one interface with two
// implementations, the GTK host (a real display) and the off-screen host (cairo image surfaces
// and scripted input, for tests and unattended runs). WindowBase is the only caller; window
// code never talks to a host directly except through the process-wide accessor below.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/geometry.h"

namespace SkinUI {

class WindowBase;

enum class ShowCommand {
  Hide,
  Show,  // show and activate
  ShowNoActivate,
  Restore,  // un-minimise, show and activate
  Minimize,
};

enum class TaskbarState { None, Normal, Error, Paused, Indeterminate };

// One image of an icon group, PNG bytes.
struct IconImage {
  int size = 0;
  std::string png;
};

// The notification-area icon of a window. Mouse events on it reach the window as the message
// `callbackMessage` with wParam = id and lParam = the mouse message (kWmLButtonUp, kWmRButtonUp,
// kWmLButtonDblClk, kWmRButtonDblClk, kNinBalloonUserClick).
struct TrayIconData {
  uint32_t id = 0;
  uint32_t callbackMessage = 0;
  std::vector<IconImage> icon;
  std::u16string tip;           // at most 127 characters
  std::u16string balloonText;   // shown once when not empty; at most 254
  std::u16string balloonTitle;  // at most 62
  uint32_t balloonTimeoutMs = 1000;
};

struct MenuItem {
  uint32_t id = 0;
  std::u16string text;
};

struct NativeWindowParams {
  std::u16string title;
  Rect rect;  // screen coordinates of the client area
  WindowBase* owner = nullptr;
  bool visible = false;
  bool layered = false;  // transparent parts (the skin's "layered")
  int opacity = 255;
  bool topmost = false;
  bool toolWindow = false;  // no taskbar entry (owned dialogs, the mask)
};

// One native window. Called on the UI thread.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  virtual void Show(ShowCommand command) = 0;
  virtual bool IsVisible() const = 0;
  virtual bool IsMinimized() const = 0;
  // Screen rectangle of the client area (the windows have no decorations).
  virtual Rect GetRect() const = 0;
  virtual void SetRect(const Rect& rect) = 0;
  virtual void SetTitle(std::u16string_view title) = 0;
  virtual void SetIcon(const std::vector<IconImage>& icon) = 0;
  virtual void SetTopmost(bool topmost) = 0;
  virtual void SetEnabled(bool enabled) = 0;  // a disabled window takes no input (modal owner)
  virtual void Activate() = 0;
  virtual bool HasFocus() const = 0;
  // A part of the client area needs painting.
  virtual void Invalidate(const Rect& rect) = 0;
  // The user pressed a caption area: move the window with the mouse until the button goes up.
  virtual void BeginMoveDrag(Point screenPoint) = 0;
  // Native children (web views) changed place or visibility.
  virtual void SyncNativeChildren() {}
  // Where the input method's candidate window should go (client coordinates).
  virtual void SetTextInputRect(const Rect& /*rect*/) {}
  virtual void SetTaskbarProgress(TaskbarState state, int percent) = 0;
  // Device pixels per logical pixel (1, or 2 on HiDPI screens).
  virtual int Scale() const { return 1; }
  virtual void Destroy() = 0;
};

class Host {
 public:
  virtual ~Host() = default;
  virtual const char* Name() const = 0;  // "gtk", "offscreen"
  virtual std::unique_ptr<HostWindow> CreateNativeWindow(WindowBase& window,
                                                         const NativeWindowParams& params) = 0;
  virtual Size ScreenSize() const = 0;
  virtual Point CursorPosition() const = 0;
  // Runs the process's message loop until it quits; returns the quit code.
  virtual int RunLoop() = 0;
  // A nested loop for a modal window, until done() or quit.
  virtual void RunModalLoop(const std::function<bool()>& done) = 0;

  virtual std::u16string ClipboardText() = 0;
  virtual void SetClipboardText(std::u16string_view text) = 0;
  // A modal folder picker; nothing when cancelled.
  virtual std::optional<std::u16string> PickFolder(WindowBase* owner, std::u16string_view title,
                                                   std::u16string_view initialFolder) = 0;
  // False when no notification area takes the icon ("the shell refused the icon").
  virtual bool AddTrayIcon(WindowBase& window, const TrayIconData& data) = 0;
  virtual bool ModifyTrayIcon(WindowBase& window, const TrayIconData& data) = 0;
  virtual void RemoveTrayIcon(WindowBase& window, uint32_t id) = 0;
  // A pop-up menu at a screen point; the chosen item's id, or 0 when dismissed. The off-screen
  // host answers from its script.
  virtual uint32_t TrackPopupMenu(WindowBase& owner, const std::vector<MenuItem>& items,
                                  Point screenPoint) = 0;
};

// The process's host. Until one is installed the off-screen host is used.
Host& CurrentHost();
// Installs a host (the previous one is deleted). Call before any window exists.
void SetHost(std::unique_ptr<Host> host);

}  // namespace SkinUI
