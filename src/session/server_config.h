// The platform server's runtime configuration of the product: its record, the request URL and
// the reply reader. NuvMgr::LoadServerXml fetches it; the effective values prefer it.
#pragma once

#include <string>
#include <vector>

#include "session/dependent_item.h"

// One field per element of <vtrp><downloader><runtime>; empty when the server sent none.
struct ServerRecord {
  std::u16string name;
  std::u16string version;
  std::u16string process_name;
  std::u16string install_url;
  std::u16string download_url;
  std::u16string download_url_with_framework;
  std::u16string download_url_net;
  std::u16string download_url_net_with_framework;
  std::u16string download_url_x64;
  std::u16string banner_url;
  std::u16string oiap_url;
  std::u16string md5;
  std::u16string history_md5_32;
  std::u16string md5_64;
  std::u16string history_md5_64;
  std::u16string filesize;
  std::u16string netfx_minver;
  std::u16string netfxlite_url;
  std::u16string languages;
  std::u16string Url_Jump;
  std::u16string install_error_url;
  std::u16string custom_install_path;
  std::u16string is_allow_install_admin_path;
  std::u16string user_agreement_url;
  std::u16string privacy_agreement_url;
  std::u16string not_support_win32;
};

// Where the main package comes from.
struct MainPackageSource {
  std::u16string url;
  std::u16string md5;
  std::u16string history;
  bool local = false;  // the local URL was taken; digests are empty then
};

// The non-empty texts joined with ",".
std::u16string JoinNonEmpty(const std::vector<std::u16string>& parts);

// What one reply yields.
struct ServerReply {
  bool hasDownloader = false;  // <vtrp><downloader> was found
  ServerRecord record;
  std::vector<DependentItem> bindItems;  // every <bind><item>, accepted or not, in order
};

// Replies above this size are not configuration and are not parsed.
inline constexpr size_t kMaxServerReplyBytes = 4 * 1024 * 1024;

// Parses the UTF-8 reply. False when it is empty, too large or not XML; a document without
// <vtrp><downloader> is true with hasDownloader false. The banner's cache-busting parameter is
// added when "downloader" exists.
bool ParseServerReply(const std::string& utf8, ServerReply& out);

// The runtime request URL: the static file beside the package when both app id and channel are
// given, otherwise the server host's runtime query.
std::u16string ServerConfigUrl(const std::u16string& appId, const std::u16string& channel,
                               const std::u16string& localDownloadUrl,
                               const std::u16string& serverHost, const std::u16string& clientSign,
                               const std::u16string& productId, const std::u16string& nuvVersion,
                               const std::u16string& sceneCode, bool is64BitOs);

// The downloader's own version, "a.b.c" or "a.b.c.d"; "3.0.5" when the program has none.
std::u16string DownloaderVersion(bool fourParts);

// The visitor identifier from the product web service at baseUrl (scheme and host); empty on
// any failure.
std::u16string FetchVisitorId(const std::string& baseUrl, const std::u16string& productId);
// The identifier inside a reply such as {"code":0,"data":"ID"}; empty when there is none.
std::u16string VisitorIdFromReply(const std::string& reply);

// The processing-time window of the installer in seconds: 120..600, else 240.
int EffectiveInstallTime(const std::u16string& localValue);
