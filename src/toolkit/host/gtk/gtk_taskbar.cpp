#include "toolkit/host/gtk/gtk_taskbar.h"

#include <gio/gio.h>

#include <algorithm>

namespace SkinUI {

namespace {

constexpr const char* kLauncherUri = "application://nuv.desktop";
constexpr const char* kObjectPath = "/com/veltrin/nuv/launcher";

GDBusConnection* SessionBus() {
  // One attempt per process: a missing bus stays missing.
  static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  return bus;
}

}  // namespace

void TaskbarProgress(TaskbarState state, int percent) {
  GDBusConnection* bus = SessionBus();
  if (!bus) return;
  GVariantBuilder props;
  g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
  const bool visible = state != TaskbarState::None;
  g_variant_builder_add(&props, "{sv}", "progress",
                        g_variant_new_double(std::clamp(percent, 0, 100) / 100.0));
  g_variant_builder_add(&props, "{sv}", "progress-visible", g_variant_new_boolean(visible));
  // The launcher has no error colour: an error asks for attention instead.
  g_variant_builder_add(&props, "{sv}", "urgent",
                        g_variant_new_boolean(state == TaskbarState::Error));
  g_dbus_connection_emit_signal(bus, nullptr, kObjectPath, "com.canonical.Unity.LauncherEntry",
                                "Update", g_variant_new("(sa{sv})", kLauncherUri, &props), nullptr);
  g_dbus_connection_flush(bus, nullptr, nullptr, nullptr);
}

}  // namespace SkinUI
