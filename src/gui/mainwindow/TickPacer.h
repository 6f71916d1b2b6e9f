#pragma once
// The main window's timer pass, paced by the session: every 50 ms while
// there is traffic, playback or anything else to show, once a second while
// the monitor sleeps (the status bar's clock, a rotation due by time). While
// it sleeps, the session's wake descriptor (a packet queued, a message, a
// port that came or went) and the user's input (a key, a click, the wheel,
// anywhere in the program) run a pass at once and bring back the 50 ms pace,
// so the first packet after an idle hour shows as fast as any.
//
// It sees the input through an application-wide event filter: made after
// the main window's own (the filter installed last sees an event first), it
// sees every key before the window takes it.
//
// It also lets the playback thread know that the window shows the selected
// port's modem lines, and looks at them again after the user's input (which
// may have picked another tab). Main thread only; the session outlives it.

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <functional>

class QSocketNotifier;

namespace tapwise {

class MonitorSession;

class TickPacer : public QObject {
  Q_OBJECT
 public:
  using Observer = std::function<void(size_t queued, int64_t microseconds)>;

  TickPacer(MonitorSession& session, std::function<void()> pass, QObject* parent);
  ~TickPacer() override;

  void Start();
  void Stop();
  bool Running() const { return m_timer.isActive(); }
  // The timer runs at the sleeping pace.
  bool Asleep() const { return m_timer.interval() != m_awakeInterval; }
  // After every pass: the records waiting when it began and how long it took.
  void SetObserver(Observer observer) { m_observer = std::move(observer); }
  // How many passes ran, and how many of them a wake-up brought early.
  uint64_t Passes() const { return m_passes; }
  uint64_t WakeUps() const { return m_wakeUps; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunPass();
  void WokenBySession();
  // Sets the timer's pace to what the session asks for.
  void FollowSession();

  MonitorSession& m_session;
  std::function<void()> m_pass;
  QTimer m_timer;
  QSocketNotifier* m_notifier = nullptr;
  int m_awakeInterval;
  Observer m_observer;
  uint64_t m_passes = 0;
  uint64_t m_wakeUps = 0;
};

}  // namespace tapwise
