// Checks of names and values. Every complaint goes to the process's standard error stream (never
// to the log file).
#pragma once

#include <string>

namespace analytics_sdk {

namespace utils {
class ObjectNode;
}

inline constexpr size_t kMaxDistinctIdBytes = 255;
inline constexpr size_t kMaxNameBytes = 100;
inline constexpr size_t kMaxStringBytes = 8192;

// Writes the whole text to standard error in one call.
void WriteError(const std::string& text);

bool CheckDistinctId(const std::string& id);
// what: "Event Name" or "Property Key".
bool CheckName(const std::string& name, const char* what);
// At most 8192 bytes of strict UTF-8 whose only single-byte characters are tab, LF, CR and
// 0x20-0x7E.
bool CheckStringValue(const std::string& name, const std::string& value);
bool IsAcceptedUtf8(const std::string& value);
// Every key a valid name, "$time" a date-time, "$project" a string.
bool CheckProperties(const utils::ObjectNode& properties);

}  // namespace analytics_sdk
