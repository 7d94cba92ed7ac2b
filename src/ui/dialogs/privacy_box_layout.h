// The privacy box's line layout: title, content, the privacy and licence links with the
// and-text between them on one to three centred lines, the tail text, and the box height with
// its two buttons at the bottom, all from single-line text widths (a line holds 195 pixels).
#pragma once

#include "ui/ui_geometry.h"

// Single-line widths in each control's font.
struct PrivacyBoxWidths {
  int title = 0;    // lbl_title
  int content = 0;  // lbl_content
  int privacy = 0;  // box_btn_privacy
  int andText = 0;  // box_lbl_and
  int eula = 0;     // box_btn_eula
  int tail = 0;     // box_lbl_tail; 0 hides it
};

// Fixed positions from the box's top-left corner.
struct PrivacyBoxLayout {
  UiRect title;
  UiRect content;
  UiRect privacy;
  UiRect andText;
  UiRect eula;
  UiRect tail;  // with "wordbreak" "true"; only when tailShown
  bool tailShown = false;
  // Logged as "[INFO] TitleLineNum = %d, agreeLineNum = %d,otherLineNum = %d, TailLineNum = %d".
  int titleLines = 0;
  int agreeLines = 0;
  int otherLines = 0;
  int tailLines = 0;
  UiSize box;              // resized without moving
  UiPoint agreeButton;     // btn_agree_install
  UiPoint notAgreeButton;  // btn_not_agree
};

PrivacyBoxLayout ComputePrivacyBoxLayout(const PrivacyBoxWidths& w);
