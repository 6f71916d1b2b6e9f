// The network device against a TCP server of the test's own, for what a
// real ser2net cannot show: every command byte the device sends (RTS/DTR
// included: a pseudo-terminal has no such lines), reports and malformed
// streams from the server, refused and dropped connections.

#include "core/platform/NetworkSerialDevice.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "core/util/UserMessages.h"
#include "support/TcpStub.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t ComPort = 44;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Command(uint8_t command, Bytes value) {
  value.insert(value.begin(), {IAC, SB, ComPort, command});
  value.push_back(IAC);
  value.push_back(SE);
  return value;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The server's answers to the four parts of a line format.
Bytes FormatAnswers() {
  return Command(101, {0, 0, 0x25, 0x80}) + Command(102, {8}) + Command(103, {1}) + Command(104, {1});
}

bool HasStopSize(const Bytes& got) {
  for (uint8_t size : Bytes{1, 2, 3}) {
    if (Contains(got, Command(4, {size}))) return true;
  }
  return false;
}

// Drives the device as the receive thread does: waits on its handle, reads.
class Pump {
 public:
  explicit Pump(SerialDevice& device) : m_device(device) {}
  Bytes Data;
  int Wakes = 0;

  bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    Clock::time_point deadline = Clock::now() + timeout;
    while (!done()) {
      if (Clock::now() >= deadline) return false;
      Step(10);
    }
    return true;
  }
  void For(std::chrono::milliseconds period) {
    Clock::time_point end = Clock::now() + period;
    while (Clock::now() < end) Step(100);
  }

 private:
  void Step(int timeoutMs) {
    pollfd ready{m_device.WaitHandle(), POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) > 0) ++Wakes;
    uint8_t buffer[4096];
    size_t got = m_device.Read(buffer, sizeof buffer);
    Data.insert(Data.end(), buffer, buffer + got);
  }
  SerialDevice& m_device;
};

NetworkAddress Local(NetworkProtocol protocol, uint16_t port, const char* host = "127.0.0.1") {
  return NetworkAddress{protocol, host, port};
}

std::unique_ptr<NetworkSerialDevice> OpenDevice(const NetworkAddress& address, UserMessages* messages = nullptr,
                                                std::atomic<uint32_t>* reconnects = nullptr) {
  OpenResult opened = NetworkSerialDevice::Open(address, "COM7", messages, reconnects);
  EXPECT_EQ(opened.Status, OpenStatus::Opened);
  return std::unique_ptr<NetworkSerialDevice>(static_cast<NetworkSerialDevice*>(opened.Device.release()));
}

class NetworkDeviceStub : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(stub.Ok()); }

  // Connects an RFC 2217 device and lets the server agree; returns once the
  // device has sent its opening and the server has answered its line format
  // (answers: false leaves that out, so data is still held back).
  std::unique_ptr<NetworkSerialDevice> Negotiated(const char* host = "127.0.0.1", bool answers = true) {
    auto device = OpenDevice(Local(NetworkProtocol::Rfc2217, stub.Port(), host), &messages, &reconnects);
    Pump pump(*device);
    bool accepted = false;
    EXPECT_TRUE(pump.Until([&] { return accepted = accepted || stub.Accept(10ms); }));
    AgreeAndAnswer(pump, answers);
    return device;
  }

  // The server's side of a connection's start, on the stub's connection.
  void AgreeAndAnswer(Pump& pump, bool answers) {
    EXPECT_TRUE(stub.ReadUntil([](const Bytes& got) { return Contains(got, {IAC, WILL, ComPort}); }));
    stub.Send({IAC, DO, ComPort, IAC, WILL, 0, IAC, DO, 0});
    EXPECT_TRUE(pump.Until([&] {
      stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
      return HasStopSize(stub.Received());
    }));
    if (answers) {
      stub.Send(FormatAnswers());
      pump.For(50ms);
    }
  }

  TcpStub stub;
  UserMessages messages;
  std::atomic<uint32_t> reconnects{0};
};

