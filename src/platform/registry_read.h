// Typed reads over the registry store with the length limits of the callers' fixed buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/os/registry_store.h"

namespace platform::registry_detail {

// The "32-bit view on 64-bit Windows" of callers that ask for it.
nuv::os::View Wow64View32();

// A REG_SZ of at most maxChars characters; a longer one does not fit the caller's buffer and
// reads as missing.
std::optional<std::u16string> ReadSz(nuv::os::Hive hive, nuv::os::View view,
                                     const std::u16string& key, const std::u16string& name,
                                     size_t maxChars);
std::optional<uint32_t> ReadDword(nuv::os::Hive hive, nuv::os::View view, const std::u16string& key,
                                  const std::u16string& name);
// Creates the key when needed and sets the REG_SZ; false on any failure.
bool WriteSz(nuv::os::Hive hive, nuv::os::View view, const std::u16string& key,
             const std::u16string& name, const std::u16string& text);

}  // namespace platform::registry_detail
