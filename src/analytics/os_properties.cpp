#include "analytics/os_properties.h"

#include <ctime>

#include "platform/os/folders.h"
#include "platform/os/system_info.h"
#include "platform/registry.h"

namespace analytics {

std::string LanguageOfLocale(const std::string& localeName) {
  const std::string language = localeName.substr(0, localeName.find_first_of("_-.@"));
  if (language.empty() || language == "C" || language == "POSIX") return "en";
  return language;
}

int64_t ZoneHours(long utcOffsetSeconds) {
  return utcOffsetSeconds / 3600;
}

namespace {

std::string UserLocaleName() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string value = nuv::os::GetEnvOr(name);
    if (!value.empty()) return value;
  }
  return {};
}

long LocalUtcOffset() {
  const time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_gmtoff;
}

}  // namespace

analytics_sdk::PropertiesNode OsSuperProperties() {
  analytics_sdk::PropertiesNode node;
  node.SetString("ostype", "windows");
  std::string version = "0.0";
  if (auto kernel = nuv::os::KernelVersion())
    version = std::to_string((*kernel)[0]) + "." + std::to_string((*kernel)[1]);
  node.SetString("os_version", version);
  node.SetInteger("osbit", platform::IsWow64() ? 64 : 32);
  node.SetString("oslang", LanguageOfLocale(UserLocaleName()));
  node.SetInteger("oszone", ZoneHours(LocalUtcOffset()));
  return node;
}

}  // namespace analytics
