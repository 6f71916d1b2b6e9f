#include "gui/mainwindow/TickPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>

#include <chrono>

#include "core/session/MonitorSession.h"

namespace tapwise {

TickPacer::TickPacer(MonitorSession& session, std::function<void()> pass, QObject* parent)
    : QObject(parent), m_session(session), m_pass(std::move(pass)), m_awakeInterval(MonitorSession::TickMs) {
  m_timer.setInterval(m_awakeInterval);
  connect(&m_timer, &QTimer::timeout, this, &TickPacer::RunPass);
  if (session.WakeHandle() >= 0) {
    m_notifier = new QSocketNotifier(session.WakeHandle(), QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &TickPacer::WokenBySession);
  }
  QCoreApplication::instance()->installEventFilter(this);
}

TickPacer::~TickPacer() { QCoreApplication::instance()->removeEventFilter(this); }

void TickPacer::Start() {
  m_session.WatchModemLines(true);
  m_timer.setInterval(m_awakeInterval);
  m_timer.start();
}

void TickPacer::Stop() {
  m_timer.stop();
  if (m_notifier) m_notifier->setEnabled(false);
  m_session.WatchModemLines(false);
}

void TickPacer::RunPass() {
  const auto start = std::chrono::steady_clock::now();
  const size_t queued = m_observer ? m_session.Comms().Queue().Count() : 0;
  ++m_passes;
  m_pass();
  if (m_observer) {
    m_observer(queued, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                           .count());
  }
  // The pass may have closed the window (and stopped the timer).
  if (m_timer.isActive()) FollowSession();
}

void TickPacer::FollowSession() {
  const bool asleep = m_session.Asleep();
  const int interval = m_session.NextTickMs();
  // setInterval restarts a running timer: only when the pace changes.
  if (m_timer.interval() != interval) m_timer.start(interval);
  // Awake, every pass takes what came anyway: a wake-up per packet would only
  // cost passes.
  if (m_notifier) m_notifier->setEnabled(asleep);
}

void TickPacer::WokenBySession() {
  if (!m_timer.isActive()) return;
  ++m_wakeUps;
  m_notifier->setEnabled(false);
  RunPass();
}

bool TickPacer::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
      if (m_timer.isActive() && Asleep()) {
        m_session.WakeUp();
        m_timer.start(m_awakeInterval);
        if (m_notifier) m_notifier->setEnabled(false);
      }
      // A click or key may have picked another tab, whose modem lines the
      // playback thread then reads.
      if (m_timer.isActive()) m_session.WatchModemLines(true);
      break;
    default:
      break;
  }
  return false;
}

}  // namespace tapwise
