// One window of the GTK host: an undecorated GtkWindow with a GtkFixed holding the drawing area
// of our controls and the native children (web views) at their controls' rectangles.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "toolkit/host/host.h"

namespace SkinUI {

class GtkHostWindow : public HostWindow {
 public:
  GtkHostWindow(WindowBase& window, const NativeWindowParams& params);
  ~GtkHostWindow() override;

  void Show(ShowCommand command) override;
  bool IsVisible() const override;
  bool IsMinimized() const override { return minimized_; }
  Rect GetRect() const override { return rect_; }
  void SetRect(const Rect& rect) override;
  void SetTitle(std::u16string_view title) override;
  void SetIcon(const std::vector<IconImage>& icon) override;
  void SetTopmost(bool topmost) override;
  void SetEnabled(bool enabled) override;
  void Activate() override;
  bool HasFocus() const override;
  void Invalidate(const Rect& rect) override;
  void BeginMoveDrag(Point screenPoint) override;
  void SyncNativeChildren() override;
  void SetTextInputRect(const Rect& rect) override;
  void SetTaskbarProgress(TaskbarState state, int percent) override;
  int Scale() const override;
  void Destroy() override;

  GtkWidget* Window() const { return window_; }
  GtkWidget* Fixed() const { return fixed_; }

 private:
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* e, gpointer self);
  static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self);
  static gboolean OnLeave(GtkWidget*, GdkEventCrossing* e, gpointer self);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* e, gpointer self);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self);
  static gboolean OnKeyRelease(GtkWidget*, GdkEventKey* e, gpointer self);
  static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* e, gpointer self);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer self);
  static gboolean OnFocus(GtkWidget*, GdkEventFocus* e, gpointer self);
  static void OnCommit(GtkIMContext*, const char* text, gpointer self);
  // Whether typed keys go to the input method: only while an edit has the focus.
  bool EditFocused() const;
  // Without a compositor a layered window keeps only the parts that draw something.
  void UpdateShape();

  WindowBase& owner_;
  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  GtkWidget* area_ = nullptr;
  GtkIMContext* im_ = nullptr;
  Rect rect_;
  bool layered_ = false;
  bool composited_ = false;
  bool minimized_ = false;
  bool destroyed_ = false;
  std::vector<GtkWidget*> children_;  // native children put into fixed_
};

}  // namespace SkinUI
