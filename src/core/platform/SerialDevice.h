#pragma once
// The serial device layer: one open serial line, as the capture code sees it.
//
// A device is open from construction to destruction; destroying it closes the
// line and releases it to other programs. All calls are non-blocking except
// Write, which returns only when every byte has been handed to the driver and
// drained. Read and TakeErrorState belong to the one thread that receives;
// Write, ApplyLineFormat, SetControlLines and ModemLines may come from any
// thread, but the caller serialises them per device.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tapwise {

// Parity codes as the port settings store them.
enum ParityCode : uint8_t { ParityNone = 0, ParityOdd = 1, ParityEven = 2, ParityMark = 3, ParitySpace = 4 };
// Stop-bit codes as the port settings store them.
enum StopBitsCode : uint8_t { StopOne = 0, StopOneAndHalf = 1, StopTwo = 2 };

// The kinds of line error a device can tell apart, as bits. Other is an
// error whose kind the device could not say (a parity-or-framing mark of a
// tty that keeps no error counts, a device that only knows "an error").
enum LineErrorBits : uint8_t {
  LineErrorFraming = 1,
  LineErrorParity = 2,
  LineErrorOverrun = 4,
  LineErrorBreak = 8,
  LineErrorOther = 16,
};

// Modem input line bits.
enum ModemBits : uint8_t { ModemCTS = 1, ModemDSR = 2, ModemCD = 4 };

struct LineFormat {
  uint32_t BaudRate = 9600;
  uint8_t Parity = ParityNone;  // ParityCode
  uint8_t DataBits = 8;         // 5..8
  uint8_t StopBits = StopOne;   // StopBitsCode
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  SerialDevice() = default;
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Puts the line format into the driver, with the parity check on and no
  // handshake of any kind. False when the driver refuses it; the device then
  // keeps whatever the driver kept.
  virtual bool ApplyLineFormat(const LineFormat& format) = 0;

  // Holds RTS and DTR at fixed levels (true = asserted).
  virtual bool SetControlLines(bool rts, bool dtr) = 0;

  // Copies the bytes that have arrived, at most maxBytes, into buffer and
  // returns their number: 0 when nothing is waiting, when maxBytes is 0, and
  // when the device has gone away. Never blocks.
  virtual size_t Read(uint8_t* buffer, size_t maxBytes) = 0;
  // True when the last Read took input that held no data bytes (a network
  // server's commands): more may be waiting, so the reader goes straight
  // back to its wait instead of pausing a pass as after a wake-up for nothing.
  virtual bool LastReadTookInput() const { return false; }

  // Writes every byte before it returns, then waits until the driver has sent
  // them. False on a hard error (the device refused or vanished).
  virtual bool Write(const uint8_t* data, size_t count) = 0;

  // True when a line or buffer error (parity, framing, overrun, break) has
  // happened since the last call; the call clears the state.
  virtual bool TakeErrorState() = 0;
  // The same, as the LineErrorBits of what happened; a device that cannot
  // tell kinds apart reports Other.
  virtual uint8_t TakeLineErrors() { return TakeErrorState() ? LineErrorOther : 0; }

  // CTS, DSR and CD as ModemBits; 0 when the device cannot tell.
  virtual uint8_t ModemLines() = 0;
  // False once the device is known to have no modem lines to tell of (a
  // pseudo-terminal): nobody need ask ModemLines again.
  virtual bool HasModemLines() const { return true; }

  // A descriptor that polls readable (or hung up) when Read has something to
  // report, so an idle receiver can sleep until then; -1 when the device has
  // none and must be polled.
  virtual int WaitHandle() const = 0;

  // True once the device has gone away for good (unplugged, hung up): it
  // will never read again, and holding it open only keeps its name from the
  // kernel. A device that reconnects by itself (a network port) or that
  // cannot vanish never says so.
  virtual bool Vanished() const { return false; }
};

enum class OpenStatus : uint8_t {
  Opened,
  Absent,        // no such device
  Busy,          // another program holds it
  NotPermitted,  // the device exists but we may not open it
  NotATty,       // the path is a file, a folder or a device that is no terminal
  NoDescriptors, // this process (or the system) has no file descriptor left
  Failed,        // anything else
};

const char* OpenStatusText(OpenStatus status);

struct OpenResult {
  std::unique_ptr<SerialDevice> Device;  // set only when Status is Opened
  OpenStatus Status = OpenStatus::Absent;
};

// Opens the device behind a COM number (1..128). The program's port map is
// the real one; tests hand the port manager their own.
class DeviceOpener {
 public:
  virtual ~DeviceOpener() = default;
  virtual OpenResult Open(uint8_t comNumber) = 0;
  // The device as the user should see it (its path); "" when unknown.
  virtual std::string Describe(uint8_t) const { return {}; }
  // The path another program would open to hold the same device; "" when
  // there is none (a virtual port's own end) or it is unknown.
  virtual std::string DevicePath(uint8_t) const { return {}; }
  // Mapped by the user rather than by default: the user expects it to open
  // and is told when it does not.
  virtual bool IsExplicit(uint8_t) const { return false; }
  // The path whose appearance may bring the device (back), for a port that
  // is absent or has gone; "" for ports that are not watched (virtual and
  // network ports, the fixed serial ports, unmapped numbers).
  virtual std::string WatchPath(uint8_t) const { return {}; }
  // A name of the device that survives unplugging (its /dev/serial/by-id
  // link), when it has one other than Describe's; "" otherwise.
  virtual std::string StableName(uint8_t) const { return {}; }
  // How often the port's device connected again by itself after losing its
  // far side (a network port) since the program started; any thread.
  virtual uint32_t Reconnects(uint8_t) const { return 0; }
  // Around the opens of a probe of every port: what is costly to find out
  // (which devices other programs have open) may be found out once for all.
  virtual void BeginProbe() {}
  virtual void EndProbe() {}
};

}  // namespace tapwise
