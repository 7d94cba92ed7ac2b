// The redeem box's check of the e-mail address the user typed, before it is sent to the benefit
// service.
#pragma once

#include <string_view>

enum class RedeemEmailCheck {
  kValid,
  kEmpty,      // "please_input_email"
  kTooLong,    // more than 50 bytes of UTF-8: "email_long_than_50"
  kMalformed,  // "please_input_correct_email"
};

// Letters, digits, '_' and '-' on both sides of one '@', and one or more dot-separated parts of
// the same characters after the domain name; nothing else around it.
RedeemEmailCheck CheckRedeemEmail(std::string_view utf8);
