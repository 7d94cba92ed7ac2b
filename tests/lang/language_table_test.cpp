#include "lang/language_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "log/simple_log.h"
#include "support/temp_dir.h"
#include "xml/utf.h"

namespace {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The user's locale comes from LANG alone; the system's from a locale file under a private root.
class LanguageTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.Path() + "root/etc/default");
    WriteWholeFile(dir_.Path() + "root/etc/default/locale", "LANG=\"fr_FR.UTF-8\"\n");
    log_.SetRotateOnStart(false);
    log_.Init();
    SetSimpleLog(&log_);
  }
  void TearDown() override { SetSimpleLog(nullptr); }

  std::string LogText() const { return ReadWholeFile(dir_.File("test.log")); }
  bool Logged(const std::string& line) const { return LogText().find(line) != std::string::npos; }
  // Serves this string table instead of the shipped one.
  void UseLangXml(const std::string& file, const std::string& text) {
    std::filesystem::create_directories(dir_.Path() + "res");
    std::filesystem::copy_file(
        std::string(NUV_SOURCE_DIR) + "/tests/fixtures/loopback/endpoints.xml",
        dir_.File("res/endpoints.xml"), std::filesystem::copy_options::overwrite_existing);
    WriteWholeFile(dir_.File("res/" + file), text);
    resources_.emplace("NUV_RESOURCE_DIR", (dir_.Path() + "res").c_str());
  }

  TempDir dir_;
  simpleLog log_{dir_.File("test.log")};
  ScopedEnv root_{"NUV_ROOT_PREFIX", (dir_.Path() + "root").c_str()};
  ScopedEnv lcAll_{"LC_ALL", nullptr};
  ScopedEnv lcMessages_{"LC_MESSAGES", nullptr};
  std::optional<ScopedEnv> resources_;
};

TEST_F(LanguageTableTest, GermanLocaleSelectsDeutsch) {
  ScopedEnv lang("LANG", "de_DE.UTF-8");
  LanguageTable table;
  EXPECT_EQ(table.CurrentLanguageName(), u"Deutsch");
  EXPECT_EQ(table.CodeOfName(table.CurrentLanguageName()), u"DEU");
  EXPECT_TRUE(Logged("[INFO] InitLangCode SystemDefaultLCID: 1036\n"));  // fr-FR, 0x040C
  EXPECT_TRUE(Logged("[INFO] InitLangCode GetUserDefaultLCID: 1031\n"));
  EXPECT_TRUE(Logged("[INFO] InitLangCode set: 7\n"));
}

TEST_F(LanguageTableTest, EnglishLocaleIsNotInTheTable) {
  ScopedEnv lang("LANG", "en_US.UTF-8");
  LanguageTable table;
  EXPECT_EQ(table.CurrentLanguageName(), u"English");
  EXPECT_EQ(table.CodeOfName(table.CurrentLanguageName()), u"ENG");
  EXPECT_TRUE(Logged("[INFO] InitLangCode set: -1\n"));
  EXPECT_FALSE(table.InitLangCode());
}

TEST_F(LanguageTableTest, TablesKeepTheirOrder) {
  const auto& list = LanguageTable::LanguageList();
  ASSERT_EQ(list.size(), 21u);
  EXPECT_EQ(list.front().code, u"ENG");
  EXPECT_EQ(list[7].name, u"P\u0443\u0441\u0441\u043a\u0438\u0439");  // Latin P, then Cyrillic
  EXPECT_EQ(list.back().code, u"THA");

  const auto& rows = LanguageTable::LocaleTable();
  ASSERT_EQ(rows.size(), 75u);
  struct Case {
    uint32_t lcid;
    int row;
    std::u16string name;
  };
  const Case cases[] = {{0x080C, 0, u"Français"}, {0x0407, 7, u"Deutsch"}, {0x040A, 30, u"Español"},
                        {0x001D, 46, u"Svenska"}, {0x041E, 74, u"ไทย"},    {0x0409, -1, u""},
                        {0x0804, 38, u"中文简体"}};
  for (const Case& c : cases) {
    EXPECT_EQ(LanguageTable::FindLocaleRow(c.lcid), c.row) << std::hex << c.lcid;
    if (c.row >= 0) {
      EXPECT_EQ(rows[c.row].name, c.name);
    }
  }
  LanguageTable table;
  EXPECT_EQ(table.CodeOfName(u"中文繁體"), u"CHA");
  EXPECT_EQ(table.CodeOfName(u"Klingon"), u"ENG");
  EXPECT_EQ(table.CodeOfName(u"deutsch"), u"ENG");  // exact match only
}

