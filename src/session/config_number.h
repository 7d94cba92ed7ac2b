// Numbers in configuration stay text; where one is used it is read as a decimal integer in the
// manner of the C library (leading blanks, sign, digits up to the first other character), and
// a text without a number counts as 0.
#pragma once

#include <cstdint>
#include <string>

int64_t DecimalValue(const std::u16string& text);
