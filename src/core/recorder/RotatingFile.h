#pragma once
// The file, or set of files, a recording writes to. Without rotation it is
// the one file named, created (or truncated, or with `append` added to);
// with rotation each file is named NAME-YYYYMMDD-HHMMSS.EXT after the local
// time it was started (NAME-YYYYMMDD-HHMMSS_002.EXT and on when that name
// is taken), and a new one is started before a packet that would take the file
// past its size, or when the clock passes the next multiple of the time.
//
// Packets are built by the caller into a buffer, whole, and written with one
// write: a packet is never split between files, and each file begins with
// the caller's header (for pcapng a section header, which also makes the
// writer forget its interfaces), built afresh for each file, so every file
// reads on its own. A packet is built again when it moves to a new file.
//
// The set is the files of this name in the folder, oldest first, earlier
// runs' included, so that COUNT holds across restarts; beyond COUNT the
// oldest go. On a full disk (ENOSPC, EDQUOT) the oldest file of the set that
// is not being written is removed and the write tried again, each removal
// said once as a notice; with none left to remove the write fails and the
// recording must stop, as it does for any other failure (a folder that has
// gone or become read-only included).
//
// No thread of its own and no lock: the recorder calls it under its own.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/format/RecordFile.h"
#include "core/recorder/RotationSettings.h"
#include "core/util/Result.h"

namespace tapwise {

class RotatingFile {
 public:
  // Seconds since the Unix epoch: the system's clock unless a test gives
  // its own.
  using WallClock = std::function<int64_t()>;
  // Appends bytes (a header, or one packet) to the buffer it is given.
  using Builder = std::function<void(std::string& out)>;

  static int64_t SystemSeconds();
  // NAME-YYYYMMDD-HHMMSS.EXT for the path NAME.EXT (NAME-…_NNN.EXT when
  // sequence is 2 or more), the stamp in local time.
  static std::string StampedName(const std::string& path, int64_t seconds, int sequence = 1);

  explicit RotatingFile(WallClock clock = {});
  RotatingFile(const RotatingFile&) = delete;
  // For the next Open; an empty clock is the system's.
  void SetClock(WallClock clock);
  RotatingFile& operator=(const RotatingFile&) = delete;

  // Starts the first file. A failure carries the system's reason (plain)
  // and leaves nothing open.
  [[nodiscard]] Result Open(const std::string& path, const RotationSettings& rotation, bool append, Builder header);
  // Writes one packet, built by `packet`, to the file it belongs in. A
  // failure means the recording cannot go on: its message (plain) names the
  // file and the reason, and the file is closed.
  [[nodiscard]] Result WritePacket(const Builder& packet);
  // Starts the next file when its time has come though no packet has, and
  // finds out whether the file being written is still there. Fails as
  // WritePacket does.
  [[nodiscard]] Result Poll();
  void Close();
  bool IsOpen() const { return m_file.IsOpen(); }

  // The file being written ("" when none is).
  const std::string& CurrentPath() const { return m_current; }
  // The set, oldest first; the file being written is the last.
  const std::deque<std::string>& Files() const { return m_files; }
  // What happened that the user should hear of but stopped nothing, plain
  // text, once each.
  std::vector<std::string> TakeNotices();

 private:
  // A failure with the file closed.
  Result Fail(std::string message);
  // A failure to create the first file carries the system's reason alone;
  // any other names the file.
  [[nodiscard]] Result StartFile(int64_t now, bool append, bool first);
  // Writes m_buffer whole, making room on a full disk; a failure names the
  // file, and `reason` gets the system's reason alone.
  [[nodiscard]] Result WriteBuffer(std::string* reason = nullptr);
  bool RemoveOldest(const char* why);
  void FindEarlierFiles();
  bool Due(int64_t now, size_t packetBytes) const;
  int64_t NextBoundary(int64_t now) const;

  WallClock m_clock;
  RecordFile m_file;
  RotationSettings m_rotation;
  std::string m_path;
  Builder m_header;
  std::string m_current;
  std::deque<std::string> m_files;
  std::string m_buffer;
  std::vector<std::string> m_notices;
  // The first-of-its-second name and number of the newest file started.
  std::string m_lastStamp;
  int m_lastSequence = 0;
  uint64_t m_packetsInFile = 0;
  int64_t m_nextBoundary = 0;
  int64_t m_lastCheck = 0;
};

}  // namespace tapwise
