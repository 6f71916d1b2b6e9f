#pragma once
// Shows 8-bit text on a UTF-8 terminal, one character cell per byte, so that
// columns of hex lines and text stay aligned. Printable ASCII passes as it
// is, 80h-FFh go through the Windows-1252 table (B7h is the middle dot that
// stands in for unprintable bytes), 7Fh becomes U+2302 so the cell stays
// visible. Control bytes below 20h and the five codes the table leaves
// undefined become U+FFFD: a C0 or C1 control code point reaching a terminal
// could act on it instead of being shown.

#include <string>
#include <string_view>

namespace tapwise {

std::string Windows1252ToUtf8(std::string_view bytes);

// The character a byte stands for, exactly: control bytes stay themselves,
// and the five codes the table leaves undefined map to the C1 code points of
// the same value, so that every byte converts back to itself.
char16_t Windows1252ToUnicode(uint8_t byte);

}  // namespace tapwise
