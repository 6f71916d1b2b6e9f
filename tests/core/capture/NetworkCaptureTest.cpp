// Network ports end to end: the port manager with an rfc2217:// port, served
// by a real ser2net on 127.0.0.1 from a pseudo-terminal whose master the
// test holds as the far end of the wire.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <termios.h>

#include <atomic>
#include <thread>

#include "core/capture/TWComms.h"
#include "core/platform/NetworkSerialDevice.h"
#include "core/platform/PortMap.h"
#include "core/platform/Termios2.h"
#include "core/util/UserMessages.h"
#include "support/ProcessUsage.h"
#include "support/Pty.h"
#include "support/QueueWait.h"
#include "support/ResultAssertions.h"
#include "support/Ser2net.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
using ByteVector = std::vector<uint8_t>;


uint32_t PtyRate(const Pty& pty) {
  std::optional<LineRates> rates = ReadLineRates(RealSysCalls(), pty.MasterFd());
  return rates ? rates->Output : 0;
}

tcflag_t PtyFlags(const Pty& pty) {
  termios settings{};
  tcgetattr(pty.MasterFd(), &settings);
  return settings.c_cflag & (PARODD | CMSPAR | CSTOPB);
}

class NetworkCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Ser2net::Available()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    server = std::make_unique<Ser2net>(std::vector<Ser2net::Served>{{pty.SlavePath(), true}});
    ASSERT_TRUE(server->Start()) << server->Error();
    map.SetMessages(&messages);
    ASSERT_TRUE(Succeeded(map.ApplyOption("-port:3=" + server->Url(0))));
  }

  // Opens the ports with a first rate that ser2net's own default is not,
  // and returns once it has landed on the pty: the connection then stands
  // and the purge that follows the settings is through.
  void StartPorts() {
    PortSettings settings;
    settings.BaudRate = 19200;
    comms.SetPortSettings(3, settings);
    comms.CreatePorts();
    ASSERT_TRUE(comms.IsPortPresent(3));
    ASSERT_TRUE(Eventually([&] { return PtyRate(pty) == 19200; }, 10s));
    std::this_thread::sleep_for(200ms);
  }

  // Writes probe bytes at the far end until the port shows one: the
  // connection is back. Takes what it shows.
  bool FlowsAgain() {
    return Eventually(
        [&] {
          pty.WriteAll(TextBytes("?"));
          std::this_thread::sleep_for(100ms);
          return !CollectFor(comms.Queue(), 50ms).empty();
        },
        20s);
  }

  Pty pty;
  std::unique_ptr<Ser2net> server;
  UserMessages messages;
  PortMap map;
  TWComms comms{map};
};

TEST_F(NetworkCapture, BytesBothWaysFramedByTheGapWithFFIntact) {
  StartPorts();
  comms.PacketGap = 300;
  ASSERT_TRUE(pty.WriteAll(TextBytes("ab\xFF")));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(pty.WriteAll(TextBytes("\xFF" "cd")));
  Records joined = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(Bytes(*joined[0]), TextBytes("ab\xFF\xFF" "cd"));
  EXPECT_EQ(joined[0]->Port, 3);
  EXPECT_EQ(joined[0]->Error, 0);

  comms.PacketGap = 20;
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(pty.WriteAll(TextBytes("one")));
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(pty.WriteAll(TextBytes("two")));
  Records apart = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(apart.size(), 2u);
  EXPECT_EQ(Bytes(*apart[0]), TextBytes("one"));
  EXPECT_EQ(Bytes(*apart[1]), TextBytes("two"));

  const ByteVector out = TextBytes("x\xFF\xFFy\xFF");
  comms.WritePacket(3, out.data(), static_cast<uint16_t>(out.size()));
  Records sent = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]->Origin, OriginTransmitted);
  EXPECT_EQ(sent[0]->Error, 0);
  EXPECT_EQ(pty.ReadFor(out.size()), out);
  EXPECT_TRUE(messages.Empty());
}

