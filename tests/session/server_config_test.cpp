#include "session/server_config.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "analytics/common_properties.h"
#include "platform/registry.h"
#include "session/nuv_mgr.h"
#include "session/session_env.h"
#include "testbed/platform_side.h"
#include "testbed/testbed.h"
#include "xml/utf.h"

namespace {

constexpr const char* kProduct = "4321";

std::string Runtime(const std::string& runtimeInner, const std::string& bindInner = {}) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<vtrp><downloader><runtime>" + runtimeInner +
         "</runtime><bind>" + bindInner + "</bind></downloader></vtrp>";
}

std::string Item(const std::string& pid, const std::string& url, const std::string& extra = {}) {
  return "<item><ProductID>" + pid + "</ProductID><Url_Down>" + url + "</Url_Down>" + extra +
         "</item>";
}

DependentItem Local(const std::u16string& pid, const std::u16string& name) {
  DependentItem item;
  item.ProductID = pid;
  item.ProductName = name;
  item.Url_Down = u"http://127.0.0.1:9/local-" + pid;
  return item;
}

class ServerConfigTest : public SessionEnvTest {
 protected:
  void SetUp() override {
    SessionEnvTest::SetUp();
    server_.AddSide(platform_);
    ASSERT_TRUE(server_.Start());
    platform::OverrideIsWow64ForTest(true);
    mgr_.ProductBrand = u"NuvBrand";
    mgr_.ProductID = Utf8ToWide(kProduct);
    mgr_.ProductName = u"Demo";
    mgr_.SceneCode = u"scene_1";
    mgr_.ServerHost = Utf8ToWide(server_.BaseUrl() + "/");
  }
  void TearDown() override {
    platform::OverrideIsWow64ForTest(std::nullopt);
    SessionEnvTest::TearDown();
  }

  testbed::Server server_;
  std::shared_ptr<testbed::PlatformSide> platform_ = std::make_shared<testbed::PlatformSide>();
  NuvMgr mgr_;
};

TEST_F(ServerConfigTest, RuntimeQueryCarriesTheProductContext) {
  platform_->SetRuntimeXml(kProduct, Runtime("<version>9.1</version>"));
  ASSERT_TRUE(mgr_.LoadServerXml());

  const std::string sign = WideToUtf8(platform::GetOrCreateClientSign(u"NuvBrand"));
  const std::string query = "client_sign=" + sign + "&product_id=4321&nuv=" +
                            WideToUtf8(DownloaderVersion(false)) +
                            "&scene_code=scene_1&platform=win_x64";
  ASSERT_EQ(platform_->RuntimeQueries().size(), 1u);
  EXPECT_EQ(platform_->RuntimeQueries()[0], query);
  EXPECT_TRUE(Logged("[INFO] LoadServerXml, url=[" + server_.BaseUrl() +
                     "/rest/v2/downloader/runtime/?" + query + "]."));
  EXPECT_EQ(mgr_.server.version, u"9.1");
  EXPECT_EQ(analytics::GetCommonProperties().Get("xmlprodcutver"), "9.1");
}

TEST_F(ServerConfigTest, StaticFileBesideThePackageWhenAppAndChannelAreSet) {
  mgr_.AppID = u"a1";
  mgr_.Channel = u"c2";
  mgr_.DownurlUrlDown = Utf8ToWide(server_.BaseUrl() + "/pkg/setup-x86.run");
  platform_->SetStaticFile("/pkg/xml/a1_c2.xml", Runtime("<name>From file</name>"));
  ASSERT_TRUE(mgr_.LoadServerXml());
  EXPECT_EQ(mgr_.server.name, u"From file");
  EXPECT_TRUE(platform_->RuntimeQueries().empty());
  EXPECT_TRUE(Logged("url=[" + server_.BaseUrl() + "/pkg/xml/a1_c2.xml]."));
}

