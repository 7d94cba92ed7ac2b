// Builds a window's control tree from a skin document: the <Window> element's attributes and
// fonts, then one root control with its children. Problems (not XML, unknown kinds and
// attributes, bad values) are logged with the document's name and skipped; what is left is
// still built.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "toolkit/controls/control.h"
#include "toolkit/skin/window_skin.h"

namespace SkinUI {

// Asked first for every element kind; nullptr lets the toolkit make its own control.
using ControlCreator = std::function<std::unique_ptr<Control>(std::u16string_view kind)>;

struct BuiltSkin {
  WindowSkin window;
  std::unique_ptr<Control> root;  // nullptr when the document has no control
  int problems = 0;               // log lines written
};

// Nothing when the text is not a well-formed document with a <Window> root.
std::optional<BuiltSkin> BuildSkin(std::u16string_view xml, std::string_view documentName,
                                   const ControlCreator& create = {});

// The toolkit's control of a kind name ("Label", "Option", ...), or nullptr for an unknown one.
std::unique_ptr<Control> CreateStockControl(std::u16string_view kind);

// One <Window> attribute; false for an unknown name or a malformed value.
bool ApplyWindowAttribute(WindowSkin& window, std::u16string_view name, std::u16string_view value);

}  // namespace SkinUI
