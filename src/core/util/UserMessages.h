#pragma once
// Messages for the user from code that must not wait for a window: receive
// threads, the project reader, the trigger rebuild. Each text is markup (as
// MsgError shows it, e.g. "\bError in User Packet"). Any thread posts; the
// window's timer takes them all and shows each one, the headless program
// prints them to stderr as plain text (MarkupToPlainText).
//
// Posting never blocks for long and never fails. So that a trigger firing
// many times a second with a faulty reply cannot grow the queue without
// bound, at most Capacity messages wait; later ones are counted, and the
// next TakeAll ends with one message saying how many were left out.

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/util/WakeSignal.h"

namespace tapwise {

class UserMessages {
 public:
  static constexpr size_t Capacity = 100;

  // Before anyone posts; each post then notifies it, so a sleeping front
  // end shows the message at once.
  void SetWakeSignal(WakeSignal* wake) { m_wake = wake; }
  void Post(std::string text);
  // Every waiting message, oldest first; the queue is then empty.
  std::vector<std::string> TakeAll();
  bool Empty() const;

 private:
  mutable std::mutex m_mutex;
  std::deque<std::string> m_texts;
  size_t m_dropped = 0;
  WakeSignal* m_wake = nullptr;
};

}  // namespace tapwise
