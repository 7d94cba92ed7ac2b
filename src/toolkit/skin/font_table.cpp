#include "toolkit/skin/font_table.h"

namespace SkinUI {

const FontInfo& FontTable::Get(int id) const {
  static const FontInfo kBuiltIn{u"思源黑体", 12, false, false, false};
  auto it = fonts_.find(id);
  if (it != fonts_.end()) return it->second;
  it = fonts_.find(defaultId_);
  if (it != fonts_.end()) return it->second;
  return fonts_.empty() ? kBuiltIn : fonts_.begin()->second;
}

void FontTable::Add(int id, FontInfo info, bool isDefault) {
  fonts_[id] = std::move(info);
  if (isDefault || defaultId_ < 0) defaultId_ = id;
}

}  // namespace SkinUI
