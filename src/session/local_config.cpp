#include <optional>

#include "analytics/common_properties.h"
#include "platform/endpoints.h"
#include "platform/os/clipboard.h"
#include "platform/os/resources.h"
#include "platform/registry.h"
#include "http/api_base.h"
#include "service/install_info.h"
#include "session/config_folder.h"
#include "session/config_number.h"
#include "session/install_root.h"
#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

constexpr int kProductResourceId = 106;

// The text of the first child of that name; fallback when there is none.
std::u16string Child(XmlDocument& doc, const char16_t* name, const std::u16string& fallback = {}) {
  std::u16string text;
  if (!doc.ChildText(name, text)) return fallback;
  return text;
}

// Reads the two members of a group such as <Downurl><OnlyUseLocalUrl/><Url_Down/></Downurl>.
void ReadGroup(XmlDocument& doc, const char16_t* group, const char16_t* firstName,
               std::u16string& first, const char16_t* secondName, std::u16string& second) {
  first.clear();
  second.clear();
  doc.RewindChild();
  if (!doc.NextChild(group)) return;
  doc.Descend();
  doc.ChildText(firstName, first);
  doc.ChildText(secondName, second);
  doc.Ascend();
}

std::u16string WithTrailingSlash(std::u16string url) {
  if (url.empty() || url.back() != u'/') url += u'/';
  return url;
}

}  // namespace

bool NuvMgr::LoadLocalXml() {
  NUV_LOG(3, "[INFO] LoadLocalXml");

  std::optional<std::string> bytes = nuv::os::LoadResource("XML", kProductResourceId);
  if (!bytes) {
    NUV_LOG(1, "[ERROR] LoadLocalXml, find failed!");
    return false;
  }
  if (bytes->empty()) {
    NUV_LOG(1, "[ERROR] LoadLocalXml, size error!");
    return false;
  }

  XmlDocument doc;
  if (!doc.LoadText(Utf8ToWide(*bytes))) {
    NUV_LOG(1, "[ERROR] LoadLocalXml err 3");
    return false;
  }
  if (!doc.NextElement(u"Product")) {
    NUV_LOG(1, "[ERROR] LoadLocalXml, not find product.");
    return false;
  }

  ProductSkin = Child(doc, u"ProductSkin");
  ProductBrand = Child(doc, u"ProductBrand");
  ProductName = Child(doc, u"ProductName");
  ProductExe = Child(doc, u"ProductExe");
  ProductArg = Child(doc, u"ProductArg");
  FoldBottom = Child(doc, u"FoldBottom", u"1");
  ProductInstallArg = Child(doc, u"ProductInstallArg");
  ProductInsCmple = Child(doc, u"ProductInsCmple");
  CustomInstallPath = Child(doc, u"CustomInstallPath");
  IsAllowInstallAdminPath = Child(doc, u"IsAllowInstallAdminPath");
  // An empty value is treated like a missing one: "/" alone would be no usable base URL.
  ServerHost = Child(doc, u"ServerHost");
  if (ServerHost.empty()) ServerHost = Utf8ToWide(GetEndpoints().platformBaseUrl);
  ServerHost = WithTrailingSlash(ServerHost);
  SetCurrentApiBase(WideToUtf8(ServerHost));

  configFolder = ChooseConfigFolder(ProductBrand);
  NUV_LOG(3, "[INFO] config folder=[%s].", WideToUtf8(configFolder).c_str());

  ProductID = Child(doc, u"ProductID");
  runConfigPath = configFolder + u"NUV_DOWNTASK_" + ProductID + u".xml";

  ReadProductValues(doc);
  ReadDependents(doc);
  ReadClipboardKeyword(doc);

  platform::WriteChannelRecord(ProductID, AppID, Channel);

  const std::u16string root = DefaultInstallRoot(CustomInstallPath, ProductBrand, ProductID);
  if (!root.empty()) installRoot = root;

  analytics::PublishConfigurationProperties(analytics::GetCommonProperties(), ProductID,
                                            ProductBrand, Channel, SceneCode);

  // The result is only logged: the run goes on without the service.
  PostInstallInfo(WideToUtf8(ProductID), WideToUtf8(platform::GetOrCreateClientSign(ProductBrand)));
  return true;
}

void NuvMgr::ReadProductValues(XmlDocument& doc) {
  AppID = Child(doc, u"AppID");
  Channel = Child(doc, u"Channel");
  ReadGroup(doc, u"Downurl", u"OnlyUseLocalUrl", DownurlOnlyUseLocalUrl, u"Url_Down",
            DownurlUrlDown);
  if (platform::IsWow64())
    ReadGroup(doc, u"Downurl_x64", u"OnlyUseLocalUrl", DownurlX64OnlyUseLocalUrl, u"Url_Down",
              DownurlX64UrlDown);
  InstallTime = Child(doc, u"InstallTime");
  ReadGroup(doc, u"Installurl", u"OnlyUseLocalUrl", InstallurlOnlyUseLocalUrl, u"Url_Install",
            InstallurlUrlInstall);
  Url_License = Child(doc, u"Url_License");
  if (Url_License.empty()) Url_License = Utf8ToWide(GetEndpoints().licenseUrl);
  UserAgreementUrl = Child(doc, u"UserAgreementUrl");
  PrivacyAgreementUrl = Child(doc, u"PrivacyAgreementUrl");
  Languages = Child(doc, u"Languages");
  Dotnetminver = Child(doc, u"Dotnetminver");
  Dotneturl = Child(doc, u"Dotneturl");
  AgreeUserLicense = Child(doc, u"AgreeUserLicense");
  StartupProduct = Child(doc, u"StartupProduct");
  Url_Jump = Child(doc, u"Url_Jump");
  InstallErrorUrl = Child(doc, u"InstallErrorUrl");
  InstallSalvageTitle = Child(doc, u"InstallSalvageTitle");
  InstallSalvageContent = Child(doc, u"InstallSalvageContent");
  NotSupportWin32 = Child(doc, u"NotSupportWin32");
  SceneCode = Child(doc, u"SceneCode");
}

void NuvMgr::ReadDependents(XmlDocument& doc) {
  dependents.clear();
  doc.RewindChild();
  if (!doc.NextChild(u"Dependent")) return;
  doc.Descend();
  while (doc.NextChild(u"item")) {
    DependentItem item = ReadDependentItem(doc, DependentSource::Local);
    NUV_LOG(3, "[INFO] LoadLocalXml, dependent.item pid=[%s].", WideToUtf8(item.ProductID).c_str());
    if (!item.IsAcceptable()) continue;
    const bool force = item.MustInstall();
    installTable.Update(static_cast<int32_t>(DecimalValue(item.ProductID)),
                        [force](TaskInstallInfo& info) { info.forceInstall = force; });
    dependents.push_back(std::move(item));
  }
  doc.Ascend();
}

void NuvMgr::ReadClipboardKeyword(XmlDocument& doc) {
  clipboardText.clear();
  ReadGroup(doc, u"Clipboard", u"Access", ClipboardAccess, u"Keyword", ClipboardKeyword);
  if (ClipboardAccess != u"1" || ClipboardKeyword.empty()) return;
  const std::string text = nuv::os::ClipboardText();
  const std::string keyword = WideToUtf8(ClipboardKeyword);
  if (text.compare(0, keyword.size(), keyword) == 0) clipboardText = Utf8ToWide(text);
}
