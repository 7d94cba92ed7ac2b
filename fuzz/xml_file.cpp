// XmlDocument read from a UTF-8 file, as the product, language and run configurations are, and
// the UTF-8 / UTF-16 conversions it rests on.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "xml/utf.h"
#include "xml_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFile file;
  const std::string& path = file.Write(data, size);
  XmlDocument doc;
  doc.LoadUtf8File(Utf8ToWide(path));
  fuzz::WalkDocument(doc);

  // The counting pass and the writing pass of each conversion agree, and a text that went
  // through both directions once is stable from then on.
  const char* bytes = reinterpret_cast<const char*>(data);
  const std::u16string wide = Utf8ToWide(std::string_view(bytes, size));
  FUZZ_CHECK(Utf8ToWide(bytes, size, nullptr) == wide.size());
  FUZZ_CHECK(wide == doc.DocumentText());
  const std::string narrow = WideToUtf8(wide);
  FUZZ_CHECK(WideToUtf8(wide.data(), wide.size(), nullptr) == narrow.size());
  FUZZ_CHECK(WideToUtf8(Utf8ToWide(narrow)) == narrow);
  FUZZ_CHECK(Utf16LeBytesToWide(WideToUtf16LeBytes(wide)) == wide);
  return 0;
}