// A pseudo-terminal keeps the rate, the kind of parity and the stop bits
// (it forces 8 data bits without parity); the data size and every control
// line command are checked byte for byte against a server stub instead.
TEST_F(NetworkCapture, TheTabsSettingsReachThePty) {
  StartPorts();
  struct Case {
    uint32_t Rate;
    uint8_t Parity, StopBits;
    tcflag_t Flags;
  };
  for (Case c : {Case{57600, ParityOdd, StopTwo, PARODD | CSTOPB}, Case{38400, ParityEven, StopOne, 0},
                 Case{115200, ParityNone, StopTwo, CSTOPB}, Case{4800, ParityOdd, StopOne, PARODD}}) {
    SCOPED_TRACE(c.Rate);
    PortSettings settings;
    settings.BaudRate = c.Rate;
    settings.Parity = c.Parity;
    settings.DataBits = 7;
    settings.StopBits = c.StopBits;
    settings.RTS = 1;
    settings.DTR = 1;
    comms.SetPortSettings(3, settings);
    EXPECT_TRUE(comms.ApplyPortSettings(3));
    EXPECT_TRUE(Eventually([&] { return PtyRate(pty) == c.Rate && PtyFlags(pty) == c.Flags; }, 5s))
        << PtyRate(pty) << " " << PtyFlags(pty);
  }
}

TEST_F(NetworkCapture, AServerThatGoesAndComesBackIsPickedUpWithoutSpinning) {
  StartPorts();
  PortSettings settings = comms.GetPortSettings(3);
  settings.BaudRate = 38400;
  comms.SetPortSettings(3, settings);
  ASSERT_TRUE(comms.ApplyPortSettings(3));
  ASSERT_TRUE(Eventually([&] { return PtyRate(pty) == 38400; }, 5s));

  server->Stop();
  ASSERT_TRUE(Eventually([&] { return !messages.Empty(); }, 5s));
  std::vector<std::string> told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("COM3 (" + server->Url(0) + "): connection lost"), std::string::npos) << told[0];
  // Meanwhile the far end changes the line, as if someone else had it.
  termios far{};
  tcgetattr(pty.MasterFd(), &far);
  cfsetspeed(&far, B9600);
  tcsetattr(pty.MasterFd(), TCSANOW, &far);

  // Down: the port waits on a timer between attempts, so it costs next to
  // nothing. The bound is generous; a spinning receive thread would use
  // the whole 3 s.
  double cpuBefore = CpuSeconds();
  std::this_thread::sleep_for(3s);
  double cpuUsed = CpuSeconds() - cpuBefore;
  EXPECT_LT(cpuUsed, 0.3);
  EXPECT_TRUE(comms.IsPortPresent(3));
  EXPECT_TRUE(messages.Empty());  // no message per attempt

  ASSERT_TRUE(server->Start()) << server->Error();
  ASSERT_TRUE(FlowsAgain());
  // The settings went in again on the new connection.
  EXPECT_TRUE(Eventually([&] { return PtyRate(pty) == 38400; }, 5s));
  std::this_thread::sleep_for(200ms);
  CollectFor(comms.Queue(), 100ms);
  ASSERT_TRUE(pty.WriteAll(TextBytes("back")));
  Records back = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(Bytes(*back[0]), TextBytes("back"));
  const ByteVector out = TextBytes("reply");
  comms.WritePacket(3, out.data(), static_cast<uint16_t>(out.size()));
  EXPECT_EQ(pty.ReadFor(out.size()), out);
  EXPECT_TRUE(Eventually(
      [&] {
        for (const std::string& text : messages.TakeAll()) {
          if (text.find("): connected") != std::string::npos) return true;
        }
        return false;
      },
      5s));
}

