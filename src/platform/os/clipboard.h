// Clipboard text. Only a window host with a display has a clipboard; it installs a reader here.
#pragma once

#include <functional>
#include <string>

namespace nuv::os {

// Returns the clipboard text in UTF-8 (empty when there is none).
using ClipboardReader = std::function<std::string()>;

// Installs (or, with an empty function, removes) the reader. Thread-safe.
void SetClipboardReader(ClipboardReader reader);
// The clipboard text, or empty when no reader is installed (no display).
std::string ClipboardText();

}  // namespace nuv::os
