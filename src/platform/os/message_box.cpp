#include "platform/os/message_box.h"

#include <cstdio>
#include <string>

#ifdef NUV_HAVE_GTK
#include <gtk/gtk.h>
#endif

namespace nuv::os {

namespace {

void ToStandardError(std::string_view text, std::string_view caption) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

#ifdef NUV_HAVE_GTK
bool ShowGtkDialog(std::string_view text, std::string_view caption) {
  if (!gtk_init_check(nullptr, nullptr)) return false;
  std::string body(text);
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                             GTK_BUTTONS_OK, "%s", body.c_str());
  std::string title(caption);
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // Let the window system see the dialog go before the process carries on (or exits).
  for (int i = 0; i < 100 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
  return true;
}
#endif

}  // namespace

void ShowErrorBox(std::string_view text, std::string_view caption) {
#ifdef NUV_HAVE_GTK
  if (ShowGtkDialog(text, caption)) return;
#endif
  ToStandardError(text, caption);
}

}  // namespace nuv::os
