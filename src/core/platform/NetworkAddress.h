#pragma once
// Where a network port is: a serial port that another machine serves over
// TCP, written as a URL on the command line.
//   rfc2217://HOST:PORT   telnet with the COM-PORT-OPTION (line settings,
//                         control and modem lines, line errors)
//   tcp://HOST:PORT       the bytes alone
// HOST is a name, an IPv4 address or an IPv6 address in brackets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tapwise {

enum class NetworkProtocol : uint8_t { Rfc2217, RawTcp };

struct NetworkAddress {
  NetworkProtocol Protocol = NetworkProtocol::Rfc2217;
  std::string Host;  // without the brackets of an IPv6 address
  uint16_t Port = 0;

  // The address as the user wrote it (scheme in lower case), for messages
  // and the port's hint.
  std::string Text() const;

  // Whether text is meant as a URL rather than a path (it has a scheme).
  static bool LooksLikeUrl(std::string_view text);
  // The address in text; none, with the reason in *problem, when the scheme
  // is unknown or the host or port is missing or malformed.
  static std::optional<NetworkAddress> Parse(std::string_view text, std::string* problem = nullptr);
};

}  // namespace tapwise
