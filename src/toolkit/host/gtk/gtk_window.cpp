#include "toolkit/host/gtk/gtk_window.h"

#include <cmath>

#include "toolkit/controls/container.h"
#include "toolkit/controls/edit.h"
#include "toolkit/controls/web_view_slot.h"
#include "toolkit/host/gtk/gtk_host_impl.h"
#include "toolkit/host/gtk/gtk_keys.h"
#include "toolkit/host/gtk/gtk_taskbar.h"
#include "toolkit/window/window_base.h"
#include "xml/utf.h"

namespace SkinUI {

namespace {

GdkPixbuf* PixbufOf(const IconImage& image) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  if (!loader) return nullptr;
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(image.png.data()),
                              image.png.size(), nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf) g_object_ref(pixbuf);
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return pixbuf;
}

// Whether a control draws anything of its own (for the shape of an uncomposited layered
// window): a nearly transparent background does not count.
bool DrawsSomething(Control& c) {
  if ((c.GetBkColor() >> 24) > 0x10) return true;
  if (!c.GetBkImage().empty() || !c.GetText().empty()) return true;
  return c.GetInterface(u"Button") != nullptr || c.GetInterface(u"Edit") != nullptr;
}

void AddShown(Control& c, cairo_region_t* region, const Rect& client) {
  if (!c.IsVisible()) return;
  if (DrawsSomething(c)) {
    const Rect r = c.GetPos().Intersect(client);
    if (!r.IsEmpty()) {
      const cairo_rectangle_int_t rect{r.left, r.top, r.Width(), r.Height()};
      cairo_region_union_rectangle(region, &rect);
    }
  }
  if (auto* container = dynamic_cast<Container*>(&c))
    for (const auto& child : container->Children()) AddShown(*child, region, client);
}

void CollectSlots(Control& c, std::vector<WebViewSlot*>& slots) {
  if (auto* slot = dynamic_cast<WebViewSlot*>(&c)) slots.push_back(slot);
  if (auto* container = dynamic_cast<Container*>(&c))
    for (const auto& child : container->Children()) CollectSlots(*child, slots);
}

}  // namespace

