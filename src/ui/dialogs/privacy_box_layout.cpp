#include "ui/dialogs/privacy_box_layout.h"

namespace {

constexpr int kBoxWidth = 248;
constexpr int kLeft = 24;
constexpr int kTextWidth = 200;
constexpr int kLineWidth = 195;
constexpr int kLineHeight = 20;
constexpr int kGap = 5;
constexpr int kTitleTop = 36;
constexpr int kTitleToContent = 44 - kTitleTop;
constexpr int kButtonsArea = 128;
constexpr int kAgreeFromBottom = 104;
constexpr int kNotAgreeFromBottom = 64;

int Lines(int width) {
  return width / kLineWidth + 1;
}

// A link or the and-text: its own width plus two pixels, one line high.
UiRect Piece(int x, int y, int width) {
  return {x, y, width + 2, kLineHeight};
}

// x of a piece of that width centred in the text column.
int Centred(int width) {
  return (kTextWidth - width) / 2 + kLeft;
}

}  // namespace

PrivacyBoxLayout ComputePrivacyBoxLayout(const PrivacyBoxWidths& w) {
  PrivacyBoxLayout out;
  out.titleLines = Lines(w.title);
  out.title = {kLeft, kTitleTop, kTextWidth, kLineHeight * out.titleLines};
  int y = kTitleTop + out.title.height + kTitleToContent;

  out.agreeLines = Lines(w.content);
  out.content = {kLeft, y, kTextWidth, kLineHeight * out.agreeLines};
  out.otherLines = Lines(w.privacy + w.andText + w.eula + 2 * kGap);
  if (out.otherLines == 1) {
    y += out.content.height;
    const int x0 = (190 - w.privacy - w.andText - w.eula) / 2 + kLeft;
    out.privacy = Piece(x0, y, w.privacy);
    out.andText = Piece(x0 + w.privacy + kGap, y, w.andText);
    out.eula = Piece(x0 + w.privacy + kGap + w.andText + kGap, y, w.eula);
  } else {
    out.privacy = Piece(Centred(w.privacy), y + out.content.height, w.privacy);
    y += out.content.height + kLineHeight;
    if (out.otherLines == 2) {
      const int x1 = (kLineWidth - w.andText - w.eula) / 2 + kLeft;
      out.andText = Piece(x1, y, w.andText);
      out.eula = Piece(x1 + w.andText + kGap, y, w.eula);
    } else {
      out.andText = Piece(Centred(w.andText), y, w.andText);
      y += kLineHeight;
      out.eula = Piece(Centred(w.eula), y, w.eula);
    }
  }

  out.tailLines = Lines(w.tail);
  out.tailShown = w.tail > 0;
  if (out.tailShown) {
    y += kLineHeight;
    out.tail = {kLeft, y, kTextWidth, kLineHeight * out.tailLines};
  }
  const int height = y + kLineHeight * out.tailLines + kButtonsArea;
  out.box = {kBoxWidth, height};
  out.agreeButton = {kLeft, height - kAgreeFromBottom};
  out.notAgreeButton = {kLeft, height - kNotAgreeFromBottom};
  return out;
}
