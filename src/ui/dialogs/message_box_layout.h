// The message box's layout: its icon, the title of a plain box, the content area sized to the
// measured text, the buttons that have texts placed below it, and the box height that grows from
// 248 pixels with them. Heights are measured by the window in a 200-pixel wide rectangle with
// word breaks.
#pragma once

#include <cstdint>

#include "ui/ui_geometry.h"

enum class MessageBoxType : int32_t { kInformation = 0, kWarning = 1, kError = 2, kPlain = 3 };

// The string key of the title a box of that type gets when it is given none ("information",
// "warning", "error"); empty for a plain box, which keeps its empty title.
const char16_t* DefaultMessageBoxTitleKey(MessageBoxType type);

struct MessageBoxInputs {
  MessageBoxType type = MessageBoxType::kInformation;
  int titleHeight = 0;  // plain boxes only: the title measured in font 4
  bool hasContent = false;
  int contentHeight = 0;   // the content's measured text height
  bool hasOk = false;      // the OK text is not empty
  bool hasCancel = false;  // the cancel text is not empty
  // Where the skin puts them ("messagebox.xml").
  UiRect content{24, 84, 200, 100};
  UiRect ok{24, 180, 200, 32};
  UiRect cancel{24, 220, 200, 32};
};

struct MessageBoxLayout {
  const char* iconImage = "";  // lab_icon: "success.png", "warn.png", or no image when empty
  // Plain boxes: lbl_title gets font "4", align "center" and the rectangle title (its "pos"
  // attribute is left, top, right, bottom); btn_close is hidden.
  bool plainTitle = false;
  UiRect title;
  bool closeShown = true;
  // edit_content: with content it gets the text, this fixed size, and is disabled.
  UiRect content;
  bool okShown = false;  // btn_ok with the OK text, at ok
  UiRect ok;
  bool cancelShown = false;  // btn_cancel with the cancel text, at cancel
  UiRect cancel;
  UiSize box;  // resized without moving
};

MessageBoxLayout ComputeMessageBoxLayout(const MessageBoxInputs& in);
