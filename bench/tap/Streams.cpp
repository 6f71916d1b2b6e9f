#include "tap/Streams.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tapwise::bench {

uint8_t Expected(size_t stream, uint64_t offset) {
  return static_cast<uint8_t>(offset * 7 + stream * 13 + (offset >> 8));
}

StreamRun::StreamRun(std::vector<std::unique_ptr<Stream>>& streams, double bytesPerSecond, double burstSeconds)
    : m_streams(streams),
      m_burstBytes(static_cast<size_t>(bytesPerSecond * burstSeconds)),
      m_burstSeconds(burstSeconds) {
  m_reader = std::thread([this] { ReadAll(); });
  m_writer = std::thread([this] { Write(); });
}

StreamRun::~StreamRun() { Finish(0); }

void StreamRun::Finish(double drainSeconds) {
  m_stopWriting.store(true);
  if (m_writer.joinable()) m_writer.join();
  SleepSeconds(drainSeconds);
  m_stopReading.store(true);
  if (m_reader.joinable()) m_reader.join();
}

void StreamRun::Write() {
  std::vector<uint8_t> burst(m_burstBytes);
  auto next = BenchClock::now();
  while (!m_stopWriting.load()) {
    for (size_t s = 0; s < m_streams.size(); ++s) {
      Stream& stream = *m_streams[s];
      for (size_t i = 0; i < burst.size(); ++i) burst[i] = Expected(s, stream.Written + i);
      {
        std::lock_guard lock(stream.Mutex);
        stream.Bursts.emplace_back(stream.Written, BenchClock::now());
      }
      size_t done = 0;
      while (done < burst.size() && !m_stopWriting.load()) {
        const ssize_t wrote = write(stream.WriteFd, burst.data() + done, burst.size() - done);
        if (wrote > 0) {
          done += static_cast<size_t>(wrote);
        } else if (wrote < 0 && (errno == EAGAIN || errno == EINTR)) {
          pollfd out{stream.WriteFd, POLLOUT, 0};
          poll(&out, 1, 10);
        } else {
          break;
        }
      }
      stream.Written += done;
    }
    next += std::chrono::duration_cast<BenchClock::duration>(std::chrono::duration<double>(m_burstSeconds));
    std::this_thread::sleep_until(next);
  }
}

void StreamRun::ReadAll() {
  std::vector<pollfd> fds;
  std::vector<size_t> which;
  for (size_t s = 0; s < m_streams.size(); ++s) {
    if (m_streams[s]->ReadFd < 0) continue;
    fds.push_back({m_streams[s]->ReadFd, POLLIN, 0});
    which.push_back(s);
  }
  if (fds.empty()) return;
  uint8_t buffer[8192];
  while (!m_stopReading.load()) {
    if (poll(fds.data(), fds.size(), 20) <= 0) continue;
    const auto now = BenchClock::now();
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      Stream& stream = *m_streams[which[i]];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) continue;
      for (ssize_t k = 0; k < got; ++k) {
        if (buffer[k] != Expected(which[i], stream.Read + static_cast<uint64_t>(k))) ++stream.Wrong;
      }
      stream.Read += static_cast<uint64_t>(got);
      std::lock_guard lock(stream.Mutex);
      while (!stream.Bursts.empty() && stream.Bursts.front().first < stream.Read) {
        if (stream.Measure) stream.LatenciesMs.push_back(Milliseconds(now - stream.Bursts.front().second));
        stream.Bursts.pop_front();
      }
    }
  }
}

}  // namespace tapwise::bench
