#pragma once
// The telnet side of a network port (telnet with the COM-PORT-OPTION, RFC
// 2217), without a socket: received bytes go in, the data bytes among them
// and the server's reports come out, and every command the port sends is
// encoded into one output buffer that the owner writes to the connection.
//
// libtelnet does the telnet work: option negotiation, IAC doubling and
// undoubling, assembling subnegotiations. A guard in front of it keeps what
// a server may send within bounds: only COM-PORT-OPTION subnegotiations reach
// libtelnet, each cut at MaxSubnegotiation bytes; the rest of a longer one,
// and every subnegotiation of another option, is skipped to its end, so none
// of it can ever come out as data bytes. A request about an option that
// repeats the server's last one about it is dropped before libtelnet, so it
// gets no second answer.
//
// Not thread-safe: the owner serialises every call.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/platform/SerialDevice.h"

struct telnet_t;
union telnet_event_t;

namespace tapwise {

class Rfc2217Codec {
 public:
  static constexpr uint8_t ComPortOption = 44;
  // Longer than any report a server sends (its signature included).
  static constexpr size_t MaxSubnegotiation = 1024;

  // What the server last said it set, in RFC 2217's codes; 0 = not yet.
  struct ServerSettings {
    uint32_t BaudRate = 0;
    uint8_t DataSize = 0;
    uint8_t Parity = 0;    // 1 none, 2 odd, 3 even, 4 mark, 5 space
    uint8_t StopSize = 0;  // 1 one, 2 two, 3 one and a half
  };

  Rfc2217Codec();
  ~Rfc2217Codec();
  Rfc2217Codec(const Rfc2217Codec&) = delete;
  Rfc2217Codec& operator=(const Rfc2217Codec&) = delete;

  // False when libtelnet could not be set up (out of memory); then nothing
  // decodes or encodes.
  bool Ok() const { return m_telnet != nullptr; }

  // Our offers at the start of a connection: the COM-PORT-OPTION, binary
  // transmission both ways, no go-ahead.
  void Begin();

  // Decodes size received bytes; the state carries over to the next call, so
  // a command may be split anywhere. Writes the data bytes among them to
  // data, which needs room for size bytes (never more come out), and returns
  // their number. Answers to the server's negotiation go to the output.
  size_t Decode(const uint8_t* bytes, size_t size, uint8_t* data);

  // Data for the line, each 0xFF doubled.
  void EncodeData(const uint8_t* bytes, size_t size);
  // COM-PORT-OPTION commands: send them only once ComPortAgreed.
  void EncodeLineFormat(const LineFormat& format);
  void EncodeControlLines(bool rts, bool dtr);
  // What a connection sends once the server agreed, before the settings:
  // no flow control either way and the reports we want (modem lines and
  // line errors).
  void EncodeOpening();
  // Empties the server's buffers both ways; the first command a connection
  // sends, so that it cannot come after bytes sent under the new settings.
  void EncodePurge();

  // Everything encoded since the owner last emptied it.
  std::vector<uint8_t>& Output() { return m_output; }

  bool ComPortAgreed() const { return m_comPortAgreed; }
  // The server said it will not take the COM-PORT-OPTION.
  bool ComPortRefused() const { return m_comPortRefused; }
  // True once, right after the server agreed: time to send the settings.
  bool TakeComPortAgreed();
  // CTS, DSR and CD (ModemBits) from the server's last modem report.
  uint8_t ModemLines() const { return m_modemLines; }
  // True when the server reported overrun, parity, framing or break since
  // the last call; the call clears it.
  bool TakeLineError() { return TakeLineErrors() != 0; }
  // The same as LineErrorBits.
  uint8_t TakeLineErrors();
  const ServerSettings& Confirmed() const { return m_confirmed; }
  // The server has answered every part of the line format (rate, data
  // size, parity, stop size) since this codec began.
  bool LineFormatAnswered() const { return m_formatAnswers == 0x0F; }
  // Malformed input seen so far: libtelnet's complaints, cut and
  // unterminated subnegotiations, reports of the wrong length.
  uint32_t ProtocolErrors() const { return m_protocolErrors; }
  // Option requests the server repeated (the same verb for the same option
  // twice running), which get no answer.
  uint64_t RepeatsDropped() const { return m_repeatsDropped; }

 private:
  enum class Guard : uint8_t { Data, Iac, Option, SbOption, SbKeep, SbKeepIac, SbSkip, SbSkipIac };

  static void OnEvent(telnet_t* telnet, telnet_event_t* event, void* self);
  void Handle(const telnet_event_t& event);
  void HandleReport(const uint8_t* bytes, size_t size);
  void Command(uint8_t command, const uint8_t* value, size_t size);
  void Clean(const uint8_t* bytes, size_t size) { m_clean.insert(m_clean.end(), bytes, bytes + size); }
  void CloseKeptSubnegotiation();
  void PassNegotiation(uint8_t option);

  telnet_t* m_telnet = nullptr;
  std::vector<uint8_t> m_output;
  // The guarded stream of one Decode call, as libtelnet gets it.
  std::vector<uint8_t> m_clean;
  Guard m_guard = Guard::Data;
  uint8_t m_verb = 0;  // of the option command being read
  // The server's last request about each option, for our side (DO, DONT)
  // and then for its own (WILL, WONT); 0 = none yet.
  std::array<uint8_t, 512> m_lastVerbs{};
  uint64_t m_repeatsDropped = 0;
  size_t m_subnegotiationLength = 0;
  // Where Decode's data bytes go while libtelnet reports them.
  uint8_t* m_data = nullptr;
  size_t m_dataCount = 0;
  size_t m_dataRoom = 0;
  bool m_comPortAgreed = false;
  bool m_comPortJustAgreed = false;
  bool m_comPortRefused = false;
  uint8_t m_modemLines = 0;
  uint8_t m_lineErrors = 0;  // LineErrorBits
  ServerSettings m_confirmed;
  uint8_t m_formatAnswers = 0;  // a bit for each part of the line format
  uint32_t m_protocolErrors = 0;
};

}  // namespace tapwise
