#include "gui/mainwindow/MainKeys.h"

namespace tapwise {

MainKeyCommand DecodeMainKey(int key, Qt::KeyboardModifiers modifiers) {
  MainKeyCommand command;
  const bool alt = modifiers & Qt::AltModifier;
  const bool ctrl = modifiers & Qt::ControlModifier;
  const bool shift = modifiers & Qt::ShiftModifier;

  if (key == Qt::Key_F4 && alt) {
    command.Action = MainKeyCommand::Close;
    return command;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
    command.Action = MainKeyCommand::Swallow;
    if (alt || (modifiers & Qt::MetaModifier)) return command;
    const int n = key - Qt::Key_F1 + 1;
    command.Action = MainKeyCommand::UserPacket;
    command.Packet = n + (ctrl ? 12 : 0) + (shift ? 24 : 0);
    return command;
  }
  if (alt) {
    command.AltKey = true;
    switch (key) {
      case Qt::Key_F: command.Action = MainKeyCommand::Freeze; break;
      case Qt::Key_C: command.Action = MainKeyCommand::Clear; break;
      case Qt::Key_P: command.Action = MainKeyCommand::Play; break;
      case Qt::Key_R: command.Action = MainKeyCommand::Record; break;
      case Qt::Key_S: command.Action = MainKeyCommand::Stop; break;
      case Qt::Key_A: command.Action = MainKeyCommand::Pause; break;
      case Qt::Key_X: command.Action = MainKeyCommand::Close; break;
      case Qt::Key_U: command.Action = MainKeyCommand::UserPacketsWindow; break;
      case Qt::Key_O: command.Action = MainKeyCommand::Options; break;
      case Qt::Key_H: command.Action = MainKeyCommand::About; break;
      case Qt::Key_L: command.Action = MainKeyCommand::FilterWindow; break;
      case Qt::Key_T: command.Action = MainKeyCommand::StatisticsWindow; break;
      default: break;
    }
    return command;
  }
  switch (key) {
    case Qt::Key_PageDown: command.Action = MainKeyCommand::PageDown; break;
    case Qt::Key_PageUp: command.Action = MainKeyCommand::PageUp; break;
    case Qt::Key_Down: command.Action = MainKeyCommand::LineDown; break;
    case Qt::Key_Up: command.Action = MainKeyCommand::LineUp; break;
    default: break;
  }
  return command;
}

}  // namespace tapwise
