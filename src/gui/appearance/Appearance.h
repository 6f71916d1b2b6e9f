#pragma once
// How the windows draw packets: the display font (name and size as the
// settings keep them) and the colour table of the display and the port
// tabs. The window program makes one and hands it to every window; a window
// that draws with it listens to FontChanged or ColoursChanged, and one that
// edits it calls SetFont or SetColour, which announce the change at once.
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

  void SetFont(const std::string& name, int32_t size);
  void SetColour(size_t entry, int32_t value);

  // Takes font and colours from the settings read, announcing both.
  void Load(const UserSettings& settings);
  // Puts font and colours into the settings to be written.
  void Keep(UserSettings& settings) const;

 signals:
  void FontChanged();
  void ColoursChanged();

 private:
  std::string m_fontName{DefaultFontName};
  int32_t m_fontSize = DefaultFontSize;
  ColourTable m_colours;
};

}  // namespace tapwise