TEST(NetworkCaptureStartUp, APortWhoseServerIsDownAtStartGetsItsSlotAndConnectsLater) {
  if (!Ser2net::Available()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
  Pty pty;
  ASSERT_TRUE(pty.Ok()) << pty.Error();
  Ser2net server({{pty.SlavePath(), false}});  // raw TCP this time
  UserMessages messages;
  PortMap map;
  map.SetMessages(&messages);
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:9=" + server.Url(0))));
  TWComms comms(map);
  comms.CreatePorts();
  ASSERT_TRUE(comms.IsPortPresent(9));
  ASSERT_TRUE(Eventually([&] { return !messages.Empty(); }, 5s));
  std::vector<std::string> told = messages.TakeAll();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("COM9 (" + server.Url(0) + "): cannot connect"), std::string::npos) << told[0];

  ASSERT_TRUE(server.Start()) << server.Error();
  ASSERT_TRUE(Eventually(
      [&] {
        pty.WriteAll(TextBytes("?"));
        std::this_thread::sleep_for(100ms);
        return !CollectFor(comms.Queue(), 50ms).empty();
      },
      20s));
  std::this_thread::sleep_for(200ms);
  CollectFor(comms.Queue(), 100ms);
  ASSERT_TRUE(pty.WriteAll(TextBytes("raw\xFF")));
  Records records = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Bytes(*records[0]), TextBytes("raw\xFF"));
  EXPECT_EQ(comms.GetModemLines(9), 0);
}

// The device and a receive thread of its own, as a port has them.
class ReceivingDevice {
 public:
  ReceivingDevice(const NetworkAddress& address, UserMessages& messages, const LineFormat& format) {
    OpenResult opened = NetworkSerialDevice::Open(address, "COM3", &messages);
    m_device.reset(static_cast<NetworkSerialDevice*>(opened.Device.release()));
    if (!m_device) return;
    m_device->ApplyLineFormat(format);
    m_receiver = std::thread([this] {
      uint8_t buffer[4096];
      while (!m_stop) {
        pollfd ready{m_device->WaitHandle(), POLLIN, 0};
        poll(&ready, 1, 10);
        m_device->Read(buffer, sizeof buffer);
      }
    });
  }
  ~ReceivingDevice() {
    m_stop = true;
    if (m_receiver.joinable()) m_receiver.join();
  }
  NetworkSerialDevice* operator->() { return m_device.get(); }
  explicit operator bool() const { return m_device != nullptr; }

 private:
  std::unique_ptr<NetworkSerialDevice> m_device;
  std::atomic<bool> m_stop{false};
  std::thread m_receiver;
};

// The server takes settings in its own time: a packet written as soon as
// the connection stands must still reach the device, under the new rate.
// Each try is a new connection, with another rate than the one before.
TEST(NetworkFirstPacket, APacketWrittenTheMomentThePortConnectsArrives) {
  if (!Ser2net::Available()) GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
  Pty pty;
  ASSERT_TRUE(pty.Ok()) << pty.Error();
  Ser2net server({{pty.SlavePath(), true}});
  ASSERT_TRUE(server.Start()) << server.Error();
  const NetworkAddress address{NetworkProtocol::Rfc2217, "127.0.0.1", server.Port(0)};
  UserMessages messages;
  int arrived = 0;
  for (int attempt = 1; attempt <= 20; ++attempt) {
    SCOPED_TRACE(attempt);
    const uint32_t rate = attempt % 2 ? 19200 : 38400;
    ReceivingDevice device(address, messages, {rate, ParityNone, 8, StopOne});
    ASSERT_TRUE(device);
    ASSERT_TRUE(Eventually([&] { return device->Connected(); }, 10s));
    const ByteVector packet = TextBytes(("packet " + std::to_string(attempt) + "\n").c_str());
    EXPECT_TRUE(device->Write(packet.data(), packet.size()));
    ByteVector got = pty.ReadFor(packet.size(), 3s);
    EXPECT_EQ(got, packet);
    EXPECT_EQ(PtyRate(pty), rate);
    if (got == packet) ++arrived;
  }
  EXPECT_EQ(arrived, 20);
  EXPECT_TRUE(messages.Empty()) << messages.TakeAll()[0];
}

}  // namespace
}  // namespace tapwise
