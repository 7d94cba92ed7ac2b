#include "ui/dialogs/redeem_email.h"

#include <regex>

namespace {
constexpr size_t kMaxEmailBytes = 50;
}  // namespace

RedeemEmailCheck CheckRedeemEmail(std::string_view utf8) {
  if (utf8.empty()) return RedeemEmailCheck::kEmpty;
  if (utf8.size() > kMaxEmailBytes) return RedeemEmailCheck::kTooLong;
  static const std::regex pattern("^[a-zA-Z0-9_-]+@[a-zA-Z0-9_-]+(\\.[a-zA-Z0-9_-]+)+$",
                                  std::regex::ECMAScript);
  if (!std::regex_match(utf8.begin(), utf8.end(), pattern)) return RedeemEmailCheck::kMalformed;
  return RedeemEmailCheck::kValid;
}
