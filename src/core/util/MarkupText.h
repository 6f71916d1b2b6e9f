#pragma once
// Message markup without a window: for printing a message on a terminal or
// into a log.

#include <string>
#include <string_view>

namespace tapwise {

// The text with every escape removed: a backslash and the character after it
// vanish, except that "\n" becomes a line break (LF) and "\t" a tab (either
// letter in any case, as the markup reads them). A backslash at the very end
// vanishes.
std::string MarkupToPlainText(std::string_view markup);

}  // namespace tapwise
