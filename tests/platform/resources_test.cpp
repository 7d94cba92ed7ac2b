#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "os_test_env.h"
#include "platform/os/resources.h"
#include "support/temp_dir.h"

using nuv::os::ListResources;
using nuv::os::LoadResource;

namespace {

// Listed files, or for entries built by a target, the program the build made.
std::string SourceFile(const std::string& name) {
  std::string listed = std::string(NUV_SOURCE_DIR) + "/resources/" + name;
  if (std::filesystem::exists(listed)) return ReadWholeFile(listed);
  return ReadWholeFile(std::string(NUV_BINARY_DIR) + "/resources/built/" + name);
}

TEST(Resources, CompiledBytesEqualTheListedFiles) {
  ScopedEnv noOverlay(nuv::os::kResourceDirEnv, std::nullopt);
  std::vector<nuv::os::ResourceInfo> all = ListResources();
  ASSERT_FALSE(all.empty());
  bool sawProduct = false;
  for (const nuv::os::ResourceInfo& r : all) {
    std::optional<std::string> bytes = LoadResource(r.type, r.id);
    ASSERT_TRUE(bytes) << r.type << " " << r.id;
    EXPECT_EQ(*bytes, SourceFile(r.file)) << r.file;
    if (r.type == "XML" && r.id == 106) sawProduct = true;
  }
  EXPECT_TRUE(sawProduct);
  EXPECT_FALSE(LoadResource("XML", 99999));
  EXPECT_FALSE(LoadResource("xml", 106));  // type names compare exactly
}

TEST(Resources, OverlayReplacesFallsBackAndMarksMissing) {
  TempDir dir;
  WriteWholeFile(dir.File("product.xml"), "<Product>overlay</Product>");
  std::filesystem::create_directory(dir.File("endpoints.xml"));  // a folder is no overlay file
  WriteWholeFile(dir.File("lang.xml.missing"), "");
  // Without the trailing '/', as a user would write it.
  std::string folder = dir.Path().substr(0, dir.Path().size() - 1);
  ScopedEnv overlay(nuv::os::kResourceDirEnv, folder);

  EXPECT_EQ(LoadResource("XML", 106), std::optional<std::string>("<Product>overlay</Product>"));
  EXPECT_EQ(LoadResource("XML", 150), std::optional<std::string>(SourceFile("endpoints.xml")));
  EXPECT_FALSE(LoadResource("XML", 131));

  // An empty overlay file is an empty resource, not a missing one.
  WriteWholeFile(dir.File("product.xml"), "");
  EXPECT_EQ(LoadResource("XML", 106), std::optional<std::string>(""));
}

// The resource build rules on their own: a tiny project using resources/CMakeLists.txt.
class ResourceBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("src/res"));
    std::filesystem::copy_file(std::string(NUV_SOURCE_DIR) + "/resources/CMakeLists.txt",
                               dir_.File("src/res/CMakeLists.txt"));
    WriteWholeFile(dir_.File("src/CMakeLists.txt"),
                   "cmake_minimum_required(VERSION 3.20)\nproject(t LANGUAGES C ASM)\n"
                   "add_subdirectory(res)\nadd_executable(show main.c)\n"
                   "target_link_libraries(show nuv_resources)\n");
    WriteWholeFile(dir_.File("src/main.c"),
                   "#include <stdio.h>\n#include <stdint.h>\n"
                   "struct R { const char* t; int64_t id; const char* f; const unsigned char* d; "
                   "uint64_t n; };\nextern const struct R nuv_resource_index[];\n"
                   "extern const uint64_t nuv_resource_count;\n"
                   "int main(void) { for (uint64_t i = 0; i < nuv_resource_count; ++i) {\n"
                   "  const struct R* r = &nuv_resource_index[i];\n"
                   "  printf(\"%s %d %s [%.*s]\\n\", r->t, (int)r->id, r->f, (int)r->n, r->d); }\n"
                   "  return 0; }\n");
  }
  // Runs a command line through the shell; the exit status and combined output.
  int Run(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Configure(std::string& out) {
    int rc = Run("cmake -S " + dir_.File("src") + " -B " + dir_.File("build"), out);
    return rc == 0 ? "" : "configure failed";
  }
  TempDir dir_;
};

TEST_F(ResourceBuild, MissingListedFileFailsWithItsName) {
  WriteWholeFile(dir_.File("src/res/resources.list"), "XML 106 here.xml\nXML 7 not-there.xml\n");
  WriteWholeFile(dir_.File("src/res/here.xml"), "x");
  std::string out;
  EXPECT_NE(Configure(out), "");
  EXPECT_NE(out.find("not-there.xml"), std::string::npos) << out;
}

TEST_F(ResourceBuild, RebuildsWhenAListedFileChanges) {
  WriteWholeFile(dir_.File("src/res/resources.list"),
                 "# comment\n\nXML 106 a.xml\nZIPRES 133 b.bin\n");
  WriteWholeFile(dir_.File("src/res/a.xml"), "first");
  WriteWholeFile(dir_.File("src/res/b.bin"), "");
  std::string out;
  ASSERT_EQ(Configure(out), "") << out;
  std::string build = "cmake --build " + dir_.File("build") + " -j1";
  ASSERT_EQ(Run(build, out), 0) << out;
  ASSERT_EQ(Run(dir_.File("build/show"), out), 0);
  EXPECT_EQ(out, "XML 106 a.xml [first]\nZIPRES 133 b.bin []\n");

  WriteWholeFile(dir_.File("src/res/a.xml"), "second, longer");
  ASSERT_EQ(Run(build, out), 0) << out;
  ASSERT_EQ(Run(dir_.File("build/show"), out), 0);
  EXPECT_EQ(out, "XML 106 a.xml [second, longer]\nZIPRES 133 b.bin []\n");
}

}  // namespace
