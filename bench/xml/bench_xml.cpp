// Times XmlDocument parsing and navigation against pugixml on one generated ~20 MB
// configuration-like document. Prints MB/s (of the UTF-8 size) and the ratios.
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

// Deterministic content so that runs compare.
struct Rng {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state);
  }
};

std::string GenerateDocument(size_t targetBytes) {
  static const char* kLangs[] = {"zh-CN", "en-US", "de-DE", "ja-JP"};
  static const char* kWords[] = {"捕捉", "screen", "录制", "video",  "capture",
                                 "编辑", "export", "音频", "window", "区域"};
  Rng rng;
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Catalog vendor=\"Veltrin\">\n";
  out.reserve(targetBytes + 4096);
  for (uint32_t id = 1; out.size() < targetBytes; ++id) {
    std::string n = std::to_string(id);
    std::string words;
    for (int w = 0, count = 3 + rng.Next() % 6; w < count; ++w) {
      words += kWords[rng.Next() % 10];
      words += ' ';
    }
    out += "  <Product id=\"" + n + "\" lang=\"" + kLangs[rng.Next() % 4] +
           "\" brand=\"Veltrin &amp; Partners\">\n";
    out += "    <Name>Capturo " + words + n + "</Name>\n";
    out += "    <Version major=\"" + std::to_string(rng.Next() % 9) + "\" minor=\"" +
           std::to_string(rng.Next() % 20) + "\">3." + std::to_string(rng.Next() % 20) + ".0." + n +
           "</Version>\n";
    out += "    <Urls>\n";
    for (int u = 0, count = 1 + rng.Next() % 3; u < count; ++u) {
      out += "      <Url kind=\"" + std::string(u ? "mirror" : "full") + "\" md5='" +
             std::to_string(rng.Next()) + std::to_string(rng.Next()) +
             "'>https://dl.example.invalid/capturo_" + n + ".exe?a=1&amp;b=" + std::to_string(u) +
             "</Url>\n";
    }
    out += "    </Urls>\n";
    out += "    <!-- build " + n + " -->\n";
    out += "    <Notes><![CDATA[Release <notes> & details for " + words + "]]></Notes>\n";
    out += "    <Size unit=\"bytes\">" + std::to_string(rng.Next()) + "</Size>\n";
    out += "    <Install silent=\"1\" nopage=\"true\" dir=\"/opt/Capturo&#x20;" + n + "\"/>\n";
    out += "    <Description>Records &lt;" + words + "&gt; at " + n +
           " fps &#169; Veltrin</Description>\n";
    out += "  </Product>\n";
  }
  out += "</Catalog>\n";
  return out;
}

// Best wall time of `runs` calls, in seconds.
double BestOf(int runs, const std::function<void()>& body) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    body();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

double BestOfPrepared(int runs, const std::function<void()>& prepare,
                      const std::function<void()>& body) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    prepare();
    best = std::min(best, BestOf(1, body));
  }
  return best;
}

void WalkOurs(XmlDocument& doc, uint64_t& sink) {
  while (doc.NextElement()) {
    sink += doc.ElementText().size() + doc.AttributeValue(u"id").size();
    if (doc.Record(doc.CurrentPosition()).firstChild && doc.Descend()) {
      WalkOurs(doc, sink);
      doc.Ascend();
    }
  }
}

