#include "extcap/ExtcapQueries.h"

#include "extcap/ExtcapOptions.h"

namespace tapwise {

std::string DltsText(const ExtcapInterfaceName& name) {
  (void)name;
  // The first user type unless the capture asks otherwise; the blocks of
  // the stream carry the link type in force.
  return "dlt {number=147}{name=USER0}{display=Serial packets, one per quiet gap (USER0)}\n";
}

std::string ConfigText(const ExtcapInterfaceName& name) {
  std::string text;
  int number = 0;
  auto arg = [&](const std::string& fields) {
    text += "arg {number=" + std::to_string(number++) + "}" + fields + "\n";
  };
  if (name.Port == 0) {
    arg("{call=--ports}{display=Ports}{type=string}{tooltip=COM numbers to capture, e.g. 1,33-40 (empty: all)}"
        "{validation=^[0-9, -]*$}{group=Ports}");
  }
  if (name.Monitor != 0) return text;
  if (name.Port == 0) {
    arg("{call=--map}{display=More ports}{type=string}{tooltip=Ports to add to the COM-number map, as -port: "
        "takes them, parted by spaces: 40=/dev/ttyAMA0 41=rfc2217://host:2001}{group=Ports}");
  }
  arg("{call=--line}{display=Line settings}{type=string}{tooltip=Rate and frame of the ports, e.g. 115200,8N1 "
      "(empty: as they are)}{group=Line}");
  arg("{call=--gap}{display=Packet gap (ms)}{type=integer}{range=" + std::to_string(LowestExtcapGap) + "," +
      std::to_string(HighestExtcapGap) + "}{default=10}{tooltip=The quiet time that ends a packet}{group=Line}");
  const int linkType = number;
  arg("{call=--linktype}{display=Link type}{type=selector}{tooltip=The pcapng link type of the packets}{group=Line}");
  text += "value {arg=" + std::to_string(linkType) + "}{value=147}{display=User 0 (147): the packet bytes}{default=true}\n";
  text += "value {arg=" + std::to_string(linkType) +
          "}{value=250}{display=RTAC serial (250): direction, line errors and modem lines}{default=false}\n";
  return text;
}

}  // namespace tapwise
