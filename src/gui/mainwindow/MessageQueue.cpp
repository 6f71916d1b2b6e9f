#include "gui/mainwindow/MessageQueue.h"

#include "gui/controls/WindowDialogs.h"

namespace tapwise {

void MessageQueue::Add(std::vector<std::string> markup) {
  for (std::string& text : markup) m_waiting.push_back(std::move(text));
}

void MessageQueue::ShowAll() {
  if (m_showing) return;
  m_showing = true;
  while (!m_waiting.empty()) {
    const std::string text = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_dialogs.MsgError(text);
  }
  m_showing = false;
}

}  // namespace tapwise
