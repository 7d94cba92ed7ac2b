#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "structure_dump.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

// After editing, the index must equal the one a fresh parse of the new text builds.
void ExpectIndexMatchesReparse(const XmlDocument& doc) {
  XmlDocument fresh(doc.DocumentText());
  EXPECT_EQ(DumpStructure(doc), DumpStructure(fresh));
  EXPECT_EQ(doc.Record(0).length, doc.DocumentText().size());
}

TEST(XmlAddElement, BuildsRunConfigurationDocument) {
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadText(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
  EXPECT_EQ(doc.ResultMessage(), u"No root element");
  EXPECT_TRUE(doc.AddElement(u"NUV"));
  ASSERT_TRUE(doc.Descend());
  EXPECT_TRUE(doc.AddElement(u"Status", u"1"));
  EXPECT_TRUE(doc.AddElement(u"InstallPath", u"/opt/Veltrin & Co/<x>"));
  EXPECT_TRUE(doc.AddElement(u"JoinExp"));
  EXPECT_TRUE(doc.AddElement(u"SelectLang", u"zh-CN"));
  EXPECT_EQ(doc.DocumentText(),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            u"<NUV>\r\n"
            u"<Status>1</Status>\r\n"
            u"<InstallPath>/opt/Veltrin &amp; Co/&lt;x&gt;</InstallPath>\r\n"
            u"<JoinExp/>\r\n"
            u"<SelectLang>zh-CN</SelectLang>\r\n"
            u"</NUV>\r\n");
  EXPECT_EQ(doc.ElementName(), u"SelectLang");
  EXPECT_EQ(doc.ChildPosition(), 0u);
  ExpectIndexMatchesReparse(doc);

  // The edited document reads back through the index it keeps.
  doc.Rewind();
  ASSERT_TRUE(doc.NextElement(u"NUV"));
  std::u16string path;
  ASSERT_TRUE(doc.ChildText(u"InstallPath", path));
  EXPECT_EQ(path, u"/opt/Veltrin & Co/<x>");
  XmlDocument reread(doc.DocumentText());
  EXPECT_TRUE(reread.Parse());
}

TEST(XmlAddElement, EscapesText) {
  XmlDocument doc(u"<r/>");
  ASSERT_TRUE(doc.NextElement());
  ASSERT_TRUE(doc.Descend());
  doc.AddElement(u"Status", u"a<b");
  EXPECT_EQ(doc.DocumentText(), u"<r>\r\n<Status>a&lt;b</Status>\r\n</r>");
  EXPECT_EQ(doc.ElementText(), u"a<b");
}

TEST(XmlAddElement, Placement) {
  struct Case {
    const char16_t* text;
    const char16_t* descendInto;  // parent to descend into; nullptr: document level
    const char16_t* after;        // child to make current first; nullptr: none
    const char16_t* expected;
  } cases[] = {
      // Under a parent with nothing between its tags.
      {u"<r></r>", u"r", nullptr, u"<r>\r\n<n>v</n>\r\n</r>"},
      // As the last child, before the end tag.
      {u"<r>\n  <a/>\n</r>", u"r", nullptr, u"<r>\n  <a/>\n<n>v</n>\r\n</r>"},
      // After the current element, past the whitespace that follows it.
      {u"<r><a/>\n  <b/></r>", u"r", u"a", u"<r><a/>\n  <n>v</n>\r\n<b/></r>"},
      // Text after the current element: directly after it.
      {u"<r><a/>tail<b/></r>", u"r", u"a", u"<r><a/><n>v</n>\r\ntail<b/></r>"},
      // Whitespace up to the end of the text.
      {u"<r/>\n", nullptr, u"r", u"<r/>\n<n>v</n>\r\n"},
      // Document level without a current element: at the end.
      {u"<r/>", nullptr, nullptr, u"<r/><n>v</n>\r\n"},
      // Nested parents stretch; later siblings move.
      {u"<o><r><x/></r><z>t</z></o>", u"r", nullptr, u"<o><r><x/><n>v</n>\r\n</r><z>t</z></o>"},
      {u"<o><r a=\"1\" /><z/></o>", u"r", nullptr, u"<o><r a=\"1\" >\r\n<n>v</n>\r\n</r><z/></o>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.text));
    XmlDocument doc(c.text);
    if (c.descendInto) {
      // Find the parent anywhere at depth 0 or 1.
      ASSERT_TRUE(doc.NextElement());
      if (doc.ElementName() != c.descendInto) {
        ASSERT_TRUE(doc.Descend());
        ASSERT_TRUE(doc.NextElement(c.descendInto));
      }
      ASSERT_TRUE(doc.Descend());
    }
    if (c.after) {
      ASSERT_TRUE(doc.NextElement(c.after));
    }
    EXPECT_TRUE(doc.AddElement(u"n", u"v"));
    EXPECT_EQ(doc.DocumentText(), std::u16string(c.expected));
    EXPECT_EQ(doc.ElementText(), u"v");
    ExpectIndexMatchesReparse(doc);
  }
}

class XmlFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/xml_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::u16string Path(const char* name) const { return Utf8ToWide(dir_ + "/" + name); }
  void WriteBytes(const char* name, const std::string& bytes) const {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string ReadBytes(const char* name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_;
};

TEST_F(XmlFiles, WriteThenReadRoundTrip) {
  const std::u16string text = u"<a>\u4E2D\U0001F600</a>";  // 3 + 1 + 2 + 4 units
  std::u16string message;
  ASSERT_TRUE(XmlDocument::WriteUtf8File(Path("f.xml"), text, message));
  EXPECT_EQ(message, u"10 wide chars to 14 bytes");
  EXPECT_EQ(ReadBytes("f.xml"), "<a>\xE4\xB8\xAD\xF0\x9F\x98\x80</a>");

  std::u16string read;
  ASSERT_TRUE(XmlDocument::ReadUtf8File(Path("f.xml"), read, message));
  EXPECT_EQ(message, u"14 bytes to 10 wide chars");
  EXPECT_EQ(read, text);

  XmlDocument doc;
  ASSERT_TRUE(doc.LoadUtf8File(Path("f.xml")));
  EXPECT_EQ(doc.ResultMessage(), u"14 bytes to 10 wide chars");
  doc.NextElement();
  doc.Descend();
  doc.AddElement(u"b");
  ASSERT_TRUE(doc.SaveUtf8File(Path("g.xml")));
  EXPECT_EQ(ReadBytes("g.xml"), "<a>\xE4\xB8\xAD\xF0\x9F\x98\x80<b/>\r\n</a>");
}

TEST_F(XmlFiles, EmptyFileThenParse) {
  WriteBytes("empty.xml", "");
  XmlDocument doc(u"<keep/>");
  ASSERT_TRUE(
      XmlDocument::ReadUtf8File(Path("empty.xml"), doc.DocumentText(), doc.ResultMessage()));
  EXPECT_FALSE(doc.Parse());
  EXPECT_EQ(doc.ResultMessage(), u"0 bytes to 0 wide chars, Empty document");

  std::u16string message;
  ASSERT_TRUE(XmlDocument::WriteUtf8File(Path("out.xml"), u"", message));
  EXPECT_EQ(message, u"0 wide chars to 0 bytes");
  EXPECT_EQ(ReadBytes("out.xml"), "");
}

TEST_F(XmlFiles, DecodingFaultsInFile) {
  // An invalid lead byte reads as '?'; a last sequence cut off is dropped.
  WriteBytes("bad.xml", "<a>\xFF</a>\xE4\xB8");
  std::u16string text, message;
  ASSERT_TRUE(XmlDocument::ReadUtf8File(Path("bad.xml"), text, message));
  EXPECT_EQ(text, u"<a>?</a>");
  EXPECT_EQ(message, u"10 bytes to 8 wide chars");
}

TEST_F(XmlFiles, FailuresGiveTheErrorText) {
  std::u16string text = u"unchanged", message;
  EXPECT_FALSE(XmlDocument::ReadUtf8File(Path("missing.xml"), text, message));
  EXPECT_EQ(message, u"No such file or directory");
  EXPECT_EQ(text, u"unchanged");

  EXPECT_FALSE(XmlDocument::WriteUtf8File(Path("no/such/dir.xml"), u"<a/>", message));
  EXPECT_EQ(message, u"No such file or directory");

  XmlDocument doc(u"<a/>");
  EXPECT_FALSE(doc.LoadUtf8File(Path("missing.xml")));
  EXPECT_EQ(doc.DocumentText(), u"<a/>");

  // A full device makes the write itself fail, not only the open.
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_FALSE(XmlDocument::WriteUtf8File(u"/dev/full", u"<a/>", message));
    EXPECT_EQ(message, u"No space left on device");
  }
}

// Only a regular file is read: a folder or a FIFO in its place is an error with its text, never
// an exception or a wait for a writer that never comes.
TEST_F(XmlFiles, AFolderOrAFifoIsNotReadAsADocument) {
  std::filesystem::create_directory(dir_ + "/folder.xml");
  ASSERT_EQ(mkfifo((dir_ + "/fifo.xml").c_str(), 0600), 0);
  struct Case {
    const char* name;
    const char16_t* message;
  } cases[] = {{"folder.xml", u"Is a directory"}, {"fifo.xml", u"Invalid argument"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text = u"unchanged", message;
    EXPECT_FALSE(XmlDocument::ReadUtf8File(Path(c.name), text, message));
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(text, u"unchanged");
    XmlDocument doc(u"<a/>");
    EXPECT_FALSE(doc.LoadUtf8File(Path(c.name)));
    EXPECT_EQ(doc.DocumentText(), u"<a/>");
  }
}

}  // namespace
