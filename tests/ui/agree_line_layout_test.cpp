#include <gtest/gtest.h>

#include "ui/agree_line_layout.h"

namespace {

struct Case {
  const char* name;
  int agree, privacy, andText, eula, tail;  // measured widths; every text is 16 high
  AgreeLineLayout want;
};

TEST(AgreeLineLayout, OneOrTwoCentredLines) {
  const Case cases[] = {
      {"short sentence on one line",
       100,
       60,
       14,
       60,
       0,
       {{165, 330, 16, 16},
        {186, 330, 102, 18},
        {291, 330, 62, 18},
        {356, 330, 16, 18},
        {375, 330, 62, 18},
        {},
        false,
        270,
        270,
        0}},
      {"a tail follows the licence link",
       100,
       60,
       14,
       60,
       40,
       {{142, 330, 16, 16},
        {163, 330, 102, 18},
        {268, 330, 62, 18},
        {333, 330, 16, 18},
        {352, 330, 62, 18},
        {417, 330, 42, 18},
        true,
        315,
        315,
        0}},
      {"480 pixels move the links to the second line",
       310,
       60,
       14,
       60,
       0,
       {{134, 320, 16, 16},
        {155, 320, 312, 18},
        {228, 340, 62, 18},
        {293, 340, 16, 18},
        {312, 340, 62, 18},
        {},
        false,
        480,
        331,
        144}},
      {"a long agree text with a tail",
       300,
       60,
       14,
       60,
       40,
       {{139, 320, 16, 16},
        {160, 320, 302, 18},
        {205, 340, 62, 18},
        {270, 340, 16, 18},
        {289, 340, 62, 18},
        {354, 340, 42, 18},
        true,
        515,
        321,
        189}},
      {"a very long privacy text stays on the first line",
       100,
       450,
       14,
       60,
       0,
       {{12, 320, 16, 16},
        {33, 320, 102, 18},
        {138, 320, 452, 18},
        {260, 340, 16, 18},
        {279, 340, 62, 18},
        {},
        false,
        660,
        576,
        79}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AgreeLineLayout got = ComputeAgreeLine(
        {{c.agree, 16}, {c.privacy, 16}, {c.andText, 16}, {c.eula, 16}, {c.tail, 16}});
    const AgreeLineLayout& w = c.want;
    EXPECT_EQ(got.checkBox, w.checkBox);
    EXPECT_EQ(got.agree, w.agree);
    EXPECT_EQ(got.privacy, w.privacy);
    EXPECT_EQ(got.andText, w.andText);
    EXPECT_EQ(got.eula, w.eula);
    EXPECT_EQ(got.tailShown, w.tailShown);
    if (w.tailShown) {
      EXPECT_EQ(got.tail, w.tail);
    }
    EXPECT_EQ(got.totalWidth, w.totalWidth);
    EXPECT_EQ(got.firstLineWidth, w.firstLineWidth);
    EXPECT_EQ(got.secondLineWidth, w.secondLineWidth);
  }
}

}  // namespace
