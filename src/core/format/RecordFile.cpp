#include "core/format/RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace tapwise {

namespace {
constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
constexpr uint8_t Tab = 9;

// Why a named pipe is refused: the drain that records and the thread that
// plays must never wait on another program, which a pipe makes them do when
// its other end is missing or slow; and a pipe can neither be rewound (for
// Repeat) nor tell its size (for the progress).
constexpr const char* FifoText = "it is a named pipe (FIFO), not a file";

// Why an open file cannot be a record file; empty when it can.
std::string Unusable(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
  if (S_ISFIFO(info.st_mode)) return FifoText;
  return {};
}

bool EndsLine(uint8_t byte) { return byte == CR || byte == LF; }
bool Kept(uint8_t byte) { return byte >= 32 || byte == Tab; }
}  // namespace

RecordFile::~RecordFile() { Close(); }

Result RecordFile::OpenForPlaying(const std::string& path) {
  Close();
  // Without O_NONBLOCK, opening a FIFO waits for a writer. The flag stays:
  // a device with nothing to give then reads as the end of the file instead
  // of stalling the playback thread.
  m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::string reason;
  if (m_fd < 0) {
    reason = std::strerror(errno);
  } else {
    reason = Unusable(m_fd);
    if (!reason.empty()) Close();
  }
  // Rewound whether or not it opened: a file that did not open reads as
  // empty.
  Rewind();
  return reason.empty() ? Result::Success() : Result::Failure(std::move(reason));
}

Result RecordFile::OpenForRecording(const std::string& path, bool append) {
  Close();
  m_written = 0;
  m_lastWriteError = 0;
  // Without O_NONBLOCK, opening a FIFO waits for a reader; with it, a FIFO
  // without one fails at once with ENXIO.
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | (append ? 0 : O_TRUNC) | O_NONBLOCK | O_CLOEXEC, 0666);
  if (m_fd < 0) {
    const int error = errno;
    struct stat info {};
    const bool fifo = error == ENXIO && ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
    return Result::Failure(fifo ? FifoText : std::strerror(error));
  }
  if (std::string reason = Unusable(m_fd); !reason.empty()) {
    Close();
    return Result::Failure(std::move(reason));
  }
  if (append) {
    // Not O_APPEND: a failed write is cut back to m_written, which must be
    // where the next write lands.
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    m_written = end > 0 ? static_cast<uint64_t>(end) : 0;
  }
  return Result::Success();
}

void RecordFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_validBytes = 0;
  m_position = 0;
  m_lastBlock = true;
}

void RecordFile::Rewind() {
  m_validBytes = 0;
  m_position = 0;
  m_lastBlock = false;
  m_afterCr = false;
  m_inLongLine = false;
  m_consumed = 0;
  m_fileSize = 0;
  m_nextProgressAt = 0;
  m_progress.store(0, std::memory_order_relaxed);
  if (m_fd >= 0) {
    off_t size = ::lseek(m_fd, 0, SEEK_END);
    m_fileSize = size > 0 ? static_cast<uint64_t>(size) : 0;
    ::lseek(m_fd, 0, SEEK_SET);
  }
  // Progress moves when the first byte has been taken, not before.
  m_nextProgressAt = 1;
  ReadBlock();
}

