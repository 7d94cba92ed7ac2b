// Broken skins: the window still opens, draws what it can and logs each problem; nothing crashes.
#include <gtest/gtest.h>

#include "log/simple_log.h"
#include "skin_fixture.h"
#include "support/temp_dir.h"
#include "toolkit/archive/image_cache.h"
#include "toolkit/archive/skin_archive.h"
#include "toolkit/archive/skin_resources.h"
#include "toolkit/host/offscreen/offscreen_host.h"
#include "toolkit/skin/skin_builder.h"
#include "xml/utf.h"

namespace {

using namespace SkinUI;
using skin_fixture::RecordingWindow;

class BadSkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_unique<simpleLog>(dir_.File("toolkit.log"));
    log_->SetRotateOnStart(false);
    log_->Init();
    SetSimpleLog(log_.get());
    auto host = std::make_unique<OffscreenHost>();
    host_ = host.get();
    SetHost(std::move(host));
  }
  void TearDown() override {
    SetSimpleLog(nullptr);
    SkinResources::Get().Clear();
  }
  std::string Log() { return ReadWholeFile(dir_.File("toolkit.log")); }
  bool Logged(const std::string& part) { return Log().find(part) != std::string::npos; }

  // Opens a window of `document` from the folder, photographs it and closes it.
  bool OpenAndDraw(const char16_t* document, Size* size = nullptr) {
    RecordingWindow window(u"bad", document);
    if (!window.Create(nullptr, u"bad")) return false;
    window.Show();
    if (size) *size = window.GetClientSize();
    const bool drawn = host_->Snapshot(dir_.File("shot.png"), u"bad");
    window.Destroy();
    return drawn;
  }

  TempDir dir_;
  std::unique_ptr<simpleLog> log_;
  OffscreenHost* host_ = nullptr;
};

TEST_F(BadSkinTest, ArchivesThatAreMissingEmptyOrNotZipLeaveAnEmptyWindow) {
  EXPECT_FALSE(SkinResources::Get().SetResourceZip(""));
  EXPECT_FALSE(SkinResources::Get().SetResourceZip("PK\x03\x04 not really a zip"));
  EXPECT_FALSE(SkinResources::Get().SetResourceZip(std::string(4096, 'x')));
  EXPECT_TRUE(Logged("is not a zip archive"));
  EXPECT_FALSE(SkinResources::Get().HasSource());
  Size size;
  EXPECT_TRUE(OpenAndDraw(u"skin.xml", &size));  // no source at all
  EXPECT_EQ(size, (Size{500, 400}));             // the created size: no skin set it
  EXPECT_TRUE(Logged("skin skin.xml not found"));
  EXPECT_FALSE(SkinArchive::Open(""));
}

TEST_F(BadSkinTest, ArchiveWithoutTheDocumentOrItsImages) {
  // A real zip holding only the mask document: the main skin is missing, the mask's pictures too.
  WriteWholeFile(dir_.File("mask.xml"),
                 ReadWholeFile(std::string(NUV_SOURCE_DIR) + "/resources/skin/mask.xml"));
  ASSERT_EQ(
      std::system(
          ("cd " + dir_.Path() + " && cmake -E tar cf skin.zip --format=zip mask.xml").c_str()),
      0);
  ASSERT_TRUE(SkinResources::Get().SetResourceZip(ReadWholeFile(dir_.File("skin.zip"))));
  EXPECT_FALSE(SkinResources::Get().LoadSkin("skin.xml"));
  EXPECT_TRUE(OpenAndDraw(u"skin.xml"));
  Size size;
  EXPECT_TRUE(OpenAndDraw(u"mask.xml", &size));
  EXPECT_EQ(size, (Size{600, 330}));
  EXPECT_TRUE(Logged("skin image info_bg_warning.png is missing"));
  EXPECT_TRUE(Logged("skin image minimal_normal.png is missing"));
}

TEST_F(BadSkinTest, BrokenDocumentsAndValuesAreLoggedAndSkipped) {
  struct Case {
    const char* xml;
    const char* logged;
  };
  const Case cases[] = {
      {"this is not xml <<<", "not a well-formed document"},
      {"<Skin size=\"10,10\"/>", "the root element is not <Window>"},
      {R"(<Window size="100,50"><VerticalLayout><Slider name="s"/><Label name="ok"/></VerticalLayout></Window>)",
       "unknown control kind [Slider]"},
      {R"(<Window size="100,50"><Font id="1" size="12"/><Label name="l" font="7"/></Window>)",
       "font 7 does not exist"},
      {R"(<Window size="100,50"><Label name="l" textcolor="#12345" bkcolor="blue"/></Window>)",
       "malformed textcolor=\"#12345\""},
      {R"(<Window size="100,50"><Label name="l" float="true" pos="1,2,3"/></Window>)",
       "malformed pos=\"1,2,3\""},
      {R"(<Window size="100,50"><Label name="l" bkimage="file='a.png"/></Window>)",
       "notation not understood [file='a.png]"},
      {R"(<Window size="100,50"><Label name="l" wobble="3"/></Window>)",
       "unknown attribute wobble=\"3\""},
      {R"(<Window size="ten" caption="0,0"><Label name="l"/></Window>)", "bad window attribute"},
      {R"(<Window size="100,50"><Font size="12"/><Label/></Window>)", "font without a number"},
  };
  WriteWholeFile(dir_.File("notpng.png"), "GIF89a this is not a PNG");
  SkinResources::Get().SetFolder(dir_.Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    WriteWholeFile(dir_.File("case.xml"), c.xml);
    EXPECT_TRUE(OpenAndDraw(u"case.xml"));
    EXPECT_TRUE(Logged(c.logged)) << Log();
  }
  // What survives a bad sibling is still built.
  std::optional<BuiltSkin> partial = BuildSkin(
      uR"(<Window><VerticalLayout><Slider/><Label name="ok"/></VerticalLayout></Window>)", "x");
  ASSERT_TRUE(partial && partial->root);
  EXPECT_EQ(partial->problems, 1);
  // A picture that is not a PNG draws nothing, logged once however often it is painted.
  WriteWholeFile(dir_.File("case.xml"),
                 R"(<Window size="60,40"><Label name="l" bkimage="notpng.png"/></Window>)");
  RecordingWindow window(u"bad", u"case.xml");
  ASSERT_NE(window.Create(nullptr, u"bad"), 0u);
  window.Show();
  EXPECT_TRUE(host_->Snapshot(dir_.File("a.png"), u"bad"));
  EXPECT_TRUE(host_->Snapshot(dir_.File("b.png"), u"bad"));
  window.Destroy();
  const std::string log = Log();
  const std::string line = "skin image notpng.png is not a PNG";
  const size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(log.find(line, first + 1), std::string::npos);
  EXPECT_EQ(DecodePng("GIF89a"), nullptr);
  EXPECT_EQ(DecodePng(std::string("\x89PNG\r\n\x1a\n broken", 15)), nullptr);
}

}  // namespace
