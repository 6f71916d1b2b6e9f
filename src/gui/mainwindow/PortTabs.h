#pragma once
// The main window's port tabs with the setup panel under them: one tab per
// present port in ascending order of COM number (the user may drag them),
// each drawn with its enabled or disabled glyph in the port's colour and
// hinting its path (and stable name) or that its device has gone, and the
// port's figures as they are when the hint shows (PortTabHint). The
// selected tab is the session's selected port; the panel shows its line
// settings and modem lines and applies the user's changes at once, and
// PortShown tells the status bar which port that is, and its settings.
//
// Main thread only; the session and the display (whose colours the
// captions take) outlive it.

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include "core/capture/PortEvent.h"

class QPainter;

namespace tapwise {

class DisplayPaintBox;
class MonitorSession;
class PortSetupPanel;
class TTabControlSmart;

class PortTabs : public QWidget {
  Q_OBJECT
 public:
  PortTabs(MonitorSession& session, QWidget* parent = nullptr);

  // The captions are drawn in the display's port colours; after a change of
  // them the tabs and the selected port's panel are drawn again.
  void SetCaptionColours(const DisplayPaintBox& display) { m_display = &display; }
  void ColoursChanged();

  TTabControlSmart* Tabs() const { return m_tabs; }
  PortSetupPanel* Setup() const { return m_setup; }
  int Count() const;
  // COM number shown by each tab, by tab index; 0 for no tab.
  uint8_t TabPort(int index) const;

  void RemoveAll();
  // A tab for every present port, then the selected port's tab current.
  void Build();
  // Ports that came and went since the last tick: tabs, glyphs and hints.
  void ShowChanges(const std::vector<PortEvent>& changes);
  // The current tab's port becomes the selected one, its settings shown.
  void ShowSelectedPort();
  // The first tab current, as after a project was read (captions follow
  // the names the project gave the ports).
  void SelectFirst();

 signals:
  // The selected port as the status bar names it: "COM40 Meter · 115200,8N1",
  // in the port's colour; after a change of tab or of its settings.
  void PortShown(const QString& text, const QColor& colour);

 private:
  // A tab for a present port, in ascending order of COM number.
  void AddPortTab(uint8_t port);
  int TabIndexOf(uint8_t port) const;
  // "COM40", or "COM40 Meter" when the user named the port.
  QString PortCaption(uint8_t port) const;
  void EmitPortShown(uint8_t port);
  QString PortHint(uint8_t port) const;
  void PortControlChange();
  void bDisableClick(bool down);
  void PortControlTabDrawTab(QPainter& canvas, int index, const QRect& rect, bool active);
  void SwapTabData(int indexA, int indexB);

  MonitorSession& m_session;
  const DisplayPaintBox* m_display = nullptr;
  TTabControlSmart* m_tabs;
  PortSetupPanel* m_setup;
  std::array<uint8_t, 128> m_tabPorts{};
};

}  // namespace tapwise
