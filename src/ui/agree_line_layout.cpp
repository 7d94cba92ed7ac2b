#include "ui/agree_line_layout.h"

namespace {

constexpr int kClientWidth = 600;
constexpr int kMaxLineWidth = 480;
constexpr int kGap = 5;
constexpr int kCheckBoxSide = 16;
constexpr int kAfterCheckBox = kCheckBoxSide + kGap;
constexpr int kOneLineY = 330;
constexpr int kTwoLinesY = 320;
constexpr int kLineHeight = 20;

// A text control is two pixels larger than its text so that no glyph is clipped.
UiRect TextAt(int x, int y, UiSize text) {
  return {x, y, text.width + 2, text.height + 2};
}

// The next text follows at kGap from the end of the previous text (not of its control).
int After(const UiRect& control, UiSize text) {
  return control.x + text.width + kGap;
}

}  // namespace

AgreeLineLayout ComputeAgreeLine(const AgreeLineTexts& t) {
  AgreeLineLayout out;
  out.tailShown = t.tail.width > 0;
  const int tailPart = out.tailShown ? t.tail.width + kGap : 0;
  out.totalWidth = t.agree.width + t.privacy.width + t.andText.width + t.eula.width + 36 + tailPart;

  bool privacyOnFirstLine = false;
  if (out.totalWidth < kMaxLineWidth) {
    out.firstLineWidth = out.totalWidth;
  } else {
    out.firstLineWidth = t.agree.width + kAfterCheckBox;
    out.secondLineWidth = t.privacy.width + t.andText.width + t.eula.width + 2 * kGap + tailPart;
    if (out.secondLineWidth > kMaxLineWidth) {
      privacyOnFirstLine = true;
      out.firstLineWidth += kGap + t.privacy.width;
      out.secondLineWidth -= kGap + t.privacy.width;
    }
  }
  const bool twoLines = out.secondLineWidth != 0;
  const int x1 = (kClientWidth - out.firstLineWidth) / 2;
  const int x2 = (kClientWidth - out.secondLineWidth) / 2;
  int y = twoLines ? kTwoLinesY : kOneLineY;

  out.checkBox = {x1, y, kCheckBoxSide, kCheckBoxSide};
  out.agree = TextAt(x1 + kAfterCheckBox, y, t.agree);
  if (twoLines && !privacyOnFirstLine) {
    y += kLineHeight;
    out.privacy = TextAt(x2, y, t.privacy);
  } else {
    out.privacy = TextAt(After(out.agree, t.agree), y, t.privacy);
  }
  if (privacyOnFirstLine) {
    y += kLineHeight;
    out.andText = TextAt(x2, y, t.andText);
  } else {
    out.andText = TextAt(After(out.privacy, t.privacy), y, t.andText);
  }
  out.eula = TextAt(After(out.andText, t.andText), y, t.eula);
  if (out.tailShown) out.tail = TextAt(After(out.eula, t.eula), y, t.tail);
  return out;
}
