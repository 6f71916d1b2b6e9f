#include "support/PcapngBlocks.h"

namespace tapwise {

namespace {

uint16_t Le16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t Le32(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(Le16(bytes, at)) | static_cast<uint32_t>(Le16(bytes, at + 2)) << 16;
}

size_t Padded(size_t length) { return (length + 3) / 4 * 4; }

bool AllZero(std::string_view bytes) { return bytes.find_first_not_of('\0') == std::string_view::npos; }

// Reads the options of a block body from `at` to its end; "" when they are
// exact: each padded with zero bytes, the list ended by opt_endofopt right
// at the end of the body.
std::string ReadOptions(std::string_view body, size_t at, std::vector<PcapngOption>& options) {
  while (true) {
    if (at + 4 > body.size()) return "the options run past the block or have no end of options";
    const uint16_t code = Le16(body, at);
    const uint16_t length = Le16(body, at + 2);
    at += 4;
    if (code == 0) {
      if (length != 0) return "end of options with a length";
      return at == body.size() ? "" : "bytes after the end of options";
    }
    if (at + Padded(length) > body.size()) return "an option runs past the block";
    options.push_back({code, std::string(body.substr(at, length))});
    if (!AllZero(body.substr(at + length, Padded(length) - length))) return "option padding is not zero";
    at += Padded(length);
  }
}

}  // namespace

std::string PcapngBlock::Option(uint16_t code, bool* found) const {
  for (const PcapngOption& option : Options) {
    if (option.Code != code) continue;
    if (found) *found = true;
    return option.Value;
  }
  if (found) *found = false;
  return "";
}

PcapngFile ReadPcapngBlocks(std::string_view file) {
  PcapngFile result;
  size_t at = 0;
  auto fail = [&](const std::string& why) {
    result.Error = "block at " + std::to_string(at) + ": " + why;
    return result;
  };
  while (at < file.size()) {
    if (file.size() - at < 12) return fail("shorter than a block");
    PcapngBlock block;
    block.Offset = at;
    block.Type = Le32(file, at);
    block.Length = Le32(file, at + 4);
    if (block.Length < 12 || block.Length % 4 != 0) return fail("length " + std::to_string(block.Length));
    if (block.Length > file.size() - at) return fail("cut short");
    if (Le32(file, at + block.Length - 4) != block.Length) return fail("the two lengths differ");
    const std::string_view body = file.substr(at + 8, block.Length - 12);
    std::string problem;
    if (block.Type == 0x0A0D0D0A) {
      if (body.size() < 16 || Le32(body, 0) != 0x1A2B3C4D) return fail("section header without the byte order magic");
      if (Le16(body, 4) != 1 || Le16(body, 6) != 0) return fail("not version 1.0");
      problem = ReadOptions(body, 16, block.Options);
    } else if (block.Type == 1) {
      if (body.size() < 8) return fail("interface description too short");
      block.LinkType = Le16(body, 0);
      block.SnapLength = Le32(body, 4);
      problem = ReadOptions(body, 8, block.Options);
    } else if (block.Type == 6) {
      if (body.size() < 20) return fail("packet block too short");
      block.Interface = Le32(body, 0);
      block.Timestamp = static_cast<uint64_t>(Le32(body, 4)) << 32 | Le32(body, 8);
      const uint32_t captured = Le32(body, 12);
      block.OriginalLength = Le32(body, 16);
      if (20 + Padded(captured) > body.size()) return fail("packet data runs past the block");
      block.Data = std::string(body.substr(20, captured));
      if (!AllZero(body.substr(20 + captured, Padded(captured) - captured))) return fail("data padding is not zero");
      problem = ReadOptions(body, 20 + Padded(captured), block.Options);
    } else {
      return fail("unexpected block type " + std::to_string(block.Type));
    }
    if (!problem.empty()) return fail(problem);
    result.Blocks.push_back(std::move(block));
    at += result.Blocks.back().Length;
  }
  return result;
}

}  // namespace tapwise
