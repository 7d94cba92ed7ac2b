#include <gtest/gtest.h>

#include <filesystem>

#include "platform/folder_utils.h"
#include "platform/os/registry_store.h"
#include "platform/registry.h"
#include "http/api_base.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "xml/utf.h"

namespace {

// A product document with the given elements inside <Product>.
std::string Product(const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Product>\n"
         "<ProductBrand>NuvBrand</ProductBrand><ProductName>Demo</ProductName>"
         "<ProductID>4321</ProductID>" +
         inner + "</Product>\n";
}

class LocalConfigTest : public SessionEnvTest {
 protected:
  void TearDown() override {
    platform::OverrideIsWow64ForTest(std::nullopt);
    SessionEnvTest::TearDown();
  }
};

TEST_F(LocalConfigTest, ShippedConfigurationFillsTheMembers) {
  NuvMgr mgr;  // after SetUp: its Program Files folder is under the test's root
  platform::OverrideIsWow64ForTest(true);
  ASSERT_TRUE(mgr.LoadLocalXml());

  EXPECT_EQ(mgr.ProductSkin, u"blue");
  EXPECT_EQ(mgr.ProductBrand, u"Veltrin");
  EXPECT_EQ(mgr.ProductName, u"Capturo");
  EXPECT_EQ(mgr.ProductExe, u"Capturo");
  EXPECT_EQ(mgr.FoldBottom, u"1");
  EXPECT_EQ(mgr.IsAllowInstallAdminPath, u"0");
  EXPECT_EQ(mgr.ServerHost, u"https://platform.veltrin.example/");
  EXPECT_EQ(CurrentApiBase(), "https://platform.veltrin.example/");
  EXPECT_EQ(mgr.ProductID, u"10707");
  EXPECT_EQ(mgr.AppID, u"vtcapturo");
  EXPECT_EQ(mgr.Channel, u"official");
  EXPECT_EQ(mgr.DownurlOnlyUseLocalUrl, u"0");
  EXPECT_EQ(mgr.DownurlUrlDown, u"https://download.veltrin.example/capturo/capturo-setup-x86.run");
  EXPECT_EQ(mgr.DownurlX64UrlDown,
            u"https://download.veltrin.example/capturo/capturo-setup-x64.run");
  EXPECT_EQ(mgr.InstallTime, u"60");
  EXPECT_EQ(mgr.InstallurlUrlInstall, u"https://www.veltrin.example/capturo/installed");
  EXPECT_EQ(mgr.Url_License, u"https://www.veltrin.example/legal/capturo-license");
  EXPECT_EQ(mgr.Languages,
            u"English,Deutsch,Français,Italiano,Português,Español,日本語,中文繁體,中文简体,한국어");
  EXPECT_EQ(mgr.Url_Jump, u"https://www.veltrin.example/capturo/welcome");
  EXPECT_EQ(mgr.SceneCode, u"nuv_capturo_official");
  EXPECT_EQ(mgr.ClipboardAccess, u"0");

  ASSERT_EQ(mgr.dependents.size(), 1u);
  const DependentItem& hub = mgr.dependents[0];
  EXPECT_EQ(hub.ProductID, u"10819");
  EXPECT_EQ(hub.ProductName, u"Veltrin Motif Hub");
  EXPECT_EQ(hub.ProductExe, u"VeltrinMotifHub");
  EXPECT_EQ(hub.Url_Downx64, u"https://download.veltrin.example/motifhub/motifhub-setup-x64.run");
  EXPECT_EQ(hub.ForceInstall, u"false");
  EXPECT_EQ(hub.ForkInstall, u"1");
  EXPECT_EQ(hub.md5, u"");
  ASSERT_TRUE(mgr.installTable.Get(10819).has_value());
  EXPECT_FALSE(mgr.installTable.Get(10819)->forceInstall);

  // Default drives: the larger one is not the system drive.
  EXPECT_EQ(mgr.configFolder, Utf8ToWide(DriveRoot("data") + "Veltrin/Download/"));
  EXPECT_EQ(mgr.runConfigPath, mgr.configFolder + u"NUV_DOWNTASK_10707.xml");
  EXPECT_EQ(mgr.installRoot, Utf8ToWide(Prefix() + "/opt/"));
  EXPECT_EQ(platform::ReadDefaultChannel(), u"official");

  for (const char* line :
       {"[INFO] LoadLocalXml", "[INFO] LoadLocalXml, dependent.item pid=[10819]."})
    EXPECT_TRUE(Logged(line)) << line;
  EXPECT_TRUE(Logged("[INFO] config folder=[" + DriveRoot("data") + "Veltrin/Download/]."));
}

TEST_F(LocalConfigTest, On32BitSystemsThe64BitGroupIsNotRead) {
  NuvMgr mgr;
  platform::OverrideIsWow64ForTest(false);
  ASSERT_TRUE(mgr.LoadLocalXml());
  EXPECT_EQ(mgr.DownurlX64UrlDown, u"");
  EXPECT_EQ(mgr.DownurlX64OnlyUseLocalUrl, u"");
  EXPECT_NE(mgr.DownurlUrlDown, u"");
}

TEST_F(LocalConfigTest, ServerHostAndLicenceDefaults) {
  struct Case {
    std::string inner;
    std::u16string host;
    std::u16string license;
  };
  const Case cases[] = {
      {"<ServerHost>http://h.example/api</ServerHost>", u"http://h.example/api/",
       u"http://127.0.0.1:9/license"},
      {"<ServerHost>http://h.example/</ServerHost><Url_License></Url_License>",
       u"http://h.example/", u"http://127.0.0.1:9/license"},
      {"<Url_License>http://l.example/x</Url_License>", u"http://127.0.0.1:9/",
       u"http://l.example/x"},
      {"<ServerHost></ServerHost>", u"http://127.0.0.1:9/", u"http://127.0.0.1:9/license"},
  };
  for (const Case& c : cases) {
    UseProductXml(Product(c.inner));
    NuvMgr mgr;
    ASSERT_TRUE(mgr.LoadLocalXml()) << c.inner;
    EXPECT_EQ(mgr.ServerHost, c.host) << c.inner;
    EXPECT_EQ(CurrentApiBase(), WideToUtf8(c.host)) << c.inner;
    EXPECT_EQ(mgr.Url_License, c.license) << c.inner;
    EXPECT_EQ(mgr.FoldBottom, u"1");
  }
}

TEST_F(LocalConfigTest, DependentItemsNeedAnIdAndAPackage) {
  NuvMgr mgr;
  UseProductXml(Product(
      "<Dependent>"
      "<item><ProductID>1</ProductID></item>"                                       // no URL
      "<item><Url_Down>http://p/a</Url_Down></item>"                                // no id
      "<item><ProductID>2</ProductID><Url_Downx64>http://p/b</Url_Downx64></item>"  // x64 only
      "<item><ProductID>3</ProductID><Url_Down>http://p/c</Url_Down>"
      "<ForceInstall>true</ForceInstall><ProductArg>-a</ProductArg></item>"
      "<item><ProductID>3</ProductID><Url_Down>http://p/d</Url_Down><md5>ab</md5></item>"
      "</Dependent>"));
  ASSERT_TRUE(mgr.LoadLocalXml());

  ASSERT_EQ(mgr.dependents.size(), 3u);
  EXPECT_EQ(mgr.dependents[0].ProductID, u"2");
  EXPECT_EQ(mgr.dependents[1].Url_Down, u"http://p/c");
  EXPECT_EQ(mgr.dependents[1].ProductArg, u"-a");
  EXPECT_EQ(mgr.dependents[2].Url_Down, u"http://p/d");  // the same id twice: both kept
  EXPECT_EQ(mgr.dependents[2].ForceInstall, u"true");    // the default
  EXPECT_EQ(mgr.dependents[2].md5, u"");                 // the local document supplies no digests

  EXPECT_FALSE(mgr.installTable.Get(1).has_value());
  EXPECT_TRUE(mgr.installTable.Get(2)->forceInstall);
  EXPECT_TRUE(mgr.installTable.Get(3)->forceInstall);

  EXPECT_EQ(CountLogged("[INFO] LoadLocalXml, dependent.item pid=["), 5);
  EXPECT_EQ(CountLogged("[INFO] LoadLocalXml, dependent.item pid=[]."), 1);
  EXPECT_EQ(CountLogged("[INFO] LoadLocalXml, dependent.item pid=[1]."), 1);
}

TEST_F(LocalConfigTest, ClipboardIsReadOnlyWithAccessAndAKeyword) {
  int reads = 0;
  nuv::os::SetClipboardReader([&reads] {
    ++reads;
    return std::string("VT:promo-代码");
  });
  struct Case {
    std::string clipboard;
    int reads;
    std::u16string kept;
  };
  const Case cases[] = {
      {"<Access>1</Access><Keyword></Keyword>", 0, u""},
      {"<Access>1</Access>", 0, u""},
      {"<Access>0</Access><Keyword>VT:</Keyword>", 0, u""},
      {"<Access>1</Access><Keyword>VT:</Keyword>", 1, u"VT:promo-代码"},
      {"<Access>1</Access><Keyword>vt:</Keyword>", 1, u""},  // case-sensitive
      {"<Access>1</Access><Keyword>VT:promo-代码!</Keyword>", 1, u""},
  };
  for (const Case& c : cases) {
    reads = 0;
    UseProductXml(Product("<Clipboard>" + c.clipboard + "</Clipboard>"));
    NuvMgr mgr;
    ASSERT_TRUE(mgr.LoadLocalXml());
    EXPECT_EQ(reads, c.reads) << c.clipboard;
    EXPECT_EQ(mgr.clipboardText, c.kept) << c.clipboard;
  }
}

TEST_F(LocalConfigTest, InstallRootFromCustomPathOrInstalledCopy) {
  // An installed copy of product 4321 under the brand's folder.
  nuv::os::RegistryStore store;
  const std::u16string key = u"Software\\NuvBrand\\Demo";
  ASSERT_TRUE(store.CreateKey(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key));
  auto set = [&](const char16_t* name, const nuv::os::RegValue& v) {
    store.SetValue(nuv::os::Hive::LocalMachine, nuv::os::View::Default, key, name, v);
  };
  set(u"PID", nuv::os::RegValue::Dword(4321));
  set(u"InstallInfo", nuv::os::RegValue::Sz(u"1"));
  set(u"InstallPath", nuv::os::RegValue::Sz(u"/srv/apps/NuvBrand/Demo/"));

  const std::u16string programFiles = Utf8ToWide(Prefix() + "/opt/");
  const std::u16string localAppData = platform::GetShellUserLocalAppData();
  const std::u16string existing = Utf8ToWide(Root() + "custom");
  struct Case {
    std::string custom;
    std::u16string root;
  };
  const Case cases[] = {
      {"", u"/srv/apps/"},
      {"%LocalAppData%", localAppData.empty() ? u"/srv/apps/" : localAppData},
      {WideToUtf8(existing), existing},
      {"relative/path", u"/srv/apps/"},
  };
  for (const Case& c : cases) {
    UseProductXml(Product("<CustomInstallPath>" + c.custom + "</CustomInstallPath>"));
    NuvMgr mgr;
    EXPECT_EQ(mgr.installRoot, programFiles);
    ASSERT_TRUE(mgr.LoadLocalXml());
    EXPECT_EQ(mgr.installRoot, c.root) << c.custom;
  }

  // The brand must be a whole path component, else Program Files stays.
  set(u"InstallPath", nuv::os::RegValue::Sz(u"/srv/NuvBrandX/Demo/"));
  UseProductXml(Product(""));
  NuvMgr mgr;
  ASSERT_TRUE(mgr.LoadLocalXml());
  EXPECT_EQ(mgr.installRoot, programFiles);
}

TEST_F(LocalConfigTest, FailuresStopWithTheirLogLine) {
  struct Case {
    std::string file;  // written to the overlay folder
    std::string text;
    std::string line;
  };
  const Case cases[] = {
      {"product.xml.missing", "", "[ERROR] LoadLocalXml, find failed!"},
      {"product.xml", "", "[ERROR] LoadLocalXml, size error!"},
      {"product.xml", "this is not xml <", "[ERROR] LoadLocalXml err 3"},
      {"product.xml", "<Products><ProductName>x</ProductName></Products>",
       "[ERROR] LoadLocalXml, not find product."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Root() + "res/product.xml.missing");
    UseResource(c.file, c.text);
    NuvMgr mgr;
    EXPECT_FALSE(mgr.LoadLocalXml()) << c.line;
    EXPECT_TRUE(Logged(c.line)) << c.line;
    EXPECT_EQ(mgr.configFolder, u"") << c.line;
    EXPECT_EQ(CurrentApiBase(), "") << "nothing is published: " << c.line;
  }
  EXPECT_EQ(CountLogged("[INFO] LoadLocalXml"), 4);
}

}  // namespace