TEST_F(LanguageTableTest, ShippedTableHasEveryKeyWithItsPlaceholders) {
  LanguageTable table;
  ASSERT_TRUE(table.loadLangXML(u"Veltrin"));
  EXPECT_TRUE(Logged("[INFO] loadLangXML\n"));
  const char16_t* keys[] = {u"errmsg_md5",
                            u"errmsg_disk",
                            u"errmsg_connect",
                            u"errmsg_downfailed",
                            u"errmsg_install",
                            u"errmsg_pathnoexist",
                            u"tipmsg_installed",
                            u"tipmsg_licenseaccept",
                            u"tipmsg_close",
                            u"tipmsg_close2",
                            u"tipmsg_webdown",
                            u"TrayMenuTxt",
                            u"TrayIconTip1",
                            u"TrayIconTip2",
                            u"TrayIconTip3",
                            u"SelectFolderTip",
                            u"Btn_Install",
                            u"Btn_Run",
                            u"Btn_Privacy",
                            u"and",
                            u"Btn_License",
                            u"Btn_Modify",
                            u"Lbl_InstallFolder",
                            u"Lbl_JoinUserExp",
                            u"Btn_Minimal",
                            u"Btn_Close",
                            u"Lbl_ProgressTip",
                            u"Lbl_selectlang",
                            u"Lbl_offlineInstaller",
                            u"Lbl_CheckWarn",
                            u"Lbl_Check",
                            u"Lbl_Install_Mhb",
                            u"tipmsg_adminpath",
                            u"install_wizard",
                            u"install_failed",
                            u"if_install_failed_tip",
                            u"check_network",
                            u"check_disk",
                            u"retry",
                            u"download_pkg",
                            u"report_contact_tip",
                            u"contact_tip",
                            u"remark_tip",
                            u"get_help",
                            u"send_error_report",
                            u"reported_tip",
                            u"information",
                            u"error",
                            u"warning",
                            u"ok",
                            u"cancel",
                            u"install_error",
                            u"not_enough_disk_space",
                            u"change_install_location",
                            u"downloading_tip",
                            u"installing_tip",
                            u"agree_by_download",
                            u"confirm_stop_download?",
                            u"cannot_stop_install",
                            u"cannot_set_installation_path",
                            u"yes",
                            u"no",
                            u"clean_disk",
                            u"change_dir_or_clean_disk",
                            u"unavailable_dir_tip",
                            u"product_is_running_tip",
                            u"wait_for_time_tip",
                            u"continue_to_install",
                            u"give_up",
                            u"not_support_x86",
                            u"please_input_email",
                            u"please_input_correct_email",
                            u"email_long_than_50",
                            u"email_address",
                            u"redeem_tip",
                            u"redeem_tip_not_again",
                            u"redeem_tip_fail",
                            u"new_download_time_tip",
                            u"new_install_time_tip",
                            u"privacy_wnd_title",
                            u"privacy_wnd_tip",
                            u"privacy_wnd_privacy",
                            u"privacy_wnd_and",
                            u"privacy_wnd_eula",
                            u"privacy_wnd_agree_install",
                            u"privacy_wnd_not_agree",
                            u"main_privacy_tip",
                            u"privacy_wnd_tip_tail",
                            u"main_privacy_tip_tail"};
  ASSERT_EQ(std::size(keys), 89u);
  for (const char16_t* key : keys) EXPECT_NE(table.TextOrEmpty(key), u"") << WideToUtf8(key);

  struct Case {
    const char16_t* key;
    const char16_t* text;
  };
  const Case shipped[] = {
      {u"errmsg_disk", u"磁盘没有足够的空间，%s安装失败，请释放出更多空间并重试"},
      {u"errmsg_downfailed", u"对不起，下载%s失败，请确认网络连接正常并重新下载"},
      {u"errmsg_install", u"%s安装失败，请重试"},
      {u"tipmsg_close2", u"%s安装成功，你确定要关闭该窗口？"},
      {u"TrayIconTip1", u"%s等待中"},
      {u"TrayIconTip2", u"%s正在安装，已完成%d%s"},
      {u"TrayIconTip3", u"%s安装完成，欢迎体验产品"},
      {u"Lbl_ProgressTip", u"正在安装，点击“隐藏”以最小化程序（已完成%d%s）"},
      {u"product_is_running_tip", u"%s 正在运行中，安装前请先关闭软件。"},
      {u"wait_for_time_tip", u"(预计等待 %02d分 %02d秒。)"},
      {u"new_download_time_tip", u"正在下载（剩余%02d分%02d秒）"},
      {u"new_install_time_tip", u"安装中（剩余%02d分%02d秒）"},
      {u"Lbl_Install_Mhb", u"{f 1}{c #7a7b7f}同意安装Veltrin Motif Hub{/c}{/f}"},
      {u"agree_by_download", u"{f 1}{c #7a7b7f}下载即表示您同意 {/c}{/f}"},
  };
  for (const Case& c : shipped) EXPECT_EQ(table.Text(c.key), c.text) << WideToUtf8(c.key);
}

