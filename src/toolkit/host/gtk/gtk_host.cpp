#include "toolkit/host/gtk/gtk_host.h"

#include <chrono>

#include "log/simple_log.h"
#include "platform/os/clipboard.h"
#include "toolkit/host/gtk/gtk_host_impl.h"
#include "toolkit/host/gtk/gtk_tray.h"
#include "toolkit/host/gtk/gtk_window.h"
#include "toolkit/window/message_loop.h"
#include "toolkit/window/window_base.h"
#include "xml/utf.h"

namespace SkinUI {

std::unique_ptr<Host> CreateGtkHost() {
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return std::make_unique<GtkHost>();
}

GtkWidget* GtkWindowOf(WindowBase& window) {
  auto* native = dynamic_cast<GtkHostWindow*>(window.Native());
  return native ? native->Window() : nullptr;
}

void* GtkFixedOf(WindowBase& window) {
  auto* native = dynamic_cast<GtkHostWindow*>(window.Native());
  return native ? native->Fixed() : nullptr;
}

GtkHost::GtkHost() : tray_(std::make_unique<GtkTray>()) {
  MessageLoop::Current().SetWaker([this] { Schedule(); });
  // The Linux layer's clipboard reader (the window thread answers it).
  nuv::os::SetClipboardReader([this] { return WideToUtf8(ClipboardText()); });
}

GtkHost::~GtkHost() {
  nuv::os::SetClipboardReader({});
  MessageLoop::Current().SetWaker({});
  if (timerSource_) g_source_remove(timerSource_);
}

void GtkHost::Schedule() {
  if (scheduled_.exchange(true)) return;
  // g_idle_add is safe from any thread and wakes the default context.
  g_idle_add_full(G_PRIORITY_DEFAULT, Dispatch, this, nullptr);
}

gboolean GtkHost::Dispatch(gpointer self) {
  auto* host = static_cast<GtkHost*>(self);
  host->scheduled_ = false;
  MessageLoop& loop = MessageLoop::Current();
  loop.RunPending();
  if (loop.QuitRequested()) {
    for (Loop& l : host->loops_) g_main_loop_quit(l.loop);
  } else if (!host->loops_.empty() && host->loops_.back().done && host->loops_.back().done()) {
    g_main_loop_quit(host->loops_.back().loop);
  }
  host->ArmTimer();
  return G_SOURCE_REMOVE;
}

void GtkHost::ArmTimer() {
  if (timerSource_) {
    g_source_remove(timerSource_);
    timerSource_ = 0;
  }
  std::optional<MessageLoop::Clock::time_point> next = MessageLoop::Current().NextDeadline();
  if (!next) return;
  const auto wait =
      std::chrono::duration_cast<std::chrono::milliseconds>(*next - MessageLoop::Current().Now());
  const guint ms = wait.count() <= 0 ? 0 : static_cast<guint>(wait.count());
  timerSource_ = g_timeout_add_full(
      G_PRIORITY_DEFAULT, ms,
      +[](gpointer self) -> gboolean {
        auto* host = static_cast<GtkHost*>(self);
        host->timerSource_ = 0;  // this source ends here; Dispatch arms the next
        Dispatch(self);
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

std::unique_ptr<HostWindow> GtkHost::CreateNativeWindow(WindowBase& window,
                                                        const NativeWindowParams& params) {
  auto native = std::make_unique<GtkHostWindow>(window, params);
  if (params.visible) native->Show(ShowCommand::Show);
  return native;
}

Size GtkHost::ScreenSize() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
  if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return {};
  GdkRectangle r;
  gdk_monitor_get_geometry(monitor, &r);
  return {r.width, r.height};
}

Point GtkHost::CursorPosition() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
  GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (!pointer) return {};
  int x = 0, y = 0;
  gdk_device_get_position(pointer, nullptr, &x, &y);
  return {x, y};
}

int GtkHost::RunLoop() {
  MessageLoop& loop = MessageLoop::Current();
  loop.BindToCurrentThread();
  loop.ClearQuit();
  GMainLoop* main = g_main_loop_new(nullptr, FALSE);
  loops_.push_back({main, nullptr});
  Schedule();  // what was posted before the loop ran
  g_main_loop_run(main);
  loops_.pop_back();
  g_main_loop_unref(main);
  return loop.QuitCode();
}

void GtkHost::RunModalLoop(const std::function<bool()>& done) {
  if (done()) return;
  GMainLoop* nested = g_main_loop_new(nullptr, FALSE);
  loops_.push_back({nested, done});
  Schedule();
  g_main_loop_run(nested);
  loops_.pop_back();
  g_main_loop_unref(nested);
}

std::u16string GtkHost::ClipboardText() {
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gchar* text = gtk_clipboard_wait_for_text(clipboard);
  if (!text) return {};
  std::u16string out = Utf8ToWide(text);
  g_free(text);
  return out;
}

void GtkHost::SetClipboardText(std::u16string_view text) {
  const std::string utf8 = WideToUtf8(text);
  gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), utf8.c_str(),
                         static_cast<gint>(utf8.size()));
}

std::optional<std::u16string> GtkHost::PickFolder(WindowBase* owner, std::u16string_view title,
                                                  std::u16string_view initialFolder) {
  GtkWidget* parent = owner ? GtkWindowOf(*owner) : nullptr;
  GtkFileChooserNative* chooser =
      gtk_file_chooser_native_new(WideToUtf8(title).c_str(), parent ? GTK_WINDOW(parent) : nullptr,
                                  GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, nullptr, nullptr);
  if (!initialFolder.empty())
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser),
                                        WideToUtf8(initialFolder).c_str());
  std::optional<std::u16string> chosen;
  if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
      chosen = Utf8ToWide(folder);
      g_free(folder);
    }
  }
  g_object_unref(chooser);
  return chosen;
}

bool GtkHost::AddTrayIcon(WindowBase& window, const TrayIconData& data) {
  return tray_->Add(window, data);
}

bool GtkHost::ModifyTrayIcon(WindowBase& window, const TrayIconData& data) {
  return tray_->Modify(window, data);
}

void GtkHost::RemoveTrayIcon(WindowBase& window, uint32_t id) {
  tray_->Remove(window, id);
}

uint32_t GtkHost::TrackPopupMenu(WindowBase&, const std::vector<MenuItem>& items,
                                 Point screenPoint) {
  return GtkTray::TrackMenu(items, screenPoint);
}

}  // namespace SkinUI
