#include "gui/appearance/Appearance.h"

namespace tapwise {

void Appearance::SetFont(const std::string& name, int32_t size) {
  m_fontName = name;
  m_fontSize = size;
  emit FontChanged();
}

void Appearance::SetColour(size_t entry, int32_t value) {
  if (entry >= ColourTable::Count) return;
  m_colours[entry] = value;
  emit ColoursChanged();
}

void Appearance::SetTime(TimeStyle style) {
  if (style == m_time) return;
  m_time = style;
  emit TimeChanged();
}

void Appearance::Load(const UserSettings& settings) {
  m_fontName = settings.FontName;
  m_fontSize = settings.FontSize;
  m_colours = settings.Colours;
  m_time = settings.DisplayTime;
  emit ColoursChanged();
  emit TimeChanged();
  emit FontChanged();
}

void Appearance::Keep(UserSettings& settings) const {
  settings.FontName = m_fontName;
  settings.FontSize = m_fontSize;
  settings.Colours = m_colours;
  settings.DisplayTime = m_time;
}

}  // namespace tapwise
