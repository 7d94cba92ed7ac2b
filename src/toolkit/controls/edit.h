// Edit: a single-line text field with caret, selection, clipboard (Ctrl+C / X / V / A), input
// method text, read-only mode and a placeholder shown while it is empty ("tipvalue",
// "tipvaluecolor"). Every change of the text sends "textchanged"; focus changes send "setfocus"
// and "killfocus".
#pragma once

#include "toolkit/controls/label.h"
#include "toolkit/controls/text_edit_model.h"

namespace SkinUI {

class Edit : public Label {
 public:
  Edit();
  std::u16string_view GetClass() const override { return u"Edit"; }
  void* GetInterface(std::u16string_view name) override;
  bool IsFocusable() const override { return IsEnabled(); }

  // Sets the text without a "textchanged".
  void SetText(std::u16string text) override;
  bool IsReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  void SetMaxChar(size_t maxChars) { maxChars_ = maxChars; }
  // The placeholder (a tooltip-like hint drawn in its own colour while the text is empty).
  void SetPlaceholder(std::u16string text);
  const std::u16string& GetPlaceholder() const { return placeholder_; }
  void SetPlaceholderColor(Color color);

  const TextEditModel& Model() const { return model_; }
  void SetSel(size_t start, size_t end);
  void SelectAll();
  // Inserts at the caret as typing would (refused when read-only); sends "textchanged".
  void InsertText(std::u16string_view text);

  void SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void DoEvent(UiEvent& event) override;

 protected:
  virtual bool IsMultiLine() const { return false; }
  void PaintText(Painter& painter) override;
  void PaintBorder(Painter& painter) override;
  // Text index under a client point.
  size_t IndexAt(Point point);
  void Changed();
  void MoveLine(int lines, bool extend);
  // Where the text's layout starts (client coordinates), keeping the caret in view.
  Point LayoutOrigin(const class TextLayout& layout, const Rect& area, bool followCaret);

  TextEditModel model_;
  bool readOnly_ = false;
  size_t maxChars_ = 0;
  std::u16string placeholder_;
  Color placeholderColor_ = 0xFFA7A6AA;
  bool selecting_ = false;  // the mouse extends the selection while the button is down
  int scrollX_ = 0;         // single line: how far the text is scrolled to keep the caret in view
  int scrollY_ = 0;         // multi-line: the same, downwards
};

}  // namespace SkinUI
