// Whether a downloaded package may be run: it runs as root, so its bytes must be the ones the
// maker published and the file must be one nobody else can change.
#include <string>

#include "engine/file_digest.h"
#include "http/transfer_rules.h"
#include "platform/os/file_trust.h"
#include "session/nuv_mgr.h"
#include "xml/utf.h"

namespace {

// The expected texts hold a full digest (32 hexadecimal digits) somewhere; a shorter text checks
// nothing.
bool HasFullDigest(const std::string& expected) {
  int run = 0;
  for (char c : expected) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    run = hex ? run + 1 : 0;
    if (run == 32) return true;
  }
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

std::string NuvMgr::PackageRunRefusal(const NuvTask& task) const {
  const std::string path = WideToUtf8(task.SavePath());
  if (!nuv::os::IsOwnRegularFile(path)) return "package file is not ours";
  if (Md5Matched(task.id)) return {};
  // A package the engine found already in place was checked quietly: check it again here.
  const std::string expected = Upper(WideToUtf8(task.Md5List()));
  if (HasFullDigest(expected)) {
    const std::string digest = ns_NUK::FileMd5(path);
    return !digest.empty() && expected.find(digest) != std::string::npos ? std::string()
                                                                         : "md5 mismatch";
  }
  // Without a digest only verified HTTPS vouches for the bytes; redirects never leave https.
  if (IsHttpsUrl(WideToUtf8(task.url))) return {};
  return "no md5 and not https";
}
