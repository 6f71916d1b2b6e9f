#include "gui/mainwindow/TypedKeys.h"

#include <QKeyEvent>

#include "core/capture/TWComms.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"

namespace tapwise {

bool SendTypedKey(QKeyEvent* event, MonitorSession& session) {
  // Alt+letter belongs to the toolbar and never reaches the port; Tab moves
  // between the controls; Delete is an editing key, not a character.
  if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) return false;
  if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Delete) {
    return false;
  }
  const QString text = event->text();
  if (text.isEmpty()) return false;
  const uint8_t port = session.SelectedPort.load();
  for (char byte : QStringToAnsi(text)) {
    if (port != 0) session.Comms().WritePacket(port, reinterpret_cast<const uint8_t*>(&byte), 1);
  }
  return true;
}

}  // namespace tapwise