TEST_F(NetworkDeviceStub, OpeningPurgesAndThenSendsTheSettingsGivenBefore) {
  auto device = OpenDevice(Local(NetworkProtocol::Rfc2217, stub.Port()), &messages);
  // Set before the server agreed: kept, and sent once it has.
  EXPECT_TRUE(device->ApplyLineFormat({19200, ParityEven, 7, StopTwo}));
  EXPECT_TRUE(device->SetControlLines(true, false));
  EXPECT_FALSE(device->ApplyLineFormat({9600, ParityNone, 9, StopOne}));
  Pump pump(*device);
  ASSERT_TRUE(pump.Until([&] { return stub.HasClient() || stub.Accept(10ms); }));
  ASSERT_TRUE(stub.ReadUntil([](const Bytes& got) { return Contains(got, {IAC, WILL, ComPort}); }));
  stub.Send({IAC, DO, ComPort});
  ASSERT_TRUE(pump.Until([&] {
    stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
    return HasStopSize(stub.Received());
  })) << ::testing::PrintToString(stub.Received());
  const Bytes& sent = stub.Received();
  for (const Bytes& command : {Command(1, {0, 0, 0x4B, 0}), Command(2, {7}), Command(3, {3}), Command(4, {2}),
                               Command(5, {11}), Command(5, {9}), Command(5, {1}), Command(5, {14}),
                               Command(11, {0xBB}), Command(10, {0x1E})}) {
    auto at = std::search(sent.begin(), sent.end(), command.begin(), command.end());
    EXPECT_NE(at, sent.end()) << "command " << int(command[3]) << " value " << int(command[4]);
    // The purge goes before every setting: a server that carried it out
    // after one would throw away bytes sent under it.
    const Bytes purge = Command(12, {3});
    EXPECT_GT(at, std::search(sent.begin(), sent.end(), purge.begin(), purge.end()));
  }
  EXPECT_TRUE(device->Connected());
  EXPECT_TRUE(messages.Empty());
}

TEST_F(NetworkDeviceStub, ChangesWhileConnectedGoOutAtOnce) {
  auto device = Negotiated();
  stub.ClearReceived();
  struct Case {
    bool Rts, Dtr;
    Bytes RtsCommand, DtrCommand;
  };
  for (const Case& c : {Case{true, true, Command(5, {11}), Command(5, {8})},
                        Case{false, false, Command(5, {12}), Command(5, {9})},
                        Case{false, true, Command(5, {12}), Command(5, {8})}}) {
    EXPECT_TRUE(device->SetControlLines(c.Rts, c.Dtr));
    Bytes both = c.RtsCommand;
    both.insert(both.end(), c.DtrCommand.begin(), c.DtrCommand.end());
    EXPECT_TRUE(stub.ReadUntil([&](const Bytes& got) { return Contains(got, both); }));
    stub.ClearReceived();
  }
  EXPECT_TRUE(device->ApplyLineFormat({115200, ParityOdd, 8, StopOne}));
  EXPECT_TRUE(stub.ReadUntil([](const Bytes& got) {
    return Contains(got, Command(1, {0, 1, 0xC2, 0})) && Contains(got, Command(3, {2})) &&
           Contains(got, Command(4, {1}));
  }));
}

