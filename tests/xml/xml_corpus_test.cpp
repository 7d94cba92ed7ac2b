// Every XML file of the system that xmllint calls well formed must be well formed here too, with
// the same root element.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "xml/utf.h"
#include "xml/xml_document.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxFiles = 2000;
constexpr uintmax_t kMaxBytes = 5u << 20;

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  fs::recursive_directory_iterator it("/usr/share", fs::directory_options::skip_permission_denied,
                                      ec);
  for (size_t visited = 0; !ec && it != fs::recursive_directory_iterator() && visited < 2000000;
       it.increment(ec), ++visited) {
    const fs::path& p = it->path();
    if (p.extension() != ".xml") continue;
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError) || it->file_size(sizeError) > kMaxBytes || sizeError) {
      continue;
    }
    std::string name = p.string();
    if (name.find_first_of("\t\n") != std::string::npos) continue;
    files.push_back(name);
  }
  std::sort(files.begin(), files.end());
  if (files.size() > kMaxFiles) files.resize(kMaxFiles);
  return files;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// No declared encoding, or UTF-8 / ASCII.
bool DeclaresUtf8(const std::string& bytes) {
  const size_t declEnd = bytes.find("?>");
  if (bytes.find("<?xml") > 3 || declEnd == std::string::npos) return true;
  std::string decl = bytes.substr(0, declEnd);
  std::transform(decl.begin(), decl.end(), decl.begin(), ::tolower);
  const size_t at = decl.find("encoding");
  if (at == std::string::npos) return true;
  const size_t quote = decl.find_first_of("\"'", at);
  if (quote == std::string::npos) return true;
  const std::string name = decl.substr(quote + 1, decl.find(decl[quote], quote + 1) - quote - 1);
  return name == "utf-8" || name == "utf8" || name == "us-ascii" || name == "ascii";
}

TEST(XmlCorpus, AgreesWithXmllintOnSystemFiles) {
  if (std::system("command -v xmllint >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xmllint";
  const std::vector<std::string> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no XML files under /usr/share";

  char dir[] = "/tmp/xml_corpus_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string list = std::string(dir) + "/list", out = std::string(dir) + "/out",
                    script = std::string(dir) + "/run.sh";
  {
    std::ofstream l(list);
    for (const auto& f : files) l << f << '\n';
    // One line "path<TAB>root" per file xmllint accepts. Files go in batches to save process
    // starts; a batch with a rejected file is redone file by file to keep names and roots paired.
    std::ofstream s(script);
    s << "one() { r=$(xmllint --nonet --xpath 'name(/*)' \"$1\" 2>/dev/null) &&\n"
         "  printf '%s\\t%s\\n' \"$1\" \"$r\"; }\n"
         "batch() {\n"
         "  r=$(xmllint --nonet --xpath 'name(/*)' \"$@\" 2>/dev/null)\n"
         "  if [ \"$(printf '%s\\n' \"$r\" | grep -c .)\" -eq $# ]; then\n"
         "    paste <(printf '%s\\n' \"$@\") <(printf '%s\\n' \"$r\")\n"
         "  else for f; do one \"$f\"; done; fi\n"
         "}\n"
         "list=$1 out=$2\n"
         "set --\n"
         "while IFS= read -r f; do\n"
         "  [ \"$SECONDS\" -ge 90 ] && break\n"
         "  set -- \"$@\" \"$f\"\n"
         "  if [ $# -ge 40 ]; then batch \"$@\"; set --; fi\n"
         "done < \"$list\" > \"$out\"\n"
         "[ $# -gt 0 ] && batch \"$@\" >> \"$out\"\n"
         "exit 0\n";
  }
  ASSERT_EQ(std::system(("bash '" + script + "' '" + list + "' '" + out + "'").c_str()), 0);

  std::ifstream results(out);
  std::string line;
  int checked = 0, withBom = 0, otherEncoding = 0;
  while (std::getline(results, line)) {
    const size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    const std::string path = line.substr(0, tab), root = line.substr(tab + 1);
    const std::string bytes = ReadAll(path);
    // The reader takes UTF-8 only: files in UTF-16 or declaring another encoding are left out.
    if (bytes.find('\0') != std::string::npos || !DeclaresUtf8(bytes)) {
      ++otherEncoding;
      continue;
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) ++withBom;
    XmlDocument doc;
    EXPECT_TRUE(doc.LoadUtf8File(Utf8ToWide(path)))
        << path << ": " << WideToUtf8(doc.ResultMessage());
    ASSERT_TRUE(doc.NextElement()) << path;
    EXPECT_EQ(WideToUtf8(doc.ElementName()), root) << path;
    ++checked;
  }
  std::system(("rm -rf '" + std::string(dir) + "'").c_str());
  std::cout << "checked " << checked << " of " << files.size() << " files (" << withBom
            << " with a byte-order mark, " << otherEncoding << " in other encodings skipped)\n";
  EXPECT_GT(checked, 0);
}

}  // namespace
