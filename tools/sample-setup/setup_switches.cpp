#include "tools/sample-setup/setup_switches.h"

#include <cctype>

namespace sample_setup {

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::string Unquote(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

Switches ParseSwitches(const std::vector<std::string>& args) {
  Switches s;
  struct Valued {
    const char* name;
    std::string Switches::*field;
  };
  const Valued valued[] = {
      {"/LANG=", &Switches::lang},
      {"/LOG=", &Switches::log},
      {"/DIR=", &Switches::dir},
      {"/NUVWIN=", &Switches::window},
      {"/PID=", &Switches::pid},
      {"/SCENE_CODE=", &Switches::sceneCode},
      {"/TOKEN_PRODUCTINSTALL_ARG=", &Switches::token},
      {"/HOSTINFOPATH=", &Switches::hostInfoPath},
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (StartsWithNoCase(a, "/VERYSILENT") && a.size() == 11) {
      s.verySilent = true;
      continue;
    }
    if (StartsWithNoCase(a, "/NOPAGE") && a.size() == 7) {
      s.noPage = true;
      continue;
    }
    if (StartsWithNoCase(a, "/NOTRUN") && a.size() == 7) {
      s.notRun = true;
      continue;
    }
    if (StartsWithNoCase(a, "/installpath:")) {
      std::string rest = a.substr(13);
      if (rest.empty() && i + 1 < args.size()) rest = args[++i];
      s.installPath = Unquote(rest);
      continue;
    }
    bool matched = false;
    for (const Valued& v : valued) {
      std::string name = v.name;
      if (StartsWithNoCase(a, name)) {
        s.*(v.field) = Unquote(a.substr(name.size()));
        matched = true;
        break;
      }
    }
    if (!matched) s.unknown.push_back(a);
  }
  return s;
}

unsigned ParseWindowHandle(const std::string& text) {
  if (text.empty() || text.size() > 8) return 0;
  unsigned value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return 0;
    }
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

}  // namespace sample_setup
