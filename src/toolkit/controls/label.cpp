#include "toolkit/controls/label.h"

#include "toolkit/paint/paint_manager.h"
#include "toolkit/render/painter.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

Label::Label() {
  mouseEnabled_ = false;
}

void* Label::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Label") ? this : Control::GetInterface(name);
}

void Label::PaintText(Painter& painter) {
  if (text_.empty()) return;
  painter.DrawText(TextRect(), text_, BaseTextStyle());
}

}  // namespace SkinUI
