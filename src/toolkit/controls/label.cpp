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
  TextStyle style;
  style.font = font_;
  style.color = EffectiveTextColor();
  style.linkColor = manager_ ? manager_->Skin().linkTextColor : style.linkColor;
  style.hAlign = hAlign_;
  style.vAlign = vAlign_;
  style.wordBreak = wordBreak_;
  style.rich = richText_;
  painter.DrawText(TextRect(), text_, style);
}

}  // namespace SkinUI
