#include "toolkit/host/offscreen/offscreen_window.h"

#include <cairo.h>

#include <algorithm>

#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/window/window_base.h"

namespace SkinUI {

namespace {

// The window that has the keyboard focus in the off-screen host.
OffscreenWindow*& FocusedWindow() {
  static OffscreenWindow* focused = nullptr;  // UI thread only
  return focused;
}

}  // namespace

OffscreenWindow::OffscreenWindow(OffscreenHost& host, WindowBase& window,
                                 const NativeWindowParams& params, int scale)
    : host_(host),
      window_(window),
      rect_(params.rect),
      title_(params.title),
      topmost_(params.topmost),
      layered_(params.layered),
      scale_(scale) {
  host_.Register(this);
}

OffscreenWindow::~OffscreenWindow() {
  Destroy();
}

void OffscreenWindow::Show(ShowCommand command) {
  switch (command) {
    case ShowCommand::Hide:
      visible_ = false;
      if (FocusedWindow() == this) FocusedWindow() = nullptr;
      break;
    case ShowCommand::Minimize:
      minimized_ = true;
      if (FocusedWindow() == this) FocusedWindow() = nullptr;
      break;
    case ShowCommand::ShowNoActivate:
      visible_ = true;
      break;
    case ShowCommand::Show:
    case ShowCommand::Restore:
      visible_ = true;
      minimized_ = false;
      Activate();
      break;
  }
}

void OffscreenWindow::Activate() {
  if (visible_ && !minimized_) FocusedWindow() = this;
}

bool OffscreenWindow::HasFocus() const {
  return FocusedWindow() == this;
}

void OffscreenWindow::SetTaskbarProgress(TaskbarState state, int percent) {
  taskbarState = state;
  taskbarPercent = percent;
}

void OffscreenWindow::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (FocusedWindow() == this) FocusedWindow() = nullptr;
  host_.Unregister(this);
}

cairo_surface_t* OffscreenWindow::Render() const {
  const Size size = window_.GetClientSize();
  cairo_surface_t* surface = cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, std::max(1, size.cx * scale_), std::max(1, size.cy * scale_));
  cairo_t* cr = cairo_create(surface);
  if (!layered_) {
    // An opaque window starts from white, as a window's background would.
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
  }
  cairo_scale(cr, scale_, scale_);
  window_.HostPaint(cr, {0, 0, size.cx, size.cy});
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

}  // namespace SkinUI
