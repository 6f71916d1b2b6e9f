#pragma once
// The project file (*.TW): a text file of one setting per line, CR LF ended,
// beginning ";TAPWISE PROJECT":
//   Snnds   port nn (hex) setting d (1 baud, 2 parity, 3 data bits, 4 stop
//           bits, 5 RTS, 6 DTR) := decimal s; only settings off their default
//   C1x C2x C3hh C4hh C5hh C6x C7d
//           HexDisplay, OneShot, PlayGap, TerminatorChar, TerminatorCount's
//           low byte, Repeat, PacketGap; always all seven
//   C8d     the whole TerminatorCount, only when it does not fit C5's byte
//           (older readers ignore the line and keep the low byte)
//   ROTATE:text  how recordings rotate, as -rotate: takes it (100M,10,
//           every=1h); only when they do. Older readers ignore the line.
//   UPiitext / UTiitext   user packet / trigger of row ii (hex); only
//           texts that are not empty
//   Hnrrggbbtext   highlight rule n (1..8): the background in hex, then
//           the pattern; only rules whose pattern is not empty (a reader
//           that knows no H lines passes over them)
// The reader takes any bytes: lines end at any byte below 32, lines it does
// not know are ignored and the header is not required. Two older fixed-layout
// forms are still read, recognised by their exact sizes; they are never
// written.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/config/ProjectData.h"
#include "core/util/Result.h"

namespace tapwise {

constexpr size_t ProjectFixedLayoutSize = 13828;       // 12-byte port records
constexpr size_t ProjectFixedLayoutShortSize = 13316;  // 8-byte port records
// Far beyond any real project; a larger file is refused with a message.
constexpr size_t MaxProjectFileSize = 16 * 1024 * 1024;

// The text form of a project.
std::string FormatProjectText(const ProjectData& data);

// Reads a whole project file's bytes into data: the fixed layouts by their
// size, anything else as text. Port settings and packet texts start from
// their defaults (the writer leaves defaults out); the options keep their
// values unless the file sets them. Never fails.
void ReadProjectBytes(std::string_view bytes, ProjectData& data);

// What reading a project file came to. Of its three outcomes only one is a
// failure: the file was read; there is no such file, which is no error (a
// first start has none, and nothing is said of it); or the file exists and
// could not be read. That failure travels in a Result as every expected
// failure does. "Missing" is a flag beside a successful Result rather than
// a third kind of Result, so that no other user of Result has to know of a
// failure that is not one.
struct [[nodiscard]] ProjectRead {
  bool Missing = false;                // no such file: nothing read, nothing to say
  Result Outcome = Result::Success();  // the file exists and could not be read: why
  // The file was read into the data.
  bool Read() const { return !Missing && Outcome.Ok(); }
};

// Reads the file at path into data (ReadProjectBytes). A missing file or
// one that cannot be read leaves data as it was; the failure's message is
// plain text naming the file and the reason.
[[nodiscard]] ProjectRead ReadProjectFile(const std::string& path, ProjectData& data);

// Saves the text form to path: written beside it and renamed over it only
// when every byte is on disk, so a failed save leaves the old file whole.
// A failure's message is plain text naming the file and the reason.
[[nodiscard]] Result WriteProjectFile(const std::string& path, const ProjectData& data);

}  // namespace tapwise
