#include "gui/mainwindow/DisplayCommands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

#include "core/session/MonitorSession.h"
#include "core/userpackets/ClipboardPacket.h"
#include "gui/controls/AnsiText.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MessageQueue.h"

namespace tapwise {

namespace {

std::string ClipboardText() { return QStringToAnsi(QGuiApplication::clipboard()->text()); }

}  // namespace

DisplayCommands::DisplayCommands(DisplayPaintBox& display, MonitorSession& session, MessageQueue& messages,
                                 QObject* parent)
    : QObject(parent), m_display(display), m_session(session), m_messages(messages) {
  connect(display.mCopy, &QAction::triggered, this, &DisplayCommands::mCopyClick);
  connect(display.mSend, &QAction::triggered, this, &DisplayCommands::mSendClick);
  connect(display.mSendHex, &QAction::triggered, this, &DisplayCommands::mSendHexClick);
  connect(display.mPlayThisPacket, &QAction::triggered, this, &DisplayCommands::mPlayThisPacketClick);
}

void DisplayCommands::mCopyClick() {
  QGuiApplication::clipboard()->setText(AnsiToQString(m_display.Selection().SelectedPacketText()));
}

void DisplayCommands::mSendClick() { SendClipboardPacket(ReadRawPacket(ClipboardText())); }

void DisplayCommands::mSendHexClick() {
  SendClipboardPacket(ReadHexOrRaw(ClipboardText(), m_session.Drain().HexDisplay()));
}

void DisplayCommands::mPlayThisPacketClick() {
  SendClipboardPacket(ReadHexOrRaw(m_display.Selection().SelectedPacketText(), m_session.Drain().HexDisplay()));
}

void DisplayCommands::SendClipboardPacket(const ClipboardPacket& packet) {
  if (packet.InvalidHex) {
    m_messages.Add(std::string(InvalidHexDataMessage));
    m_messages.ShowAll();
    return;
  }
  const uint8_t port = m_session.SelectedPort.load();
  if (packet.Bytes.empty() || port == 0) return;
  m_session.Comms().WritePacket(port, packet.Bytes.data(), static_cast<uint16_t>(packet.Bytes.size()));
}

}  // namespace tapwise