void RecordFile::ReadBlock() {
  m_position = 0;
  m_validBytes = 0;
  if (m_fd < 0) {
    m_lastBlock = true;
    return;
  }
  // Fill the whole block unless the file ends: a pipe or a slow file system
  // may hand over less than asked without being at its end.
  while (m_validBytes < RecordBlockSize) {
    ssize_t n = ::read(m_fd, m_block + m_validBytes, RecordBlockSize - m_validBytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    m_validBytes += static_cast<size_t>(n);
  }
  m_lastBlock = m_validBytes < RecordBlockSize;
}

void RecordFile::Consume(size_t count) {
  m_consumed += count;
  if (m_consumed < m_nextProgressAt || m_fileSize == 0) return;
  uint64_t percent = std::min<uint64_t>(m_consumed * 100 / m_fileSize, 100);
  m_progress.store(static_cast<uint8_t>(percent), std::memory_order_relaxed);
  // The first count at which the percentage goes up again; computing it once
  // saves a division per byte.
  m_nextProgressAt = percent >= 100 ? std::numeric_limits<uint64_t>::max()
                                    : ((percent + 1) * m_fileSize + 99) / 100;
}

bool RecordFile::AtEnd() {
  if (m_position >= m_validBytes && !m_lastBlock) ReadBlock();
  return m_lastBlock && m_position >= m_validBytes;
}

bool RecordFile::ReadByte(uint8_t& byte) {
  if (m_position >= m_validBytes) {
    if (m_lastBlock) return false;
    ReadBlock();
    if (m_validBytes == 0) return false;
  }
  byte = m_block[m_position++];
  Consume(1);
  return true;
}

LineRead RecordFile::ReadLine(std::string& line) {
  line.clear();
  // Passing over the rest of a long line: its bytes are looked at, not kept.
  const bool skipping = m_inLongLine;
  const LineRead ended = skipping ? LineRead::TooLong : LineRead::Ended;
  // Bytes of the line looked at in this call, its line end not counted.
  size_t looked = 0;
  for (;;) {
    if (m_position >= m_validBytes) {
      if (!m_lastBlock) ReadBlock();
      if (m_position >= m_validBytes) {
        m_inLongLine = false;
        return skipping ? LineRead::TooLong : LineRead::EndOfFile;
      }
    }
    // The bytes up to the next line end, or the block's end, in one run.
    const size_t start = m_position;
    size_t end = start;
    while (end < m_validBytes && !EndsLine(m_block[end])) ++end;
    const size_t take = std::min(end - start, MaxLineLength - looked);
    if (take > 0) {
      m_afterCr = false;
      if (!skipping) {
        for (size_t at = start; at < start + take;) {
          size_t run = at;
          while (run < start + take && Kept(m_block[run])) ++run;
          line.append(reinterpret_cast<const char*>(m_block + at), run - at);
          at = run + 1;  // past the dropped control byte, if any
        }
      }
      looked += take;
      m_position += take;
      Consume(take);
    }
    if (take < end - start) {
      // More of the line than any format uses: the rest is passed over in
      // later calls, each as short as this one.
      line.clear();
      m_inLongLine = true;
      return LineRead::TooLong;
    }
    if (m_position == m_validBytes) continue;
    const uint8_t control = m_block[m_position++];
    Consume(1);
    if (control == CR) {
      m_afterCr = true;
      m_inLongLine = false;
      return ended;
    }
    if (!m_afterCr) {
      m_inLongLine = false;
      return ended;
    }
    // The LF of a CR LF pair: the line ended at the CR.
    m_afterCr = false;
  }
}

Result RecordFile::Write(const void* bytes, size_t count) {
  if (m_fd < 0) return Result::Failure("the file is not open");
  const auto* at = static_cast<const uint8_t*>(bytes);
  const size_t total = count;
  while (count > 0) {
    ssize_t n = ::write(m_fd, at, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_lastWriteError = n < 0 ? errno : EIO;
      std::string reason = n < 0 ? std::strerror(errno) : "nothing was written";
      // A full disk or a size limit takes part of a write: cut that part
      // off, so that the file ends where a reader expects a packet to. A
      // device (/dev/full) cannot be cut and has nothing to cut.
      if (::ftruncate(m_fd, static_cast<off_t>(m_written)) == 0) {
        ::lseek(m_fd, static_cast<off_t>(m_written), SEEK_SET);
      }
      return Result::Failure(std::move(reason));
    }
    at += n;
    count -= static_cast<size_t>(n);
  }
  m_written += total;
  m_lastWriteError = 0;
  return Result::Success();
}

}  // namespace tapwise
