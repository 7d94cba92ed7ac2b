#include <gtest/gtest.h>

#include <string>

#include "structure_dump.h"
#include "xml/xml_document.h"

namespace {

struct ParseCase {
  const char16_t* text;
  bool wellFormed;
  const char16_t* message;
};

class ParseMessages : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseMessages, ResultAndMessage) {
  const ParseCase& c = GetParam();
  XmlDocument doc;
  EXPECT_EQ(doc.LoadText(c.text), c.wellFormed) << WideToUtf8(c.text);
  EXPECT_EQ(doc.ResultMessage(), std::u16string(c.message)) << WideToUtf8(c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseMessages,
    ::testing::Values(
        ParseCase{u"", false, u"Empty document"},
        ParseCase{u"<?xml version=\"1.0\"?>\n<!-- only a comment -->\n", false, u"No root element"},
        ParseCase{u"<a/><b/>", false, u"Root element has sibling"},
        ParseCase{u"<a><b></a>", false,
                  u"End tag 'a' at offset 7 does not match start tag 'b' at offset 3"},
        ParseCase{u"<a></b></a>", false, u"No start tag for end tag 'b' at offset 3"},
        ParseCase{u"<a><b>", false, u"Element 'b' at offset 3 not ended"},
        ParseCase{u"<a>x < y</a>", false, u"Incorrect tag name character at offset 5"},
        ParseCase{u"<a><!x></a>", false, u"Incorrect ! tag at offset 3"},
        ParseCase{u"<a><!-x--></a>", false, u"Incorrect comment tag at offset 3"},
        ParseCase{u"<a><![X[x]]></a>", false, u"Incorrect tag at offset 3"},
        ParseCase{u"<a><!-- x", false, u"Comment at offset 3 unterminated"},
        ParseCase{u"<a><![CDATA[ x ]]", false, u"CDATA Section at offset 3 unterminated"},
        ParseCase{u"<a><?pi x?", false, u"Processing instruction at offset 3 unterminated"},
        ParseCase{u"<r><a x='1>", false, u"Element tag at offset 3 unterminated"},
        // An unterminated node is no element: the later verdict wins.
        ParseCase{u"<a x='1>", false, u"No root element"},
        ParseCase{u"<a></a", false, u"Element end tag at offset 3 unterminated"},
        ParseCase{u"<a/><!DOCTYPE a [<!ENTITY e 'x'>", false, u"Doctype at offset 4 unterminated"},
        ParseCase{u"<a><", false, u"tag at offset 3 unterminated"},
        // The error node reaches the end of the text: its own message is replaced.
        ParseCase{u"<a>1 <2", false, u"tag at offset 5 unterminated"},
        // Only the first problem is kept.
        ParseCase{u"<a></b><!x></a>", false, u"No start tag for end tag 'b' at offset 3"},
        ParseCase{u"<!DOCTYPE a [<!DOCTYPE b>]><a/>", false, u"Incorrect ! tag at offset 13"},
        // Quoted '>' inside declarations, comments and processing instructions of a doctype.
        ParseCase{u"<!DOCTYPE a [<!ENTITY e \"x>y\"><!-- > --><?p > ?><!ATTLIST a b CDATA 'q>'>]>"
                  u"<a/>",
                  true, u""},
        // A terminator counts only at its '>' and after the opening characters.
        ParseCase{u"<a><!-->--><![CDATA[]>]]><?p?></a>", true, u""},
        // A byte-order mark is top-level text, which the structure ignores.
        ParseCase{u"\uFEFF<?xml version=\"1.0\"?><a>t</a>", true, u""},
        ParseCase{u"<a x = \"1\" y='2'>t</a>\r\n", true, u""}));

TEST(XmlParse, NulEndsTheText) {
  std::u16string text = u"<a/>";
  text.push_back(u'\0');
  text += u"<b/>";
  XmlDocument doc;
  EXPECT_TRUE(doc.LoadText(text));
  EXPECT_EQ(DumpStructure(doc), "a@0+4(4/0)");
  EXPECT_EQ(doc.Record(0).length, text.size());
}

TEST(XmlParse, ParseKeepsEarlierMessageAsPrefix) {
  XmlDocument doc(u"<a/>");
  doc.ResultMessage() = u"3 bytes to 3 wide chars";
  doc.DocumentText() = u"<a>";
  EXPECT_FALSE(doc.Parse());
  EXPECT_EQ(doc.ResultMessage(), u"3 bytes to 3 wide chars, Element 'a' at offset 0 not ended");
  doc.ResultMessage() = u"prefix";
  doc.DocumentText() = u"<a/>";
  EXPECT_TRUE(doc.Parse());
  EXPECT_EQ(doc.ResultMessage(), u"prefix");
}

TEST(XmlParse, SiblingRootsStayReachable) {
  XmlDocument doc(u"<a/><b/>");
  EXPECT_TRUE(doc.NextElement(u"a"));
  EXPECT_TRUE(doc.NextElement(u"b"));
  EXPECT_FALSE(doc.NextElement());
  EXPECT_EQ(doc.ElementName(), u"b");
}

TEST(XmlParse, EmptyElementNeedsSpaceQuoteOrNameBeforeSlash) {
  // "x=1/" is an unquoted value ending in '/', so a stays open and swallows b.
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadText(u"<r><a x=1/><b/></r>"));
  EXPECT_EQ(doc.ResultMessage(),
            u"End tag 'r' at offset 16 does not match start tag 'a' at offset 3");
  EXPECT_TRUE(doc.LoadText(u"<r><a x=\"1\"/><b /><c/></r>"));
  EXPECT_EQ(DumpStructure(doc), "r@0+26(3/4)[a@3+10(10/0) b@13+5(5/0) c@18+4(4/0)]");
}

