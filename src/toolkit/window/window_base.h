// WindowBase: a skinned top-level window. A subclass names its skin document and reacts to
// notifications and messages; the base builds the control tree from the skin archive, keeps
// the native window of the current host, dispatches input (the message filter first), runs
// modal loops, and takes messages from any thread and from other processes (the window's socket:
// installer progress 0x046F, WM_COPYDATA, activation, class and title queries).
//
// Thread rules: every operation runs on the UI thread except Post, Send, PostTask and Invoke,
// which any thread may call, and the timer calls of PaintManager.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/host/host.h"
#include "toolkit/messages.h"
#include "toolkit/paint/paint_manager.h"

namespace SkinUI {

enum class HitArea { Client, Caption };

struct CreateParams {
  Rect rect = Rect::FromXYWH(0, 0, 500, 400);  // the skin's size replaces the size
  bool visible = false;
  bool topmost = false;
  bool toolWindow = false;  // no taskbar entry
};

class WindowBase : public NotifySink {
 public:
  WindowBase();
  ~WindowBase() override;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  // ======== What a window says about itself (overrides).
  // The class name other processes see ("NUV" for the main window).
  virtual std::u16string ClassName() const = 0;
  // The skin document in the skin archive ("skin.xml") and its folder inside it.
  virtual std::u16string SkinFile() const = 0;
  virtual std::u16string SkinFolder() const { return {}; }
  // Asked by the skin builder for every element; return a control to take the element's kind
  // over ("WebBrowserEx"), or nullptr to let the toolkit make it. Attributes are applied after.
  virtual std::unique_ptr<Control> CreateControl(std::u16string_view className);
  // The tree exists and the native window is made (not yet shown). A "windowinit"
  // notification follows on the loop's next turn.
  virtual void InitWindow() {}
  // Every notification of the window's controls.
  void Notify(Notification& /*notification*/) override {}
  // Sees every key press (message kWmKeyDown, wParam = virtual key, lParam = modifiers) before
  // the controls do; true consumes it.
  virtual bool MessageFilter(const Message& /*key*/) { return false; }
  // Every message: posted and sent ones, other processes' (kWmCopyData, kWmInstallerProgress),
  // kWmMove, kWmSysCommand (kScClose), kWmNcLButtonDblClk, kWmCommand (menus), tray callbacks
  // and window timers. Set handled to stop the default handling (kScClose and kWmClose close
  // the window by default); the result is what Send returns.
  virtual int64_t HandleMessage(const Message& message, bool& handled);
  // Whether a press at a client point drags the window (Caption) or goes to the controls. The
  // default: the skin's caption strip, except over a control that takes the mouse.
  virtual HitArea HitTest(Point clientPoint);
  // The native window is gone; the object may delete itself here (nothing touches it after).
  virtual void OnFinalMessage() {}

  // ======== Life.
  // Makes the native window (owned by `owner` when given), builds the skin, calls InitWindow.
  // Returns the handle, or 0 when no native window could be made. A missing or broken skin
  // leaves an empty window of the created size (logged).
  uint32_t Create(WindowBase* owner, std::u16string title, const CreateParams& params = {});
  // Ends ShowModal with the result; a window that is not modal is destroyed.
  void Close(int result = 0);
  // Destroys the native window now; OnFinalMessage follows.
  void Destroy();
  // Shows the window and runs a nested loop until Close; the owner takes no input meanwhile.
  // Returns Close's result (0 when the loop ended otherwise). The window is destroyed after.
  int ShowModal();
  bool IsModal() const { return modal_; }
  bool IsCreated() const { return native_ != nullptr; }
  // The process-unique 32-bit handle (0 before Create and after Destroy).
  uint32_t GetHandle() const { return handle_; }
  WindowBase* GetOwner() const { return owner_; }
  // The live window of a handle of this process, or nullptr. UI thread.
  static WindowBase* FromHandle(uint32_t handle);

  // ======== Controls.
  PaintManager& Manager() { return manager_; }
  Control* FindControl(std::u16string_view name) const { return manager_.FindControl(name); }
  template <class T>
  T* Find(std::u16string_view name) const {
    return manager_.Find<T>(name);
  }