GtkHostWindow::GtkHostWindow(WindowBase& window, const NativeWindowParams& params)
    : owner_(window), rect_(params.rect), layered_(params.layered) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_title(GTK_WINDOW(window_), WideToUtf8(params.title).c_str());
  gtk_widget_set_app_paintable(window_, TRUE);
  GdkScreen* screen = gtk_widget_get_screen(window_);
  composited_ = gdk_screen_is_composited(screen);
  if (layered_ && composited_) {
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(window_, rgba);
    if (params.opacity < 255) gtk_widget_set_opacity(window_, params.opacity / 255.0);
  }
  if (params.owner) {
    if (GtkWidget* owner = GtkWindowOf(*params.owner))
      gtk_window_set_transient_for(GTK_WINDOW(window_), GTK_WINDOW(owner));
  }
  if (params.toolWindow) {
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  }
  if (params.topmost) gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE);

  fixed_ = gtk_fixed_new();
  area_ = gtk_drawing_area_new();
  gtk_widget_set_can_focus(area_, TRUE);
  gtk_widget_add_events(area_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                   GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                   GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
  gtk_widget_set_size_request(area_, rect_.Width(), rect_.Height());
  gtk_fixed_put(GTK_FIXED(fixed_), area_, 0, 0);
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  gtk_window_set_default_size(GTK_WINDOW(window_), rect_.Width(), rect_.Height());
  gtk_window_move(GTK_WINDOW(window_), rect_.left, rect_.top);

  im_ = gtk_im_multicontext_new();
  g_signal_connect(im_, "commit", G_CALLBACK(OnCommit), this);
  g_signal_connect(area_, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(area_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(area_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(area_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(area_, "leave-notify-event", G_CALLBACK(OnLeave), this);
  g_signal_connect(area_, "scroll-event", G_CALLBACK(OnScroll), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(window_, "key-release-event", G_CALLBACK(OnKeyRelease), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
  g_signal_connect(window_, "focus-in-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(window_, "focus-out-event", G_CALLBACK(OnFocus), this);
  gtk_widget_show_all(fixed_);
  gtk_widget_realize(window_);
  gtk_im_context_set_client_window(im_, gtk_widget_get_window(area_));
}

GtkHostWindow::~GtkHostWindow() {
  Destroy();
}

void GtkHostWindow::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  TaskbarProgress(TaskbarState::None, 0);
  // Web views belong to their controls: take them out before the window goes.
  for (GtkWidget* child : children_) {
    if (gtk_widget_get_parent(child) == fixed_) gtk_container_remove(GTK_CONTAINER(fixed_), child);
    g_object_unref(child);
  }
  children_.clear();
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(area_, this);
  g_signal_handlers_disconnect_by_data(im_, this);
  gtk_im_context_set_client_window(im_, nullptr);
  g_object_unref(im_);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void GtkHostWindow::Show(ShowCommand command) {
  switch (command) {
    case ShowCommand::Hide:
      gtk_widget_hide(window_);
      break;
    case ShowCommand::Minimize:
      gtk_window_iconify(GTK_WINDOW(window_));
      minimized_ = true;
      break;
    case ShowCommand::ShowNoActivate:
      gtk_window_set_focus_on_map(GTK_WINDOW(window_), FALSE);
      gtk_widget_show(window_);
      gtk_window_set_focus_on_map(GTK_WINDOW(window_), TRUE);
      break;
    case ShowCommand::Restore:
      gtk_window_deiconify(GTK_WINDOW(window_));
      minimized_ = false;
      gtk_widget_show(window_);
      gtk_window_present(GTK_WINDOW(window_));
      break;
    case ShowCommand::Show:
      gtk_widget_show(window_);
      gtk_window_move(GTK_WINDOW(window_), rect_.left, rect_.top);
      gtk_window_present(GTK_WINDOW(window_));
      break;
  }
  if (command != ShowCommand::Hide) UpdateShape();
}

bool GtkHostWindow::IsVisible() const {
  return gtk_widget_get_visible(window_);
}

void GtkHostWindow::SetRect(const Rect& rect) {
  const bool resized = rect.Width() != rect_.Width() || rect.Height() != rect_.Height();
  rect_ = rect;
  gtk_window_move(GTK_WINDOW(window_), rect.left, rect.top);
  if (resized) {
    gtk_widget_set_size_request(area_, rect.Width(), rect.Height());
    gtk_window_resize(GTK_WINDOW(window_), rect.Width(), rect.Height());
    UpdateShape();
  }
}

void GtkHostWindow::SetTitle(std::u16string_view title) {
  gtk_window_set_title(GTK_WINDOW(window_), WideToUtf8(title).c_str());
}

void GtkHostWindow::SetIcon(const std::vector<IconImage>& icon) {
  GList* list = nullptr;
  for (const IconImage& image : icon)
    if (GdkPixbuf* pixbuf = PixbufOf(image)) list = g_list_append(list, pixbuf);
  gtk_window_set_icon_list(GTK_WINDOW(window_), list);
  g_list_free_full(list, g_object_unref);
}

void GtkHostWindow::SetTopmost(bool topmost) {
  gtk_window_set_keep_above(GTK_WINDOW(window_), topmost);
}

void GtkHostWindow::SetEnabled(bool enabled) {
  gtk_widget_set_sensitive(fixed_, enabled);
}

void GtkHostWindow::Activate() {
  gtk_window_present(GTK_WINDOW(window_));
  gtk_widget_grab_focus(area_);
}

bool GtkHostWindow::HasFocus() const {
  return gtk_widget_get_visible(window_) && gtk_window_has_toplevel_focus(GTK_WINDOW(window_));
}

void GtkHostWindow::Invalidate(const Rect& rect) {
  gtk_widget_queue_draw_area(area_, rect.left, rect.top, rect.Width(), rect.Height());
}

void GtkHostWindow::BeginMoveDrag(Point screenPoint) {
  gtk_window_begin_move_drag(GTK_WINDOW(window_), 1, screenPoint.x, screenPoint.y,
                             gtk_get_current_event_time());
}

void GtkHostWindow::SyncNativeChildren() {
  std::vector<WebViewSlot*> slots;
  if (Control* root = owner_.Manager().GetRoot()) CollectSlots(*root, slots);
  for (WebViewSlot* slot : slots) {
    auto* widget = static_cast<GtkWidget*>(slot->GetNativeChild());
    if (!widget) continue;
    if (gtk_widget_get_parent(widget) != fixed_) {
      g_object_ref(widget);
      children_.push_back(widget);
      gtk_fixed_put(GTK_FIXED(fixed_), widget, 0, 0);
    }
    const Rect r = slot->GetPos();
    gtk_fixed_move(GTK_FIXED(fixed_), widget, r.left, r.top);
    gtk_widget_set_size_request(widget, std::max(1, r.Width()), std::max(1, r.Height()));
    gtk_widget_set_visible(widget, slot->IsShownInWindow());
  }
  UpdateShape();
}

void GtkHostWindow::UpdateShape() {
  if (!layered_ || composited_ || !gtk_widget_get_realized(window_)) return;
  GdkWindow* gdk = gtk_widget_get_window(window_);
  if (!gdk) return;
  cairo_region_t* region = cairo_region_create();
  if (Control* root = owner_.Manager().GetRoot())
    AddShown(*root, region, {0, 0, rect_.Width(), rect_.Height()});
  gdk_window_shape_combine_region(gdk, region, 0, 0);
  cairo_region_destroy(region);
}

void GtkHostWindow::SetTextInputRect(const Rect& rect) {
  const GdkRectangle r{rect.left, rect.top, std::max(1, rect.Width()), std::max(1, rect.Height())};
  gtk_im_context_set_cursor_location(im_, &r);
}

void GtkHostWindow::SetTaskbarProgress(TaskbarState state, int percent) {
  TaskbarProgress(state, percent);
}

int GtkHostWindow::Scale() const {
  return gtk_widget_get_scale_factor(window_) >= 2 ? 2 : 1;
}

bool GtkHostWindow::EditFocused() const {
  Control* focus = owner_.Manager().GetFocus();
  return focus && focus->GetInterface(u"Edit");
}

gboolean GtkHostWindow::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
  auto* w = static_cast<GtkHostWindow*>(self);
  double x1, y1, x2, y2;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  const Rect clip{static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)),
                  static_cast<int>(std::ceil(x2)), static_cast<int>(std::ceil(y2))};
  cairo_save(cr);
  if (w->layered_ && w->composited_) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
  } else {
    cairo_set_source_rgb(cr, 1, 1, 1);
  }
  cairo_paint(cr);
  cairo_restore(cr);
  w->owner_.HostPaint(cr, clip);
  const Rect caret = w->owner_.Manager().CaretRect();
  if (!caret.IsEmpty()) w->SetTextInputRect(caret);
  return TRUE;
}

gboolean GtkHostWindow::OnButtonPress(GtkWidget* widget, GdkEventButton* e, gpointer self) {
  auto* w = static_cast<GtkHostWindow*>(self);
  if (e->button != 1) return FALSE;
  gtk_widget_grab_focus(widget);
  const int clicks = e->type == GDK_2BUTTON_PRESS ? 2 : 1;
  if (e->type == GDK_3BUTTON_PRESS) return TRUE;
  w->owner_.HostButtonDown({static_cast<int>(e->x), static_cast<int>(e->y)},
                           {static_cast<int>(e->x_root), static_cast<int>(e->y_root)}, clicks);
  return TRUE;
}

gboolean GtkHostWindow::OnButtonRelease(GtkWidget*, GdkEventButton* e, gpointer self) {
  if (e->button != 1) return FALSE;
  static_cast<GtkHostWindow*>(self)->owner_.HostButtonUp(
      {static_cast<int>(e->x), static_cast<int>(e->y)});
  return TRUE;
}

gboolean GtkHostWindow::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self) {
  static_cast<GtkHostWindow*>(self)->owner_.HostMouseMove(
      {static_cast<int>(e->x), static_cast<int>(e->y)});
  return TRUE;
}

gboolean GtkHostWindow::OnLeave(GtkWidget*, GdkEventCrossing*, gpointer self) {
  static_cast<GtkHostWindow*>(self)->owner_.HostMouseLeave();
  return FALSE;
}

gboolean GtkHostWindow::OnScroll(GtkWidget*, GdkEventScroll* e, gpointer self) {
  int delta = 0;
  if (e->direction == GDK_SCROLL_UP) delta = 1;
  if (e->direction == GDK_SCROLL_DOWN) delta = -1;
  if (e->direction == GDK_SCROLL_SMOOTH) delta = e->delta_y < 0 ? 1 : -1;
  if (delta)
    static_cast<GtkHostWindow*>(self)->owner_.HostScroll(
        {static_cast<int>(e->x), static_cast<int>(e->y)}, delta);
  return TRUE;
}

gboolean GtkHostWindow::OnKeyPress(GtkWidget*, GdkEventKey* e, gpointer self) {
  auto* w = static_cast<GtkHostWindow*>(self);
  const int64_t mods = ModifiersOf(e->state);
  // Typing goes through the input method while an edit has the focus; shortcuts do not.
  if (w->EditFocused() && !(mods & (kModControl | kModAlt)) &&
      gtk_im_context_filter_keypress(w->im_, e))
    return TRUE;
  const uint32_t key = VirtualKeyOf(e->keyval);
  if (key) w->owner_.HostKeyDown(key, mods);
  return TRUE;
}

gboolean GtkHostWindow::OnKeyRelease(GtkWidget*, GdkEventKey* e, gpointer self) {
  auto* w = static_cast<GtkHostWindow*>(self);
  if (w->EditFocused()) gtk_im_context_filter_keypress(w->im_, e);
  return TRUE;
}

void GtkHostWindow::OnCommit(GtkIMContext*, const char* text, gpointer self) {
  static_cast<GtkHostWindow*>(self)->owner_.HostText(Utf8ToWide(text));
}

gboolean GtkHostWindow::OnConfigure(GtkWidget*, GdkEventConfigure* e, gpointer self) {
  auto* w = static_cast<GtkHostWindow*>(self);
  if (e->x != w->rect_.left || e->y != w->rect_.top) {
    w->rect_ = Rect::FromXYWH(e->x, e->y, w->rect_.Width(), w->rect_.Height());
    w->owner_.HostMoved({e->x, e->y});
  }
  return FALSE;
}

gboolean GtkHostWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<GtkHostWindow*>(self)->owner_.HostCloseRequest();
  return TRUE;  // the window decides; GTK never destroys it on its own
}

gboolean GtkHostWindow::OnWindowState(GtkWidget*, GdkEventWindowState* e, gpointer self) {
  static_cast<GtkHostWindow*>(self)->minimized_ =
      (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
  return FALSE;
}

gboolean GtkHostWindow::OnFocus(GtkWidget*, GdkEventFocus* e, gpointer self) {
  auto* w = static_cast<GtkHostWindow*>(self);
  if (e->in)
    gtk_im_context_focus_in(w->im_);
  else
    gtk_im_context_focus_out(w->im_);
  w->owner_.HostFocusChanged(e->in);
  return FALSE;
}

}  // namespace SkinUI
