// The agreement sentence of the start page (check box, agree text, privacy link, and-text,
// licence link, tail text), centred in the 600-pixel client width on one or two lines, from the
// single-line sizes of its texts measured in their controls' fonts.
#pragma once

#include "ui/ui_geometry.h"

struct AgreeLineTexts {
  UiSize agree;    // lbl_agree
  UiSize privacy;  // btn_privacy
  UiSize andText;  // lbl_and
  UiSize eula;     // btn_eula
  UiSize tail;     // lbl_tail; width 0 hides it
};

// Fixed positions inside lay_before.
struct AgreeLineLayout {
  UiRect checkBox;  // cbx_agree, with an empty text
  UiRect agree;
  UiRect privacy;
  UiRect andText;
  UiRect eula;
  UiRect tail;  // only when tailShown
  bool tailShown = false;
  // Logged as "[INFO] totalWidth = %d", "[INFO] firstLineWidth = %d", "[INFO] secondLineWidth =
  // %d"; a second line width of 0 means one line.
  int totalWidth = 0;
  int firstLineWidth = 0;
  int secondLineWidth = 0;
};

// A sentence of 480 pixels or more moves the links to a second line; when even that line would
// be wider than 480, the privacy link stays on the first line.
AgreeLineLayout ComputeAgreeLine(const AgreeLineTexts& texts);