TEST_F(ServerConfigTest, ServerValuesOverrideLocalOnesAndEmptyOnesDoNot) {
  mgr_.Url_License = u"local-license";
  mgr_.Languages = u"English";
  mgr_.UserAgreementUrl = u"local-ua";
  mgr_.PrivacyAgreementUrl = u"local-privacy";
  mgr_.InstallErrorUrl = u"local-error";
  mgr_.Url_Jump = u"local-jump";
  mgr_.CustomInstallPath = u"local-path";
  mgr_.IsAllowInstallAdminPath = u"1";
  mgr_.NotSupportWin32 = u"1";
  mgr_.Dotnetminver = u"4.0";
  mgr_.Dotneturl = u"local-netfx";
  platform_->SetRuntimeXml(
      kProduct, Runtime("<name>Server Name</name><oiap_url>srv-license</oiap_url>"
                        "<languages></languages><Url_Jump>srv-jump</Url_Jump>"
                        "<not_support_win32>0</not_support_win32>"
                        "<netfx_minver>4.8</netfx_minver>"  // without its URL: the pair is local
                        "<md5>A</md5><history_md5_32>B</history_md5_32><md5_64>D</md5_64>"
                        "<banner_url>http://b/x?k=1</banner_url>"));
  ASSERT_TRUE(mgr_.LoadServerXml());
  EXPECT_TRUE(Logged("[INFO] LoadServerXml downloader.runtime."));

  EXPECT_EQ(mgr_.EffectiveProductName(), u"Server Name");
  EXPECT_EQ(mgr_.EffectiveLicenseUrl(), u"srv-license");
  EXPECT_EQ(mgr_.EffectiveLanguages(), u"English");
  EXPECT_EQ(mgr_.EffectiveUserAgreementUrl(), u"local-ua");
  EXPECT_EQ(mgr_.EffectivePrivacyUrl(), u"local-privacy");
  EXPECT_EQ(mgr_.EffectiveInstallErrorUrl(), u"local-error");
  EXPECT_EQ(mgr_.EffectiveJumpUrls(), u"srv-jump");
  EXPECT_EQ(mgr_.EffectiveCustomInstallPath(), u"local-path");
  EXPECT_EQ(mgr_.EffectiveAllowAdminPath(), u"1");
  EXPECT_EQ(mgr_.EffectiveNotSupportWin32(), u"0");
  EXPECT_EQ(mgr_.EffectiveDotnet(), std::make_pair(std::u16string(u"4.0"),
                                                   std::u16string(u"local-netfx")));
  EXPECT_EQ(WideToUtf8(mgr_.EffectiveBannerUrl()).rfind("http://b/x?k=1&_t=", 0), 0u);
  EXPECT_EQ(analytics::GetCommonProperties().Get("serverxmlmd5"), "A,B,D");
}

TEST_F(ServerConfigTest, DotnetPairAndThankYouPageRules) {
  mgr_.server.netfx_minver = u"4.8";
  mgr_.server.netfxlite_url = u"srv-netfx";
  EXPECT_EQ(mgr_.EffectiveDotnet().second, u"srv-netfx");
  mgr_.server = {};
  EXPECT_EQ(mgr_.EffectiveDotnet(), (std::pair<std::u16string, std::u16string>{}));

  mgr_.InstallurlUrlInstall = u"local-thanks";
  mgr_.server.install_url = u"srv-thanks";
  for (const auto& [onlyLocal, expected] :
       {std::pair{u"0", u"srv-thanks"}, {u"1", u"local-thanks"}, {u"", u"local-thanks"},
        {u" 0", u"local-thanks"}}) {
    mgr_.InstallurlOnlyUseLocalUrl = onlyLocal;
    EXPECT_EQ(mgr_.EffectiveThankYouUrl(), expected) << WideToUtf8(onlyLocal);
  }
}

