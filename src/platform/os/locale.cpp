#include "platform/os/locale.h"

#include <cctype>
#include <optional>

#include "platform/os/files.h"
#include "platform/os/folders.h"

namespace nuv::os {

namespace {

struct LocaleRow {
  const char* name;  // "ll", "ll_CC" or "ll_CC@modifier"
  uint32_t lcid;
};

// Every identifier the language table knows, plus the common others. A bare language maps to the
// identifier Windows uses for it (its neutral one where the language table names that).
constexpr LocaleRow kLocales[] = {
    // French
    {"fr", 0x040C},
    {"fr_FR", 0x040C},
    {"fr_BE", 0x080C},
    {"fr_CA", 0x0C0C},
    {"fr_CH", 0x100C},
    {"fr_LU", 0x140C},
    {"fr_MC", 0x180C},
    // German
    {"de", 0x0407},
    {"de_DE", 0x0407},
    {"de_CH", 0x0807},
    {"de_AT", 0x0C07},
    {"de_LU", 0x1007},
    {"de_LI", 0x1407},
    // Japanese
    {"ja", 0x0411},
    {"ja_JP", 0x0411},
    // Portuguese
    {"pt", 0x0416},
    {"pt_BR", 0x0416},
    {"pt_PT", 0x0816},
    // Spanish (es_ES is the modern sort 0x0C0A; the traditional sort has no POSIX name of its own)
    {"es", 0x0C0A},
    {"es_ES", 0x0C0A},
    {"es_ES@tradnl", 0x040A},
    {"es_MX", 0x080A},
    {"es_GT", 0x100A},
    {"es_CR", 0x140A},
    {"es_PA", 0x180A},
    {"es_DO", 0x1C0A},
    {"es_VE", 0x200A},
    {"es_CO", 0x240A},
    {"es_PE", 0x280A},
    {"es_AR", 0x2C0A},
    {"es_EC", 0x300A},
    {"es_CL", 0x340A},
    {"es_UY", 0x380A},
    {"es_PY", 0x3C0A},
    {"es_BO", 0x400A},
    {"es_SV", 0x440A},
    {"es_HN", 0x480A},
    {"es_NI", 0x4C0A},
    {"es_PR", 0x500A},
    {"es_US", 0x540A},
    // Italian
    {"it", 0x0410},
    {"it_IT", 0x0410},
    {"it_CH", 0x0810},
    // Chinese
    {"zh", 0x0804},
    {"zh_CN", 0x0804},
    {"zh_SG", 0x1004},
    {"zh_TW", 0x0404},
    {"zh_HK", 0x0C04},
    {"zh_MO", 0x1404},
    // Russian
    {"ru", 0x0419},
    {"ru_RU", 0x0419},
    {"ru_MD", 0x0819},
    // Dutch
    {"nl", 0x0413},
    {"nl_NL", 0x0413},
    {"nl_BE", 0x0813},
    // Korean, Indonesian
    {"ko", 0x0412},
    {"ko_KR", 0x0412},
    {"id", 0x0421},
    {"id_ID", 0x0421},
    // Swedish
    {"sv", 0x001D},
    {"sv_SE", 0x041D},
    {"sv_FI", 0x081D},
    // Arabic
    {"ar", 0x0401},
    {"ar_SA", 0x0401},
    {"ar_IQ", 0x0801},
    {"ar_EG", 0x0C01},
    {"ar_LY", 0x1001},
    {"ar_DZ", 0x1401},
    {"ar_MA", 0x1801},
    {"ar_TN", 0x1C01},
    {"ar_OM", 0x2001},
    {"ar_YE", 0x2401},
    {"ar_SY", 0x2801},
    {"ar_JO", 0x2C01},
    {"ar_LB", 0x3001},
    {"ar_KW", 0x3401},
    {"ar_AE", 0x3801},
    {"ar_BH", 0x3C01},
    {"ar_QA", 0x4001},
    // Indian languages
    {"mr", 0x004E},
    {"mr_IN", 0x044E},
    {"te", 0x004A},
    {"te_IN", 0x044A},
    {"ta", 0x0049},
    {"ta_IN", 0x0449},
    {"bn", 0x0445},
    {"bn_IN", 0x0445},
    {"bn_BD", 0x0845},
    {"hi", 0x0039},
    {"hi_IN", 0x0439},
    // Thai
    {"th", 0x041E},
    {"th_TH", 0x041E},
    // English
    {"en", 0x0409},
    {"en_US", 0x0409},
    {"en_GB", 0x0809},
    {"en_AU", 0x0C09},
    {"en_CA", 0x1009},
    {"en_NZ", 0x1409},
    {"en_IE", 0x1809},
    {"en_ZA", 0x1C09},
    {"en_IN", 0x4009},
    {"en_SG", 0x4809},
    // Others a desktop commonly runs
    {"pl", 0x0415},
    {"pl_PL", 0x0415},
    {"tr", 0x041F},
    {"tr_TR", 0x041F},
    {"cs", 0x0405},
    {"cs_CZ", 0x0405},
    {"uk", 0x0422},
    {"uk_UA", 0x0422},
    {"vi", 0x042A},
    {"vi_VN", 0x042A},
    {"he", 0x040D},
    {"he_IL", 0x040D},
    {"el", 0x0408},
    {"el_GR", 0x0408},
    {"hu", 0x040E},
    {"hu_HU", 0x040E},
    {"da", 0x0406},
    {"da_DK", 0x0406},
    {"fi", 0x040B},
    {"fi_FI", 0x040B},
    {"nb", 0x0414},
    {"nb_NO", 0x0414},
    {"ms", 0x043E},
    {"ms_MY", 0x043E},
    {"ro", 0x0418},
    {"ro_RO", 0x0418},
    {"sk", 0x041B},
    {"sk_SK", 0x041B},
    {"bg", 0x0402},
    {"bg_BG", 0x0402},
};

std::optional<uint32_t> Find(const std::string& key) {
  for (const LocaleRow& row : kLocales) {
    if (key == row.name) return row.lcid;
  }
  return std::nullopt;
}

}  // namespace

uint32_t LcidFromLocaleName(std::string_view posixName) {
  std::string language;
  std::string country;
  std::string modifier;
  size_t at = posixName.find('@');
  if (at != std::string_view::npos) {
    modifier = std::string(posixName.substr(at + 1));
    posixName = posixName.substr(0, at);
  }
  posixName = posixName.substr(0, posixName.find('.'));  // the code set does not matter
  size_t sep = posixName.find_first_of("_-");
  for (char c : posixName.substr(0, sep)) {
    language += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (sep != std::string_view::npos) {
    for (char c : posixName.substr(sep + 1)) {
      country += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  if (language.empty()) return kDefaultLcid;
  std::string full = language + (country.empty() ? "" : "_" + country);
  if (!modifier.empty()) {
    if (std::optional<uint32_t> lcid = Find(full + "@" + modifier)) return *lcid;
  }
  if (std::optional<uint32_t> lcid = Find(full)) return *lcid;
  if (std::optional<uint32_t> lcid = Find(language)) return *lcid;
  return kDefaultLcid;
}

namespace {

std::string FirstSet(const char* const* names, const auto& lookup) {
  for (const char* const* n = names; *n; ++n) {
    std::string value = lookup(*n);
    if (!value.empty()) return value;
  }
  return {};
}

constexpr const char* kPrecedence[] = {"LC_ALL", "LC_MESSAGES", "LANG", nullptr};

}  // namespace

uint32_t UserDefaultLcid() {
  std::string name = FirstSet(kPrecedence, [](const char* n) { return GetEnvOr(n); });
  return name.empty() ? kDefaultLcid : LcidFromLocaleName(name);
}

std::string LocaleNameFromFile(const std::string& path) {
  std::optional<std::string> text = ReadFile(path);
  if (!text) return {};
  auto valueOf = [&](const char* key) {
    std::string found;
    std::string prefix = std::string(key) + "=";
    size_t pos = 0;
    while (pos < text->size()) {
      size_t end = text->find('\n', pos);
      if (end == std::string::npos) end = text->size();
      std::string line = text->substr(pos, end - pos);
      pos = end + 1;
      size_t start = line.find_first_not_of(" \t");
      if (start == std::string::npos) continue;
      line = line.substr(start);
      if (line.compare(0, 7, "export ") == 0) line = line.substr(7);
      if (line.compare(0, prefix.size(), prefix) != 0) continue;
      std::string value = line.substr(prefix.size());
      while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.pop_back();
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      found = value;  // the last assignment wins
    }
    return found;
  };
  return FirstSet(kPrecedence, valueOf);
}

std::vector<std::string> KnownLocaleNames() {
  std::vector<std::string> names;
  for (const LocaleRow& row : kLocales) names.push_back(row.name);
  return names;
}

uint32_t SystemDefaultLcid() {
  std::string name = LocaleNameFromFile(RootPrefix() + "/etc/default/locale");
  if (name.empty()) return UserDefaultLcid();
  return LcidFromLocaleName(name);
}

}  // namespace nuv::os
