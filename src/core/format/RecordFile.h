#pragma once
// The one record file of the program: recording and playing exclude each
// other, so a single handle serves both. For playing it keeps a 4096-byte
// read block, the bytes consumed and the file size, from which Progress
// (0..100) follows; the window reads Progress from another thread.
//
// Opening for playing never fails in a way the player must handle: a file
// that does not open reads as an empty file, at its end at once. Opening
// never waits: a named pipe (FIFO) is refused, since opening one waits for
// its other end and reading or writing one can stall the thread that does
// it. A folder is refused for playing as it is for recording.
//
// Opening and writing return a Result whose failure carries the system's
// reason (plain text, e.g. "No space left on device") for the caller to put
// into its own message. A failed write lets the recorder stop; a recording
// that fails part-way through a write is cut back to the end of the last
// write that succeeded whole, so it never ends in a broken packet.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/util/Result.h"

namespace tapwise {

constexpr size_t RecordBlockSize = 4096;

// The longest line the readers take, in bytes before its line end (control
// bytes that are dropped count too). Packet data lines are 80 columns; a hex
// data line that holds a whole 4096-byte packet needs about 12 KiB. A longer
// line is not a line of any format: the reader hands it over as TooLong and
// never holds more of it than this, so neither memory nor the time one call
// takes grows with what a damaged file holds.
constexpr size_t MaxLineLength = 32 * 1024;

// The most a reader takes from the file for one packet before it ends the
// packet there (a packet data packet then goes on in the next call, as one
// that filled up does). A 4096-byte packet takes about 21 KiB of packet data
// lines; only lines that carry nothing (empty hex lines, blank data columns)
// come near this, and they must not keep one playback step going.
constexpr uint64_t PacketScanLimit = 256 * 1024;

enum class LineRead : uint8_t {
  Ended,      // a whole line, its line end taken
  EndOfFile,  // the file ended first; what was gathered is in the line
  TooLong,    // more than MaxLineLength bytes without a line end
};

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens an existing file read-only and rewinds it. Fails with the reason
  // when it does not open or is a folder or a FIFO; the file then reads as
  // empty.
  [[nodiscard]] Result OpenForPlaying(const std::string& path);
  // Creates the file, or truncates an existing one, for writing; with
  // `append`, an existing file keeps what it holds and writes go after it.
  // Fails with the reason when it cannot, and for a FIFO, with or without a
  // reader.
  [[nodiscard]] Result OpenForRecording(const std::string& path, bool append = false);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }

  // Back to the first byte: the block is read afresh, the consumed count and
  // Progress start again at 0 and the size is taken anew.
  void Rewind();
  // The next byte; false at the end of the file.
  bool ReadByte(uint8_t& byte);
  // Every byte has been taken. A used-up block is refilled here, so a file
  // whose size is a multiple of the block size is at its end right after
  // its last byte, not only after one more read.
  bool AtEnd();
  // Reads one line into `line` (cleared first): bytes of 32 and above are
  // kept, and tabs, which separate hex values; a CR ends the line, and so
  // does an LF that does not follow a CR, so that CR LF, CR and LF files all
  // read alike; other control bytes are dropped.
  //
  // A line longer than MaxLineLength gives TooLong with `line` empty, and so
  // does every following call until the line's end (or the file's) has been
  // passed; each such call looks at no more than MaxLineLength bytes, so a
  // file without line ends (a sparse file, /dev/zero) takes many short
  // calls, never one endless one.
  LineRead ReadLine(std::string& line);

  // Writes every byte; fails with the reason when the system refuses. The
  // file is then cut back to where this write began (where it can be: a
  // regular file), so what it holds is the earlier writes, whole.
  [[nodiscard]] Result Write(const void* bytes, size_t count);
  // The system's error number of the last write that failed (ENOSPC for a
  // full disk), 0 after one that succeeded.
  int LastWriteError() const { return m_lastWriteError; }
  // The size of the recording: what it held when opened plus every whole
  // write since.
  uint64_t Written() const { return m_written; }

  uint8_t Progress() const { return m_progress.load(std::memory_order_relaxed); }
  uint64_t Consumed() const { return m_consumed; }
  uint64_t FileSize() const { return m_fileSize; }

 private:
  // Reads the next block; sets the last-block flag when it comes short.
  void ReadBlock();
  void Consume(size_t count);

  int m_fd = -1;
  uint8_t m_block[RecordBlockSize];
  size_t m_validBytes = 0;
  size_t m_position = 0;
  bool m_lastBlock = true;
  // A CR was the last byte the line reader took, so an LF right after it
  // belongs to the same line end.
  bool m_afterCr = false;
  // The line reader is passing over the rest of a line that was too long.
  bool m_inLongLine = false;
  // Bytes of the recording that went out in whole writes.
  uint64_t m_written = 0;
  int m_lastWriteError = 0;
  // 64-bit so that consumed × 100 cannot overflow on large recordings.
  uint64_t m_consumed = 0;
  uint64_t m_fileSize = 0;
  uint64_t m_nextProgressAt = 0;
  std::atomic<uint8_t> m_progress{0};
};

}  // namespace tapwise
