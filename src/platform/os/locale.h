// User and system default locale identifiers (Windows LCIDs) from the POSIX locale settings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nuv::os {

// What an unknown, empty, "C" or "POSIX" locale maps to: English (United States).
inline constexpr uint32_t kDefaultLcid = 0x0409;

// "de_DE.UTF-8@euro" -> 0x0407. The code set is ignored; "ll_CC@modifier", then "ll_CC", then "ll"
// are looked up, language lower-case and country upper-case ("de-de" works too). Language-neutral
// identifiers come from bare languages where Windows has them ("sv" -> 0x001D, "hi" -> 0x0039);
// Spanish with traditional sort (0x040A) is "es_ES@tradnl". Unknown -> kDefaultLcid.
uint32_t LcidFromLocaleName(std::string_view posixName);

// The first non-empty of LC_ALL, LC_MESSAGES, LANG; kDefaultLcid when none is set.
uint32_t UserDefaultLcid();

// The locale of the system configuration file (LC_ALL, then LC_MESSAGES, then LANG of
// <root prefix>/etc/default/locale); when the file gives none, the same as UserDefaultLcid.
uint32_t SystemDefaultLcid();

// The locale name a file of "NAME=value" lines sets (quotes removed), in the order above; empty
// when none. Exposed for tests.
std::string LocaleNameFromFile(const std::string& path);

// Every POSIX name the mapping knows (without code set), for coverage checks.
std::vector<std::string> KnownLocaleNames();

}  // namespace nuv::os