TEST_F(NetworkDeviceStub, BytesBothWaysWithFFAndTheServersReports) {
  auto device = Negotiated();
  Pump pump(*device);
  stub.Send(Text("a\xFF\xFF" "b"));
  stub.Send(Command(107, {0x10 | 0x80}));
  stub.Send(Command(106, {0x08}));
  stub.Send(Text("\xFF\xFF"));
  ASSERT_TRUE(pump.Until([&] { return pump.Data.size() >= 4; }));
  EXPECT_EQ(pump.Data, Text("a\xFF" "b\xFF"));
  EXPECT_EQ(device->ModemLines(), ModemCTS | ModemCD);
  EXPECT_TRUE(device->TakeErrorState());
  EXPECT_FALSE(device->TakeErrorState());
  // Each kind the server reports is told apart.
  const std::pair<uint8_t, uint8_t> kinds[] = {
      {0x02, LineErrorOverrun}, {0x04, LineErrorParity}, {0x08, LineErrorFraming}, {0x10, LineErrorBreak},
      {0x10 | 0x04, LineErrorBreak | LineErrorParity}};
  for (const auto& [state, kind] : kinds) {
    stub.Send(Command(106, {state}));
    stub.Send(Text("k"));
    const size_t had = pump.Data.size();
    ASSERT_TRUE(pump.Until([&] { return pump.Data.size() > had; }));
    EXPECT_EQ(device->TakeLineErrors(), kind) << int{state};
  }

  stub.ClearReceived();
  const Bytes out = Text("x\xFFy\xFF");
  EXPECT_TRUE(device->Write(out.data(), out.size()));
  EXPECT_TRUE(stub.ReadUntil([](const Bytes& got) { return got.size() >= 6; }));
  EXPECT_EQ(stub.Received(), Text("x\xFF\xFFy\xFF\xFF"));
}

// A read that takes only the server's commands has found input: the
// receive thread goes back to its wait at once instead of pausing a pass,
// so a burst of commands is drained at the speed it comes.
TEST_F(NetworkDeviceStub, AReadOfCommandsAloneSaysItTookInput) {
  auto device = Negotiated();
  uint8_t buffer[64];
  while (device->Read(buffer, sizeof buffer) > 0) {
  }
  (void)device->Read(buffer, sizeof buffer);
  EXPECT_FALSE(device->LastReadTookInput());
  ASSERT_TRUE(stub.Send(Command(107, {0x10})));
  bool tookInput = false;
  for (int i = 0; i < 200 && !tookInput; ++i) {
    EXPECT_EQ(device->Read(buffer, sizeof buffer), 0u);
    tookInput = device->LastReadTookInput();
    if (!tookInput) std::this_thread::sleep_for(5ms);
  }
  EXPECT_TRUE(tookInput);
  EXPECT_EQ(device->Read(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(device->LastReadTookInput());
}

// The stream comes in separate sends, so reads end inside commands
// (IAC last in a read among them).
TEST_F(NetworkDeviceStub, MalformedTelnetFromTheServerLeavesTheDataIntact) {
  auto device = Negotiated();
  Pump pump(*device);
  Bytes huge{IAC, SB, ComPort, 107};
  huge.insert(huge.end(), 200000, 'h');
  huge.insert(huge.end(), {IAC, SE});
  const std::vector<Bytes> sends = {
      Text("12"), {IAC}, {IAC}, Text("34"), {IAC, SB, ComPort, 106}, {IAC, WILL, 3}, Text("56"),
      {IAC, SB}, {ComPort, 101, 0}, {IAC}, {SE}, Text("78"), huge, Text("9"), {IAC, SB, 39, 1, 2, 3},
      {IAC, SE}, Text("0"), {IAC},
  };
  for (const Bytes& piece : sends) {
    ASSERT_TRUE(stub.Send(piece));
    pump.For(20ms);
  }
  ASSERT_TRUE(pump.Until([&] { return pump.Data.size() >= 11; }));
  pump.For(100ms);
  EXPECT_EQ(pump.Data, Text("12\xFF" "34567890"));
  EXPECT_EQ(device->ModemLines(), 0);  // the huge report is not believed
  EXPECT_TRUE(device->Connected());
}

TEST_F(NetworkDeviceStub, ADroppedConnectionComesBackWithTheSettingsAgain) {
  auto device = Negotiated();
  EXPECT_TRUE(device->ApplyLineFormat({38400, ParityOdd, 8, StopOne}));
  EXPECT_TRUE(device->SetControlLines(false, true));
  stub.CloseClient();
  Pump pump(*device);
  ASSERT_TRUE(pump.Until([&] { return !device->Connected(); }));
  const Bytes out = Text("lost");
  EXPECT_FALSE(device->Write(out.data(), out.size()));
  // Back within the first waits of the back-off.
  ASSERT_TRUE(pump.Until([&] { return stub.HasClient() || stub.Accept(10ms); }, 3s));
  AgreeAndAnswer(pump, true);
  EXPECT_TRUE(Contains(stub.Received(), Command(12, {3})));
  EXPECT_TRUE(Contains(stub.Received(), Command(1, {0, 0, 0x96, 0})));
  EXPECT_TRUE(Contains(stub.Received(), Command(5, {12})));
  EXPECT_TRUE(Contains(stub.Received(), Command(5, {8})));
  EXPECT_EQ(device->Connections(), 2u);
  // The first connection is no reconnection.
  EXPECT_EQ(reconnects.load(), 1u);
  std::vector<std::string> told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("COM7 (rfc2217://127.0.0.1:" + std::to_string(stub.Port()) + "): connection lost"),
            std::string::npos)
      << told[0];
  // Once it has lasted, the user hears that it is back.
  pump.For(2500ms);
  told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("connected"), std::string::npos) << told[0];
}

