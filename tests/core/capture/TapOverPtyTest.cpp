// A tap end to end over real pseudo-terminals: the test holds the master of
// the "device" pty, the tap opens its slave as COM1, and the test opens
// COM2's pseudo-terminal as the application would.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <thread>

#include "core/capture/TWComms.h"
#include "core/capture/TapLink.h"
#include "core/platform/PortMap.h"
#include "core/platform/Termios2.h"
#include "support/FakeOpener.h"
#include "support/Pty.h"
#include "support/QueueWait.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
using ByteVector = std::vector<uint8_t>;

ByteVector Text(const char* text) { return ByteVector(text, text + std::char_traits<char>::length(text)); }

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// What the records of one port and origin carried, joined.
ByteVector Joined(const Records& records, uint8_t port, uint8_t origin = OriginReceived) {
  ByteVector bytes;
  for (const auto& record : records) {
    if (record->Port == port && record->Origin == origin) {
      bytes.insert(bytes.end(), record->Data, record->Data + record->Length);
    }
  }
  return bytes;
}

class TapOverPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.Ok()) << device.Error();
    ASSERT_TRUE(map.ApplyOption("-tap:1,2=" + device.SlavePath()).Ok());
    for (uint8_t n = 1; n <= 2; ++n) opener.AddFactory(n, [this, n] { return map.Open(n); });
    const PortMap::TapEnds ends = map.Taps().at(0);
    appPath = ends.AppPath;
    tap = std::make_unique<TapLink>(comms, messages, TapLink::Ends{ends.Device, ends.App, ends.AppMasterFd, ends.AppPath});
    comms.PacketGap = 30;
    tap->Start();
    comms.CreatePorts();
    ASSERT_TRUE(comms.IsPortPresent(1) && comms.IsPortPresent(2));
  }

  void TearDown() override {
    if (app >= 0) close(app);
    tap->Stop();
    comms.DestroyPorts();
    tap.reset();
  }

  // Opens COM2's pseudo-terminal as the application does, and waits until
  // the tap has seen it come.
  void OpenApp() {
    app = Pty::OpenPlain(appPath);
    ASSERT_GE(app, 0);
    std::this_thread::sleep_for(4 * std::chrono::milliseconds(TapLink::IdleMs));
  }

  Pty device;
  PortMap map;
  FakeOpener opener;
  TWComms comms{opener};
  UserMessages messages;
  std::unique_ptr<TapLink> tap;
  std::string appPath;
  int app = -1;
};

TEST_F(TapOverPty, BytesPassBothWaysAndShowAsReceivedPacketsOfEachSide) {
  OpenApp();
  ASSERT_TRUE(device.WriteAll(Text("ping")));
  EXPECT_EQ(Pty::ReadFor(app, 4), Text("ping"));
  ASSERT_TRUE(Pty::WriteAll(app, Text("pong!")));
  EXPECT_EQ(device.ReadFor(5), Text("pong!"));

  Records records = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(records.size(), 2u);
  // Each side ends its packet after its own gap; on a busy machine both may
  // end in one pass, in either order.
  std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a->Port < b->Port; });
  EXPECT_EQ(records[0]->Port, 1);
  EXPECT_EQ(Bytes(*records[0]), Text("ping"));
  EXPECT_EQ(records[1]->Port, 2);
  EXPECT_EQ(Bytes(*records[1]), Text("pong!"));
  for (const auto& record : records) EXPECT_EQ(record->Origin, OriginReceived);
  // Forwarding sends nothing of the program's own.
  EXPECT_TRUE(CollectFor(comms.Queue(), 100ms).empty());
  EXPECT_TRUE(messages.TakeAll().empty());
}

