#include "failure_reason.h"

#include <curl/curl.h>

#include <cstring>

#include "engine/downloader_types.h"
#include "http/transfer_rules.h"

namespace {

size_t DropBody(char*, size_t size, size_t count, void*) {
  return size * count;
}

std::string TargetPath(const NuvgetArgs& args, const FailureFacts& facts) {
  std::string dir = args.dir;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + facts.fileName;
}

std::string FileErrorText(const NuvgetArgs& args, const FailureFacts& facts) {
  const std::string path = TargetPath(args, facts);
  const std::string why =
      facts.fileError ? std::string(" (") + std::strerror(facts.fileError) + ")" : "";
  switch (facts.fileErrorKind) {
    case ns_NUK::kFileErrorCreate:
      return "file error: cannot create " + path + ".~P2S" + why;
    case ns_NUK::kFileErrorRename:
      return "file error: cannot move the download to " + path + why;
    case ns_NUK::kFileErrorSize:
      return "file error: " + path + ".~P2S does not have the announced size" + why;
    default:
      return "file error: " + path + why;
  }
}

}  // namespace

std::string ExplainUrl(const std::string& url) {
  CURL* h = curl_easy_init();
  if (!h) return "no transfer could be set up";
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  ApplyTransferRules(h, url);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DropBody);
  const CURLcode rc = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(h);
  if (rc != CURLE_OK) return curl_easy_strerror(rc);
  if (status < 200 || status > 299) return "the server answered HTTP " + std::to_string(status);
  return "the server announced no size";
}

std::string FailureReason(int result, const NuvgetArgs& args, const FailureFacts& facts) {
  switch (result) {
    case ns_NUK::kResultConnect:
      return "connect failure: " + ExplainUrl(args.url);
    case ns_NUK::kResultReceive:
      return "receive failure: the package did not arrive whole";
    case ns_NUK::kResultSend:
      return "send failure: the request did not go out";
    case ns_NUK::kResultNoSize:
      return "size query failed: " + ExplainUrl(args.url);
    case ns_NUK::kResultFileError:
      return FileErrorText(args, facts);
    case ns_NUK::kResultDiskFull:
      return "disk full: no room for " + TargetPath(args, facts);
    case ns_NUK::kResultMd5Mismatch:
      return "digest mismatch: expected " + args.md5 + ", the download has " +
             (facts.digest.empty() ? std::string("none") : facts.digest);
    case ns_NUK::kResultCancelled:
      return "cancelled";
    default:
      return "failed with result " + std::to_string(result);
  }
}
