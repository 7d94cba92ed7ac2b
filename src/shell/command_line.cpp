#include "shell/command_line.h"

#include <cstdio>

#include "xml/utf.h"

int RefuseOtherArguments(const std::vector<std::string>& args, const char* program,
                         const char* usage) {
  for (const std::string& arg : args) {
    const size_t eq = arg.find('=');
    if (eq != std::string::npos && eq > 0) continue;
    if (arg != "--help" && arg != "-h")
      std::fprintf(stderr, "%s: \"%s\" is not key=value\n", program, arg.c_str());
    std::fprintf(stderr, "%s\n", usage);
    return kUsageExitCode;
  }
  return 0;
}

CommandLineTable::CommandLineTable(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    std::u16string wide = Utf8ToWide(arg);
    size_t eq = wide.find(u'=');
    if (eq == std::u16string::npos)
      table_[wide] = u"";
    else
      table_[wide.substr(0, eq)] = wide.substr(eq + 1);
  }
}

std::u16string CommandLineTable::Value(const std::u16string& key) const {
  auto it = table_.find(key);
  return it == table_.end() ? std::u16string() : it->second;
}

bool CommandLineTable::IsForkMode() const {
  return Value(u"OnlyForkInstallDependent") == u"1";
}