  // ======== The native window.
  void Show(ShowCommand command = ShowCommand::Show);
  // Shows (with the focus when takeFocus) or hides.
  void ShowWindow(bool show = true, bool takeFocus = true);
  bool IsVisible() const;
  bool IsMinimized() const;
  // Screen rectangle of the window (equal to its client area: no decorations).
  Rect GetWindowRect() const;
  Size GetClientSize() const { return manager_.GetClientSize(); }
  void MoveWindow(int x, int y);             // keeps the size; sends kWmMove
  void ResizeClient(int width, int height);  // keeps the top-left corner
  void SetWindowRect(const Rect& rect);
  // Centres over the owner, or on the screen without one.
  void CenterWindow();
  // Centres on the screen; nothing when the screen size is 0 or a coordinate would be negative.
  void CenterOnScreen();
  Size ScreenSize() const;
  void SetTopmost(bool topmost);
  const std::u16string& GetTitle() const { return title_; }
  void SetTitle(std::u16string title);
  // The window icon from an icon group of the program's resources; false when it is missing.
  bool SetIcon(int iconResourceId);
  void Activate();
  bool HasFocus() const;
  void SetEnabled(bool enabled);
  void SetTaskbarProgress(TaskbarState state, int percent);

  // ---- Services of the host on this window.
  // The notification-area icon; Add answers false when no notification area takes it.
  bool AddTrayIcon(const TrayIconData& data);
  bool ModifyTrayIcon(const TrayIconData& data);
  void RemoveTrayIcon(uint32_t id);
  // A pop-up menu at a screen point. A chosen item is also sent to this window as kWmCommand
  // with wParam = the item's id. Returns the id, 0 when dismissed.
  uint32_t TrackPopupMenu(const std::vector<MenuItem>& items, Point screenPoint);
  std::optional<std::u16string> PickFolder(std::u16string_view title,
                                           std::u16string_view initialFolder = {});
  // Window timers: kWmTimer messages with wParam = id, for windows without a control to carry
  // them. Any thread.
  bool SetWindowTimer(uint32_t id, uint32_t elapseMs);
  bool KillWindowTimer(uint32_t id);

  // ======== Messages from any thread.
  // Queues the message for HandleMessage on the UI thread; false when the window is gone.
  bool Post(uint32_t id, uint64_t wParam = 0, int64_t lParam = 0);
  // Handles the message and returns its result: at once on the UI thread, otherwise waits until
  // the UI thread handled it. 0 when the window goes away first.
  int64_t Send(const Message& message);
  int64_t Send(uint32_t id, uint64_t wParam = 0, int64_t lParam = 0);
  // Runs code on the UI thread: queued, or queued and waited for (at once on the UI thread).
  void PostTask(std::function<void()> task);
  void Invoke(const std::function<void()>& task);
  // By handle, for code that only knows the handle; other processes' windows are reached
  // through their sockets.
  static bool PostTo(uint32_t handle, uint32_t id, uint64_t wParam = 0, int64_t lParam = 0);

  // ======== Fed by the window host (UI thread).
  void HostPaint(cairo_t* cr, const Rect& clip);
  void HostMouseMove(Point client);
  void HostMouseLeave();
  void HostButtonDown(Point client, Point screen, int clicks);
  void HostButtonUp(Point client);
  void HostScroll(Point client, int delta);
  void HostKeyDown(uint32_t key, int64_t modifiers);
  void HostText(std::u16string_view text);
  void HostMoved(Point topLeft);
  void HostResized(Size client);
  void HostFocusChanged(bool focused);
  void HostCloseRequest();     // the window manager's close (Alt+F4): kWmSysCommand kScClose
  void HostActivateRequest();  // another instance asked to bring the window forward
  HostWindow* Native() const { return native_.get(); }

 private:
  void BuildSkin();
  void DeliverMessage(const Message& message, int64_t* result);
  void StartSocket();
  void StopSocket();
  void AfterDestroy();

  PaintManager manager_;
  std::unique_ptr<HostWindow> native_;
  WindowBase* owner_ = nullptr;
  uint32_t handle_ = 0;
  std::u16string title_;
  bool modal_ = false;
  bool modalDone_ = false;
  int modalResult_ = 0;
  bool enabled_ = true;
  Rect rect_;  // last known screen rectangle
  std::unique_ptr<class WindowSocketBridge> socket_;
  // Shared with tasks queued on the loop, which check it before touching the window.
  std::shared_ptr<struct WindowLiveness> alive_;
};

// Runs the process's message loop on the current host until a window calls QuitMessageLoop;
// returns the quit code.
int RunMessageLoop();
// PostQuitMessage: ends RunMessageLoop with the code. Any thread.
void QuitMessageLoop(int code = 0);

}  // namespace SkinUI
