#include <gtest/gtest.h>

#include <string>

#include "ui/dialogs/message_box_layout.h"

namespace {

using T = MessageBoxType;

struct Case {
  const char* name;
  MessageBoxInputs in;
  std::u16string titleKey;
  std::string icon;
  bool closeShown;
  UiRect title;  // checked for plain boxes
  UiRect content;
  bool okShown;
  UiRect ok;
  bool cancelShown;
  UiRect cancel;
  int height;
};

MessageBoxInputs Inputs(T type, int titleHeight, bool content, int contentHeight, bool ok,
                        bool cancel) {
  MessageBoxInputs in;
  in.type = type;
  in.titleHeight = titleHeight;
  in.hasContent = content;
  in.contentHeight = contentHeight;
  in.hasOk = ok;
  in.hasCancel = cancel;
  return in;
}

TEST(MessageBoxLayout, ButtonsBelowTheContentAndAGrowingHeight) {
  const Case cases[] = {
      {"short content without buttons keeps 248",
       Inputs(T::kWarning, 0, true, 40, false, false),
       u"warning",
       "warn.png",
       true,
       {},
       {24, 84, 200, 100},
       false,
       {},
       false,
       {},
       248},
      {"nothing but the close button",
       Inputs(T::kInformation, 0, false, 0, false, false),
       u"information",
       "success.png",
       true,
       {},
       {24, 84, 200, 100},
       false,
       {},
       false,
       {},
       248},
      {"short content with both buttons",
       Inputs(T::kInformation, 0, true, 40, true, true),
       u"information",
       "success.png",
       true,
       {},
       {24, 84, 200, 100},
       true,
       {24, 192, 200, 32},
       true,
       {24, 232, 200, 32},
       296},
      {"long content grows the box",
       Inputs(T::kError, 0, true, 300, true, false),
       u"error",
       "warn.png",
       true,
       {},
       {24, 84, 200, 300},
       true,
       {24, 392, 200, 32},
       false,
       {},
       456},
      {"plain box: centred title, wider gap, no close button",
       Inputs(T::kPlain, 40, true, 60, true, true),
       u"",
       "",
       false,
       {0, 40, 248, 40},
       {24, 100, 200, 100},
       true,
       {24, 228, 200, 32},
       true,
       {24, 268, 200, 32},
       332},
      {"plain box without content keeps the buttons below a tall title",
       Inputs(T::kPlain, 150, false, 0, true, false),
       u"",
       "",
       false,
       {0, 40, 248, 150},
       {24, 210, 200, 100},
       true,
       {24, 238, 200, 32},
       false,
       {},
       302},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MessageBoxLayout got = ComputeMessageBoxLayout(c.in);
    EXPECT_EQ(DefaultMessageBoxTitleKey(c.in.type), c.titleKey);
    EXPECT_EQ(got.iconImage, c.icon);
    EXPECT_EQ(got.closeShown, c.closeShown);
    EXPECT_EQ(got.plainTitle, c.in.type == T::kPlain);
    if (got.plainTitle) {
      EXPECT_EQ(got.title, c.title);
    }
    EXPECT_EQ(got.content, c.content);
    EXPECT_EQ(got.okShown, c.okShown);
    if (c.okShown) {
      EXPECT_EQ(got.ok, c.ok);
    }
    EXPECT_EQ(got.cancelShown, c.cancelShown);
    if (c.cancelShown) {
      EXPECT_EQ(got.cancel, c.cancel);
    }
    EXPECT_EQ(got.box, (UiSize{248, c.height}));
  }
}

}  // namespace
