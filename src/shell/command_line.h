// The program's command line as a key/value table: each argument splits at its first '='; keys
// are case-sensitive and the last occurrence of a key wins.
#pragma once

#include <map>
#include <string>
#include <vector>

class CommandLineTable {
 public:
  // The arguments without the program path (argv[1..]), UTF-8.
  explicit CommandLineTable(const std::vector<std::string>& args);

  // The value of a key, or an empty text when the key is absent.
  std::u16string Value(const std::u16string& key) const;
  bool Has(const std::u16string& key) const { return table_.count(key) != 0; }
  // True only for OnlyForkInstallDependent=1, exactly.
  bool IsForkMode() const;

 private:
  std::map<std::u16string, std::u16string> table_;
};
