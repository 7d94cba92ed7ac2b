// nuvget's command line: nuvget URL DIR [--md5 HEX] [--id N].
#pragma once

#include <string>
#include <vector>

struct NuvgetArgs {
  std::string url;
  std::string dir;
  std::string md5;  // empty, or 32 hexadecimal digits
  int id = 1;
};

inline constexpr const char* kNuvgetUsage = "usage: nuvget URL DIR [--md5 HEX] [--id N]";

// The arguments after the program name; false with `why` set when they are not a valid command
// line. A digest that is not 32 hexadecimal digits is refused: a shorter text would check nothing.
bool ParseNuvgetArgs(const std::vector<std::string>& args, NuvgetArgs& out, std::string& why);
