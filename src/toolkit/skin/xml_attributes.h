// Every attribute of the current element of an XmlDocument, in document order, with entities
// decoded. The reader only looks attributes up by name; the skin builder applies all of them.
#pragma once

#include <string>
#include <utility>
#include <vector>

class XmlDocument;

namespace SkinUI {

using XmlAttribute = std::pair<std::u16string, std::u16string>;

// A name without a value, or a value without quotes, is skipped.
std::vector<XmlAttribute> CurrentElementAttributes(const XmlDocument& doc);

}  // namespace SkinUI