bool Finished(std::future<bool>& result) { return result.wait_for(0s) == std::future_status::ready; }

// Data written the moment a connection stands must not reach the server's
// device before its settings do: on the first connection and on one made
// again after a drop alike.
TEST_F(NetworkDeviceStub, DataOfEachNewConnectionWaitsForTheAnswerToTheFormat) {
  auto device = Negotiated("127.0.0.1", false);
  Pump pump(*device);
  for (int connection = 1; connection <= 2; ++connection) {
    SCOPED_TRACE(connection);
    const Bytes out = Text("first" + std::to_string(connection));
    std::future<bool> written = std::async(std::launch::async, [&] { return device->Write(out.data(), out.size()); });
    pump.For(300ms);
    stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
    EXPECT_FALSE(Contains(stub.Received(), out));
    EXPECT_FALSE(Finished(written));
    stub.Send(FormatAnswers());
    EXPECT_TRUE(pump.Until([&] {
      stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
      return Contains(stub.Received(), out);
    }));
    EXPECT_TRUE(written.get());
    if (connection == 2) break;
    stub.CloseClient();
    ASSERT_TRUE(pump.Until([&] { return !device->Connected(); }));
    ASSERT_TRUE(pump.Until([&] { return stub.HasClient() || stub.Accept(10ms); }, 3s));
    AgreeAndAnswer(pump, false);
  }
  std::vector<std::string> told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("connection lost"), std::string::npos) << told[0];
}

TEST_F(NetworkDeviceStub, ARequestTheServerRepeatsIsAnsweredOnce) {
  auto device = Negotiated();
  Pump pump(*device);
  stub.ClearReceived();
  Bytes storm;
  for (int i = 0; i < 10000; ++i) storm.insert(storm.end(), {IAC, DO, 1});
  ASSERT_TRUE(stub.Send(storm + Text("z")));
  ASSERT_TRUE(pump.Until([&] { return pump.Data == Text("z"); }));
  stub.ReadUntil([](const Bytes&) { return false; }, 100ms);
  EXPECT_EQ(stub.Received(), (Bytes{IAC, WONT, 1}));
  EXPECT_TRUE(device->Connected());
}

// A trigger's reply is written on the receiving thread itself, whose reads
// alone take in the server's answer: it is kept back without waiting.
TEST_F(NetworkDeviceStub, DataFromTheReceivingThreadIsKeptBackWithoutWaiting) {
  auto device = Negotiated("127.0.0.1", false);
  Pump pump(*device);
  pump.For(10ms);
  const Bytes out = Text("reply\xFF");
  EXPECT_TRUE(device->Write(out.data(), out.size()));
  pump.For(300ms);
  stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
  EXPECT_FALSE(Contains(stub.Received(), Text("reply")));
  stub.Send(FormatAnswers());
  EXPECT_TRUE(pump.Until([&] {
    stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
    return Contains(stub.Received(), Text("reply\xFF\xFF"));
  }));
  EXPECT_TRUE(messages.Empty());
}