TEST_F(LanguageTableTest, BrandReplacesTheMakerWordUnlessItIsTheMaker) {
  UseLangXml("lang.xml",
             "<Lang><item name=\"a\">Veltrin and Veltrin</item><item name=\"b\">veltrin</item>"
             "<item name=\"c\"><![CDATA[<Veltrin>]]></item></Lang>");
  struct Case {
    std::u16string brand;
    std::u16string a, b, c;
  };
  const Case cases[] = {
      {u"Veltrin", u"Veltrin and Veltrin", u"veltrin", u"<Veltrin>"},
      {u"vELTRIN", u"Veltrin and Veltrin", u"veltrin", u"<Veltrin>"},
      {u"", u"Veltrin and Veltrin", u"veltrin", u"<Veltrin>"},
      {u"AcmeVeltrin", u"AcmeVeltrin and AcmeVeltrin", u"veltrin", u"<AcmeVeltrin>"},
  };
  for (const Case& c : cases) {
    LanguageTable table;
    ASSERT_TRUE(table.loadLangXML(c.brand));
    EXPECT_EQ(table.Text(u"a"), c.a) << WideToUtf8(c.brand);
    EXPECT_EQ(table.Text(u"b"), c.b) << WideToUtf8(c.brand);
    EXPECT_EQ(table.Text(u"c"), c.c) << WideToUtf8(c.brand);
  }
}

TEST_F(LanguageTableTest, LookupsOfMissingEmptyAndRepeatedKeys) {
  UseLangXml("lang.xml",
             "<Lang><item name=\"empty\"></item><item name=\"twice\">1</item>"
             "<item name=\"twice\">2</item><other name=\"skip\">x</other></Lang>");
  LanguageTable table;
  ASSERT_TRUE(table.loadLangXML(u"Veltrin"));
  EXPECT_EQ(table.Text(u"missing"), u"missing");
  EXPECT_EQ(table.TextOrEmpty(u"missing"), u"");
  EXPECT_EQ(table.Text(u"empty"), u"empty");
  EXPECT_EQ(table.TextOrEmpty(u"empty"), u"");
  EXPECT_EQ(table.Text(u"twice"), u"2");
  EXPECT_EQ(table.Text(u"skip"), u"skip");
}

TEST_F(LanguageTableTest, UnusableResourcesFailTheLoad) {
  struct Case {
    const char* file;
    const char* text;
  };
  const Case cases[] = {
      {"lang.xml.missing", ""},
      {"lang.xml", ""},
      {"lang.xml", "<Lang><item name=\"a\">x</Lang>"},
      {"lang.xml", "<Strings><item name=\"a\">x</item></Strings>"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(dir_.File("res/lang.xml.missing"));
    UseLangXml(c.file, c.text);
    LanguageTable table;
    EXPECT_FALSE(table.loadLangXML(u"Veltrin")) << c.file << ": " << c.text;
  }
  // A table without items is fine.
  UseLangXml("lang.xml", "<Lang/>");
  LanguageTable table;
  EXPECT_TRUE(table.loadLangXML(u"Veltrin"));
}

}  // namespace
