#pragma once
// What follows a change of the display filter in the main window: the
// display takes its new rows (at the newest line, as after a clear) and the
// status bar says in words what the filter hides; and a change of the
// highlight rules repaints the display with the lines' new marks. Made by
// the main window with its parts; main thread only.

#include <QObject>

#include "core/session/SessionListener.h"

namespace tapwise {

class DisplayPaintBox;
class MonitorSession;
class StatusPanels;
class TFilterForm;

class FilterControls : public QObject, private SessionListener {
  Q_OBJECT
 public:
  // All four outlive this, which the parent owns.
  FilterControls(MonitorSession& session, TFilterForm& form, DisplayPaintBox& display, StatusPanels& statusBar,
                 QObject* parent);
  ~FilterControls() override;

  // The display and status bar show the filter as it is now.
  void ShowFilter();

 private:
  void SessionChanged(SessionChange change) override;

  MonitorSession& m_session;
  DisplayPaintBox& m_display;
  StatusPanels& m_statusBar;
};

}  // namespace tapwise
