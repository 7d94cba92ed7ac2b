// Walks a parsed document the way the program's readers do and checks that the element index
// stays inside the text; shared by the targets whose input becomes an XmlDocument.
#pragma once

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "xml/xml_document.h"

namespace fuzz {

// Every record starts at a '<' inside the text, ends inside it, and links only to records
// that exist.
inline void CheckRecords(const XmlDocument& doc) {
  const uint64_t size = doc.DocumentText().size();
  const uint32_t count = doc.RecordCount();
  for (uint32_t i = 1; i < count; ++i) {
    const ElementRecord& r = doc.Record(i);
    FUZZ_CHECK(r.start < size && doc.DocumentText()[r.start] == u'<');
    FUZZ_CHECK(uint64_t{r.start} + r.length <= size);
    FUZZ_CHECK(doc.StartTagLength(i) <= r.length);
    FUZZ_CHECK(r.parent < count && r.firstChild < count && r.next < count && r.prev < count);
  }
}

// Visits every element depth first (bounded), reading its name, text and a few attributes,
// and asks for children by the names the document itself uses.
inline void WalkLevel(XmlDocument& doc, int depth, uint32_t& budget) {
  while (budget > 0 && doc.NextElement()) {
    --budget;
    const std::u16string name = doc.ElementName();
    (void)doc.ElementText();
    (void)doc.AttributeValue(u"id");
    (void)doc.AttributeValue(name);
    std::u16string child;
    doc.ChildText(name, child);
    doc.RewindChild();
    (void)doc.NextChild(name + u"[1]");
    doc.RewindChild();
    if (depth < 64 && doc.Descend()) {
      WalkLevel(doc, depth + 1, budget);
      FUZZ_CHECK(doc.Ascend());
    }
  }
}

inline void WalkDocument(XmlDocument& doc) {
  CheckRecords(doc);
  uint32_t budget = 4096;
  doc.Rewind();
  WalkLevel(doc, 0, budget);
  doc.SetDocFlags(XmlDocument::kFlagIgnoreCase);
  doc.Rewind();
  budget = 256;
  WalkLevel(doc, 0, budget);
  doc.SetDocFlags(0);
}

}  // namespace fuzz
