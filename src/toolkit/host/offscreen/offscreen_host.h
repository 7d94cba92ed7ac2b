// The off-screen host: every window is a cairo image surface, nothing is shown, and input comes
// from a script. Tests and unattended runs (no display) use it to drive whole runs and
// photograph every window as PNG.
//
// The script calls (Press, Click, Key, Type, ...) may come from any thread: they run on the UI
// thread and return once it is idle again (or a modal loop it entered is waiting for input).
// Called on the UI thread itself they run at once; OnModal lets a single-threaded test answer a
// modal window from inside its loop.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/host/host.h"

namespace SkinUI {

class OffscreenWindow;

class OffscreenHost : public Host {
 public:
  // scale: device pixels per logical pixel of every window (1 or 2).
  explicit OffscreenHost(int scale = 1, Size screen = {1920, 1080});
  ~OffscreenHost() override;

  // ---- Host.
  const char* Name() const override { return "offscreen"; }
  std::unique_ptr<HostWindow> CreateNativeWindow(WindowBase& window,
                                                 const NativeWindowParams& params) override;
  Size ScreenSize() const override { return screen_; }
  Point CursorPosition() const override { return cursor_; }
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

  // ---- Script. `window` names a window by its class name or title; empty = the topmost
  // visible window (the last shown modal window, else the last created visible one).
  // Presses the named control's centre (mouse down and up); false when it is not there or not
  // shown.
  bool Press(const std::u16string& control, const std::u16string& window = {});
  // A click at a client point of the window.
  bool Click(Point point, const std::u16string& window = {});
  bool MoveMouse(Point point, const std::u16string& window = {});
  // A key press (virtual key code and kMod* bits) and typed text (to the focused control).
  bool Key(uint32_t key, int64_t modifiers = 0, const std::u16string& window = {});
  bool Type(const std::u16string& text, const std::u16string& window = {});
  // Drags from a client point by (dx, dy) as a caption drag would.
  bool Drag(Point from, int dx, int dy, const std::u16string& window = {});
  // A mouse message on the tray icon `id` (kWmLButtonUp, kWmRButtonUp, ...), as the
  // notification area would send it; false when there is no such icon.
  bool TrayEvent(uint32_t id, uint32_t mouseMessage);
  // Writes the window's current picture as PNG; false when the window is not there.
  bool Snapshot(const std::string& pngPath, const std::u16string& window = {});
  // Runs code on the UI thread with the window (nullptr when not found) and waits.
  void WithWindow(const std::u16string& window, const std::function<void(WindowBase*)>& code);
  // Waits until the UI loop is idle (nothing queued, no timer due), at most `limit`.
  bool Settle(std::chrono::milliseconds limit = std::chrono::milliseconds(5000));

  // Answers of the next modal services, in order; an empty queue cancels the folder picker and
  // dismisses menus.
  void QueueFolderAnswer(std::optional<std::u16string> folder);
  void QueueMenuAnswer(uint32_t itemId);
  // Whether the notification area accepts icons (default: yes).
  void SetTrayAvailable(bool available) { trayAvailable_ = available; }
  // Called on the UI thread each time a modal loop starts, with the modal window.
  void OnModal(std::function<void(WindowBase&)> handler) { onModal_ = std::move(handler); }

  // ---- What the host was asked (for tests).
  struct TrayRecord {
    TrayIconData data;
    int balloons = 0;  // how many times a balloon was shown
    WindowBase* owner = nullptr;
  };
  std::optional<TrayRecord> TrayIcon(uint32_t id) const;
  struct TaskbarRecord {
    TaskbarState state = TaskbarState::None;
    int percent = 0;
  };
  TaskbarRecord Taskbar(const std::u16string& window = {}) const;
  std::vector<std::u16string> FolderPickerTitles() const;
  // The items of the last pop-up menu.
  std::vector<MenuItem> LastMenu() const;
  // Live windows, newest last, by class name.
  std::vector<std::u16string> WindowNames() const;

  // For OffscreenWindow.
  void Register(OffscreenWindow* window);
  void Unregister(OffscreenWindow* window);

 private:
  OffscreenWindow* FindWindow(const std::u16string& name) const;  // UI thread
  // Runs the script step on the UI thread and waits until the loop settles.
  bool RunScript(const std::function<bool()>& step);
  // The same with the named window; false when it is not there.
  bool OnWindow(const std::u16string& window, const std::function<bool(OffscreenWindow&)>& step);
  void MoveTo(OffscreenWindow& window, Point point);
  void ClickAt(OffscreenWindow& window, Point point);

  int scale_;
  Size screen_;
  Point cursor_;
  mutable std::mutex lock_;  // guards the records and answers below (script threads read them)
  std::vector<OffscreenWindow*> windows_;  // UI thread
  std::vector<OffscreenWindow*> modals_;   // UI thread: open modal windows, innermost last
  std::u16string clipboard_;
  std::deque<std::optional<std::u16string>> folderAnswers_;
  std::deque<uint32_t> menuAnswers_;
  std::vector<std::u16string> pickerTitles_;
  std::vector<MenuItem> lastMenu_;
  std::map<uint32_t, TrayRecord> tray_;
  bool trayAvailable_ = true;
  std::function<void(WindowBase&)> onModal_;
};

}  // namespace SkinUI
