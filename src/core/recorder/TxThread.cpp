#include "core/recorder/TxThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "core/capture/TWComms.h"
#include "core/recorder/Recorder.h"
#include "core/util/Clock.h"
#include "core/util/StopHandshake.h"

namespace tapwise {

namespace {
constexpr uint32_t ModemPollMs = 250;
constexpr uint32_t GapUnitMs = 100;

// A tick at or after `due`, even across the counter's wrap.
bool Reached(uint32_t now, uint32_t due) { return static_cast<int32_t>(now - due) >= 0; }

int MillisecondsUntil(uint32_t now, uint32_t due) { return Reached(now, due) ? 0 : static_cast<int>(due - now); }

// The sooner of two waits, -1 being none.
int Sooner(int a, int b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

// One step below normal: on Linux a thread's nice value is its own. An
// unprivileged process may always lower its priority; a failure changes
// nothing that matters.
void LowerPriority() {
  const auto self = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  int nice = ::getpriority(PRIO_PROCESS, self);
  if (errno == 0) ::setpriority(PRIO_PROCESS, self, nice + 1);
}
}  // namespace

TTxThread::TTxThread(Recorder& recorder, TWComms& comms, std::atomic<uint8_t>& selectedPort,
                     std::atomic<uint8_t>& modemStatus, const std::atomic<uint8_t>& watchModemLines)
    : m_recorder(recorder),
      m_comms(comms),
      m_selectedPort(selectedPort),
      m_modemStatus(modemStatus),
      m_watchModemLines(watchModemLines) {
  m_thread = std::thread([this] { Execute(); });
}

TTxThread::~TTxThread() { Stop(); }

void TTxThread::Stop() {
  if (!m_thread.joinable()) return;
  StopRequest.store(1);
  Wake();
  WaitForStopCleared(StopRequest);
  m_thread.join();
}

void TTxThread::Wake() {
  {
    std::lock_guard lock(m_wakeMutex);
    m_woken = true;
  }
  m_wakeCondition.notify_one();
}

void TTxThread::SleepFor(int milliseconds) {
  std::unique_lock lock(m_wakeMutex);
  auto woken = [this] { return m_woken || StopRequest.load() != 0; };
  if (milliseconds < 0) {
    m_wakeCondition.wait(lock, woken);
  } else {
    m_wakeCondition.wait_for(lock, std::chrono::milliseconds(milliseconds), woken);
  }
  m_woken = false;
}

void TTxThread::Execute() {
  LowerPriority();
  m_nextModemPoll = TickCount();
  while (StopRequest.load() == 0) {
    m_passes.fetch_add(1);
    const uint32_t now = TickCount();
    const int modemWait = PollModemLines(now);
    const int playWait = PlayIfDue(now);
    SleepFor(Sooner(modemWait, playWait));
  }
  StopRequest.store(0);
}

int TTxThread::PollModemLines(uint32_t now) {
  const uint8_t port = m_selectedPort.load();
  if (m_watchModemLines.load() == 0 || port == 0) return -1;
  if (!m_comms.HasModemLines(port)) {
    // A port without modem lines (a pseudo-terminal) shows them all low,
    // and is not asked again until something wakes this thread.
    m_modemStatus.store(0);
    return -1;
  }
  if (Reached(now, m_nextModemPoll)) {
    m_nextModemPoll = now + ModemPollMs;
    m_modemStatus.store(m_comms.GetModemLines(port));
  }
  return MillisecondsUntil(now, m_nextModemPoll);
}

int TTxThread::PlayIfDue(uint32_t now) {
  if (!IsPlayingState(m_recorder.State()) || m_recorder.Paused() || m_recorder.PlayFileError()) return -1;
  // The port selected at the moment of the step: changing the tab moves the
  // following packets to the new port.
  auto send = [this](const uint8_t* bytes, uint16_t count) {
    m_comms.WritePacket(m_selectedPort.load(), bytes, count);
  };
  const PlaySettings settings = m_recorder.GetPlaySettings();
  if (settings.OneShot != 0) {
    m_recorder.PlayStep(send);
    m_recorder.SetPaused(true);
    return -1;
  }
  if (Reached(now, m_recorder.NextSendTime())) {
    m_recorder.PlayStep(send);
    m_recorder.SetNextSendTime(TickCount() + settings.PlayGap * GapUnitMs);
  }
  // Passes stay 10 ms apart, as they always were: a play gap of 0 sends a
  // packet a pass, and at the end of a file that does not repeat (the
  // recorder has asked the window to stop) the passes find nothing to do.
  return std::max(MillisecondsUntil(TickCount(), m_recorder.NextSendTime()), 10);
}

}  // namespace tapwise
