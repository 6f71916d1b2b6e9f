#include "core/recorder/TxThread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "core/capture/TWComms.h"
#include "core/recorder/Recorder.h"
#include "core/util/Clock.h"
#include "core/util/StopHandshake.h"

namespace tapwise {

namespace {
constexpr auto PassInterval = std::chrono::milliseconds(10);
constexpr uint32_t ModemPollMs = 250;
constexpr uint32_t GapUnitMs = 100;

// A tick at or after `due`, even across the counter's wrap.
bool Reached(uint32_t now, uint32_t due) { return static_cast<int32_t>(now - due) >= 0; }

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
                     std::atomic<uint8_t>& modemStatus)
    : m_recorder(recorder), m_comms(comms), m_selectedPort(selectedPort), m_modemStatus(modemStatus) {
  m_thread = std::thread([this] { Execute(); });
}

TTxThread::~TTxThread() { Stop(); }

void TTxThread::Stop() {
  if (!m_thread.joinable()) return;
  StopRequest.store(1);
  WaitForStopCleared(StopRequest);
  m_thread.join();
}

void TTxThread::Execute() {
  LowerPriority();
  uint32_t nextPoll = TickCount();
  while (StopRequest.load() == 0) {
    std::this_thread::sleep_for(PassInterval);
    const uint32_t now = TickCount();
    if (Reached(now, nextPoll)) {
      nextPoll = now + ModemPollMs;
      const uint8_t port = m_selectedPort.load();
      if (port != 0) m_modemStatus.store(m_comms.GetModemLines(port));
    }
    PlayIfDue(now);
  }
  StopRequest.store(0);
}

void TTxThread::PlayIfDue(uint32_t now) {
  if (!IsPlayingState(m_recorder.State()) || m_recorder.Paused() || m_recorder.PlayFileError()) return;
  // The port selected at the moment of the step: changing the tab moves the
  // following packets to the new port.
  auto send = [this](const uint8_t* bytes, uint16_t count) {
    m_comms.WritePacket(m_selectedPort.load(), bytes, count);
  };
  const PlaySettings settings = m_recorder.GetPlaySettings();
  if (settings.OneShot != 0) {
    m_recorder.PlayStep(send);
    m_recorder.SetPaused(true);
  } else if (Reached(now, m_recorder.NextSendTime())) {
    m_recorder.PlayStep(send);
    m_recorder.SetNextSendTime(TickCount() + settings.PlayGap * GapUnitMs);
  }
}

}  // namespace tapwise
