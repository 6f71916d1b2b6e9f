#pragma once
// The display's popup menu: Copy puts the selected packet on the clipboard;
// Send and Send Hex send the clipboard, read as raw text or as the
// display's lines, and Play This Packet the selected packet, out of the
// selected port. Clipboard text that is not hex is reported through the
// main window's message queue. Main thread only; all three outlive it.

#include <QObject>

namespace tapwise {

struct ClipboardPacket;
class DisplayPaintBox;
class MessageQueue;
class MonitorSession;

class DisplayCommands : public QObject {
  Q_OBJECT
 public:
  // Connects the display's menu actions.
  DisplayCommands(DisplayPaintBox& display, MonitorSession& session, MessageQueue& messages,
                  QObject* parent = nullptr);

  void mCopyClick();
  void mSendClick();
  void mSendHexClick();
  void mPlayThisPacketClick();

 private:
  void SendClipboardPacket(const ClipboardPacket& packet);

  DisplayPaintBox& m_display;
  MonitorSession& m_session;
  MessageQueue& m_messages;
};

}  // namespace tapwise
