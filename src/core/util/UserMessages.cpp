#include "core/util/UserMessages.h"

#include <utility>

namespace tapwise {

void UserMessages::Post(std::string text) {
  {
    std::lock_guard lock(m_mutex);
    if (m_texts.size() >= Capacity) {
      ++m_dropped;
      return;
    }
    m_texts.push_back(std::move(text));
  }
  if (m_wake != nullptr) m_wake->Notify();
}

std::vector<std::string> UserMessages::TakeAll() {
  std::deque<std::string> texts;
  size_t dropped;
  {
    std::lock_guard lock(m_mutex);
    texts.swap(m_texts);
    dropped = std::exchange(m_dropped, 0);
  }
  std::vector<std::string> result(std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
  if (dropped > 0) {
    result.push_back("\\b\\1" + std::to_string(dropped) + " more message" + (dropped == 1 ? "" : "s") +
                     " like these were left out");
  }
  return result;
}

bool UserMessages::Empty() const {
  std::lock_guard lock(m_mutex);
  return m_texts.empty() && m_dropped == 0;
}

}  // namespace tapwise
