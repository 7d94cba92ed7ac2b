#include <gtest/gtest.h>

#include <string>

#include "ui/dialogs/redeem_email.h"

namespace {

using R = RedeemEmailCheck;

TEST(RedeemEmail, EmptyTooLongMalformedOrValid) {
  std::string han17;
  for (int i = 0; i < 17; ++i) han17 += "用";  // 17 characters, 51 bytes
  const struct {
    std::string address;
    R want;
  } cases[] = {
      {"", R::kEmpty},
      {std::string(38, 'a') + "@example.com", R::kValid},    // 50 bytes
      {std::string(39, 'a') + "@example.com", R::kTooLong},  // 51 bytes
      {han17, R::kTooLong},                                  // counted in bytes
      {"a_b-c9@d-e_f.co.uk", R::kValid},
      {"a@b.c", R::kValid},
      {"user@example", R::kMalformed},
      {"user@example.", R::kMalformed},
      {"first.last@example.com", R::kMalformed},
      {"user@@example.com", R::kMalformed},
      {"@example.com", R::kMalformed},
      {" user@example.com", R::kMalformed},
      {"user@example.com\n", R::kMalformed},
      {"用户@example.com", R::kMalformed},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckRedeemEmail(c.address), c.want) << c.address;
  }
}

}  // namespace
