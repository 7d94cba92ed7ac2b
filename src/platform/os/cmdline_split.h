// Splitting one command-line text into arguments by the Windows rules, and the quoting that
// survives that splitting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nuv::os {

// The first argument (program name) ends at the next space or tab, or, when it starts with a
// quote, at the next quote (no backslash rules). Every later argument: spaces and tabs separate
// outside quotes; 2n backslashes + quote give n backslashes and toggle quoting; 2n+1 backslashes
// + quote give n backslashes and a literal quote; other backslashes are literal; inside quotes a
// doubled quote gives one literal quote and ends the quoting. An empty text gives no arguments.
std::vector<std::u16string> SplitCommandLine(std::u16string_view commandLine);

// The argument quoted so that SplitCommandLine gives it back unchanged (not for the program name).
std::u16string QuoteArgument(std::u16string_view argument);

}  // namespace nuv::os
