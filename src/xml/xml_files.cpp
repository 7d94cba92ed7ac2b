// Whole-file UTF-8 reads and writes of document texts.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/os/files.h"
#include "xml/utf.h"
#include "xml/xml_chars.h"
#include "xml/xml_document.h"
#include "xml/xml_text.h"

namespace {

std::u16string ErrorText(int error) {
  std::string text = std::strerror(error);
  size_t cut = text.find_first_of("\r\n");
  if (cut != std::string::npos) text.resize(cut);
  return Utf8ToWide(text);
}

}  // namespace

bool XmlDocument::ReadUtf8File(std::u16string_view path, std::u16string& text,
                               std::u16string& message) {
  // Only a regular file: a folder or a FIFO in its place is an error, never a hang.
  const std::optional<std::string> bytes = nuv::os::ReadFile(WideToUtf8(path));
  if (!bytes) {
    message = ErrorText(errno);
    return false;
  }
  text = Utf8ToWide(*bytes);
  message.clear();
  AppendNumber(message, static_cast<int64_t>(bytes->size()));
  AppendAscii(message, " bytes to ");
  AppendNumber(message, static_cast<int64_t>(text.size()));
  AppendAscii(message, " wide chars");
  return true;
}

bool XmlDocument::WriteUtf8File(std::u16string_view path, std::u16string_view text,
                                std::u16string& message) {
  FILE* file = std::fopen(WideToUtf8(path).c_str(), "wb");
  if (!file) {
    message = ErrorText(errno);
    return false;
  }
  const std::string bytes = WideToUtf8(text);
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  int error = errno;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    message = ErrorText(error);
    return false;
  }
  message.clear();
  AppendNumber(message, static_cast<int64_t>(text.size()));
  AppendAscii(message, " wide chars to ");
  AppendNumber(message, static_cast<int64_t>(bytes.size()));
  AppendAscii(message, " bytes");
  return true;
}

bool XmlDocument::LoadUtf8File(std::u16string_view path) {
  if (!ReadUtf8File(path, text_, message_)) return false;
  return Parse();
}

bool XmlDocument::SaveUtf8File(std::u16string_view path) {
  return WriteUtf8File(path, text_, message_);
}