void WalkPugi(pugi::xml_node node, uint64_t& sink) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    sink += std::char_traits<char>::length(child.child_value()) +
            std::char_traits<char>::length(child.attribute("id").value());
    WalkPugi(child, sink);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const size_t target = argc > 1 ? std::strtoul(argv[1], nullptr, 10) << 20 : 20u << 20;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  const std::string utf8 = GenerateDocument(target);
  const std::u16string utf16 = Utf8ToWide(utf8);
  const double mb = utf8.size() / 1048576.0;
  {
    XmlDocument probe(utf16);
    std::printf("document: %.1f MB UTF-8, %zu UTF-16 units, %u elements, best of %d runs\n", mb,
                utf16.size(), probe.RecordCount() - 1, runs);
  }

  uint64_t sink = 0;
  bool ok = true;
  const double ours = BestOf(runs, [&] {
    XmlDocument doc;
    ok &= doc.LoadText(std::u16string_view(utf16));
    sink += doc.RecordCount();
  });
  const double oursFromUtf8 = BestOf(runs, [&] {
    XmlDocument doc;
    ok &= doc.LoadText(Utf8ToWide(utf8));
    sink += doc.RecordCount();
  });
  const double pugi8 = BestOf(runs, [&] {
    pugi::xml_document doc;
    ok &= static_cast<bool>(doc.load_buffer(utf8.data(), utf8.size()));
    sink += doc.first_child().type();
  });
  const double pugi16 = BestOf(runs, [&] {
    pugi::xml_document doc;
    ok &= static_cast<bool>(doc.load_buffer(utf16.data(), utf16.size() * sizeof(char16_t),
                                            pugi::parse_default, pugi::encoding_utf16_le));
    sink += doc.first_child().type();
  });

  // Parse alone: each side gets a fresh copy of its input made outside the timer and parses it
  // without copying (LoadText of a moved string, load_buffer_inplace).
  std::u16string ownedText;
  std::string ownedBytes;
  const double oursOwned = BestOfPrepared(
      runs, [&] { ownedText = utf16; },
      [&] {
        XmlDocument doc;
        ok &= doc.LoadText(std::move(ownedText));
        sink += doc.RecordCount();
      });
  const double pugiInPlace = BestOfPrepared(
      runs, [&] { ownedBytes = utf8; },
      [&] {
        pugi::xml_document doc;
        ok &= static_cast<bool>(doc.load_buffer_inplace(ownedBytes.data(), ownedBytes.size()));
        sink += doc.first_child().type();
      });

  XmlDocument ourDoc(utf16);
  pugi::xml_document pugiDoc;
  pugiDoc.load_buffer(utf8.data(), utf8.size());
  uint64_t ourSink = 0, pugiSink = 0;
  const double ourWalk = BestOf(runs, [&] {
    ourSink = 0;
    ourDoc.Rewind();
    WalkOurs(ourDoc, ourSink);
  });
  const double pugiWalk = BestOf(runs, [&] {
    pugiSink = 0;
    WalkPugi(pugiDoc, pugiSink);
  });

  if (!ok) {
    std::fprintf(stderr, "a parse failed\n");
    return 1;
  }
  auto line = [&](const char* name, double seconds) {
    std::printf("%-44s %8.2f ms %8.1f MB/s\n", name, seconds * 1e3, mb / seconds);
  };
  line("XmlDocument::LoadText (UTF-16 in memory)", ours);
  line("Utf8ToWide + XmlDocument::LoadText", oursFromUtf8);
  line("pugixml load_buffer (UTF-8, defaults)", pugi8);
  line("pugixml load_buffer (UTF-16 LE)", pugi16);
  line("XmlDocument::LoadText (moved-in text)", oursOwned);
  line("pugixml load_buffer_inplace (UTF-8)", pugiInPlace);
  line("XmlDocument walk: text + attribute", ourWalk);
  line("pugixml walk: child_value + attribute", pugiWalk);
  std::printf("parse ratio XmlDocument / pugixml UTF-8: %.2f\n", ours / pugi8);
  std::printf("parse ratio XmlDocument / pugixml UTF-16: %.2f\n", ours / pugi16);
  std::printf("parse-only ratio XmlDocument moved-in / pugixml in place: %.2f\n",
              oursOwned / pugiInPlace);
  std::printf("walk ratio XmlDocument / pugixml: %.2f\n", ourWalk / pugiWalk);
  // Text sizes count UTF-16 units on one side and UTF-8 bytes on the other.
  std::printf("(checksums %llu %llu %llu)\n", static_cast<unsigned long long>(sink),
              static_cast<unsigned long long>(ourSink), static_cast<unsigned long long>(pugiSink));
  return 0;
}
