#include "platform/version_text.h"

#include <cstdio>
#include <ctime>

#include "platform/os/cmdline_split.h"
#include "platform/os/file_version.h"
#include "platform/os/folders.h"
#include "platform/os/system_info.h"
#include "xml/utf.h"

namespace platform {

namespace {

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (const char* p = text; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
  return out;
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// One "%d" conversion: optional white space and sign, then at least one digit (saturating).
bool ScanInt(const std::u16string& text, size_t& pos, int& value) {
  size_t i = pos;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i >= text.size() || !IsDigit(text[i])) return false;
  long long v = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (v < 0x80000000LL) v = v * 10 + (text[i] - u'0');
  }
  if (negative) v = -v;
  if (v > 0x7FFFFFFFLL) v = 0x7FFFFFFFLL;
  if (v < -0x80000000LL) v = -0x80000000LL;
  value = static_cast<int>(v);
  pos = i;
  return true;
}

}  // namespace

std::u16string AppendOsVersion(const std::u16string& text) {
  std::optional<std::array<int, 3>> version = nuv::os::KernelVersion();
  if (!version) return text;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%d.%d.%d", (*version)[0], (*version)[1], (*version)[2]);
  return text + Ascii(buffer);
}

bool GetFileVersionText(const std::u16string& path, std::u16string& text) {
  std::optional<std::string> raw = nuv::os::ReadVersionSection(WideToUtf8(path));
  if (!raw || raw->empty()) return false;
  // Like a version resource: four 16-bit numbers, printed in full.
  std::u16string wide = Utf8ToWide(*raw);
  unsigned parts[4] = {0, 0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= wide.size() || !IsDigit(wide[pos])) return false;
    unsigned v = 0;
    while (pos < wide.size() && IsDigit(wide[pos])) {
      v = v * 10 + (wide[pos++] - u'0');
      if (v > 0xFFFF) return false;
    }
    parts[i] = v;
    if (pos == wide.size()) break;
    if (wide[pos] != u'.' || i == 3) return false;
    ++pos;
  }
  if (pos != wide.size()) return false;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
  text = Ascii(buffer);
  return true;
}

std::u16string GetOwnFileVersion() {
  std::u16string text;
  if (!GetFileVersionText(Utf8ToWide(nuv::os::ModulePath()), text)) return {};
  return text;
}

std::array<int, 4> ParseVersion(const std::u16string& text) {
  std::array<int, 4> parts{0, 0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != u'.') break;
      ++pos;
    }
    if (!ScanInt(text, pos, parts[i])) break;
  }
  return parts;
}

int CompareVersions(const std::u16string& a, const std::u16string& b) {
  std::array<int, 4> x = ParseVersion(a);
  std::array<int, 4> y = ParseVersion(b);
  for (int i = 0; i < 4; ++i) {
    if (x[i] != y[i]) return x[i] > y[i] ? 1 : -1;
  }
  return 0;
}

std::string ToDecimalText(uint32_t value) {
  return std::to_string(value);
}

std::u16string ToDecimalWideText(int value) {
  return Ascii(std::to_string(value).c_str());
}

std::u16string ToHexText(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
  return Ascii(buffer);
}

std::u16string NowText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  if (std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", &local) == 0) return {};
  return Ascii(buffer);
}

namespace {

std::string TimestampSuffix(bool hasQuery) {
  return std::string(hasQuery ? "&" : "?") +
         "_t=" + std::to_string(static_cast<long long>(std::time(nullptr)));
}

}  // namespace

std::u16string AppendTimestampParam(const std::u16string& url) {
  return url + Ascii(TimestampSuffix(url.find(u'?') != std::u16string::npos).c_str());
}

std::string AppendTimestampParam(const std::string& url) {
  return url + TimestampSuffix(url.find('?') != std::string::npos);
}

bool IsHttpUrl(const std::u16string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  std::u16string_view t(text.data() + begin, end - begin);
  if (t.substr(0, 7) == u"http://") return t.size() >= 8;
  if (t.substr(0, 8) == u"https://") return t.size() > 8;
  return false;
}

void ParseArguments(const std::vector<std::u16string>& arguments, CommandLineTable& table) {
  for (const std::u16string& arg : arguments) {
    size_t eq = arg.find(u'=');
    if (eq == std::u16string::npos) {
      table[arg] = std::u16string();
    } else {
      table[arg.substr(0, eq)] = arg.substr(eq + 1);
    }
  }
}

bool ParseCommandLine(const std::u16string& commandLine, CommandLineTable& table) {
  ParseArguments(nuv::os::SplitCommandLine(commandLine), table);
  return true;
}

}  // namespace platform