TEST(XmlParse, QuotesOnlyAfterEqualsProtectAngleBrackets) {
  XmlDocument doc;
  EXPECT_TRUE(doc.LoadText(u"<a x='1>2' y=3>t</a>"));
  EXPECT_EQ(DumpStructure(doc), "a@0+20(15/4)");
  // A quote that does not follow '=' is an ordinary character.
  EXPECT_TRUE(doc.LoadText(u"<a b\"c>t</a>"));
  EXPECT_EQ(DumpStructure(doc), "a@0+12(7/4)");
}

TEST(XmlParse, MismatchedEndTagRepairsStructure) {
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadText(u"<a><b></a>"));
  // b stays a child of a, closed as not ended.
  EXPECT_EQ(DumpStructure(doc), "a@0+10(3/4)[b@3+3(3/0)!]");
  ASSERT_TRUE(doc.NextElement(u"a"));
  ASSERT_TRUE(doc.NextChild(u"b"));
  ASSERT_TRUE(doc.Descend());
  EXPECT_EQ(doc.ElementText(), u"");

  // The children of an element closed as not ended follow it, one level up, in order.
  EXPECT_FALSE(doc.LoadText(u"<r><a><b/><c><d/></c></r>"));
  EXPECT_EQ(doc.ResultMessage(),
            u"End tag 'r' at offset 22 does not match start tag 'a' at offset 3");
  EXPECT_EQ(DumpStructure(doc), "r@0+25(3/4)[a@3+3(3/0)! b@6+4(4/0) c@10+11(3/4)[d@13+4(4/0)]]");
  const uint32_t d =
      doc.Record(doc.Record(doc.Record(doc.Record(1).firstChild).next).next).firstChild;
  EXPECT_EQ(doc.Record(d).levelFlags & ElementRecord::kLevelMask, 2u);

  // Two levels closed at once.
  EXPECT_FALSE(doc.LoadText(u"<r><a><b><x/></r>"));
  EXPECT_EQ(DumpStructure(doc), "r@0+17(3/4)[a@3+3(3/0)! b@6+3(3/0)! x@9+4(4/0)]");
}

TEST(XmlParse, CutOffDocumentKeepsNesting) {
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadText(u"<r><a><b/>"));
  EXPECT_EQ(doc.ResultMessage(), u"Element 'a' at offset 3 not ended");
  EXPECT_EQ(DumpStructure(doc), "r@0+3(3/0)![a@3+3(3/0)![b@6+4(4/0)]]");
  EXPECT_TRUE(doc.Record(0).levelFlags & ElementRecord::kFlagIllFormed);
}

TEST(XmlParse, StrayEndTagIsIgnored) {
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadText(u"<a></b><c/></a>"));
  EXPECT_EQ(DumpStructure(doc), "a@0+15(3/4)[c@7+4(4/0)]");
}

