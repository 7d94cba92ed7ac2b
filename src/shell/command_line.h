// The program's command line as a key/value table: each argument splits at its first '='; keys
// are case-sensitive and the last occurrence of a key wins.
#pragma once

#include <map>
#include <string>
#include <vector>

// The exit code of a command line the program does not take.
inline constexpr int kUsageExitCode = 64;

// The program takes key=value arguments only. When one is not (such as --help), prints why and
// the usage text on standard error and answers kUsageExitCode; otherwise 0.
// Nothing else is touched, so asking for help never starts an installation.
int RefuseOtherArguments(const std::vector<std::string>& args, const char* program,
                         const char* usage);

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
