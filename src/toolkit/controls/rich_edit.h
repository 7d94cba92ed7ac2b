// RichEdit: a multi-line edit that wraps its text; Enter inserts a new line (unless read-only).
#pragma once

#include "toolkit/controls/edit.h"

namespace SkinUI {

class RichEdit : public Edit {
 public:
  RichEdit();
  std::u16string_view GetClass() const override { return u"RichEdit"; }
  void* GetInterface(std::u16string_view name) override;

 protected:
  bool IsMultiLine() const override { return true; }
};

}  // namespace SkinUI
