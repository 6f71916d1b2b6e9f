#pragma once
// The project's highlight rules: up to eight patterns (hex bytes or quoted
// text, as PacketPattern reads them), each with the background that the
// lines of a matching packet take in the display. Rule n (1..8) keeps its
// place whether or not the rules before it are used; a rule with a blank
// pattern, or one that does not compile, marks nothing. A packet that
// matches several takes the first.
//
// The display asks through PacketMarker; the session owns the rules and
// the project file stores them. Tick thread (the window's) only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/display/PacketMarker.h"
#include "core/userpackets/PacketPattern.h"

namespace tapwise {

constexpr size_t MaxHighlightRules = 8;

struct HighlightRule {
  std::string Pattern;   // as typed; blank: the rule is not used
  uint32_t Colour = 0;   // background, 0xRRGGBB
  bool operator==(const HighlightRule&) const = default;
};

// By place: rule n is entry n - 1.
using HighlightRuleSet = std::array<HighlightRule, MaxHighlightRules>;

// Eight unused rules, each with its own light background, so that a
// pattern typed into any of them shows at once in a colour of its own.
HighlightRuleSet DefaultHighlightRules();

class HighlightRules : public PacketMarker {
 public:
  HighlightRules();

  // Takes the rules and compiles each pattern.
  void Set(const HighlightRuleSet& rules);
  const HighlightRuleSet& Rules() const { return m_rules; }
  // Why rule n - 1's pattern does not compile (the compiler's message), or
  // "" when it does or is blank.
  const std::string& Problem(size_t index) const { return m_problems[index]; }

  bool Any() const override { return m_any; }
  uint8_t MarkOf(const uint8_t* data, size_t size) const override;
  uint32_t MarkColour(uint8_t mark) const override;

 private:
  HighlightRuleSet m_rules;
  std::array<PacketPattern, MaxHighlightRules> m_patterns;
  std::array<std::string, MaxHighlightRules> m_problems;
  bool m_any = false;
};

}  // namespace tapwise
