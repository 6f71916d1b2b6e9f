#include "gui/mainwindow/FilterControls.h"

#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"
#include "gui/filter/FilterForm.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/StatusPanels.h"

namespace tapwise {

FilterControls::FilterControls(MonitorSession& session, TFilterForm& form, DisplayPaintBox& display,
                               StatusPanels& statusBar, QObject* parent)
    : QObject(parent), m_session(session), m_display(display), m_statusBar(statusBar) {
  connect(&form, &TFilterForm::FilterChanged, this, &FilterControls::ShowFilter);
  m_session.AddListener(*this);
}

FilterControls::~FilterControls() { m_session.RemoveListener(*this); }

void FilterControls::SessionChanged(SessionChange change) {
  if (change == SessionChange::Highlights) m_display.update();
}

void FilterControls::ShowFilter() {
  // The rows before and after have nothing in common: the newest is the
  // one place that means the same in both.
  m_display.ScrollToEnd();
  const DisplayDrain& drain = m_session.Drain();
  m_statusBar.SetFilterNote(AnsiToQString(drain.Filter().Describe(m_session.PresentPorts())));
}

}  // namespace tapwise
