#include <gtest/gtest.h>

#include "xml/xml_document.h"
#include "xml/xml_text.h"

namespace {

constexpr const char16_t* kConfig =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    u"<Config version=\"2\">\n"
    u"  <ProductName>Capturo</ProductName>\n"
    u"  <items><item id=\"1\">one</item><item id=\"2\">two</item></items>\n"
    u"  <Empty/>\n"
    u"  <ProductName>second</ProductName>\n"
    u"</Config>\n";

TEST(XmlNavigation, CursorMovesThroughTheTree) {
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadText(kConfig));
  EXPECT_EQ(doc.NodeType(), 0);
  EXPECT_FALSE(doc.Ascend());
  EXPECT_FALSE(doc.Descend());

  ASSERT_TRUE(doc.NextElement(u"Config"));
  EXPECT_EQ(doc.NodeType(), 1);
  EXPECT_EQ(doc.AttributeValue(u"version"), u"2");
  EXPECT_FALSE(doc.NextChild(u"item"));  // only direct children
  ASSERT_TRUE(doc.NextChild(u"items"));
  ASSERT_TRUE(doc.Descend());
  EXPECT_EQ(doc.ElementName(), u"items");
  EXPECT_EQ(doc.ElementText(), u"");  // has children
  ASSERT_TRUE(doc.NextChild(u"item"));
  ASSERT_TRUE(doc.NextChild(u"item"));
  ASSERT_TRUE(doc.Descend());
  EXPECT_EQ(doc.ElementText(), u"two");
  EXPECT_EQ(doc.AttributeValue(u"id"), u"2");
  EXPECT_FALSE(doc.NextElement(u"item"));  // nothing changes
  EXPECT_EQ(doc.ElementText(), u"two");
  ASSERT_TRUE(doc.Ascend());
  ASSERT_TRUE(doc.Ascend());
  EXPECT_EQ(doc.ElementName(), u"Config");
  EXPECT_EQ(doc.ParentPosition(), 0u);
  ASSERT_TRUE(doc.Descend());  // back to items
  ASSERT_TRUE(doc.NextElement(u"Empty"));
  EXPECT_EQ(doc.ElementText(), u"");

  doc.Rewind();
  EXPECT_EQ(doc.CurrentPosition(), 0u);
  // NextChild without a current element first takes the root.
  ASSERT_TRUE(doc.NextChild(u"Empty"));
  EXPECT_EQ(doc.ElementName(), u"Config");
}

TEST(XmlNavigation, ChildTextFindsFirstOfNameEveryTime) {
  XmlDocument doc(kConfig);
  ASSERT_TRUE(doc.NextElement(u"Config"));
  std::u16string out = u"untouched";
  EXPECT_FALSE(doc.ChildText(u"Missing", out));
  EXPECT_EQ(out, u"untouched");
  ASSERT_TRUE(doc.ChildText(u"ProductName", out));
  EXPECT_EQ(out, u"Capturo");
  ASSERT_TRUE(doc.ChildText(u"ProductName", out));
  EXPECT_EQ(out, u"Capturo");
  EXPECT_EQ(doc.ElementName(), u"Config");
}

TEST(XmlNavigation, NameMatching) {
  struct Case {
    const char16_t* name;
    const char16_t* requested;
    bool match;
  } cases[] = {
      {u"item", u"item", true},    {u"items", u"item", false}, {u"item", u"items", false},
      {u"item", u"item[1]", true}, {u"item", u"item=x", true}, {u"item", u"item/a", true},
      {u"item", u"item ", true},   {u"item", u"Item", false},  {u"ns:item", u"ns:item", true},
      {u"ns:item", u"ns", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameMatches(c.name, c.requested, false), c.match)
        << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
  }
  EXPECT_TRUE(NameMatches(u"Item", u"iTEM", true));

  XmlDocument doc(u"<r><items/><item>a</item></r>");
  ASSERT_TRUE(doc.NextElement(u"r"));
  ASSERT_TRUE(doc.Descend());
  ASSERT_TRUE(doc.NextElement(u"item[1]"));
  EXPECT_EQ(doc.ElementText(), u"a");
  EXPECT_EQ(doc.ElementName(), u"item");

  doc.Rewind();
  EXPECT_FALSE(doc.NextElement(u"R"));
  doc.SetDocFlags(XmlDocument::kFlagIgnoreCase);
  EXPECT_TRUE(doc.NextElement(u"R"));
}

