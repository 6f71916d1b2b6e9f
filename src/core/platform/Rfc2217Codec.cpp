#include "core/platform/Rfc2217Codec.h"

#include <libtelnet.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace tapwise {

namespace {

// COM-PORT-OPTION commands (client to server; the server answers with the
// same code + 100).
enum ComPortCommand : uint8_t {
  SetBaudRate = 1,
  SetDataSize = 2,
  SetParity = 3,
  SetStopSize = 4,
  SetControl = 5,
  NotifyLineState = 6,
  NotifyModemState = 7,
  SetLineStateMask = 10,
  SetModemStateMask = 11,
  PurgeData = 12,
};
constexpr uint8_t ServerOffset = 100;

// SET-CONTROL values.
constexpr uint8_t OutboundNoFlowControl = 1;
constexpr uint8_t DtrOn = 8;
constexpr uint8_t DtrOff = 9;
constexpr uint8_t RtsOn = 11;
constexpr uint8_t RtsOff = 12;
constexpr uint8_t InboundNoFlowControl = 14;

// Line state: break, framing, parity and overrun are the errors; the rest
// (data ready, transmitter empty, ...) would only make the server talk.
constexpr uint8_t LineStateOverrun = 0x02;
constexpr uint8_t LineStateParity = 0x04;
constexpr uint8_t LineStateFraming = 0x08;
constexpr uint8_t LineStateBreak = 0x10;
constexpr uint8_t LineErrorMask = LineStateBreak | LineStateFraming | LineStateParity | LineStateOverrun;
// Modem state: CD, DSR, CTS and their deltas; ring is not shown anywhere.
constexpr uint8_t ModemCdBit = 0x80;
constexpr uint8_t ModemDsrBit = 0x20;
constexpr uint8_t ModemCtsBit = 0x10;
constexpr uint8_t ModemReportBits = ModemCdBit | ModemDsrBit | ModemCtsBit | 0x08 | 0x02 | 0x01;
constexpr uint8_t PurgeBoth = 3;

// What we accept: the COM-PORT-OPTION on our side only, binary transmission
// and suppressed go-ahead both ways. Everything else (echo, line mode, ...)
// libtelnet refuses.
const telnet_telopt_t Options[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {Rfc2217Codec::ComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

uint8_t ParityValue(uint8_t parity) {
  switch (parity) {
    case ParityOdd: return 2;
    case ParityEven: return 3;
    case ParityMark: return 4;
    case ParitySpace: return 5;
    default: return 1;
  }
}

uint8_t StopSizeValue(uint8_t stopBits) {
  switch (stopBits) {
    case StopTwo: return 2;
    case StopOneAndHalf: return 3;
    default: return 1;
  }
}

bool IsOptionVerb(uint8_t byte) { return byte >= TELNET_WILL && byte <= TELNET_DONT; }

}  // namespace

Rfc2217Codec::Rfc2217Codec() {
  m_telnet = telnet_init(Options, &Rfc2217Codec::OnEvent, 0, this);
}

Rfc2217Codec::~Rfc2217Codec() {
  if (m_telnet) telnet_free(m_telnet);
}

void Rfc2217Codec::Begin() {
  if (!m_telnet) return;
  telnet_negotiate(m_telnet, TELNET_WILL, ComPortOption);
  telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
  telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
  telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_SGA);
  telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_SGA);
}

void Rfc2217Codec::CloseKeptSubnegotiation() {
  const uint8_t end[2] = {TELNET_IAC, TELNET_SE};
  Clean(end, sizeof end);
  ++m_protocolErrors;
}

void Rfc2217Codec::PassNegotiation(uint8_t option) {
  // The same request again, with nothing else about that option between,
  // changes nothing: libtelnet would answer a refused option every time,
  // and a server that repeats itself without reading would then make us
  // queue an answer for every request it sends.
  // DO and DONT are about our side of the option, WILL and WONT about the
  // server's: each side's last request is kept apart.
  const bool ourSide = m_verb == TELNET_DO || m_verb == TELNET_DONT;
  uint8_t& last = m_lastVerbs[ourSide ? option : 256 + option];
  if (last == m_verb) {
    ++m_repeatsDropped;
    return;
  }
  last = m_verb;
  const uint8_t request[3] = {TELNET_IAC, m_verb, option};
  Clean(request, sizeof request);
}

