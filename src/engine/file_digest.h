// MD5 of a whole file, as 32 upper-case hexadecimal digits.
#pragma once

#include <string>

namespace ns_NUK {

// Empty when the file cannot be read.
std::string FileMd5(const std::string& path);

}  // namespace ns_NUK
