// The start-up's error box: a modal GTK dialog (error icon, OK) when a display can be opened,
// otherwise "<caption>: <text>" on standard error.
#pragma once

#include <string_view>

namespace nuv::os {

// Texts are UTF-8. Returns when the user closed the dialog (or at once without a display).
void ShowErrorBox(std::string_view text, std::string_view caption);

}  // namespace nuv::os
