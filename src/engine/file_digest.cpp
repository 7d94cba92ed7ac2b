#include "engine/file_digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace ns_NUK {

std::string FileMd5(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return {};
  std::vector<unsigned char> buf(1 << 20);
  for (;;) {
    const size_t n = std::fread(buf.data(), 1, buf.size(), file.get());
    if (n > 0 && EVP_DigestUpdate(ctx.get(), buf.data(), n) != 1) return {};
    if (n < buf.size()) {
      if (std::ferror(file.get())) return {};
      break;
    }
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest, &len) != 1) return {};
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < len; ++i) {
    text.push_back(kHex[digest[i] >> 4]);
    text.push_back(kHex[digest[i] & 0xf]);
  }
  return text;
}

}  // namespace ns_NUK
