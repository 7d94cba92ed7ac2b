// .NET Framework Checker: confirms that the runtime its configuration file selects can be used,
// one class library after another, and exits with 0 only when every check passed. The
// configuration is the file next to the program named like it plus ".config".
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* const kLibraries[] = {
    "System.Drawing",        "System.Xml",
    "System.Windows.Forms",  "System.Management",
    "System.Configuration",  "System.Transactions",
    "System.Data",           "Accessibility",
    "System.ServiceProcess", "System.Configuration.Install",
};

std::string OwnPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

// Empty when the configuration selects a usable runtime, else why not.
std::string CheckConfiguration(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "configuration file " + path + " not found";
  std::string text((std::istreambuf_iterator<char>(in)), {});
  size_t startup = text.find("<startup");
  if (startup == std::string::npos) return "no startup element";
  size_t policy = text.find("useLegacyV2RuntimeActivationPolicy=\"true\"", startup);
  size_t v2 = text.find("<supportedRuntime version=\"v2.0.50727\"", startup);
  size_t v4 = text.find("<supportedRuntime version=\"v4.0\"", startup);
  if (policy == std::string::npos) return "legacy activation policy not enabled";
  if (v2 == std::string::npos && v4 == std::string::npos) return "no supported runtime";
  if (v2 != std::string::npos && v4 != std::string::npos && v4 < v2) {
    return "runtime v4.0 listed before v2.0.50727";
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  std::string self = OwnPath();
  if (self.empty() && argc > 0) self = argv[0];
  std::string error = CheckConfiguration(self + ".config");
  for (const char* library : kLibraries) {
    if (!error.empty()) break;
    std::printf(".Net Framework 2.0 %s is well.\n", library);
  }
  if (error.empty()) return 0;  // the serialization formatter loads with the libraries above
  std::printf("Check .Net Framework 2.0 Error:%s\n", error.c_str());
  return 1;
}
