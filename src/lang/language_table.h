// The language object: the current language name, the supported languages and the localized
// string table loaded from the compiled-in resource.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct LanguagePair {
  std::u16string code;  // "ENG", "DEU", ...
  std::u16string name;  // display name, "English", "Deutsch", ...
};

struct LocaleRow {
  uint32_t lcid;
  const char16_t* name;
};

class LanguageTable {
 public:
  // Name "English", empty table, the language list, then InitLangCode.
  LanguageTable();

  // Sets the current language name from the user's default locale; false (name unchanged) when
  // the locale is not in the locale table.
  bool InitLangCode();

  // Fills the string table from resource "XML" 131. Unless the brand is the maker's own (in any
  // letter case, or empty), every "Veltrin" in the texts becomes the brand as given.
  bool loadLangXML(const std::u16string& brand);

  // The text of a key; the key itself when it is missing or its text is empty.
  std::u16string Text(const std::u16string& key) const;
  // The text of a key, or empty when it is missing.
  std::u16string TextOrEmpty(const std::u16string& key) const;

  // The code of the first language whose display name equals name exactly; "ENG" when none does.
  std::u16string CodeOfName(const std::u16string& name) const;

  const std::u16string& CurrentLanguageName() const { return currentName_; }
  void SetCurrentLanguageName(const std::u16string& name) { currentName_ = name; }

  const std::vector<LanguagePair>& Languages() const { return languages_; }

  // The fixed tables, in their search order.
  static const std::vector<LanguagePair>& LanguageList();
  static const std::vector<LocaleRow>& LocaleTable();
  // Index of the first row with that identifier, or -1.
  static int FindLocaleRow(uint32_t lcid);

 private:
  std::u16string currentName_;
  // Read-only once loaded at start-up; the window thread reads it from then on.
  std::map<std::u16string, std::u16string> strings_;
  std::vector<LanguagePair> languages_;
};
