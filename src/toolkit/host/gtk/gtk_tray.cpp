#include "toolkit/host/gtk/gtk_tray.h"

#include <gdk/gdkx.h>
#include <gio/gio.h>

#include <string>

#include "toolkit/messages.h"
#include "toolkit/window/window_base.h"
#include "xml/utf.h"

namespace SkinUI {

namespace {

// Whether a system tray manager owns the display's tray selection; GtkStatusIcon embeds into
// nothing else.
bool TrayHostPresent() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
  const Atom atom = XInternAtom(x, selection.c_str(), False);
  return XGetSelectionOwner(x, atom) != None;
}

GdkPixbuf* LargestPixbuf(const std::vector<IconImage>& icon) {
  for (auto it = icon.rbegin(); it != icon.rend(); ++it) {
    if (it->size > 64) continue;  // the notification area never shows more
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(it->png.data()), it->png.size(),
                            nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf) g_object_ref(pixbuf);
    g_object_unref(loader);
    if (pixbuf) return pixbuf;
  }
  return nullptr;
}

}  // namespace

GtkTray::~GtkTray() {
  for (auto& [id, icon] : icons_) {
    g_object_unref(icon->icon);
    delete icon;
  }
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

bool GtkTray::Add(WindowBase& window, const TrayIconData& data) {
  if (icons_.count(data.id)) return Modify(window, data);
  if (!TrayHostPresent()) return false;
  auto* icon = new Icon;
  icon->icon = gtk_status_icon_new();
  icon->window = &window;
  g_signal_connect(icon->icon, "activate", G_CALLBACK(OnActivate), icon);
  g_signal_connect(icon->icon, "popup-menu", G_CALLBACK(OnPopup), icon);
  icons_[data.id] = icon;
  Apply(*icon, data);
  gtk_status_icon_set_visible(icon->icon, TRUE);
  return true;
}

bool GtkTray::Modify(WindowBase& window, const TrayIconData& data) {
  auto it = icons_.find(data.id);
  if (it == icons_.end() || it->second->window != &window) return false;
  Apply(*it->second, data);
  return true;
}

void GtkTray::Remove(WindowBase& window, uint32_t id) {
  auto it = icons_.find(id);
  if (it == icons_.end() || it->second->window != &window) return;
  gtk_status_icon_set_visible(it->second->icon, FALSE);
  g_signal_handlers_disconnect_by_data(it->second->icon, it->second);
  g_object_unref(it->second->icon);
  delete it->second;
  icons_.erase(it);
}

void GtkTray::Apply(Icon& icon, const TrayIconData& data) {
  if (!data.icon.empty()) {
    if (GdkPixbuf* pixbuf = LargestPixbuf(data.icon)) {
      gtk_status_icon_set_from_pixbuf(icon.icon, pixbuf);
      g_object_unref(pixbuf);
    }
  }
  gtk_status_icon_set_tooltip_text(icon.icon, WideToUtf8(data.tip.substr(0, 127)).c_str());
  icon.data = data;
  if (!data.balloonText.empty()) ShowBalloon(data);
}

void GtkTray::OnActivate(GtkStatusIcon*, gpointer entry) {
  auto* icon = static_cast<Icon*>(entry);
  icon->window->Post(icon->data.callbackMessage, icon->data.id, kWmLButtonUp);
}

void GtkTray::OnPopup(GtkStatusIcon*, guint, guint, gpointer entry) {
  auto* icon = static_cast<Icon*>(entry);
  icon->window->Post(icon->data.callbackMessage, icon->data.id, kWmRButtonUp);
}

G_GNUC_END_IGNORE_DEPRECATIONS

void GtkTray::ShowBalloon(const TrayIconData& data) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return;
  GVariantBuilder actions, hints;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "suppress-sound", g_variant_new_boolean(TRUE));
  // Fire and forget: a desktop without a notification server just shows nothing.
  g_dbus_connection_call(
      bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
      "org.freedesktop.Notifications", "Notify",
      g_variant_new("(susssasa{sv}i)", "nuv", 0u, "",
                    WideToUtf8(data.balloonTitle.substr(0, 62)).c_str(),
                    WideToUtf8(data.balloonText.substr(0, 254)).c_str(), &actions, &hints,
                    static_cast<gint32>(data.balloonTimeoutMs)),
      nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr, nullptr);
  g_object_unref(bus);
}

uint32_t GtkTray::TrackMenu(const std::vector<MenuItem>& items, Point screenPoint) {
  GtkWidget* menu = gtk_menu_new();
  g_object_ref_sink(menu);
  struct Run {
    GMainLoop* loop;
    uint32_t chosen = 0;
  } run{g_main_loop_new(nullptr, FALSE)};
  for (const MenuItem& item : items) {
    GtkWidget* entry = gtk_menu_item_new_with_label(WideToUtf8(item.text).c_str());
    g_object_set_data(G_OBJECT(entry), "nuv-id", GUINT_TO_POINTER(item.id));
    g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem* e, gpointer r) {
                       static_cast<Run*>(r)->chosen =
                           GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(e), "nuv-id"));
                     }),
                     &run);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
  }
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer r) {
                     // The item's "activate" comes after "deactivate": leave the loop later.
                     g_idle_add(
                         +[](gpointer l) -> gboolean {
                           g_main_loop_quit(static_cast<GMainLoop*>(l));
                           return G_SOURCE_REMOVE;
                         },
                         static_cast<Run*>(r)->loop);
                   }),
                   &run);
  gtk_widget_show_all(menu);
  const GdkRectangle at{screenPoint.x, screenPoint.y, 1, 1};
  gtk_menu_popup_at_rect(GTK_MENU(menu), gdk_get_default_root_window(), &at, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, nullptr);
  if (gtk_widget_get_visible(menu)) g_main_loop_run(run.loop);
  g_main_loop_unref(run.loop);
  gtk_widget_destroy(menu);
  g_object_unref(menu);
  return run.chosen;
}

}  // namespace SkinUI
