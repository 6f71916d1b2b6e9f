#pragma once
// How the windows draw packets: the display font (name and size as the
// settings keep them), the colour table of the display and the port tabs,
// and the precision of the packet times in hex lines. The window program
// makes one and hands it to every window; a window that draws with it
// listens to FontChanged, ColoursChanged or TimeChanged, and one that edits
// it calls SetFont, SetColour or SetTime, which announce the change at once.
//
// Filled from the user settings at start-up and put back into them when the
// main window closes (see core/config/UserSettings.h: the stored keys and
// their order are the settings'). Main thread only.

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/config/ColourTable.h"
#include "core/config/UserSettings.h"

namespace tapwise {

class Appearance : public QObject {
  Q_OBJECT
 public:
  explicit Appearance(QObject* parent = nullptr) : QObject(parent) {}

  const std::string& FontName() const { return m_fontName; }
  int32_t FontSize() const { return m_fontSize; }
  const ColourTable& Colours() const { return m_colours; }
  TimeStyle Time() const { return m_time; }

  void SetFont(const std::string& name, int32_t size);
  void SetColour(size_t entry, int32_t value);
  // Tenths, ms or us; the same precision again announces nothing.
  void SetTime(TimeStyle style);

  // Takes font, colours and time precision from the settings read,
  // announcing each.
  void Load(const UserSettings& settings);
  // Puts them into the settings to be written.
  void Keep(UserSettings& settings) const;

 signals:
  void FontChanged();
  void ColoursChanged();
  void TimeChanged();

 private:
  std::string m_fontName{DefaultFontName};
  int32_t m_fontSize = DefaultFontSize;
  ColourTable m_colours;
  TimeStyle m_time = TimeStyle::Tenths;
};

}  // namespace tapwise