size_t Rfc2217Codec::Decode(const uint8_t* bytes, size_t size, uint8_t* data) {
  if (!m_telnet || size == 0) return 0;
  m_clean.clear();
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = bytes[i];
    switch (m_guard) {
      case Guard::Data: {
        if (byte == TELNET_IAC) {
          m_guard = Guard::Iac;
          break;
        }
        // Data comes in runs: take the whole run up to the next IAC at once.
        const void* iac = std::memchr(bytes + i, TELNET_IAC, size - i);
        size_t end = iac ? static_cast<size_t>(static_cast<const uint8_t*>(iac) - bytes) : size;
        Clean(bytes + i, end - i);
        i = end - 1;
        break;
      }
      case Guard::Iac:
        if (byte == TELNET_SB) {
          // Passed on (or not) once the option is known.
          m_guard = Guard::SbOption;
        } else if (IsOptionVerb(byte)) {
          // Passed on with its option, or dropped as a repeat.
          m_verb = byte;
          m_guard = Guard::Option;
        } else {
          const uint8_t command[2] = {TELNET_IAC, byte};
          Clean(command, sizeof command);
          m_guard = Guard::Data;
        }
        break;
      case Guard::Option:
        // libtelnet tells of a refusal only for an option that was on; a
        // server that never takes the COM-PORT-OPTION is seen here.
        if (byte == ComPortOption && (m_verb == TELNET_DONT || m_verb == TELNET_WONT)) m_comPortRefused = true;
        PassNegotiation(byte);
        m_guard = Guard::Data;
        break;
      case Guard::SbOption:
        if (byte == TELNET_IAC) {
          // A subnegotiation without its option: take what follows as a command.
          ++m_protocolErrors;
          m_guard = Guard::Iac;
        } else if (byte == ComPortOption) {
          const uint8_t start[3] = {TELNET_IAC, TELNET_SB, byte};
          Clean(start, sizeof start);
          m_subnegotiationLength = 0;
          m_guard = Guard::SbKeep;
        } else {
          m_guard = Guard::SbSkip;
        }
        break;
      case Guard::SbKeep:
        if (byte == TELNET_IAC) {
          m_guard = Guard::SbKeepIac;
        } else if (m_subnegotiationLength < MaxSubnegotiation) {
          Clean(&byte, 1);
          ++m_subnegotiationLength;
        } else {
          CloseKeptSubnegotiation();
          m_guard = Guard::SbSkip;
        }
        break;
      case Guard::SbKeepIac:
        if (byte == TELNET_SE) {
          const uint8_t end[2] = {TELNET_IAC, TELNET_SE};
          Clean(end, sizeof end);
          m_guard = Guard::Data;
        } else if (byte == TELNET_IAC && m_subnegotiationLength < MaxSubnegotiation) {
          const uint8_t escaped[2] = {TELNET_IAC, TELNET_IAC};
          Clean(escaped, sizeof escaped);
          ++m_subnegotiationLength;
          m_guard = Guard::SbKeep;
        } else if (byte == TELNET_IAC) {
          CloseKeptSubnegotiation();
          m_guard = Guard::SbSkip;
        } else {
          // A command inside the subnegotiation: the server cut it short.
          // End it here and take the command as a command.
          CloseKeptSubnegotiation();
          m_guard = Guard::Iac;
          --i;
        }
        break;
      case Guard::SbSkip:
        if (byte == TELNET_IAC) m_guard = Guard::SbSkipIac;
        break;
      case Guard::SbSkipIac:
        if (byte == TELNET_SE) {
          m_guard = Guard::Data;
        } else if (byte == TELNET_IAC) {
          m_guard = Guard::SbSkip;
        } else {
          ++m_protocolErrors;
          m_guard = Guard::Iac;
          --i;
        }
        break;
    }
  }
  m_data = data;
  m_dataCount = 0;
  m_dataRoom = size;
  if (!m_clean.empty()) telnet_recv(m_telnet, reinterpret_cast<const char*>(m_clean.data()), m_clean.size());
  m_data = nullptr;
  return m_dataCount;
}

void Rfc2217Codec::EncodeData(const uint8_t* bytes, size_t size) {
  if (m_telnet && size > 0) telnet_send(m_telnet, reinterpret_cast<const char*>(bytes), size);
}

void Rfc2217Codec::Command(uint8_t command, const uint8_t* value, size_t size) {
  if (!m_telnet) return;
  std::vector<char> body(1 + size);
  body[0] = static_cast<char>(command);
  std::memcpy(body.data() + 1, value, size);
  // libtelnet doubles any 0xFF in the value (a rate may hold one).
  telnet_subnegotiation(m_telnet, ComPortOption, body.data(), body.size());
}

void Rfc2217Codec::EncodeLineFormat(const LineFormat& format) {
  const uint32_t rate = format.BaudRate;
  const uint8_t baud[4] = {static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(rate >> 16),
                           static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate)};
  Command(SetBaudRate, baud, sizeof baud);
  const uint8_t dataSize = format.DataBits;
  Command(SetDataSize, &dataSize, 1);
  const uint8_t parity = ParityValue(format.Parity);
  Command(SetParity, &parity, 1);
  const uint8_t stopSize = StopSizeValue(format.StopBits);
  Command(SetStopSize, &stopSize, 1);
}

void Rfc2217Codec::EncodeControlLines(bool rts, bool dtr) {
  const uint8_t rtsValue = rts ? RtsOn : RtsOff;
  Command(SetControl, &rtsValue, 1);
  const uint8_t dtrValue = dtr ? DtrOn : DtrOff;
  Command(SetControl, &dtrValue, 1);
}

