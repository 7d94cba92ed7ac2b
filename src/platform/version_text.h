// Version, time and text helpers shared by many layers.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

// text + "major.minor.patch" of the running kernel (uname release); text unchanged when unknown.
std::u16string AppendOsVersion(const std::u16string& text);

// "a.b.c.d" from the file's version section; false when it has none or it is malformed.
bool GetFileVersionText(const std::u16string& path, std::u16string& text);
// The running program's version text, empty when it has none.
std::u16string GetOwnFileVersion();

// Up to four integers in the manner of "%d.%d.%d.%d"; missing parts are 0.
std::array<int, 4> ParseVersion(const std::u16string& text);
// 1 when a is greater, -1 when smaller, 0 when equal (part by part).
int CompareVersions(const std::u16string& a, const std::u16string& b);

std::string ToDecimalText(uint32_t value);
std::u16string ToDecimalWideText(int value);
// Upper-case hexadecimal of the value's 32-bit pattern ("%X").
std::u16string ToHexText(int value);

// Local time as "%Y%m%d%H%M%S" (14 digits).
std::u16string NowText();

// url + ('?' or '&') + "_t=" + seconds since 1970.
std::u16string AppendTimestampParam(const std::u16string& url);
std::string AppendTimestampParam(const std::string& url);

// After trimming white space: starts with "http://" and has at least 8 characters, or with
// "https://" and has more than 8.
bool IsHttpUrl(const std::u16string& text);

using CommandLineTable = std::map<std::u16string, std::u16string>;
// Splits the text by the Windows rules, then stores every argument (the program name included)
// as key "=" value (value empty without '='); a later key replaces the earlier value. True.
bool ParseCommandLine(const std::u16string& commandLine, CommandLineTable& table);
// The same for an argument vector that is already split (e.g. argv[1..] converted to UTF-16).
void ParseArguments(const std::vector<std::u16string>& arguments, CommandLineTable& table);

}  // namespace platform
