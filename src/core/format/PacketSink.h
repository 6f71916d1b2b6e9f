#pragma once
// Whatever takes the captured packets: the display lines, the recorder, a
// recording of its own, the headless writer. The session drains the capture
// queue once per tick and hands every packet of an enabled port, counted and
// in queue order, to each registered sink in the order they were registered
// (MonitorSession::AddSink, one line). A packet of a port that is not
// enabled reaches no sink and is not counted.
//
// The contract:
//  - Take runs on the tick's thread (the window's or the headless loop's),
//    once per packet, never concurrently with itself or another sink.
//  - It must not block. A sink that writes to something that can be slow
//    (a pipe, a socket client) queues into a bounded buffer of its own and,
//    when that is full, drops its client or its data, never the capture.
//  - It never reaches back into the port manager, the queue or the other
//    sinks; what it needs of a packet is in the view, and what it keeps it
//    copies (the view and its lines are gone after the call).
//  - It decides for itself whether it wants the packet (frozen display,
//    paused or idle recorder) and which form: the record's bytes, or the
//    hex lines, which are formatted once for all the sinks of a packet.
//  - A sink is removed (MonitorSession::RemoveSink) before it is destroyed.

#include "core/format/PacketView.h"

namespace tapwise {

class PacketSink {
 public:
  virtual ~PacketSink() = default;
  virtual void Take(const PacketView& packet) = 0;
};

}  // namespace tapwise
