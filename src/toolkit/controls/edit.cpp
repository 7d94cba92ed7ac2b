#include "toolkit/controls/edit.h"

#include <algorithm>

#include "toolkit/messages.h"
#include "toolkit/paint/notification.h"
#include "toolkit/paint/paint_manager.h"
#include "toolkit/render/painter.h"
#include "toolkit/render/text_renderer.h"
#include "toolkit/skin/attribute_values.h"

namespace SkinUI {

namespace {

constexpr Color kSelectionBk = 0xFF1398F0;
constexpr Color kSelectionText = 0xFFFFFFFF;
constexpr Color kFocusBorder = 0xFF1398F0;

}  // namespace

Edit::Edit() {
  mouseEnabled_ = true;
  vAlign_ = VAlign::Center;
}

void* Edit::GetInterface(std::u16string_view name) {
  return EqualsNoCase(name, u"Edit") ? this : Label::GetInterface(name);
}

void Edit::SetText(std::u16string text) {
  model_.SetText(text);
  scrollX_ = scrollY_ = 0;
  Label::SetText(std::move(text));
}

void Edit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  Invalidate();
}

void Edit::SetPlaceholder(std::u16string text) {
  placeholder_ = std::move(text);
  Invalidate();
}

void Edit::SetPlaceholderColor(Color color) {
  placeholderColor_ = color;
  Invalidate();
}

void Edit::SetSel(size_t start, size_t end) {
  model_.MoveTo(start, false);
  model_.MoveTo(end, true);
  Invalidate();
}

void Edit::SelectAll() {
  model_.SelectAll();
  Invalidate();
}

void Edit::InsertText(std::u16string_view text) {
  if (readOnly_ || !IsEnabled()) return;
  if (model_.Insert(text, IsMultiLine(), maxChars_)) Changed();
}

void Edit::Changed() {
  text_ = model_.Text();
  Invalidate();
  Notify(kNotifyTextChanged);
}

void Edit::SetAttribute(std::u16string_view name, std::u16string_view value) {
  auto is = [&](const char16_t* n) { return EqualsNoCase(name, n); };
  if (is(u"readonly")) {
    std::optional<bool> b = ParseBool(value);
    if (!b) return ReportAttribute(name, value, true);
    return SetReadOnly(*b);
  }
  if (is(u"tipvalue") || is(u"placeholder")) return SetPlaceholder(std::u16string(value));
  if (is(u"tipvaluecolor") || is(u"placeholdercolor")) {
    std::optional<Color> c = ParseColor(value);
    if (!c) return ReportAttribute(name, value, true);
    return SetPlaceholderColor(*c);
  }
  if (is(u"maxchar")) {
    std::optional<int> v = ParseInt(value);
    if (!v || *v < 0) return ReportAttribute(name, value, true);
    maxChars_ = static_cast<size_t>(*v);
    return;
  }
  if (is(u"wantreturn") || is(u"rich") || is(u"autovscroll") || is(u"vscrollbar")) return;
  Label::SetAttribute(name, value);
}

Point Edit::LayoutOrigin(const TextLayout& layout, const Rect& area, bool followCaret) {
  const Size size = layout.GetSize();
  if (IsMultiLine()) {
    if (followCaret) {
      const Rect caret = layout.CaretRect(model_.Caret());
      if (caret.bottom - scrollY_ > area.Height()) scrollY_ = caret.bottom - area.Height();
      if (caret.top < scrollY_) scrollY_ = caret.top;
    }
    return {area.left, area.top - scrollY_};
  }
  int x = area.left;
  if (size.cx <= area.Width()) {
    scrollX_ = 0;
    if (hAlign_ == HAlign::Center) x += (area.Width() - size.cx) / 2;
    if (hAlign_ == HAlign::Right) x += area.Width() - size.cx;
  } else if (followCaret) {
    const int caretX = layout.CaretRect(model_.Caret()).left;
    if (caretX - scrollX_ > area.Width() - 1) scrollX_ = caretX - area.Width() + 1;
    if (caretX < scrollX_) scrollX_ = caretX;
    scrollX_ = std::clamp(scrollX_, 0, std::max(0, size.cx - area.Width() + 1));
  }
  const int y = area.top + (area.Height() - size.cy) / 2;
  return {x - scrollX_, y};
}

size_t Edit::IndexAt(Point point) {
  if (!manager_) return 0;
  const Rect area = TextRect();
  TextLayout layout(manager_->Skin().fonts, font_, model_.Text(), IsMultiLine() ? area.Width() : 0);
  const Point origin = LayoutOrigin(layout, area, false);
  return layout.IndexAt({point.x - origin.x, point.y - origin.y});
}

