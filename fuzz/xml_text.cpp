// XmlDocument over any UTF-16 text: parse, walk, then insert an element and read it back.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "xml_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the inserted element's text: the last `cut` units of the input.
  const size_t cut = data[0];
  std::u16string text = fuzz::Units(data + 1, size - 1);
  XmlDocument doc;
  doc.LoadText(text);
  fuzz::WalkDocument(doc);

  // What the program writes (the run configuration) it must read back unchanged.
  const std::u16string value = text.substr(text.size() - std::min(cut, text.size()));
  doc.Rewind();
  doc.NextElement();
  doc.Descend();
  doc.AddElement(u"Added", value);
  FUZZ_CHECK(doc.ElementName() == u"Added");
  FUZZ_CHECK(doc.ElementText() == value);
  fuzz::CheckRecords(doc);
  doc.Parse();
  fuzz::WalkDocument(doc);
  return 0;
}