TEST(XmlParse, ManyRecordsAcrossSegments) {
  // More elements than one segment holds, nested deeper than the open-tag stack's first size.
  std::u16string text = u"<r>";
  const int kItems = 70000;
  for (int i = 0; i < kItems; ++i) text += u"<i><j><k><l><m><n><o>x</o></n></m></l></k></j></i>";
  text += u"</r>";
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadText(std::move(text)));
  EXPECT_EQ(doc.RecordCount(), 1u + 1 + kItems * 7u);
  ASSERT_TRUE(doc.NextElement(u"r"));
  ASSERT_TRUE(doc.Descend());
  int count = 0;
  uint32_t last = 0;
  while (doc.NextElement(u"i")) {
    ++count;
    last = doc.CurrentPosition();
  }
  EXPECT_EQ(count, kItems);
  EXPECT_EQ(doc.Record(last).start, 3u + (kItems - 1) * 50u);
  EXPECT_EQ(doc.Record(doc.Record(2).prev).start, doc.Record(last).start);
}

TEST(XmlParse, LongTagsKeepTheirLengths) {
  // Start tags past the packed field and end tags of 1,024 units or more.
  std::u16string longValue(5000000, u'v');
  std::u16string longName(1500, u'n');
  std::u16string text = u"<r a=\"" + longValue + u"\"><" + longName + u">t</" + longName + u"></r>";
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadText(text));
  ASSERT_TRUE(doc.NextElement(u"r"));
  EXPECT_EQ(doc.AttributeValue(u"a").size(), longValue.size());
  ASSERT_TRUE(doc.NextChild(longName));
  ASSERT_TRUE(doc.Descend());
  EXPECT_EQ(doc.ElementText(), u"t");
  EXPECT_EQ(doc.EndTagLength(doc.CurrentPosition()), longName.size() + 3);
}

}  // namespace

namespace {

// Walks every element depth first, reading it the ways callers do.
void ReadAll(XmlDocument& doc, int& elements) {
  while (doc.NextElement()) {
    ++elements;
    doc.ElementText();
    doc.AttributeValue(u"a");
    doc.ElementName();
    if (doc.Descend()) {
      ReadAll(doc, elements);
      doc.Ascend();
    }
  }
}

TEST(XmlParse, ArbitraryInputKeepsIndexInsideText) {
  // Markup fragments glued at random: every index must stay inside the text, links consistent,
  // and reads and inserts must not step outside it (run under the sanitizers).
  static const char16_t* kPieces[] = {
      u"<a",        u"<b ", u">",   u"/>", u"</a>",      u"</b>",     u"<!--",  u"-->",
      u"<![CDATA[", u"]]>", u"<?p", u"?>", u"<!DOCTYPE", u"<!ENTITY", u"[",     u"]",
      u"=",         u"\"",  u"'",   u" ",  u"\r\n",      u"&lt;",     u"&#65;", u"&#x",
      u";",         u"&",   u"x",   u"<",  u"<!",        u"<!-",      u"<![",   u"\uFEFF"};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
  };
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    for (int n = next() % 24; n > 0; --n) text += kPieces[next() % std::size(kPieces)];
    XmlDocument doc;
    doc.LoadText(text);
    const std::string dump = DumpStructure(doc);
    ASSERT_EQ(dump.find("!p"), std::string::npos) << WideToUtf8(text) << " -> " << dump;
    ASSERT_EQ(dump.find("!last"), std::string::npos) << WideToUtf8(text) << " -> " << dump;
    for (uint32_t i = 1; i < doc.RecordCount(); ++i) {
      const ElementRecord& r = doc.Record(i);
      ASSERT_LE(r.start + r.length, text.size()) << WideToUtf8(text);
      ASSERT_LE(doc.StartTagLength(i) + doc.EndTagLength(i), r.length) << WideToUtf8(text);
    }
    int elements = 0;
    ReadAll(doc, elements);
    ASSERT_EQ(elements + 1u, doc.RecordCount()) << WideToUtf8(text);
    doc.Rewind();
    if (doc.NextElement() && doc.Descend()) doc.AddElement(u"n", u"v");
    ASSERT_EQ(doc.ElementText(), doc.CurrentPosition() ? u"v" : u"") << WideToUtf8(text);
  }
}

}  // namespace
