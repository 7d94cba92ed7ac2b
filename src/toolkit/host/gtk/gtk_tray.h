// The notification-area icon of the GTK host (GtkStatusIcon over the XEmbed system tray) with
// its balloon (a desktop notification) and the pop-up menu.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <vector>

#include "toolkit/host/host.h"

namespace SkinUI {

class GtkTray {
 public:
  ~GtkTray();
  // False when no system tray takes icons on this display.
  bool Add(WindowBase& window, const TrayIconData& data);
  bool Modify(WindowBase& window, const TrayIconData& data);
  void Remove(WindowBase& window, uint32_t id);
  // Runs the menu until it closes; the chosen id or 0.
  static uint32_t TrackMenu(const std::vector<MenuItem>& items, Point screenPoint);

 private:
  struct Icon {
    GtkStatusIcon* icon = nullptr;
    WindowBase* window = nullptr;
    TrayIconData data;
  };
  static void OnActivate(GtkStatusIcon*, gpointer entry);
  static void OnPopup(GtkStatusIcon*, guint, guint, gpointer entry);
  void Apply(Icon& icon, const TrayIconData& data);
  static void ShowBalloon(const TrayIconData& data);

  std::map<uint32_t, Icon*> icons_;
};

}  // namespace SkinUI
