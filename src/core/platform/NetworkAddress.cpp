#include "core/platform/NetworkAddress.h"

#include <cctype>

namespace tapwise {

namespace {

constexpr std::string_view SchemeMark = "://";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::optional<NetworkAddress> Refuse(std::string* problem, const char* why) {
  if (problem) *problem = why;
  return std::nullopt;
}

// Host names and IPv4 addresses: letters, digits, dots, hyphens and
// underscores (some local names have them); nothing a resolver or a message
// would read differently.
bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
}

bool IsIpv6Character(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

}  // namespace

std::string NetworkAddress::Text() const {
  std::string host = Host.find(':') == std::string::npos ? Host : "[" + Host + "]";
  const char* scheme = Protocol == NetworkProtocol::Rfc2217 ? "rfc2217://" : "tcp://";
  return scheme + host + ":" + std::to_string(Port);
}

bool NetworkAddress::LooksLikeUrl(std::string_view text) {
  size_t mark = text.find(SchemeMark);
  if (mark == std::string_view::npos || mark == 0) return false;
  for (char c : text.substr(0, mark)) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) return false;
  }
  return true;
}

std::optional<NetworkAddress> NetworkAddress::Parse(std::string_view text, std::string* problem) {
  size_t mark = text.find(SchemeMark);
  if (mark == std::string_view::npos) return Refuse(problem, "expected rfc2217://HOST:PORT or tcp://HOST:PORT");
  NetworkAddress address;
  const std::string scheme = Lower(text.substr(0, mark));
  if (scheme == "rfc2217") {
    address.Protocol = NetworkProtocol::Rfc2217;
  } else if (scheme == "tcp") {
    address.Protocol = NetworkProtocol::RawTcp;
  } else {
    return Refuse(problem, "network ports are rfc2217://HOST:PORT or tcp://HOST:PORT");
  }
  std::string_view rest = text.substr(mark + SchemeMark.size());
  std::string_view host;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    size_t close = rest.find(']');
    if (close == std::string_view::npos) return Refuse(problem, "an IPv6 address needs its closing bracket");
    host = rest.substr(1, close - 1);
    rest.remove_prefix(close + 1);
    if (rest.empty() || rest.front() != ':') return Refuse(problem, "expected :PORT after the address");
    port = rest.substr(1);
    if (host.empty()) return Refuse(problem, "the host is missing");
    for (char c : host) {
      if (!IsIpv6Character(c)) return Refuse(problem, "the IPv6 address is malformed");
    }
  } else {
    size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) return Refuse(problem, "expected HOST:PORT");
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.empty()) return Refuse(problem, "the host is missing");
    for (char c : host) {
      if (!IsNameCharacter(c)) return Refuse(problem, "the host name is malformed (an IPv6 address goes in brackets)");
    }
  }
  if (port.empty() || port.size() > 5) return Refuse(problem, "the port must be a number from 1 to 65535");
  unsigned value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return Refuse(problem, "the port must be a number from 1 to 65535");
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return Refuse(problem, "the port must be a number from 1 to 65535");
  address.Host = host;
  address.Port = static_cast<uint16_t>(value);
  return address;
}

}  // namespace tapwise
