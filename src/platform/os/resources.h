// The resource table compiled into the executable from resources/resources.list ("TYPE ID FILE"
// lines), with an optional overlay folder for tests and demos.
//
// Overlay: when the environment variable NUV_RESOURCE_DIR names a folder, an entry whose FILE
// exists there is served from that file instead of the compiled bytes; an absent file falls back
// to the compiled bytes. A file named FILE + ".missing" in that folder makes the entry count as
// missing (LoadResource returns nothing), so "resource missing" can be tested end to end.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nuv::os {

inline constexpr const char* kResourceDirEnv = "NUV_RESOURCE_DIR";
inline constexpr const char* kResourceMissingSuffix = ".missing";

struct ResourceInfo {
  std::string type;  // "XML", "ZIPRES", ...
  int id = 0;
  std::string file;  // file name in resources/ (and in the overlay folder)
};

// The bytes of resource (type, id), or nothing when it is not in the table or the overlay marks it
// missing. Type names compare exactly.
std::optional<std::string> LoadResource(std::string_view type, int id);

// Every compiled-in entry, in manifest order.
std::vector<ResourceInfo> ListResources();

}  // namespace nuv::os
