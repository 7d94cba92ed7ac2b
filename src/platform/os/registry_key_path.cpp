#include "platform/os/registry_key_path.h"

#include <cstdint>

namespace nuv::os::registry_detail {
namespace {

constexpr size_t kMaxKeyNameLength = 255;  // a Windows key name component holds at most 255

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(uint32_t cp, std::u16string* out) {
  if (cp < 0x10000) {
    out->push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
  }
}

char16_t FoldChar(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c;
}

std::u16string Fold16(const std::u16string& s) {
  std::u16string out = s;
  for (char16_t& c : out) c = FoldChar(c);
  return out;
}

}  // namespace

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(c, &out);
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    size_t extra = 0;
    uint32_t cp = b;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07;
    } else if (b >= 0x80) {
      extra = SIZE_MAX;
    }
    bool ok = extra != SIZE_MAX && i + extra < n;
    for (size_t k = 1; ok && k <= extra; ++k) {
      ok = (s[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (!ok || cp > 0x10FFFF) {  // stray or truncated byte: keep a mark rather than drop it
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    AppendUtf16(cp, &out);
    i += extra + 1;
  }
  return out;
}

std::string FoldName(const std::u16string& name) {
  return ToUtf8(Fold16(name));
}

int RootChildView(Hive hive, View view) {
  if (hive != Hive::LocalMachine) return kSharedView;
  return view == View::Bit64 ? kView64 : kView32;
}

std::optional<KeyPath> ParseKeyPath(Hive hive, View view, const std::u16string& path) {
  std::u16string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == u'\\') trimmed.pop_back();

  std::vector<std::u16string> parts;
  if (!trimmed.empty()) {
    size_t start = 0;
    while (true) {
      const size_t end = trimmed.find(u'\\', start);
      std::u16string part = trimmed.substr(start, end == std::u16string::npos ? end : end - start);
      if (part.empty() || part.size() > kMaxKeyNameLength) return std::nullopt;
      parts.push_back(std::move(part));
      if (end == std::u16string::npos) break;
      start = end + 1;
    }
  }

  KeyPath key;
  if (hive == Hive::LocalMachine && !parts.empty() && Fold16(parts[0]) == u"software") {
    key.view = RootChildView(hive, view);
    if (parts.size() >= 2 && Fold16(parts[1]) == u"wow6432node") {
      parts.erase(parts.begin() + 1);
      key.view = kView32;
    }
  }

  std::string prefix;
  for (const std::u16string& part : parts) {
    if (!prefix.empty()) prefix += '\\';
    prefix += FoldName(part);
    key.names.push_back(ToUtf8(part));
    key.folded.push_back(prefix);
  }
  return key;
}

}  // namespace nuv::os::registry_detail
