#include "ui/dialogs/message_box_layout.h"

#include <algorithm>

namespace {

constexpr int kBoxWidth = 248;
constexpr int kMinBoxHeight = 248;
constexpr int kBottomMargin = 32;
constexpr int kTextWidth = 200;
constexpr int kPlainTitleTop = 40;
constexpr int kPlainTitleToContent = 20;
constexpr int kButtonGap = 8;
constexpr int kPlainButtonGap = 28;

// A button keeps its skin place unless what lies above reaches into it.
UiRect Below(UiRect button, int y, int gap) {
  button.y = std::max(button.y, y + gap);
  button.width = kTextWidth;
  return button;
}

}  // namespace

const char16_t* DefaultMessageBoxTitleKey(MessageBoxType type) {
  switch (type) {
    case MessageBoxType::kInformation:
      return u"information";
    case MessageBoxType::kWarning:
      return u"warning";
    case MessageBoxType::kError:
      return u"error";
    default:
      return u"";
  }
}

MessageBoxLayout ComputeMessageBoxLayout(const MessageBoxInputs& in) {
  MessageBoxLayout out;
  const bool plain = in.type == MessageBoxType::kPlain;
  if (in.type == MessageBoxType::kInformation) {
    out.iconImage = "success.png";
  } else if (in.type == MessageBoxType::kWarning || in.type == MessageBoxType::kError) {
    out.iconImage = "warn.png";
  }

  out.content = in.content;
  if (plain) {
    out.plainTitle = true;
    out.title = {0, kPlainTitleTop, kBoxWidth, in.titleHeight};
    out.content.y = kPlainTitleTop + in.titleHeight + kPlainTitleToContent;
    out.closeShown = false;
  }
  // Without content the buttons follow the content's place, so that they never climb into a
  // tall plain title.
  int y = out.content.y;
  if (in.hasContent) {
    out.content.height = std::max(in.content.height, in.contentHeight);
    out.content.width = kTextWidth;
    y = out.content.y + out.content.height;
  }
  if (in.hasOk) {
    out.okShown = true;
    out.ok = Below(in.ok, y, plain ? kPlainButtonGap : kButtonGap);
    y = out.ok.y + out.ok.height;
  }
  if (in.hasCancel) {
    out.cancelShown = true;
    out.cancel = Below(in.cancel, y, kButtonGap);
    y = out.cancel.y + out.cancel.height;
  }
  out.box = {kBoxWidth, std::max(kMinBoxHeight, y + kBottomMargin)};
  return out;
}
