#pragma once
// The main window's message boxes, shown one after another. A box runs its
// own event loop, in which the window's timer goes on: what comes meanwhile
// waits and is shown when the box is closed, never as a box over a box.
// Main thread only; the dialogs outlive the queue.

#include <deque>
#include <string>
#include <vector>

namespace tapwise {

class WindowDialogs;

class MessageQueue {
 public:
  explicit MessageQueue(WindowDialogs& dialogs) : m_dialogs(dialogs) {}

  // In message markup, shown as error boxes.
  void Add(std::string markup) { m_waiting.push_back(std::move(markup)); }
  void Add(std::vector<std::string> markup);
  // Shows what waits, unless a box of this queue is up already.
  void ShowAll();

 private:
  WindowDialogs& m_dialogs;
  std::deque<std::string> m_waiting;
  bool m_showing = false;
};

}  // namespace tapwise