TEST_F(ServerConfigTest, MainPackageFollowsOnlyUseLocalUrl) {
  mgr_.DownurlUrlDown = u"local86";
  mgr_.DownurlX64UrlDown = u"local64";
  mgr_.server.download_url = u"srv86";
  mgr_.server.md5 = u"m";
  mgr_.server.history_md5_32 = u"h";
  mgr_.server.download_url_x64 = u"srv64";
  mgr_.server.md5_64 = u"m64";

  MainPackageSource p = mgr_.EffectiveMainPackage(false);
  EXPECT_EQ(p.url, u"srv86");
  EXPECT_EQ(p.md5, u"m");
  EXPECT_EQ(p.history, u"h");
  EXPECT_FALSE(p.local);

  mgr_.DownurlX64OnlyUseLocalUrl = u"1";
  p = mgr_.EffectiveMainPackage(true);
  EXPECT_EQ(p.url, u"local64");
  EXPECT_TRUE(p.md5.empty() && p.history.empty() && p.local);

  mgr_.server.download_url.clear();
  p = mgr_.EffectiveMainPackage(false);
  EXPECT_EQ(p.url, u"local86");
  EXPECT_TRUE(p.md5.empty() && p.local);
}

TEST_F(ServerConfigTest, BindItemsMergeByProductId) {
  mgr_.dependents = {Local(u"100", u"first"), Local(u"200", u"second")};
  platform_->SetRuntimeXml(
      kProduct,
      Runtime("", Item("100", "srv-100-a", "<md5>X</md5><history_md5_64>Y</history_md5_64>"
                                           "<ForceInstall>false</ForceInstall>") +
                      Item("300", "srv-300") +
                      "<item><ProductID>400</ProductID></item>"  // no URL
                      "<item><Url_Down>srv-none</Url_Down></item>" +  // no id
                      Item("100", "srv-100-b")));  // a duplicate replaces the earlier server item
  ASSERT_TRUE(mgr_.LoadServerXml());

  ASSERT_EQ(mgr_.dependents.size(), 3u);
  EXPECT_EQ(mgr_.dependents[0].ProductName, u"second");
  EXPECT_EQ(mgr_.dependents[1].Url_Down, u"srv-300");
  EXPECT_EQ(mgr_.dependents[2].Url_Down, u"srv-100-b");
  EXPECT_EQ(CountLogged("[INFO] LoadServerXml bind.item pid="), 5);
  EXPECT_TRUE(Logged("[INFO] LoadServerXml bind.item pid=[400]."));

  ASSERT_TRUE(mgr_.installTable.Get(300).has_value());
  EXPECT_TRUE(mgr_.installTable.Get(300)->forceInstall);
  EXPECT_FALSE(mgr_.installTable.Get(400).has_value());
  // The last accepted item for an id wins in the install table as in the list.
  ASSERT_TRUE(mgr_.installTable.Get(100).has_value());
  EXPECT_TRUE(mgr_.installTable.Get(100)->forceInstall);
  EXPECT_EQ(mgr_.installTable.Get(100)->md5List, u"");
}

TEST_F(ServerConfigTest, BindDigestsAreRecordedForTheTask) {
  platform_->SetRuntimeXml(
      kProduct, Runtime("", Item("500", "u", "<md5>A</md5><md5_64>D</md5_64>"
                                             "<history_md5_64>C</history_md5_64>"
                                             "<ForceInstall>false</ForceInstall>")));
  ASSERT_TRUE(mgr_.LoadServerXml());
  ASSERT_TRUE(mgr_.installTable.Get(500).has_value());
  EXPECT_FALSE(mgr_.installTable.Get(500)->forceInstall);
  EXPECT_EQ(mgr_.installTable.Get(500)->md5List, u"A,C,D");
}

