#include "toolkit/controls/rich_edit.h"

#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

RichEdit::RichEdit() {
  vAlign_ = VAlign::Top;
}

void* RichEdit::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"RichEdit") ? this : Edit::GetInterface(name);
}

}  // namespace SkinUI
