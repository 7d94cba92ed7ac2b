// One window of the off-screen host: its state and, on demand, its picture.
#pragma once

#include <string>
#include <vector>

#include "toolkit/host/host.h"

typedef struct _cairo_surface cairo_surface_t;

namespace SkinUI {

class OffscreenHost;

class OffscreenWindow : public HostWindow {
 public:
  OffscreenWindow(OffscreenHost& host, WindowBase& window, const NativeWindowParams& params,
                  int scale);
  ~OffscreenWindow() override;

  void Show(ShowCommand command) override;
  bool IsVisible() const override { return visible_; }
  bool IsMinimized() const override { return minimized_; }
  Rect GetRect() const override { return rect_; }
  void SetRect(const Rect& rect) override { rect_ = rect; }
  void SetTitle(std::u16string_view title) override { title_ = std::u16string(title); }
  void SetIcon(const std::vector<IconImage>& icon) override { icon_ = icon; }
  void SetTopmost(bool topmost) override { topmost_ = topmost; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  void Activate() override;
  bool HasFocus() const override;
  void Invalidate(const Rect&) override {}
  void BeginMoveDrag(Point) override { dragging_ = true; }
  void SetTaskbarProgress(TaskbarState state, int percent) override;
  int Scale() const override { return scale_; }
  void Destroy() override;

  WindowBase& Window() const { return window_; }
  // Paints the whole window into a new ARGB surface of its device size (caller destroys it).
  cairo_surface_t* Render() const;
  bool TakeDrag() {
    const bool was = dragging_;
    dragging_ = false;
    return was;
  }
  const std::vector<IconImage>& Icon() const { return icon_; }
  bool IsTopmost() const { return topmost_; }
  bool IsEnabled() const { return enabled_; }
  TaskbarState taskbarState = TaskbarState::None;
  int taskbarPercent = 0;

 private:
  OffscreenHost& host_;
  WindowBase& window_;
  Rect rect_;
  std::u16string title_;
  std::vector<IconImage> icon_;
  bool visible_ = false;
  bool minimized_ = false;
  bool topmost_ = false;
  bool enabled_ = true;
  bool layered_ = false;
  bool dragging_ = false;
  bool destroyed_ = false;
  int scale_ = 1;
};

}  // namespace SkinUI
