#include "xml/xml_document.h"

#include <algorithm>
#include <vector>

#include "xml/xml_chars.h"
#include "xml/xml_scanner.h"
#include "xml/xml_text.h"

namespace {

std::u16string_view TagNameAt(const std::u16string& text, uint32_t lt) {
  uint32_t size = static_cast<uint32_t>(text.size());
  return std::u16string_view(text.data() + lt + 1, ScanTagNameLength(text.data(), size, lt + 1));
}

// Concatenates ASCII pieces, names and offsets into one message.
struct Message {
  std::u16string text;
  Message& operator<<(const char* ascii) {
    AppendAscii(text, ascii);
    return *this;
  }
  Message& operator<<(std::u16string_view name) {
    text.append(name);
    return *this;
  }
  Message& operator<<(uint32_t number) {
    AppendNumber(text, number);
    return *this;
  }
};

}  // namespace

XmlDocument::XmlDocument() {
  LoadText(std::u16string_view());
}

XmlDocument::XmlDocument(std::u16string_view text) {
  LoadText(text);
}

bool XmlDocument::LoadText(std::u16string_view text) {
  text_.assign(text.data(), text.size());
  message_.clear();
  return Parse();
}

bool XmlDocument::LoadText(std::u16string&& text) {
  text_ = std::move(text);
  message_.clear();
  return Parse();
}

bool XmlDocument::LoadText(const char16_t* text) {
  return LoadText(text ? std::u16string_view(text) : std::u16string_view());
}

void XmlDocument::SetProblem(std::u16string message) {
  if (message_.empty()) message_ = std::move(message);
}

bool XmlDocument::Parse() {
  std::u16string earlier;
  earlier.swap(message_);
  const uint32_t size = static_cast<uint32_t>(text_.size());
  records_.Reset(size / 64 + 8);
  records_[0].length = size;
  // A NUL ends the text.
  const uint32_t end =
      static_cast<uint32_t>(FindXmlChar(text_.data(), text_.data() + size, u'\0') - text_.data());
  if (end == 0) {
    message_ = u"Empty document";
  } else {
    BuildStructure(end);
  }
  const uint32_t root = records_[0].firstChild;
  if (end != 0) {
    if (root == 0) {
      message_ = u"No root element";
    } else if (records_[root].next != 0) {
      message_ = u"Root element has sibling";
    }
  }
  Rewind();
  if (!earlier.empty()) {
    if (!message_.empty()) earlier.append(u", ");
    earlier.append(message_);
    message_.swap(earlier);
  }
  const bool illFormed = records_[0].levelFlags & ElementRecord::kFlagIllFormed;
  return end != 0 && !illFormed && root != 0 && records_[root].next == 0;
}

void XmlDocument::LinkLastChild(uint32_t parent, uint32_t index) {
  ElementRecord& p = records_[parent];
  ElementRecord& r = records_[index];
  r.parent = parent;
  r.next = 0;
  if (p.firstChild == 0) {
    p.firstChild = index;
    r.prev = index;
    r.levelFlags |= ElementRecord::kFlagFirstChild;
    return;
  }
  ElementRecord& first = records_[p.firstChild];
  records_[first.prev].next = index;
  r.prev = first.prev;
  first.prev = index;
}

void XmlDocument::LinkAfter(uint32_t sibling, uint32_t index) {
  ElementRecord& s = records_[sibling];
  ElementRecord& r = records_[index];
  r.parent = s.parent;
  r.prev = sibling;
  r.next = s.next;
  if (s.next) {
    records_[s.next].prev = index;
  } else {
    records_[records_[s.parent].firstChild].prev = index;
  }
  s.next = index;
}

