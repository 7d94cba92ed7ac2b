#include "shell/language_table.h"

#include <algorithm>

#include "platform/os/locale.h"
#include "platform/os/resources.h"
#include "log/simple_log.h"
#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

constexpr int kLangResourceId = 131;
constexpr std::u16string_view kMakerWord = u"Veltrin";

std::u16string Lowered(std::u16string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
  });
  return text;
}

void ReplaceAll(std::u16string& text, std::u16string_view from, const std::u16string& to) {
  for (size_t at = text.find(from); at != std::u16string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

const std::vector<LanguagePair>& LanguageTable::LanguageList() {
  static const std::vector<LanguagePair> kList = {
      {u"ENG", u"English"},  {u"DEU", u"Deutsch"},   {u"FRA", u"Français"},
      {u"ITA", u"Italiano"}, {u"PTG", u"Português"}, {u"ESP", u"Español"},
      {u"NLD", u"Dutch"},    {u"RUS", u"Pусский"},  // the first letter is a Latin P, as shipped
      {u"JPN", u"日本語"},   {u"CHA", u"中文繁體"},  {u"CHS", u"中文简体"},
      {u"ARA", u"العربية"},  {u"KOR", u"한국어"},    {u"INA", u"Bahasa Indonesia"},
      {u"SWE", u"Svenska"},  {u"INDTE", u"తెలుగు"},   {u"INDTA", u"தமிழ்"},
      {u"INDHI", u"हिन्दी"},  {u"INDBN", u"বাংলা"},   {u"INDMR", u"मराठी"},
      {u"THA", u"ไทย"},
  };
  return kList;
}

const std::vector<LocaleRow>& LanguageTable::LocaleTable() {
  // Searched in this order; the row index is logged. English locales are deliberately absent.
  static const std::vector<LocaleRow> kRows = [] {
    struct Group {
      const char16_t* name;
      std::vector<uint32_t> lcids;
    };
    const std::vector<Group> groups = {
        {u"Français", {0x080C, 0x0C0C, 0x040C, 0x140C, 0x180C, 0x100C}},
        {u"Deutsch", {0x0C07, 0x0407, 0x1407, 0x1007, 0x0807}},
        {u"日本語", {0x0411}},
        {u"Português", {0x0416, 0x0816}},
        {u"Español",
         {0x2C0A, 0x400A, 0x340A, 0x240A, 0x140A, 0x1C0A, 0x300A, 0x440A, 0x100A, 0x480A,
          0x080A, 0x4C0A, 0x180A, 0x3C0A, 0x280A, 0x500A, 0x040A, 0x0C0A, 0x380A, 0x200A}},
        {u"Italiano", {0x0410, 0x0810}},
        {u"中文繁體", {0x0404, 0x0C04}},
        {u"中文简体", {0x0804, 0x1004}},
        {u"Pусский", {0x0419, 0x0819}},
        {u"Dutch", {0x0413, 0x0813}},
        {u"한국어", {0x0412}},
        {u"Bahasa Indonesia", {0x0421}},
        {u"Svenska", {0x001D, 0x041D, 0x081D}},
        {u"العربية",
         {0x3801, 0x3C01, 0x1401, 0x0C01, 0x0801, 0x2C01, 0x3401, 0x3001, 0x1001, 0x1801, 0x2001,
          0x4001, 0x0401, 0x2801, 0x1C01, 0x2401}},
        {u"मराठी", {0x004E, 0x044E}},
        {u"తెలుగు", {0x004A, 0x044A}},
        {u"தமிழ்", {0x0049, 0x0449}},
        {u"বাংলা", {0x0445}},
        {u"हिन्दी", {0x0039, 0x0439}},
        {u"ไทย", {0x041E}},
    };
    std::vector<LocaleRow> rows;
    for (const Group& g : groups)
      for (uint32_t lcid : g.lcids) rows.push_back({lcid, g.name});
    return rows;
  }();
  return kRows;
}

int LanguageTable::FindLocaleRow(uint32_t lcid) {
  const std::vector<LocaleRow>& rows = LocaleTable();
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].lcid == lcid) return static_cast<int>(i);
  return -1;
}

LanguageTable::LanguageTable() : currentName_(u"English"), languages_(LanguageList()) {
  InitLangCode();
}

bool LanguageTable::InitLangCode() {
  const uint32_t systemLcid = nuv::os::SystemDefaultLcid();
  const uint32_t userLcid = nuv::os::UserDefaultLcid();
  NUV_LOG(3, "[INFO] InitLangCode SystemDefaultLCID: %d", static_cast<int>(systemLcid));
  NUV_LOG(3, "[INFO] InitLangCode GetUserDefaultLCID: %d", static_cast<int>(userLcid));
  const int row = FindLocaleRow(userLcid);
  if (row < 0) {
    NUV_LOG(3, "[INFO] InitLangCode set: -1");
    return false;
  }
  currentName_ = LocaleTable()[row].name;
  NUV_LOG(3, "[INFO] InitLangCode set: %d", row);
  return true;
}

bool LanguageTable::loadLangXML(const std::u16string& brand) {
  NUV_LOG(3, "[INFO] loadLangXML");
  // An empty brand stands for the maker itself (as for the folder names), so texts keep their
  // word instead of losing it.
  const bool replaceBrand = !brand.empty() && Lowered(brand) != u"veltrin";

  std::optional<std::string> bytes = nuv::os::LoadResource("XML", kLangResourceId);
  if (!bytes || bytes->empty()) return false;

  XmlDocument doc;
  if (!doc.LoadText(Utf8ToWide(*bytes))) return false;
  if (!doc.NextElement(u"Lang")) return false;

  while (doc.NextChild(u"item")) {
    doc.Descend();
    std::u16string key = doc.AttributeValue(u"name");
    std::u16string text = doc.ElementText();
    doc.Ascend();
    if (replaceBrand) ReplaceAll(text, kMakerWord, brand);
    strings_[key] = std::move(text);
  }
  return true;
}

std::u16string LanguageTable::Text(const std::u16string& key) const {
  auto it = strings_.find(key);
  if (it == strings_.end() || it->second.empty()) return key;
  return it->second;
}

std::u16string LanguageTable::TextOrEmpty(const std::u16string& key) const {
  auto it = strings_.find(key);
  return it == strings_.end() ? std::u16string() : it->second;
}

std::u16string LanguageTable::CodeOfName(const std::u16string& name) const {
  for (const LanguagePair& pair : languages_)
    if (pair.name == name) return pair.code;
  return u"ENG";
}