// Every unusable reply: true, the local configuration stays in force, a log line tells why.
TEST_F(ServerConfigTest, BadRepliesLeaveTheRecordEmpty) {
  const std::string local = "<item><ProductID>100</ProductID><Url_Down>u</Url_Down></item>";
  struct Case {
    const char* what;
    std::string body;
    const char* logLine;
    bool bannerStamped;  // "downloader" present: the banner still gets its parameter
  } cases[] = {
      {"empty", "", "[WARN] LoadServerXml, unusable reply", false},
      {"truncated", Runtime("<name>X</name>").substr(0, 60), "[WARN] LoadServerXml, unusable reply",
       false},
      {"not xml", "{\"code\":500}", "[WARN] LoadServerXml, unusable reply", false},
      {"no downloader", "<vtrp><other><runtime><name>X</name></runtime></other></vtrp>",
       "[WARN] LoadServerXml, no downloader element.", false},
      {"absurd size", std::string(kMaxServerReplyBytes + 1, ' '),
       "[WARN] LoadServerXml, reply too large", false},
      {"no runtime", "<vtrp><downloader><bind>" + local + "</bind></downloader></vtrp>", nullptr,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NuvMgr mgr;
    mgr.ProductID = mgr_.ProductID;
    mgr.ServerHost = mgr_.ServerHost;
    mgr.ProductName = u"Demo";
    platform_->SetRuntimeXml(kProduct, c.body);
    EXPECT_TRUE(mgr.LoadServerXml());
    EXPECT_EQ(mgr.EffectiveProductName(), u"Demo");
    EXPECT_TRUE(mgr.server.name.empty());
    if (c.logLine) {
      EXPECT_TRUE(Logged(c.logLine));
    }
    EXPECT_EQ(mgr.server.banner_url.rfind(u"?_t=", 0) == 0, c.bannerStamped);
    EXPECT_EQ(mgr.dependents.size(), c.bannerStamped ? 1u : 0u);
  }
}

TEST_F(ServerConfigTest, NoReplyAtAll) {
  mgr_.ServerHost = u"http://127.0.0.1:9/";
  mgr_.Languages = u"English";
  EXPECT_TRUE(mgr_.LoadServerXml());
  EXPECT_TRUE(Logged("[WARN] LoadServerXml, request failed, code=["));
  EXPECT_EQ(mgr_.EffectiveLanguages(), u"English");
  EXPECT_TRUE(mgr_.visitorId.empty());
}

TEST_F(ServerConfigTest, VisitorIdFromTheProductWebService) {
  platform_->SetVisitorReply(kProduct, "{\"code\":0,\"msg\":\"ok\",\"data\":\"vis-42\"}");
  EXPECT_EQ(FetchVisitorId(server_.BaseUrl(), mgr_.ProductID), u"vis-42");
  EXPECT_TRUE(Logged("[INFO] get tid: " + server_.BaseUrl() +
                     "/api/v1/prodweb/trk?pid=4321&os=Windows"));
  EXPECT_TRUE(Logged("[INFO] response tid: {\"code\":0,"));
  EXPECT_EQ(FetchVisitorId(server_.BaseUrl(), u"999"), u"");  // {"code":1}

  for (const auto& [reply, expected] :
       {std::pair{"{\"code\":0,\"data\":\"\"}", u""},
        {"{\"data\":\"x\",\"code\":0}", u""},  // data before the code
        {"{\"code\":0,\"data\":\"cut", u""},
        {"{\"code\":0,\"data\":\"abc\"}", u"abc"}})
    EXPECT_EQ(VisitorIdFromReply(reply), expected) << reply;
}

TEST(ServerConfigValues, InstallTimeWindow) {
  for (const auto& [text, seconds] :
       {std::pair{u"90", 240}, {u"120", 120}, {u"600", 600}, {u"601", 240}, {u"", 240},
        {u"abc", 240}, {u"300s", 300}, {u"99999999999999999999", 240}, {u"-300", 240}})
    EXPECT_EQ(EffectiveInstallTime(text), seconds) << WideToUtf8(text);
}

TEST(ServerConfigValues, RuntimeUrlForms) {
  EXPECT_EQ(ServerConfigUrl(u"a1", u"c2", u"https://d.example/cap/setup.run", u"h/", u"s", u"1",
                            u"3.0.5", u"sc", false),
            u"https://d.example/cap/xml/a1_c2.xml");
  EXPECT_EQ(ServerConfigUrl(u"a1", u"", u"x/y", u"https://p.example/", u"S", u"10707", u"3.1.2",
                            u"sc", false),
            u"https://p.example/rest/v2/downloader/runtime/?client_sign=S&product_id=10707"
            u"&nuv=3.1.2&scene_code=sc&platform=win_x86");
}

}  // namespace