void XmlDocument::CloseNotEnded(uint32_t index, bool moveChildrenUp) {
  ElementRecord& r = records_[index];
  r.length = records_.StartTagLength(index);
  r.levelFlags |= ElementRecord::kFlagNotEnded;
  records_[0].levelFlags |= ElementRecord::kFlagIllFormed;
  if (!moveChildrenUp || r.firstChild == 0) return;
  // The children follow it as siblings; it is the last child of its parent while it is open.
  const uint32_t first = r.firstChild;
  const uint32_t last = records_[first].prev;
  r.firstChild = 0;
  r.next = first;
  records_[first].prev = index;
  records_[first].levelFlags &= ~ElementRecord::kFlagFirstChild;
  records_[records_[r.parent].firstChild].prev = last;
  // Each moved subtree is one level shallower.
  std::vector<uint32_t> pending;
  for (uint32_t c = first; c; c = records_[c].next) {
    records_[c].parent = r.parent;
    pending.push_back(c);
  }
  while (!pending.empty()) {
    uint32_t c = pending.back();
    pending.pop_back();
    uint32_t& lf = records_[c].levelFlags;
    if (lf & ElementRecord::kLevelMask) --lf;
    for (uint32_t g = records_[c].firstChild; g; g = records_[g].next) pending.push_back(g);
  }
}

void XmlDocument::BuildStructure(uint32_t end) {
  const char16_t* text = text_.data();
  const bool ignoreCase = docFlags_ & kFlagIgnoreCase;
  std::vector<uint32_t> open;
  open.reserve(6);
  XmlNode node;
  uint32_t pos = 0;
  while (pos < end) {
    pos = ScanXmlNode(text, end, pos, node);
    switch (node.kind) {
      case XmlNodeKind::kElement: {
        const uint32_t parent = open.empty() ? 0 : open.back();
        const uint32_t index = records_.Allocate();
        ElementRecord& r = records_[index];
        r.start = node.start;
        // Depth is clamped so that a pathological nesting cannot spill into the flag bits.
        r.levelFlags =
            std::min<uint32_t>(static_cast<uint32_t>(open.size()), ElementRecord::kLevelMask);
        LinkLastChild(parent, index);
        records_.SetTagLengths(index, node.length, 0);
        if (node.emptyElement) {
          r.length = node.length;
        } else {
          if (open.size() == open.capacity()) open.reserve(open.capacity() * 2 + 6);
          open.push_back(index);
        }
        break;
      }
      case XmlNodeKind::kEndTag: {
        const std::u16string_view endName(text + node.nameStart, node.nameLength);
        size_t k = open.size();
        bool found = false;
        while (k > 0) {
          --k;
          const ElementRecord& r = records_[open[k]];
          if (NameMatches(ElementNameAt(text + r.start, text + end), endName, ignoreCase)) {
            found = true;
            break;
          }
        }
        if (!found) {
          SetProblem(
              (Message() << "No start tag for end tag '" << endName << "' at offset " << node.start)
                  .text);
          records_[0].levelFlags |= ElementRecord::kFlagIllFormed;
          break;
        }
        if (k + 1 < open.size()) {
          const uint32_t inner = open.back();
          SetProblem((Message() << "End tag '" << endName << "' at offset " << node.start + 1
                                << " does not match start tag '"
                                << TagNameAt(text_, records_[inner].start) << "' at offset "
                                << records_[inner].start)
                         .text);
          for (size_t j = open.size() - 1; j > k; --j) CloseNotEnded(open[j], true);
        }
        const uint32_t index = open[k];
        ElementRecord& r = records_[index];
        r.length = node.start + node.length - r.start;
        records_.SetTagLengths(index, records_.StartTagLength(index), node.length);
        open.resize(k);
        break;
      }
      case XmlNodeKind::kError: {
        std::u16string m;
        AppendScanProblemMessage(node.problem, node.problemOffset, m);
        SetProblem(std::move(m));
        records_[0].levelFlags |= ElementRecord::kFlagIllFormed;
        for (uint32_t index : open) records_[index].levelFlags |= ElementRecord::kFlagErrorInside;
        break;
      }
      default:
        break;
    }
  }
  if (!open.empty()) {
    const uint32_t inner = open.back();
    SetProblem((Message() << "Element '" << TagNameAt(text_, records_[inner].start)
                          << "' at offset " << records_[inner].start << " not ended")
                   .text);
    // At the end of the text the open elements keep their children: a cut-off document keeps
    // its nesting and its single root.
    for (size_t j = open.size(); j > 0; --j) CloseNotEnded(open[j - 1], false);
  }
}