TEST_F(NetworkDeviceStub, DataGoesWithAMessageWhenTheFormatIsNeverAnswered) {
  for (bool fromReceiver : {false, true}) {
    SCOPED_TRACE(fromReceiver ? "written on the receiving thread" : "written on another thread");
    auto device = Negotiated("127.0.0.1", false);
    Pump pump(*device);
    pump.For(10ms);
    const Bytes out = Text("late");
    std::future<bool> written = std::async(fromReceiver ? std::launch::deferred : std::launch::async,
                                           [&] { return device->Write(out.data(), out.size()); });
    if (fromReceiver) written.wait();
    ASSERT_TRUE(pump.Until([&] {
      stub.ReadUntil([](const Bytes&) { return false; }, 1ms);
      return Finished(written) && Contains(stub.Received(), out);
    }));
    EXPECT_TRUE(written.get());
    std::vector<std::string> told = messages.TakeAll();
    EXPECT_EQ(told, std::vector<std::string>{"COM7 (rfc2217://127.0.0.1:" + std::to_string(stub.Port()) +
                                             "): the server did not confirm the line settings within 2 s; "
                                             "data goes out without waiting for it"});
    // Once only: the next write goes at once and says nothing.
    EXPECT_TRUE(device->Write(out.data(), out.size()));
    EXPECT_TRUE(messages.Empty());
  }
}

TEST_F(NetworkDeviceStub, ANameIsLookedUpAndEachAddressTried) {
  // "localhost" may give ::1 first, where nothing listens: the next
  // address is tried.
  auto device = Negotiated("localhost");
  EXPECT_TRUE(device->Connected());
}

TEST_F(NetworkDeviceStub, RawTcpCarriesTheBytesAloneAndKeepsTheSettings) {
  auto device = OpenDevice(Local(NetworkProtocol::RawTcp, stub.Port()), &messages);
  Pump pump(*device);
  ASSERT_TRUE(pump.Until([&] { return (stub.HasClient() || stub.Accept(10ms)) && device->Connected(); }));
  EXPECT_TRUE(device->ApplyLineFormat({57600, ParityMark, 7, StopTwo}));
  EXPECT_TRUE(device->SetControlLines(true, true));
  const Bytes out = Text("\xFF\xFA,\x01\xFF");
  EXPECT_TRUE(device->Write(out.data(), out.size()));
  EXPECT_TRUE(stub.ReadUntil([&](const Bytes& got) { return got.size() >= out.size(); }));
  pump.For(100ms);
  EXPECT_EQ(stub.Received(), out);  // nothing of telnet, no settings
  const Bytes in = Text("\xFF\xFD,\xFF\xF0z");
  stub.Send(in);
  ASSERT_TRUE(pump.Until([&] { return pump.Data.size() >= in.size(); }));
  EXPECT_EQ(pump.Data, in);
  EXPECT_EQ(device->ModemLines(), 0);
  EXPECT_FALSE(device->TakeErrorState());
}

TEST(NetworkDevice, ARefusedConnectionIsToldOnceAndTriedAgainSlowly) {
  uint16_t port;
  {
    TcpStub closed;
    port = closed.Port();
  }
  UserMessages messages;
  auto device = OpenDevice(Local(NetworkProtocol::Rfc2217, port), &messages);
  Pump pump(*device);
  pump.For(3000ms);
  EXPECT_FALSE(device->Connected());
  const Bytes out = Text("x");
  EXPECT_FALSE(device->Write(out.data(), out.size()));
  EXPECT_EQ(device->ModemLines(), 0);
  // Waits of 0.25, 0.5, 1 and 2 s: a handful of attempts, not a spin.
  EXPECT_LE(pump.Wakes, 8);
  EXPECT_GE(pump.Wakes, 2);
  std::vector<std::string> told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("COM7 (rfc2217://127.0.0.1:" + std::to_string(port) + "): cannot connect"),
            std::string::npos)
      << told[0];
  EXPECT_FALSE(NetworkSerialDevice::Probe(Local(NetworkProtocol::Rfc2217, port), 500).empty());
}

