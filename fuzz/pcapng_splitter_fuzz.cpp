// The capture interface's cut of a live feed into whole pcapng blocks, on
// any stream a feed may send, cut into reads at places the input chooses:
// what it passes on is always the stream's own beginning, the same whatever
// the cuts, and once it refuses a stream it passes on nothing more.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzFile.h"
#include "extcap/PcapngBlockSplitter.h"

namespace {

using tapwise::PcapngBlockSplitter;
using tapwise::Require;

// The blocks passed on; `refused` says whether the stream was refused.
std::string SplitInReads(std::string_view stream, const uint8_t* cuts, size_t cutCount, bool& refused) {
  PcapngBlockSplitter splitter;
  std::string passed;
  refused = false;
  size_t at = 0;
  for (size_t read = 0; at < stream.size(); ++read) {
    const size_t length =
        cutCount == 0 ? stream.size() - at : std::min<size_t>(stream.size() - at, 1 + cuts[read % cutCount] % 97);
    const bool taken = splitter.Add(stream.substr(at, length));
    const std::string blocks = splitter.TakeBlocks();
    if (refused) Require(blocks.empty() && !taken);
    passed += blocks;
    refused = refused || !taken;
    at += length;
  }
  return passed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte says how many of the next bytes are cut lengths.
  const size_t cutCount = std::min<size_t>(data[0] % 16, size - 1);
  const uint8_t* cuts = data + 1;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1 + cutCount), size - 1 - cutCount);
  bool refusedWhole = false;
  bool refusedCut = false;
  const std::string whole = SplitInReads(stream, nullptr, 0, refusedWhole);
  const std::string cut = SplitInReads(stream, cuts, cutCount, refusedCut);
  Require(stream.substr(0, whole.size()) == whole);
  Require(cut == whole && refusedCut == refusedWhole);
  return 0;
}
