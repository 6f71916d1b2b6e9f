#include "recorder/RecordFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace tapwise {

namespace {
constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
constexpr uint8_t Tab = 9;
}  // namespace

RecordFile::~RecordFile() { Close(); }

bool RecordFile::OpenForPlaying(const std::string& path) {
  Close();
  m_lastError.clear();
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) m_lastError = std::strerror(errno);
  Rewind();
  return m_fd >= 0;
}

bool RecordFile::OpenForRecording(const std::string& path) {
  Close();
  m_lastError.clear();
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (m_fd < 0) {
    m_lastError = std::strerror(errno);
    return false;
  }
  m_written = 0;
  return true;
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

bool RecordFile::ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    if (m_position >= m_validBytes) {
      if (m_lastBlock) return false;
      ReadBlock();
      if (m_validBytes == 0) return false;
    }
    // Take printable bytes in one run; the block is scanned, not read byte by byte.
    const size_t start = m_position;
    size_t end = start;
    while (end < m_validBytes && (m_block[end] >= 32 || m_block[end] == Tab)) ++end;
    if (end > start) {
      line.append(reinterpret_cast<const char*>(m_block + start), end - start);
      m_afterCr = false;
    }
    m_position = end;
    if (end == m_validBytes) {
      Consume(end - start);
      continue;
    }
    const uint8_t control = m_block[m_position++];
    Consume(end - start + 1);
    if (control == CR) {
      m_afterCr = true;
      return true;
    }
    if (control == LF) {
      if (!m_afterCr) return true;
      // The LF of a CR LF pair: the line ended at the CR.
      m_afterCr = false;
      continue;
    }
    m_afterCr = false;
  }
}

bool RecordFile::Write(const void* bytes, size_t count) {
  if (m_fd < 0) {
    m_lastError = "the file is not open";
    return false;
  }
  const auto* at = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    ssize_t n = ::write(m_fd, at, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_lastError = n < 0 ? std::strerror(errno) : "nothing was written";
      return false;
    }
    at += n;
    count -= static_cast<size_t>(n);
    m_written += static_cast<uint64_t>(n);
  }
  return true;
}

bool RecordFile::WriteWhole(const void* bytes, size_t count) {
  const uint64_t before = m_written;
  if (Write(bytes, count)) return true;
  if (m_written != before && m_fd >= 0) {
    // Shortening a file needs no space, so this works on a full disk too.
    if (::ftruncate(m_fd, static_cast<off_t>(before)) == 0) {
      ::lseek(m_fd, static_cast<off_t>(before), SEEK_SET);
      m_written = before;
    }
  }
  return false;
}

}  // namespace tapwise
