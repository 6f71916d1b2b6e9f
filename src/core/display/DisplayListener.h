#pragma once
// What the display lines tell their owner as they grow. Both calls come
// from inside the display's packet sink on the tick's thread; neither may add
// lines itself.

#include "core/display/DisplayLine.h"

namespace tapwise {

class DisplayListener {
 public:
  virtual ~DisplayListener() = default;

  // All lines of one packet are in: the view should follow the newest line.
  // Called once per packet shown, never once per line; a window may note it
  // and scroll and repaint once after the drain.
  virtual void PacketShown() {}

  // The line's text will not change any more: a hex line as soon as it is
  // written, an ASCII line when the line after it starts (or when the drain
  // is told to finish it). Each line is reported once, while it is held.
  virtual void LineFinished(const DisplayLine&) {}
};

}  // namespace tapwise
