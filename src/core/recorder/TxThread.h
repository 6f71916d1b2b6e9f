#pragma once
// The playback thread. Every 10 ms it reads the selected port's modem lines
// (every 250 ms, into ModemStatus) and, while a file plays and neither Pause
// nor a file error holds it, plays the next packet out of the selected port:
// in one-shot mode one packet and then Pause goes down again; otherwise one
// packet whenever NextSendTime has come, the next one PlayGap × 100 ms after
// the end of this one. It never touches a window: at the end of a file the
// recorder posts the request to stop (see Recorder).
//
// It starts running when constructed, one step below normal priority where
// the system allows, and ends through the StopRequest handshake: the owner
// sets it, the thread clears it as it leaves its loop.

#include <atomic>
#include <cstdint>
#include <thread>

namespace tapwise {

class Recorder;
class TWComms;

class TTxThread {
 public:
  // SelectedPort and ModemStatus belong to the window; they must outlive the
  // thread.
  TTxThread(Recorder& recorder, TWComms& comms, std::atomic<uint8_t>& selectedPort,
            std::atomic<uint8_t>& modemStatus);
  ~TTxThread();
  TTxThread(const TTxThread&) = delete;
  TTxThread& operator=(const TTxThread&) = delete;

  // Asks the loop to end and waits, 10 ms between looks, until it has.
  void Stop();

  std::atomic<uint8_t> StopRequest{0};

 private:
  void Execute();
  void PlayIfDue(uint32_t now);

  Recorder& m_recorder;
  TWComms& m_comms;
  std::atomic<uint8_t>& m_selectedPort;
  std::atomic<uint8_t>& m_modemStatus;
  std::thread m_thread;
};

}  // namespace tapwise
