#include <gtest/gtest.h>

#include "ui/dialogs/privacy_box_layout.h"

namespace {

struct Case {
  const char* name;
  PrivacyBoxWidths widths;
  PrivacyBoxLayout want;
};

TEST(PrivacyBoxLayout, LinesFromWidthsAndTheBoxAroundThem) {
  const Case cases[] = {
      {"short texts: links on one line, no tail",
       {100, 150, 50, 14, 50, 0},
       {{24, 36, 200, 20},
        {24, 64, 200, 20},
        {62, 84, 52, 20},
        {117, 84, 16, 20},
        {136, 84, 52, 20},
        {},
        false,
        1,
        1,
        1,
        1,
        {248, 232},
        {24, 128},
        {24, 168}}},
      {"short texts with a tail",
       {100, 150, 50, 14, 50, 120},
       {{24, 36, 200, 20},
        {24, 64, 200, 20},
        {62, 84, 52, 20},
        {117, 84, 16, 20},
        {136, 84, 52, 20},
        {24, 104, 200, 20},
        true,
        1,
        1,
        1,
        1,
        {248, 252},
        {24, 148},
        {24, 188}}},
      {"long texts: privacy link alone, then and-text and licence link",
       {400, 900, 180, 14, 60, 500},
       {{24, 36, 200, 60},
        {24, 104, 200, 100},
        {34, 204, 182, 20},
        {84, 224, 16, 20},
        {103, 224, 62, 20},
        {24, 244, 200, 60},
        true,
        3,
        5,
        2,
        3,
        {248, 432},
        {24, 328},
        {24, 368}}},
      {"two long links: three lines",
       {50, 200, 190, 14, 190, 0},
       {{24, 36, 200, 20},
        {24, 64, 200, 40},
        {29, 104, 192, 20},
        {117, 124, 16, 20},
        {29, 144, 192, 20},
        {},
        false,
        1,
        2,
        3,
        1,
        {248, 292},
        {24, 188},
        {24, 228}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PrivacyBoxLayout got = ComputePrivacyBoxLayout(c.widths);
    const PrivacyBoxLayout& w = c.want;
    EXPECT_EQ(got.title, w.title);
    EXPECT_EQ(got.content, w.content);
    EXPECT_EQ(got.privacy, w.privacy);
    EXPECT_EQ(got.andText, w.andText);
    EXPECT_EQ(got.eula, w.eula);
    EXPECT_EQ(got.tailShown, w.tailShown);
    if (w.tailShown) {
      EXPECT_EQ(got.tail, w.tail);
    }
    EXPECT_EQ(got.titleLines, w.titleLines);
    EXPECT_EQ(got.agreeLines, w.agreeLines);
    EXPECT_EQ(got.otherLines, w.otherLines);
    EXPECT_EQ(got.tailLines, w.tailLines);
    EXPECT_EQ(got.box, w.box);
    EXPECT_EQ(got.agreeButton, w.agreeButton);
    EXPECT_EQ(got.notAgreeButton, w.notAgreeButton);
  }
}

}  // namespace
