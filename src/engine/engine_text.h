// UTF-8 <-> UTF-16 for the engine's front (URLs, folders and names cross it as UTF-16).
#pragma once

#include <string>

namespace ns_NUK {

std::string ToUtf8(const std::u16string& text);
std::u16string ToUtf16(const std::string& text);

}  // namespace ns_NUK
