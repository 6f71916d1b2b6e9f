#pragma once
// The playback thread. While a file plays and neither Pause nor a file error
// holds it, it plays the next packet out of the selected port: in one-shot
// mode one packet and then Pause goes down again; otherwise one packet
// whenever NextSendTime has come, the next one PlayGap × 100 ms after the end
// of this one. While someone watches the modem lines (a window showing the
// selected port's tab) and the selected port can tell them, it reads them
// every 250 ms into ModemStatus. It never touches a window: at the end of a
// file the recorder posts the request to stop (see Recorder).
//
// Between passes it sleeps until the next packet or modem-line read is due,
// or for good when neither is, until Wake: the recorder wakes it for a new
// file, a released Pause and new play settings, the session when the modem
// lines are watched again. An idle monitor's playback thread never wakes.
//
// It starts running when constructed, one step below normal priority where
// the system allows, and ends through the StopRequest handshake: the owner
// sets it, the thread clears it as it leaves its loop.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tapwise {

class Recorder;
class TWComms;

class TTxThread {
 public:
  // SelectedPort, ModemStatus and WatchModemLines belong to the session;
  // they must outlive the thread.
  TTxThread(Recorder& recorder, TWComms& comms, std::atomic<uint8_t>& selectedPort,
            std::atomic<uint8_t>& modemStatus, const std::atomic<uint8_t>& watchModemLines);
  ~TTxThread();
  TTxThread(const TTxThread&) = delete;
  TTxThread& operator=(const TTxThread&) = delete;

  // Asks the loop to end and waits, 10 ms between looks, until it has.
  void Stop();
  // Makes the thread look at the recorder and the modem lines again now.
  // Any thread.
  void Wake();
  // How many passes the loop has made, for tests of its sleeping.
  uint64_t Passes() const { return m_passes.load(); }

  std::atomic<uint8_t> StopRequest{0};

 private:
  void Execute();
  // Plays when due; -1 when nothing is due to play, else the milliseconds
  // until the next packet is.
  int PlayIfDue(uint32_t now);
  // Reads the modem lines when due; -1 when they are not read, else the
  // milliseconds until the next read.
  int PollModemLines(uint32_t now);
  void SleepFor(int milliseconds);

  Recorder& m_recorder;
  TWComms& m_comms;
  std::atomic<uint8_t>& m_selectedPort;
  std::atomic<uint8_t>& m_modemStatus;
  const std::atomic<uint8_t>& m_watchModemLines;
  uint32_t m_nextModemPoll = 0;
  std::mutex m_wakeMutex;
  std::condition_variable m_wakeCondition;
  bool m_woken = false;  // guarded by m_wakeMutex
  std::atomic<uint64_t> m_passes{0};
  std::thread m_thread;
};

}  // namespace tapwise
