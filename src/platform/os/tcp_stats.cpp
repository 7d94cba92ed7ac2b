#include "platform/os/tcp_stats.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string word;
  while (in >> word) out.push_back(word);
  return out;
}

}  // namespace

bool ParseTcpInSegs(const std::string& snmpText, uint64_t& inSegs) {
  std::istringstream in(snmpText);
  std::string line;
  std::vector<std::string> names;
  while (std::getline(in, line)) {
    if (line.rfind("Tcp:", 0) != 0) continue;
    if (names.empty()) {
      names = Fields(line);
      continue;
    }
    std::vector<std::string> values = Fields(line);
    for (size_t i = 1; i < names.size() && i < values.size(); ++i) {
      if (names[i] != "InSegs") continue;
      const std::string& v = values[i];
      if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos) return false;
      inSegs = std::strtoull(v.c_str(), nullptr, 10);
      return true;
    }
    return false;
  }
  return false;
}

bool ReadTcpInSegs(uint64_t& inSegs) {
  std::ifstream file("/proc/net/snmp");
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  return ParseTcpInSegs(text.str(), inSegs);
}
