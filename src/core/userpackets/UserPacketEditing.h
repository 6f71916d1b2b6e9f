#pragma once
// What the user packets window does to a text before it stores it: trimming
// an edited cell, flattening a pasted clipboard text to one line, and turning
// a pasted hex list into packet syntax with the printable bytes quoted.

#include <string>
#include <string_view>

namespace tapwise {

// The text without its leading and trailing bytes 00h..20h.
std::string TrimPacketText(std::string_view text);

// A clipboard text as one line: every byte below 20h becomes a space, then
// the ends are trimmed.
std::string CleanPastedText(std::string_view text);

// "Paste as ASCII": a list of hex numbers (separated by spaces, tabs, CR,
// LF or commas) becomes packet syntax that compiles back to the same bytes:
// runs of printable bytes (20h..7Eh) in quotes, other bytes as two hex digits
// and a space ("48 65 6C 6C 6F 0D 0A" gives "\"Hello\" 0D 0A "). The quote
// and the apostrophe would end a quoted run, so they are written in hex. A
// text that is not a hex list comes back unchanged; a number above FFh gives
// its low byte.
std::string HexListToPacketText(std::string_view text);

}  // namespace tapwise
