// sample-setup-pack: makes a package from the sample setup program with chosen behaviour.
//   sample-setup-pack --out FILE [--setup PROGRAM] [--size BYTES] [key=value ...]
// Prints "<md5 hex> <size>" of the package. Keys: package_format.h.
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/sample-setup/package_format.h"

namespace {

std::string Md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

std::string DefaultSetup() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "sample-setup";
  std::string self(buffer, static_cast<size_t>(n));
  return self.substr(0, self.rfind('/') + 1) + "sample-setup";
}

int Usage() {
  std::fprintf(stderr,
               "usage: sample-setup-pack --out FILE [--setup PROGRAM] [--size BYTES] "
               "[key=value ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out, setup = DefaultSetup();
  unsigned long long size = 0;
  sample_setup::Settings settings;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if ((a == "--out" || a == "--setup" || a == "--size") && i + 1 < argc) {
      std::string v = argv[++i];
      if (a == "--out") out = v;
      if (a == "--setup") setup = v;
      if (a == "--size") size = std::strtoull(v.c_str(), nullptr, 10);
    } else if (a.find('=') != std::string::npos && a.find('\n') == std::string::npos &&
               a[0] != '=') {
      settings.Set(a.substr(0, a.find('=')), a.substr(a.find('=') + 1));
    } else {
      return Usage();
    }
  }
  if (out.empty()) return Usage();
  std::ifstream in(setup, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", setup.c_str());
    return 1;
  }
  std::string program((std::istreambuf_iterator<char>(in)), {});
  std::optional<std::string> package = sample_setup::BuildPackage(program, settings, size);
  if (!package) {
    std::fprintf(stderr, "cannot build the package (size too small or no version section)\n");
    return 1;
  }
  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  file.write(package->data(), static_cast<std::streamsize>(package->size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("%s %zu\n", Md5Hex(*package).c_str(), package->size());
  return 0;
}