TEST_F(TapOverPty, AFullSpeedStreamEachWayLosesNothing) {
  OpenApp();
  constexpr size_t Size = 100'000;
  std::mt19937 random(14);
  ByteVector down(Size), up(Size);
  for (uint8_t& byte : down) byte = static_cast<uint8_t>(random());
  for (uint8_t& byte : up) byte = static_cast<uint8_t>(random());

  ByteVector atApp, atDevice;
  std::thread appReader([&] { atApp = Pty::ReadFor(app, Size, 20s); });
  std::thread deviceReader([&] { atDevice = device.ReadFor(Size, 20s); });
  std::thread appWriter([&] { EXPECT_TRUE(Pty::WriteAll(app, up, 20s)); });
  EXPECT_TRUE(Pty::WriteAll(device.MasterFd(), down, 20s));
  appWriter.join();
  appReader.join();
  deviceReader.join();
  EXPECT_TRUE(atApp == down) << atApp.size() << " of " << Size << " bytes reached the application";
  EXPECT_TRUE(atDevice == up) << atDevice.size() << " of " << Size << " bytes reached the device";

  Records records;
  ASSERT_TRUE(Eventually([&] {
    for (auto& record : CollectFor(comms.Queue(), 50ms)) records.push_back(std::move(record));
    return Joined(records, 1).size() >= Size && Joined(records, 2).size() >= Size;
  }, 10s));
  EXPECT_TRUE(Joined(records, 1) == down);
  EXPECT_TRUE(Joined(records, 2) == up);
}

TEST_F(TapOverPty, TheDeviceFollowsTheRateAndStopBitsTheApplicationSets) {
  OpenApp();
  struct Case {
    speed_t Speed;
    uint32_t Rate;
    tcflag_t Format;
    uint8_t StopBits;
  };
  for (const Case& c : {Case{B115200, 115200, CS8 | PARENB, StopOne}, Case{B57600, 57600, CS8 | CSTOPB, StopTwo},
                        Case{B9600, 9600, CS7 | PARENB | PARODD, StopOne}}) {
    SCOPED_TRACE(c.Rate);
    termios settings{};
    ASSERT_EQ(tcgetattr(app, &settings), 0);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    settings.c_cflag |= c.Format;
    cfsetspeed(&settings, c.Speed);
    ASSERT_EQ(tcsetattr(app, TCSANOW, &settings), 0);
    // The bytes written after the change go out at the new settings.
    ASSERT_TRUE(Pty::WriteAll(app, Text("at")));
    EXPECT_EQ(device.ReadFor(2), Text("at"));
    const std::optional<FollowedLine> line = ReadFollowedLine(RealSysCalls(), device.MasterFd());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->Rate, c.Rate);
    EXPECT_EQ(line->TwoStopBits, c.StopBits == StopTwo);
    for (uint8_t port = 1; port <= 2; ++port) {
      const PortSettings shown = comms.GetPortSettings(port);
      EXPECT_EQ(shown.BaudRate, c.Rate);
      EXPECT_EQ(shown.StopBits, c.StopBits);
      // A pseudo-terminal never shows the application's data bits and
      // parity: the user's stay.
      EXPECT_EQ(shown.DataBits, 8);
      EXPECT_EQ(shown.Parity, ParityNone);
    }
  }
  EXPECT_GE(tap->FollowCount(), 3u);
  // A change with no bytes after it is followed too.
  termios settings{};
  ASSERT_EQ(tcgetattr(app, &settings), 0);
  cfsetspeed(&settings, B19200);
  ASSERT_EQ(tcsetattr(app, TCSANOW, &settings), 0);
  EXPECT_TRUE(Eventually([&] { return comms.GetPortSettings(1).BaudRate == 19200; }));
  EXPECT_EQ(messages.TakeAll(), std::vector<std::string>{});
}

