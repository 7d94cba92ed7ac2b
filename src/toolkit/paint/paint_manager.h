// PaintManager: the control tree of one window and everything that works on it: finding
// controls, layout, painting with the dirty region, hit testing, hot / pushed / focused states,
// mouse capture, keyboard focus traversal, per-control timers and notifications by name.
//
// Window-thread only, except SetTimer / KillTimer, which any thread may call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/controls/control.h"
#include "toolkit/paint/notification.h"
#include "toolkit/skin/window_skin.h"

typedef struct _cairo cairo_t;

namespace SkinUI {

class ImageCache;
class MessageLoop;

class PaintManager {
 public:
  // Timers run on `loop` (the process's UI loop when null).
  explicit PaintManager(MessageLoop* loop = nullptr);
  ~PaintManager();
  PaintManager(const PaintManager&) = delete;
  PaintManager& operator=(const PaintManager&) = delete;

  // ---- The tree and the window's skin attributes.
  // Installs the root (it fills the client area) and the window attributes; the old tree goes.
  void AttachRoot(std::unique_ptr<Control> root, WindowSkin skin);
  Control* GetRoot() const { return root_.get(); }
  const WindowSkin& Skin() const { return skin_; }
  WindowSkin& MutableSkin() { return skin_; }
  // Images of the skin archive and the program's resources, at this window's scale.
  ImageCache& Images() { return *images_; }
  void SetImages(std::shared_ptr<ImageCache> images);

  // The first control of that name in tree order (names compare exactly), or nullptr.
  Control* FindControl(std::u16string_view name) const;
  template <class T>
  T* Find(std::u16string_view name) const {
    return dynamic_cast<T*>(FindControl(name));
  }
  // The topmost shown, mouse-enabled control at a client point (an open combo list first); the
  // root when nothing else is there; nullptr outside the client area.
  Control* FindControlAt(Point point) const;

  // ---- Size, layout and painting.
  Size GetClientSize() const { return clientSize_; }
  void SetClientSize(Size size);
  // Lays the tree out again before the next paint.
  void NeedUpdate();
  void Invalidate(const Rect& rect);
  void InvalidateAll();
  // Takes the region painted since the last call (empty when nothing changed).
  Rect TakeDirtyRect();
  bool HasDirty() const { return !dirty_.IsEmpty(); }
  // Called when something needs painting; the host asks for a frame there.
  void SetInvalidateHandler(std::function<void(const Rect&)> handler);
  // Called after every layout (the host moves native children there).
  void SetLayoutHandler(std::function<void()> handler);
  // Lays the tree out now when something changed since the last layout.
  void LayoutIfNeeded();
  // Lays out when needed and paints `clip` (client coordinates) into cr, whose user space is
  // the client area in logical pixels (scale it for HiDPI surfaces).
  void Render(cairo_t* cr, const Rect& clip);
  // The scale images are chosen for (1 or 2).
  void SetScale(int scale);
  int GetScale() const { return scale_; }

  // ---- Text.
  // The size of a text in a font of the window's table (-1: the default font). wrapWidth > 0
  // wraps at words within that width; rich texts carry the inline markup.
  Size MeasureText(int font, std::u16string_view text, int wrapWidth = 0, bool rich = false) const;

  // ---- Focus and input state.
  Control* GetFocus() const { return focus_; }
  // nullptr clears the focus. Sends "killfocus" to the old and "setfocus" to the new control.
  void SetFocus(Control* control);
  // Tab / Shift+Tab: the next / previous focusable, enabled, shown control in tree order.
  bool MoveFocus(bool forward);
  Control* GetHot() const { return hot_; }
  Control* GetCapture() const { return capture_; }
  void SetCapture(Control* control) { capture_ = control; }
  void ReleaseCapture() { capture_ = nullptr; }
  // Open drop-down lists draw above the tree and take the mouse first.
  void SetPopup(Control* combo) { popup_ = combo; }
  Control* GetPopup() const { return popup_; }

  // ---- Input, fed by the window (after its message filter).
  void OnMouseMove(Point point);
  void OnMouseLeave();
  void OnButtonDown(Point point, int clicks);
  void OnButtonUp(Point point);
  void OnScroll(Point point, int delta);
  // True when a control or the focus traversal used the key.
  bool OnKeyDown(uint32_t key, int64_t modifiers);
  void OnText(std::u16string_view text);
  // The caret rectangle of the focused edit (for the input method), empty otherwise.
  Rect CaretRect() const { return caretRect_; }
  void SetCaretRect(const Rect& rect) { caretRect_ = rect; }

  // ---- Timers. Delivered as "timer" notifications (wParam = id) from the control; a second
  // SetTimer of the same control and id restarts it. Any thread.
  bool SetTimer(Control* control, uint32_t id, uint32_t elapseMs);
  bool KillTimer(Control* control, uint32_t id);
  void KillTimers(Control* control);

  // ---- Notifications.
  void SetNotifySink(NotifySink* sink) { sink_ = sink; }
  // Delivers at once on the window thread.
  void SendNotify(Control* sender, const char* type, uint64_t wParam = 0, int64_t lParam = 0);
  // Called by a control before it goes away: drops every reference the manager holds to it and
  // its timers.
  void ForgetControl(Control* control);
  // Called when a control is hidden or disabled: it and its children lose focus, hot state,
  // capture and an open list.
  void ReleaseStates(Control* control);
  // Whether the focus came by keyboard (Tab), so focused controls show a focus ring.
  bool IsFocusVisible() const { return focusVisible_; }

  // Clipboard of the window host (empty without one).
  std::u16string ClipboardText() const;
  void SetClipboardText(std::u16string_view text) const;

 private:
  void UpdateHot(Point point);
  void Walk(Control& control, const std::function<void(Control&)>& visit) const;
  Control* FindAt(Control& control, Point point, const Rect& clip) const;

  std::unique_ptr<Control> root_;
  WindowSkin skin_;
  std::shared_ptr<ImageCache> images_;
  MessageLoop* loop_;
  Size clientSize_;
  int scale_ = 1;
  bool needUpdate_ = true;
  Rect dirty_;
  std::function<void(const Rect&)> onInvalidate_;
  std::function<void()> onLayout_;
  Control* focus_ = nullptr;
  Control* hot_ = nullptr;
  Control* capture_ = nullptr;
  Control* popup_ = nullptr;
  Rect caretRect_;
  bool focusVisible_ = false;
  NotifySink* sink_ = nullptr;
  // Shared with timer callbacks, which may outlive the manager on the loop.
  std::shared_ptr<struct TimerState> timers_;
};

}  // namespace SkinUI