TEST(XmlReading, AttributeValues) {
  struct Case {
    const char16_t* tag;
    const char16_t* name;
    const char16_t* value;
  } cases[] = {
      {u"<a x='1>2' y=3>t</a>", u"x", u"1>2"},
      {u"<a x='1>2' y=3>t</a>", u"y", u"3"},
      {u"<a x = \"1\"/>", u"x", u"1"},
      {u"<a xy=\"1\" x=\"2\"/>", u"x", u"2"},
      {u"<a v=\"&lt;&amp;&quot;\"/>", u"v", u"<&\""},
      {u"<a y=\"x\" x='z'/>", u"x", u"z"},  // a value is never taken for a name
      {u"<a flag other=\"1\"/>", u"flag", u"flag"},
      {u"<a flag/>", u"flag", u"flag"},
      {u"<a flag \"q\"/>", u"flag", u"flag"},
      {u"<a x=/>", u"x", u"/"},
      {u"<a x= >t</a>", u"x", u""},
      {u"<a x=\"1\"/>", u"missing", u""},
      {u"<a x=\"1\"/>", u"a", u""},  // the tag name is not an attribute
      {u"<a x=\"1\">", u"x", u"1"},
  };
  for (const Case& c : cases) {
    XmlDocument doc(c.tag);
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.AttributeValue(c.name), std::u16string(c.value))
        << std::string(c.tag, c.tag + std::char_traits<char16_t>::length(c.tag));
  }
  XmlDocument none(u"<a x=\"1\"/>");
  EXPECT_EQ(none.AttributeValue(u"x"), u"");  // no current element
}

TEST(XmlReading, ElementText) {
  struct Case {
    const char16_t* doc;
    const char16_t* text;
  } cases[] = {
      {u"<a>&lt;&#65;&#x42;&foo;&#0;</a>", u"<AB&foo;&#0;"},
      {u"<a>&#X41;&#x;&#;&#65&#0000065;&amp</a>", u"&#X41;&#x;&#;&#65&#0000065;&amp"},
      {u"<a>&gt;&apos;&quot;&#xfffd;&#1234567;</a>", u">'\"\uFFFD&#1234567;"},
      {u"<a>&#66000;</a>", u"\U000101D0"},
      {u"<a>  <![CDATA[x<y&amp;]]>  </a>", u"x<y&amp;"},
      {u"<a>  </a>", u"  "},
      {u"<a>p &amp; <!--c--><![CDATA[&amp;]]><?pi?> q</a>", u"p & &amp; q"},
      {u"<a>line\r\n</a>", u"line\r\n"},
      {u"<a/>", u""},
      {u"<a><b/>text</a>", u""},
  };
  for (const Case& c : cases) {
    XmlDocument doc(c.doc);
    ASSERT_TRUE(doc.NextElement());
    EXPECT_EQ(doc.ElementText(), std::u16string(c.text))
        << std::string(c.doc, c.doc + std::char_traits<char16_t>::length(c.doc));
  }
}

TEST(XmlReading, EntityEncodingEscapesOnlyMarkup) {
  EXPECT_EQ(EncodeEntities(u"a<b&c>d\"e'f"), u"a&lt;b&amp;c&gt;d\"e'f");
  EXPECT_EQ(DecodeEntities(EncodeEntities(u"<&amp;>")), u"<&amp;>");
  // A reference is decoded only when it lies wholly inside the range.
  std::u16string text = u"x&lt;";
  std::u16string out;
  AppendDecodedEntities(text.data(), 4, out);
  EXPECT_EQ(out, u"x&lt");
}

}  // namespace