TEST_F(TapOverPty, AnAbsentApplicationAndAVanishedDeviceCostNothingButAreTold) {
  // Before the application comes, and after it has gone, the device's bytes
  // are shown and counted, not kept for the next application.
  ASSERT_TRUE(device.WriteAll(Text("early")));
  EXPECT_EQ(Bytes(*WaitForRecords(comms.Queue(), 1).at(0)), Text("early"));
  OpenApp();
  EXPECT_TRUE(Eventually([&] { return !messages.Empty(); }));
  EXPECT_EQ(messages.TakeAll(),
            std::vector<std::string>{"COM2: 5 bytes from the device while no application was connected"});
  EXPECT_TRUE(Pty::ReadFor(app, 1, 100ms).empty());

  close(app);
  app = -1;
  std::this_thread::sleep_for(4 * std::chrono::milliseconds(TapLink::IdleMs));
  ASSERT_TRUE(device.WriteAll(Text("gone")));
  EXPECT_EQ(Bytes(*WaitForRecords(comms.Queue(), 1).at(0)), Text("gone"));
  OpenApp();
  EXPECT_TRUE(Eventually([&] { return !messages.Empty(); }));
  EXPECT_EQ(messages.TakeAll(),
            std::vector<std::string>{"COM2: 4 bytes from the device while no application was connected"});
  EXPECT_TRUE(Pty::ReadFor(app, 1, 100ms).empty());
  ASSERT_TRUE(device.WriteAll(Text("back")));
  EXPECT_EQ(Pty::ReadFor(app, 4), Text("back"));

  // The device goes away: what the application sends still shows, the
  // threads sleep, and the user hears what could not be written.
  device.CloseMaster();
  (void)CollectFor(comms.Queue(), 100ms);
  const double cpuBefore = CpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.3);
  ASSERT_TRUE(Pty::WriteAll(app, Text("hello")));
  EXPECT_EQ(Bytes(*WaitForRecords(comms.Queue(), 1).at(0)), Text("hello"));
  tap->Stop();
  EXPECT_EQ(messages.TakeAll(), std::vector<std::string>{
                                    "COM1: 5 bytes from the application on COM2 could not be written to the device"});
}

TEST_F(TapOverPty, WhatTheProgramSendsGoesToItsOwnSideOnly) {
  OpenApp();
  comms.WritePacket(1, Text("to-device").data(), 9);
  comms.WritePacket(2, Text("to-app").data(), 6);
  EXPECT_EQ(device.ReadFor(9), Text("to-device"));
  EXPECT_EQ(Pty::ReadFor(app, 6), Text("to-app"));
  EXPECT_TRUE(device.ReadFor(1, 200ms).empty());
  EXPECT_TRUE(Pty::ReadFor(app, 1, 200ms).empty());
  Records records = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Joined(records, 1, OriginTransmitted), Text("to-device"));
  EXPECT_EQ(Joined(records, 2, OriginTransmitted), Text("to-app"));
  EXPECT_TRUE(CollectFor(comms.Queue(), 100ms).empty());
}

// A pseudo-terminal takes any rate, so the refusing device is the fake.
TEST(TapRefusals, ARateTheDeviceRefusesIsReportedOncePerRate) {
  PortMap map;
  ASSERT_TRUE(map.ApplyOption("-tap:1,2=pty").Ok());
  FakeOpener opener;
  std::shared_ptr<FakeLine> line = opener.AddFake(1);
  line->RefuseLineFormat(true);
  opener.AddFactory(2, [&map] { return map.Open(2); });
  TWComms comms{opener};
  UserMessages messages;
  const PortMap::TapEnds ends = map.Taps().at(0);
  TapLink tap(comms, messages, TapLink::Ends{ends.Device, ends.App, ends.AppMasterFd, ends.AppPath});
  tap.Start();
  comms.CreatePorts();
  const int app = Pty::OpenPlain(ends.AppPath);
  ASSERT_GE(app, 0);
  uint32_t follows = tap.FollowCount();
  for (speed_t speed : {B19200, B57600, B19200}) {
    termios settings{};
    ASSERT_EQ(tcgetattr(app, &settings), 0);
    cfsetspeed(&settings, speed);
    ASSERT_EQ(tcsetattr(app, TCSANOW, &settings), 0);
    ASSERT_TRUE(Eventually([&] { return tap.FollowCount() > follows; }));
    follows = tap.FollowCount();
  }
  close(app);
  tap.Stop();
  EXPECT_EQ(messages.TakeAll(), (std::vector<std::string>{"COM1 refuses 19200 baud, the rate the application set on COM2",
                                                          "COM1 refuses 57600 baud, the rate the application set on COM2"}));
  comms.DestroyPorts();
}

}  // namespace
}  // namespace tapwise
