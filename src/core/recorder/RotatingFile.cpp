#include "core/recorder/RotatingFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

namespace tapwise {

namespace {

struct NameParts {
  std::string Folder;  // with its trailing '/', or ""
  std::string Stem;    // the name without folder and extension
  std::string Ext;     // with its '.', or ""
};

NameParts Split(const std::string& path) {
  NameParts parts;
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  parts.Folder = path.substr(0, nameStart);
  const std::string name = path.substr(nameStart);
  const size_t dot = name.rfind('.');
  // A leading dot names a hidden file; it is no extension.
  if (dot == std::string::npos || dot == 0) {
    parts.Stem = name;
  } else {
    parts.Stem = name.substr(0, dot);
    parts.Ext = name.substr(dot);
  }
  return parts;
}

bool AllDigits(const std::string& text, size_t from, size_t count) {
  if (from + count > text.size()) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

// A file of the set: its stamp and sequence number, for ordering.
struct SetFile {
  std::string Stamp;
  int Sequence = 1;
  std::string Path;
};

// The stamp and sequence of a name made by StampedName for these parts.
bool ReadSetName(const NameParts& parts, const std::string& name, SetFile& file) {
  const std::string& stem = parts.Stem;
  if (name.size() < stem.size() + 16 + parts.Ext.size()) return false;
  if (name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '-') return false;
  if (name.compare(name.size() - parts.Ext.size(), parts.Ext.size(), parts.Ext) != 0) return false;
  const size_t at = stem.size() + 1;
  if (!AllDigits(name, at, 8) || name[at + 8] != '-' || !AllDigits(name, at + 9, 6)) return false;
  file.Stamp = name.substr(at, 15);
  const size_t rest = at + 15;
  const size_t restLength = name.size() - parts.Ext.size() - rest;
  file.Sequence = 1;
  if (restLength > 0) {
    if (restLength < 4 || restLength > 8 || name[rest] != '_' || !AllDigits(name, rest + 1, restLength - 1)) {
      return false;
    }
    file.Sequence = std::stoi(name.substr(rest + 1, restLength - 1));
    if (file.Sequence < 2) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

int64_t RotatingFile::SystemSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

std::string RotatingFile::StampedName(const std::string& path, int64_t seconds, int sequence) {
  const NameParts parts = Split(path);
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local {};
  ::localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string name = parts.Folder + parts.Stem + "-" + stamp;
  if (sequence >= 2) {
    // Zero-padded after '_', which sorts after the '.' of the first name:
    // a folder listing shows the files in the order they were written.
    char number[16];
    std::snprintf(number, sizeof number, "_%03d", sequence);
    name += number;
  }
  return name + parts.Ext;
}

RotatingFile::RotatingFile(WallClock clock) { SetClock(std::move(clock)); }

void RotatingFile::SetClock(WallClock clock) { m_clock = clock ? std::move(clock) : WallClock(SystemSeconds); }

Result RotatingFile::Open(const std::string& path, const RotationSettings& rotation, bool append, Builder header) {
  Close();
  m_path = path;
  m_rotation = rotation;
  m_header = std::move(header);
  m_files.clear();
  m_notices.clear();
  if (m_rotation.Rotates()) FindEarlierFiles();
  const int64_t now = m_clock();
  m_lastCheck = now;
  if (Result started = StartFile(now, append, true); !started) {
    Close();
    return started;
  }
  return Result::Success();
}

void RotatingFile::FindEarlierFiles() {
  const NameParts parts = Split(m_path);
  DIR* folder = ::opendir(parts.Folder.empty() ? "." : parts.Folder.c_str());
  // A folder that cannot be read has no earlier files to count; creating
  // the first file says what is wrong with it.
  if (folder == nullptr) return;
  std::vector<SetFile> found;
  while (const dirent* entry = ::readdir(folder)) {
    SetFile file;
    if (ReadSetName(parts, entry->d_name, file)) {
      file.Path = parts.Folder + entry->d_name;
      found.push_back(std::move(file));
    }
  }
  ::closedir(folder);
  std::sort(found.begin(), found.end(), [](const SetFile& a, const SetFile& b) {
    return a.Stamp != b.Stamp ? a.Stamp < b.Stamp : a.Sequence < b.Sequence;
  });
  for (SetFile& file : found) m_files.push_back(std::move(file.Path));
}

Result RotatingFile::StartFile(int64_t now, bool append, bool first) {
  std::string name = m_path;
  if (m_rotation.Rotates()) {
    // Two files may start within one second (a small SIZE, a fast line);
    // neither may take the other's name, nor that of a file already there.
    // Numbers only go up within a second: a name freed by removing the
    // oldest file must not come back on a newer one, which would then sort,
    // and on the next run be removed, as the oldest.
    const std::string stamp = StampedName(m_path, now);
    int sequence = stamp == m_lastStamp ? m_lastSequence + 1 : 1;
    for (;; ++sequence) {
      name = StampedName(m_path, now, sequence);
      if (std::find(m_files.begin(), m_files.end(), name) == m_files.end() && !Exists(name)) break;
    }
    m_lastStamp = stamp;
    m_lastSequence = sequence;
  }
  // Rotated names are new, so `append` only ever adds to the file named.
  if (Result opened = m_file.OpenForRecording(name, append && !m_rotation.Rotates()); !opened) {
    m_current.clear();
    // The first file's caller names the file itself.
    return first ? opened : Result::Failure("cannot create " + name + ": " + opened.Message());
  }
  m_current = name;
  m_files.push_back(name);
  m_packetsInFile = 0;
  if (m_rotation.EverySeconds > 0) m_nextBoundary = NextBoundary(now);
  while (m_rotation.Keep > 0 && m_files.size() > m_rotation.Keep) RemoveOldest(nullptr);
  m_buffer.clear();
  if (m_header) m_header(m_buffer);
  if (m_buffer.empty()) return Result::Success();
  std::string reason;
  if (Result written = WriteBuffer(&reason); !written) return first ? Result::Failure(reason) : written;
  return Result::Success();
}

int64_t RotatingFile::NextBoundary(int64_t now) const {
  // Multiples of the time on the local clock: every=1h turns on the hour,
  // every=1d at midnight.
  const std::time_t when = static_cast<std::time_t>(now);
  std::tm local {};
  ::localtime_r(&when, &local);
  const int64_t offset = local.tm_gmtoff;
  const int64_t period = m_rotation.EverySeconds;
  const int64_t localNow = now + offset;
  const int64_t floorMultiple = (localNow >= 0 ? localNow / period : (localNow - period + 1) / period) * period;
  return floorMultiple + period - offset;
}

bool RotatingFile::Due(int64_t now, size_t packetBytes) const {
  if (m_rotation.EverySeconds > 0 && now >= m_nextBoundary) return true;
  // A file holds at least one packet, so one larger than SIZE still goes
  // somewhere and rotation cannot run away.
  return m_rotation.MaxBytes > 0 && m_packetsInFile > 0 && m_file.Written() + packetBytes > m_rotation.MaxBytes;
}

Result RotatingFile::WriteBuffer(std::string* reason) {
  for (;;) {
    const Result written = m_file.Write(m_buffer.data(), m_buffer.size());
    if (written) return written;
    const int error = m_file.LastWriteError();
    if ((error == ENOSPC || error == EDQUOT) && RemoveOldest("the disk is full")) continue;
    if (reason != nullptr) *reason = written.Message();
    return Result::Failure("cannot write to " + m_current + ": " + written.Message());
  }
}

bool RotatingFile::RemoveOldest(const char* why) {
  // The file being written is never removed to make room for itself.
  if (m_files.size() < 2) return false;
  const std::string oldest = std::move(m_files.front());
  m_files.pop_front();
  // One already gone (removed by hand) frees nothing, but the next may.
  const bool removed = ::unlink(oldest.c_str()) == 0;
  if (why != nullptr && removed) m_notices.push_back(std::string(why) + ": removed the oldest recording " + oldest);
  return true;
}

Result RotatingFile::WritePacket(const Builder& packet) {
  if (!m_file.IsOpen()) return Result::Failure("the recording is not open");
  const int64_t now = m_clock();
  m_buffer.clear();
  packet(m_buffer);
  if (m_rotation.Rotates() && Due(now, m_buffer.size())) {
    if (Result started = StartFile(now, false, false); !started) return Fail(started.Message());
    // Built again: a pcapng packet names its interface, which the new
    // section has yet to describe.
    m_buffer.clear();
    packet(m_buffer);
  }
  if (Result written = WriteBuffer(); !written) return Fail(written.Message());
  ++m_packetsInFile;
  return Result::Success();
}

Result RotatingFile::Poll() {
  if (!m_file.IsOpen()) return Result::Success();
  const int64_t now = m_clock();
  if (m_rotation.EverySeconds > 0 && now >= m_nextBoundary) {
    if (Result started = StartFile(now, false, false); !started) return Fail(started.Message());
  }
  if (now == m_lastCheck) return Result::Success();
  m_lastCheck = now;
  // Writes to a file whose folder was removed go nowhere, and say nothing.
  if (!Exists(m_current)) return Fail(m_current + " is gone (removed, or its folder removed or renamed)");
  return Result::Success();
}

Result RotatingFile::Fail(std::string message) {
  Close();
  return Result::Failure(std::move(message));
}

void RotatingFile::Close() {
  m_file.Close();
  m_current.clear();
}

std::vector<std::string> RotatingFile::TakeNotices() { return std::exchange(m_notices, {}); }

}  // namespace tapwise
