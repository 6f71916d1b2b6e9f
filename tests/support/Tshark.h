#pragma once
// tshark, the packet analyser's reader, run on a capture file: the judge of
// whether a pcapng recording is what analysers understand.

#include <string>
#include <vector>

namespace tapwise {

// The user link type 147 read as Modbus RTU: the DLT_User table entry, as
// an option for tshark's -o.
inline constexpr const char* ModbusRtuUserDlt = R"dlt(uat:user_dlts:"User 0 (DLT=147)","mbrtu","0","","0","")dlt";

struct TsharkRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// The tshark program on the PATH, or "" when it is not installed.
std::string TsharkPath();

// The RTAC serial link type's payload read as Modbus RTU (Decode As), as
// the arguments for tshark.
inline const std::vector<std::string> ModbusRtuAfterRtac = {"-d", "rtacser.data,mbrtu"};

// tshark -r FILE -T fields -e FIELD… with the preferences given (each one
// -o) and any further arguments: one row per packet, one column per field
// (multiple values joined with ',').
TsharkRun RunTsharkFields(const std::string& file, const std::vector<std::string>& fields,
                          const std::vector<std::string>& options = {},
                          const std::vector<std::string>& arguments = {});
std::vector<std::vector<std::string>> FieldRows(const std::string& out);

}  // namespace tapwise

// For a test that needs tshark: scripts/setup installs it, so a skip means
// the machine was not set up.
#define TAPWISE_REQUIRE_TSHARK()                                                  \
  if (::tapwise::TsharkPath().empty()) {                                          \
    GTEST_SKIP() << "tshark is not installed (scripts/setup installs it)";        \
  }