void Edit::MoveLine(int lines, bool extend) {
  if (!manager_) return;
  const Rect area = TextRect();
  TextLayout layout(manager_->Skin().fonts, font_, model_.Text(), area.Width());
  const Rect caret = layout.CaretRect(model_.Caret());
  const int y = caret.top + caret.Height() / 2 + lines * layout.LineHeight();
  if (y < 0) return model_.MoveHome(extend);
  if (y >= layout.GetSize().cy) return model_.MoveEnd(extend);
  model_.MoveTo(layout.IndexAt({caret.left, y}), extend);
}

void Edit::DoEvent(UiEvent& event) {
  if (!IsEnabled()) return;
  const bool shift = event.modifiers & kModShift;
  const bool control = event.modifiers & kModControl;
  switch (event.type) {
    case UiEventType::ButtonDown:
      if (event.clicks >= 2) {
        model_.SelectAll();
      } else {
        model_.MoveTo(IndexAt(event.point), shift);
        selecting_ = true;
      }
      Invalidate();
      break;
    case UiEventType::MouseMove:
      if (selecting_) {
        model_.MoveTo(IndexAt(event.point), true);
        Invalidate();
      }
      break;
    case UiEventType::ButtonUp:
      selecting_ = false;
      break;
    case UiEventType::SetFocus:
    case UiEventType::KillFocus:
      selecting_ = false;
      Invalidate();
      break;
    case UiEventType::Text:
      InsertText(event.text);
      event.handled = true;
      break;
    case UiEventType::KeyDown: {
      event.handled = true;
      const uint32_t key = event.key;
      if (key == kVkLeft) {
        model_.MoveLeft(shift);
      } else if (key == kVkRight) {
        model_.MoveRight(shift);
      } else if (key == kVkHome) {
        IsMultiLine() && !control ? MoveLine(-1000000, shift) : model_.MoveHome(shift);
      } else if (key == kVkEnd) {
        IsMultiLine() && !control ? MoveLine(1000000, shift) : model_.MoveEnd(shift);
      } else if ((key == kVkUp || key == kVkDown) && IsMultiLine()) {
        MoveLine(key == kVkUp ? -1 : 1, shift);
      } else if (key == kVkBack || key == kVkDelete) {
        if (!readOnly_ && (key == kVkBack ? model_.DeleteBackward() : model_.DeleteForward()))
          return Changed();
      } else if (key == kVkReturn && IsMultiLine()) {
        InsertText(u"\n");
        return;
      } else if (control && key == 'A') {
        model_.SelectAll();
      } else if (control && (key == 'C' || key == 'X')) {
        if (model_.HasSelection() && manager_) manager_->SetClipboardText(model_.SelectedText());
        if (key == 'X' && !readOnly_ && model_.HasSelection() && model_.DeleteBackward())
          return Changed();
      } else if (control && key == 'V') {
        if (manager_) InsertText(manager_->ClipboardText());
        return;
      } else {
        event.handled = false;
        return;
      }
      Invalidate();
      break;
    }
    default:
      break;
  }
}

void Edit::PaintText(Painter& painter) {
  if (!manager_) return;
  const Rect area = TextRect();
  if (area.IsEmpty()) return;
  painter.PushClip(area);
  const bool focused = IsFocused();
  if (model_.Text().empty()) {
    if (!placeholder_.empty()) {
      TextStyle style;
      style.font = font_;
      style.color = placeholderColor_;
      style.hAlign = hAlign_;
      style.vAlign = IsMultiLine() ? VAlign::Top : VAlign::Center;
      style.wordBreak = IsMultiLine();
      painter.DrawText(area, placeholder_, style);
    }
  }
  TextLayout layout(manager_->Skin().fonts, font_, model_.Text(), IsMultiLine() ? area.Width() : 0);
  const Point origin = LayoutOrigin(layout, area, focused);
  if (!model_.Text().empty()) {
    const bool showSelection = focused && model_.HasSelection();
    layout.Draw(painter.Cairo(), origin, EffectiveTextColor(),
                showSelection ? model_.SelectionStart() : 0,
                showSelection ? model_.SelectionEnd() : 0, kSelectionBk, kSelectionText);
  }
  if (focused) {
    const Rect caret = layout.CaretRect(model_.Caret()).Offset(origin.x, origin.y);
    manager_->SetCaretRect(caret);
    if (!readOnly_) painter.FillRect(caret, EffectiveTextColor() | 0xFF000000);
  }
  painter.PopClip();
}

void Edit::PaintBorder(Painter& painter) {
  if (borderSize_ > 0 && IsFocused() && !readOnly_)
    painter.DrawBorder(pos_, borderSize_, kFocusBorder);
  else
    Label::PaintBorder(painter);
}

}  // namespace SkinUI
