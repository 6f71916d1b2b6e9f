#include "core/userpackets/HighlightRules.h"

namespace tapwise {

HighlightRuleSet DefaultHighlightRules() {
  // Stronger than the pale backgrounds of transmissions and errors, so that
  // a marked packet never passes for one of those.
  constexpr std::array<uint32_t, MaxHighlightRules> Backgrounds = {0xFFD966, 0x9FE09F, 0x9CC8FF, 0xFFAFD2,
                                                                   0xFFB870, 0xD2B4FF, 0x8CE6E6, 0xC8C8C8};
  HighlightRuleSet rules;
  for (size_t i = 0; i < MaxHighlightRules; ++i) rules[i].Colour = Backgrounds[i];
  return rules;
}

HighlightRules::HighlightRules() { Set(DefaultHighlightRules()); }

void HighlightRules::Set(const HighlightRuleSet& rules) {
  m_rules = rules;
  m_any = false;
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    m_patterns[i] = PacketPattern();
    m_problems[i].clear();
    if (const Result compiled = PacketPattern::Compile(rules[i].Pattern, m_patterns[i]); !compiled) {
      m_problems[i] = compiled.Message();
    }
    m_any = m_any || !m_patterns[i].Empty();
  }
}

uint8_t HighlightRules::MarkOf(const uint8_t* data, size_t size) const {
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    if (m_patterns[i].Matches(data, size)) return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

uint32_t HighlightRules::MarkColour(uint8_t mark) const {
  if (mark < 1 || mark > MaxHighlightRules || m_patterns[mark - 1].Empty()) return UnmarkedColour;
  return m_rules[mark - 1].Colour & 0xFFFFFF;
}

}  // namespace tapwise
