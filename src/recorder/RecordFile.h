#pragma once
// The one record file of the program: recording and playing exclude each
// other, so a single handle serves both. For playing it keeps a 4096-byte
// read block, the bytes consumed and the file size, from which Progress
// (0..100) follows; the window reads Progress from another thread.
//
// Opening for playing never fails in a way the player must handle: a file
// that does not open reads as an empty file, at its end at once. Writes
// report failure (with the system's reason) so the recorder can stop.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tapwise {

constexpr size_t RecordBlockSize = 4096;

class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens an existing file read-only and rewinds it. False (with the reason
  // in LastError) when it does not open; the file then reads as empty.
  bool OpenForPlaying(const std::string& path);
  // Creates the file, or truncates an existing one, for writing.
  bool OpenForRecording(const std::string& path);
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
  // kept, and tabs, which separate hex values; a CR ends the line, and so does an LF that does not follow a CR, so
  // that CR LF, CR and LF files all read alike; other control bytes are
  // dropped. True for a line that was ended; false when the end of the file
  // came first, with what was gathered left in `line`.
  bool ReadLine(std::string& line);

  // Writes every byte; false (reason in LastError) when the system refuses.
  bool Write(const void* bytes, size_t count);
  // Writes every byte or none: when the system refuses part of them, the
  // file is cut back to where it ended before, so a format made of whole
  // blocks stays readable up to its last complete one.
  bool WriteWhole(const void* bytes, size_t count);

  uint8_t Progress() const { return m_progress.load(std::memory_order_relaxed); }
  uint64_t Consumed() const { return m_consumed; }
  uint64_t FileSize() const { return m_fileSize; }
  const std::string& LastError() const { return m_lastError; }

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
  // 64-bit so that consumed × 100 cannot overflow on large recordings.
  uint64_t m_consumed = 0;
  uint64_t m_fileSize = 0;
  uint64_t m_nextProgressAt = 0;
  // Bytes written since the file was created.
  uint64_t m_written = 0;
  std::atomic<uint8_t> m_progress{0};
  std::string m_lastError;
};

}  // namespace tapwise
