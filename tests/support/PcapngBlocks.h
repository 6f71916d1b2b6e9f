#pragma once
// A strict reader of the pcapng blocks this program writes, independent of
// the writer: it checks every length, padding and option list, and stops at
// the first thing that is not exact. Tests use it where tshark would be
// forgiving (padding bytes, a missing end of options) or silent (the exact
// end of the last block).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tapwise {

struct PcapngOption {
  uint16_t Code = 0;
  std::string Value;
};

struct PcapngBlock {
  uint32_t Type = 0;
  size_t Offset = 0;  // where it starts in the file
  size_t Length = 0;  // total, both length fields included
  // Interface description: its link type and snapshot length.
  uint16_t LinkType = 0;
  uint32_t SnapLength = 0;
  // Enhanced packet.
  uint32_t Interface = 0;
  uint64_t Timestamp = 0;
  uint32_t OriginalLength = 0;
  std::string Data;
  std::vector<PcapngOption> Options;

  // The value of the first option with this code, or "" (Found says whether).
  std::string Option(uint16_t code, bool* found = nullptr) const;
};

struct PcapngFile {
  std::vector<PcapngBlock> Blocks;
  // Empty when every byte of the file belongs to a well-formed block.
  std::string Error;
};

PcapngFile ReadPcapngBlocks(std::string_view file);

}  // namespace tapwise
