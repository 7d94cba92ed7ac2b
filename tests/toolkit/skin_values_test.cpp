// The value notations of skin attributes: colours, rectangles, images, rich text.
#include <gtest/gtest.h>

#include "toolkit/skin/attribute_values.h"
#include "toolkit/skin/image_spec.h"
#include "toolkit/skin/rich_text.h"
#include "xml/utf.h"

namespace {

using namespace SkinUI;

TEST(SkinValuesTest, Colours) {
  const struct {
    const char16_t* text;
    std::optional<Color> color;
  } cases[] = {
      {u"#ff7a7b7f", 0xFF7A7B7F},  {u"#7a7b7f", 0xFF7A7B7F},     {u"#00FFFFFF", 0x00FFFFFF},
      {u"0xFFF8F8FF", 0xFFF8F8FF}, {u" #FFd6dbe9 ", 0xFFD6DBE9}, {u"#01ffffff", 0x01FFFFFF},
      {u"#12345", std::nullopt},   {u"#gg0000", std::nullopt},   {u"red", std::nullopt},
      {u"", std::nullopt},         {u"#", std::nullopt},         {u"#123456789", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseColor(c.text), c.color) << WideToUtf8(c.text);
}

TEST(SkinValuesTest, RectanglesEdgesAndNumbers) {
  EXPECT_EQ(ParseRect(u"174,404,442,428"), (Rect{174, 404, 442, 428}));
  EXPECT_EQ(ParseRect(u" 0, -5 ,10,20"), (Rect{0, -5, 10, 20}));
  EXPECT_EQ(ParseEdges(u"20,0,20,0"), (Edges{20, 0, 20, 0}));
  for (const char16_t* bad : {u"1,2,3", u"1,2,3,4,5", u"a,b,c,d", u"", u"1,,2,3", u"1.5,2,3,4"})
    EXPECT_FALSE(ParseRect(bad)) << WideToUtf8(bad);
  EXPECT_FALSE(ParseEdges(u"-1,0,0,0"));  // a border cannot be negative
  EXPECT_EQ(ParseSize(u"600,400"), (Size{600, 400}));
  EXPECT_EQ(ParsePoint(u"0,2"), (Point{0, 2}));
  EXPECT_EQ(ParseBool(u"TRUE"), true);
  EXPECT_EQ(ParseBool(u"0"), false);
  EXPECT_FALSE(ParseBool(u"yes"));
  EXPECT_FALSE(ParseInt(u"1234567890"));  // out of range, not wrapped
}

TEST(SkinValuesTest, ImageNotation) {
  std::optional<ImageSpec> a = ParseImageSpec(u"file='btn_normal.png' corner='20,0,20,0'");
  ASSERT_TRUE(a);
  EXPECT_EQ(WideToUtf8(a->file), "btn_normal.png");
  EXPECT_EQ(a->corner, (Edges{20, 0, 20, 0}));
  EXPECT_FALSE(a->dest);

  std::optional<ImageSpec> b = ParseImageSpec(u"file='cbx_normal.png' dest='0,0,16,16'");
  ASSERT_TRUE(b && b->dest);
  EXPECT_EQ(*b->dest, (Rect{0, 0, 16, 16}));

  std::optional<ImageSpec> c = ParseImageSpec(u"res='136' restype='PNG'");
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->IsResource());
  EXPECT_EQ(c->resourceId, 136);
  EXPECT_EQ(WideToUtf8(c->resourceType), "PNG");

  std::optional<ImageSpec> bare = ParseImageSpec(u"down.png");
  ASSERT_TRUE(bare);
  EXPECT_EQ(WideToUtf8(bare->file), "down.png");
  EXPECT_TRUE(bare->corner.IsZero());

  for (const char16_t* bad :
       {u"file='x.png", u"file='x.png' corner='1,2'", u"res='abc'", u"corner='1,1,1,1'",
        u"file=x.png", u"", u"dest='0,0,16'  file='a.png'"})
    EXPECT_FALSE(ParseImageSpec(bad)) << WideToUtf8(bad);
}

TEST(SkinValuesTest, RichMarkup) {
  RichText t = ParseRichText(u"{f 1} 和 {u}{l}{c #7a7b7f}EULA{/c}{/l}{/u}{/f}");
  EXPECT_EQ(WideToUtf8(t.text), " 和 EULA");
  ASSERT_EQ(t.spans.size(), 2u);
  EXPECT_EQ(t.spans[0].font, 1);
  EXPECT_FALSE(t.spans[0].underline);
  EXPECT_EQ(t.spans[1].start, 3u);
  EXPECT_EQ(t.spans[1].end, 7u);
  EXPECT_TRUE(t.spans[1].underline && t.spans[1].link);
  EXPECT_EQ(t.spans[1].color, 0xFF7A7B7Fu);

  // Unknown or broken tags stay text; unclosed ones run to the end; stray closers go.
  EXPECT_EQ(WideToUtf8(ParseRichText(u"a{x}b{/c}c{").text), "a{x}bc{");
  RichText open = ParseRichText(u"{u}under");
  ASSERT_EQ(open.spans.size(), 1u);
  EXPECT_EQ(open.spans[0].end, 5u);
  EXPECT_EQ(WideToUtf8(ParseRichText(u"{c #zz}x").text), "{c #zz}x");
  EXPECT_EQ(WideToUtf8(ParseRichText(u"one{n}two").text), "one\ntwo");
}

}  // namespace