void Rfc2217Codec::EncodeOpening() {
  for (uint8_t flow : {OutboundNoFlowControl, InboundNoFlowControl}) Command(SetControl, &flow, 1);
  const uint8_t modemMask = ModemReportBits;
  Command(SetModemStateMask, &modemMask, 1);
  const uint8_t lineMask = LineErrorMask;
  Command(SetLineStateMask, &lineMask, 1);
}

void Rfc2217Codec::EncodePurge() {
  const uint8_t both = PurgeBoth;
  Command(PurgeData, &both, 1);
}

bool Rfc2217Codec::TakeComPortAgreed() { return std::exchange(m_comPortJustAgreed, false); }

uint8_t Rfc2217Codec::TakeLineErrors() { return std::exchange(m_lineErrors, uint8_t{0}); }

void Rfc2217Codec::OnEvent(telnet_t*, telnet_event_t* event, void* self) {
  static_cast<Rfc2217Codec*>(self)->Handle(*event);
}

void Rfc2217Codec::Handle(const telnet_event_t& event) {
  switch (event.type) {
    case TELNET_EV_DATA: {
      const size_t take = std::min(event.data.size, m_dataRoom - m_dataCount);
      if (take > 0 && m_data) std::memcpy(m_data + m_dataCount, event.data.buffer, take);
      m_dataCount += take;
      break;
    }
    case TELNET_EV_SEND:
      m_output.insert(m_output.end(), reinterpret_cast<const uint8_t*>(event.data.buffer),
                      reinterpret_cast<const uint8_t*>(event.data.buffer) + event.data.size);
      break;
    case TELNET_EV_DO:
      if (event.neg.telopt == ComPortOption && !m_comPortAgreed) {
        m_comPortAgreed = true;
        m_comPortJustAgreed = true;
        m_comPortRefused = false;
      }
      break;
    case TELNET_EV_DONT:
      if (event.neg.telopt == ComPortOption) {
        m_comPortAgreed = false;
        m_comPortJustAgreed = false;
        m_comPortRefused = true;
      }
      break;
    case TELNET_EV_SUBNEGOTIATION:
      if (event.sub.telopt == ComPortOption) {
        HandleReport(reinterpret_cast<const uint8_t*>(event.sub.buffer), event.sub.size);
      }
      break;
    case TELNET_EV_WARNING:
    case TELNET_EV_ERROR:
      ++m_protocolErrors;
      break;
    default:
      break;
  }
}

void Rfc2217Codec::HandleReport(const uint8_t* bytes, size_t size) {
  if (size == 0) {
    ++m_protocolErrors;
    return;
  }
  const uint8_t command = bytes[0];
  const uint8_t* value = bytes + 1;
  const size_t length = size - 1;
  // The server's signature (100) and answers we do not use are let be; a
  // report of the wrong length is not believed.
  const size_t expected = command == ServerOffset + SetBaudRate ? 4 : 1;
  auto valueOk = [&] {
    if (length == expected) return true;
    ++m_protocolErrors;
    return false;
  };
  if (command >= ServerOffset + SetBaudRate && command <= ServerOffset + SetStopSize && length == expected) {
    m_formatAnswers |= static_cast<uint8_t>(1u << (command - ServerOffset - SetBaudRate));
  }
  switch (command) {
    case ServerOffset + SetBaudRate:
      if (valueOk()) {
        m_confirmed.BaudRate = static_cast<uint32_t>(value[0]) << 24 | static_cast<uint32_t>(value[1]) << 16 |
                               static_cast<uint32_t>(value[2]) << 8 | value[3];
      }
      break;
    case ServerOffset + SetDataSize:
      if (valueOk()) m_confirmed.DataSize = value[0];
      break;
    case ServerOffset + SetParity:
      if (valueOk()) m_confirmed.Parity = value[0];
      break;
    case ServerOffset + SetStopSize:
      if (valueOk()) m_confirmed.StopSize = value[0];
      break;
    case ServerOffset + NotifyLineState:
      if (valueOk()) {
        m_lineErrors |= static_cast<uint8_t>(((value[0] & LineStateOverrun) ? LineErrorOverrun : 0) |
                                             ((value[0] & LineStateParity) ? LineErrorParity : 0) |
                                             ((value[0] & LineStateFraming) ? LineErrorFraming : 0) |
                                             ((value[0] & LineStateBreak) ? LineErrorBreak : 0));
      }
      break;
    case ServerOffset + NotifyModemState:
      if (valueOk()) {
        m_modemLines = static_cast<uint8_t>(((value[0] & ModemCtsBit) ? ModemCTS : 0) |
                                            ((value[0] & ModemDsrBit) ? ModemDSR : 0) |
                                            ((value[0] & ModemCdBit) ? ModemCD : 0));
      }
      break;
    default:
      break;
  }
}

}  // namespace tapwise
