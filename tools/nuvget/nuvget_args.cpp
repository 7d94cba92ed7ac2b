#include "nuvget_args.h"

#include <cstdlib>

namespace {

bool IsFullDigest(const std::string& text) {
  if (text.size() != 32) return false;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

bool IsNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool ParseNuvgetArgs(const std::vector<std::string>& args, NuvgetArgs& out, std::string& why) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      why = "help";
      return false;
    }
  }
  if (args.size() < 2 || args[0].rfind('-', 0) == 0 || args[1].rfind('-', 0) == 0) {
    why = "URL and DIR come first";
    return false;
  }
  out.url = args[0];
  out.dir = args[1];
  for (size_t i = 2; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--md5" && hasValue) {
      out.md5 = args[++i];
      if (!IsFullDigest(out.md5)) {
        why = "--md5 wants 32 hexadecimal digits, not \"" + out.md5 + "\"";
        return false;
      }
    } else if (args[i] == "--id" && hasValue && IsNumber(args[i + 1])) {
      out.id = std::atoi(args[++i].c_str());
    } else {
      why = "unknown or incomplete argument \"" + args[i] + "\"";
      return false;
    }
  }
  return true;
}
