#pragma once
// What a front end hears of the session's edits. The session calls it on
// the thread that made the edit (the window's, or the headless loop's),
// after the edit and its side effects (project marked changed, triggers
// rebuilt, display cleared) are done; a listener presents the new state and
// makes no edit of its own from inside the call.

namespace tapwise {

enum class SessionChange {
  PortSettings,  // a port's line settings
  PacketGap,     // the quiet gap that ends a packet
  DisplayMode,   // hex lines or ASCII text; the display has been cleared
  UserPackets,   // the user packet and trigger texts; triggers rebuilt
  PlaySettings,  // one-shot, play gap, repeat, terminator
  Highlights,    // the highlight rules; the held lines marked again
  RecordRotation,  // how the next recording moves on to new files
};

class SessionListener {
 public:
  virtual ~SessionListener() = default;
  virtual void SessionChanged(SessionChange change) = 0;
};

}  // namespace tapwise
