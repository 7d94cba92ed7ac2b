// The font table of one window: numbers (as skin documents write them) to a face, a size in
// pixels and style flags.
#pragma once

#include <map>
#include <string>

namespace SkinUI {

struct FontInfo {
  std::u16string
      face;  // as the skin names it ("思源黑体", "Segoe UI"); aliases map it to a real face
  int size = 12;  // pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
};

class FontTable {
 public:
  // The first font marked default, else the lowest number, else a built-in 12-pixel font.
  const FontInfo& Get(int id) const;
  bool Has(int id) const { return fonts_.count(id) != 0; }
  void Add(int id, FontInfo info, bool isDefault);
  int DefaultId() const { return defaultId_; }
  const std::map<int, FontInfo>& All() const { return fonts_; }

 private:
  std::map<int, FontInfo> fonts_;
  int defaultId_ = -1;
};

}  // namespace SkinUI