// A device connected to a stub that takes little unread (see TcpStub).
std::unique_ptr<NetworkSerialDevice> ConnectedToStingyStub(TcpStub& stub, NetworkProtocol protocol,
                                                           UserMessages& messages) {
  EXPECT_TRUE(stub.Ok());
  auto device = OpenDevice(Local(protocol, stub.Port()), &messages);
  Pump pump(*device);
  EXPECT_TRUE(pump.Until([&] { return (stub.HasClient() || stub.Accept(10ms)) && device->Connected(); }));
  return device;
}

// A server that never reads but keeps changing its request (so that each
// change is answered) would make the answers pile up without end: past the
// bound the connection is dropped, said so, and tried again.
TEST(NetworkDevice, AServerThatAsksWithoutEverReadingIsDroppedAndTriedAgain) {
  TcpStub stub(4096);
  UserMessages messages;
  auto device = ConnectedToStingyStub(stub, NetworkProtocol::Rfc2217, messages);
  ASSERT_TRUE(device->Connected());
  Pump pump(*device);
  // Agreed and answered, so that nothing is held back: the drop is all
  // there is to tell.
  ASSERT_TRUE(stub.Send(Bytes{IAC, DO, ComPort} + FormatAnswers()));
  Bytes storm;
  for (int i = 0; i < 100000; ++i) storm.insert(storm.end(), {IAC, DO, 1, IAC, DONT, 1});
  std::atomic<bool> stop{false};
  std::atomic<size_t> stormed{0};
  std::thread server([&] {
    while (!stop && stormed < 200 * storm.size() && stub.Send(storm)) stormed += storm.size();
  });
  const bool dropped = pump.Until([&] { return !device->Connected(); }, 30s);
  stop = true;
  server.join();
  ASSERT_TRUE(dropped) << stormed << " bytes of requests sent";
  std::vector<std::string> told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("connection lost (the server keeps sending but takes nothing"), std::string::npos)
      << told[0];
  ASSERT_TRUE(pump.Until([&] { return stub.Accept(10ms); }, 3s));
  EXPECT_TRUE(pump.Until([&] { return device->Connected(); }));
  EXPECT_EQ(device->Connections(), 2u);
}

TEST(NetworkDevice, AWriteTheServerTakesNothingOfEndsTheConnectionAndSaysWhy) {
  TcpStub stub(4096);
  UserMessages messages;
  auto device = ConnectedToStingyStub(stub, NetworkProtocol::RawTcp, messages);
  ASSERT_TRUE(device->Connected());
  Pump pump(*device);
  const Bytes block(1 << 20, 'w');
  bool refused = false;
  for (int i = 0; i < 64 && !refused; ++i) refused = !device->Write(block.data(), block.size());
  ASSERT_TRUE(refused);
  ASSERT_TRUE(pump.Until([&] { return !messages.Empty(); }));
  std::vector<std::string> told = messages.TakeAll();
  const std::string limit = std::to_string(NetworkSerialDevice::WriteStallLimitMs / 1000) + " s";
  EXPECT_EQ(told, std::vector<std::string>{"COM7 (tcp://127.0.0.1:" + std::to_string(stub.Port()) +
                                           "): connection lost (the server took no data for " + limit +
                                           "); trying to connect again"});
  EXPECT_FALSE(device->Connected());
}

TEST(NetworkDevice, ProbeSaysWhetherTheServerTakesAConnection) {
  TcpStub stub;
  ASSERT_TRUE(stub.Ok());
  EXPECT_EQ(NetworkSerialDevice::Probe(Local(NetworkProtocol::RawTcp, stub.Port()), 1000), "");
}

}  // namespace
}  // namespace tapwise
