// What every SerialDevice must do, run against each backend: the POSIX
// device on a pseudo-terminal's slave (as a real port), on the master side of
// a virtual port, the network device through a ser2net on 127.0.0.1 serving
// a pseudo-terminal (telnet with RFC 2217, and raw TCP), and the fake the
// capture tests rely on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <ostream>

#include "core/platform/NetworkSerialDevice.h"
#include "core/platform/PortMap.h"
#include "core/platform/PosixSerialDevice.h"
#include "support/FakeSerialDevice.h"
#include "support/Pty.h"
#include "support/Ser2net.h"

namespace tapwise {
namespace {

using Bytes = Pty::Bytes;

// A device with a hand on the far end of its wire.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual SerialDevice* Device() = 0;
  virtual bool Feed(const Bytes& bytes) = 0;
  // What the device has written, once count bytes are there (or time is up).
  virtual Bytes Sent(size_t count) = 0;
  // Why this backend cannot run here ("" when it can).
  virtual std::string Missing() const { return ""; }
};

class SlaveBackend : public Backend {
 public:
  SlaveBackend() {
    if (m_pty.Ok()) m_device = PosixSerialDevice::Open(m_pty.SlavePath()).Device;
  }
  SerialDevice* Device() override { return m_device.get(); }
  bool Feed(const Bytes& bytes) override { return m_pty.WriteAll(bytes); }
  Bytes Sent(size_t count) override { return m_pty.ReadFor(count); }

 private:
  Pty m_pty;
  std::unique_ptr<SerialDevice> m_device;
};

class VirtualPortBackend : public Backend {
 public:
  VirtualPortBackend() {
    if (!m_map.ApplyOption("-port:1=pty")) return;
    m_device = m_map.Open(1).Device;
    m_other = Pty::OpenPlain(m_map.Describe(1));
  }
  ~VirtualPortBackend() override {
    if (m_other >= 0) close(m_other);
  }
  SerialDevice* Device() override { return m_other >= 0 ? m_device.get() : nullptr; }
  bool Feed(const Bytes& bytes) override { return Pty::WriteAll(m_other, bytes); }
  Bytes Sent(size_t count) override { return Pty::ReadFor(m_other, count); }

 private:
  PortMap m_map;
  std::unique_ptr<SerialDevice> m_device;
  int m_other = -1;
};

// The far end is the master of the pty that ser2net serves; the device
// connects to ser2net. The backend is ready once a byte has gone each way,
// so ser2net holds the pty open and the connection's opening is through.
class NetworkBackend : public Backend {
 public:
  explicit NetworkBackend(bool rfc2217) {
    if (!Ser2net::Available()) {
      m_missing = "ser2net is not installed (scripts/setup installs it)";
      return;
    }
    if (!m_pty.Ok()) return;
    m_server = std::make_unique<Ser2net>(std::vector<Ser2net::Served>{{m_pty.SlavePath(), rfc2217}});
    if (!m_server->Start()) return;
    const NetworkAddress address{rfc2217 ? NetworkProtocol::Rfc2217 : NetworkProtocol::RawTcp, "127.0.0.1",
                                 m_server->Port(0)};
    OpenResult opened = NetworkSerialDevice::Open(address, "COM5", nullptr);
    auto* device = static_cast<NetworkSerialDevice*>(opened.Device.get());
    if (!device || !Connect(*device, rfc2217)) return;
    m_device = std::move(opened.Device);
  }
  SerialDevice* Device() override { return m_device.get(); }
  bool Feed(const Bytes& bytes) override { return m_pty.WriteAll(bytes); }
  Bytes Sent(size_t count) override { return m_pty.ReadFor(count); }
  std::string Missing() const override { return m_missing; }

 private:
  bool Connect(NetworkSerialDevice& device, bool rfc2217) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // Writes wait for the server's answer to the line format, which only
    // reads take in: read until it is there.
    auto ready = [&] { return device.Connected() && (!rfc2217 || device.ServerSettings().StopSize != 0); };
    uint8_t buffer[64];
    while (!ready() && std::chrono::steady_clock::now() < deadline) {
      usleep(1000);
      device.Read(buffer, sizeof buffer);
    }
    const Bytes probe = {'?'};
    bool out = false;
    while (!out && std::chrono::steady_clock::now() < deadline) {
      device.Read(buffer, sizeof buffer);
      out = ready() && device.Write(probe.data(), probe.size()) &&
            m_pty.ReadFor(1, std::chrono::milliseconds(100)) == probe;
    }
    if (!out || !m_pty.WriteAll({'!'})) return false;
    return Pty::ReadFor(device, 1) == Bytes{'!'};
  }

  Pty m_pty;
  std::unique_ptr<Ser2net> m_server;
  std::unique_ptr<SerialDevice> m_device;
  std::string m_missing;
};

class FakeBackend : public Backend {
 public:
  SerialDevice* Device() override { return &m_device; }
  bool Feed(const Bytes& bytes) override {
    m_line->Feed(bytes);
    return true;
  }
  Bytes Sent(size_t) override { return m_line->Written(); }

 private:
  std::shared_ptr<FakeLine> m_line = std::make_shared<FakeLine>();
  FakeSerialDevice m_device{m_line};
};

struct BackendKind {
  const char* Name;
  std::unique_ptr<Backend> (*Make)();
};

void PrintTo(const BackendKind& kind, std::ostream* out) { *out << kind.Name; }

const BackendKind Kinds[] = {
    {"PosixSlave", [] { return std::unique_ptr<Backend>(new SlaveBackend); }},
    {"PosixVirtualPort", [] { return std::unique_ptr<Backend>(new VirtualPortBackend); }},
    {"NetworkRfc2217", [] { return std::unique_ptr<Backend>(new NetworkBackend(true)); }},
    {"NetworkRawTcp", [] { return std::unique_ptr<Backend>(new NetworkBackend(false)); }},
    {"Fake", [] { return std::unique_ptr<Backend>(new FakeBackend); }},
};

Bytes TestBytes() {
  Bytes bytes = {0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x41};
  for (int i = 0; i < 512; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
  bytes.push_back(0xFF);
  bytes.push_back(0xFF);
  return bytes;
}

class SerialDeviceContractTest : public ::testing::TestWithParam<BackendKind> {
 protected:
  void SetUp() override {
    m_backend = GetParam().Make();
    if (!m_backend->Missing().empty()) GTEST_SKIP() << m_backend->Missing();
    ASSERT_NE(m_backend->Device(), nullptr);
    m_device = m_backend->Device();
  }

  std::unique_ptr<Backend> m_backend;
  SerialDevice* m_device = nullptr;
};

TEST_P(SerialDeviceContractTest, BytesFromTheWireArriveInOrderAndUnchanged) {
  Bytes sent = TestBytes();
  ASSERT_TRUE(m_backend->Feed(sent));
  EXPECT_EQ(Pty::ReadFor(*m_device, sent.size()), sent);
}

TEST_P(SerialDeviceContractTest, ReadsOfAFewBytesAtATimeLoseNothing) {
  Bytes sent = TestBytes();
  ASSERT_TRUE(m_backend->Feed(sent));
  Bytes got;
  uint8_t buffer[3];
  size_t room = 0;
  // Rooms of 1, 2, 3, 1, ... bytes, the way a nearly full packet asks.
  for (int idle = 0; got.size() < sent.size() && idle < 2000; ++idle) {
    room = room % 3 + 1;
    size_t n = m_device->Read(buffer, room);
    ASSERT_LE(n, room);
    got.insert(got.end(), buffer, buffer + n);
    if (n > 0) idle = 0;
    else usleep(1000);
  }
  EXPECT_EQ(got, sent);
}

TEST_P(SerialDeviceContractTest, ReadWithoutRoomOrWithoutBytesGivesNothing) {
  uint8_t buffer[16];
  EXPECT_EQ(m_device->Read(buffer, sizeof buffer), 0u);
  ASSERT_TRUE(m_backend->Feed({1, 2, 3}));
  EXPECT_EQ(m_device->Read(buffer, 0), 0u);
  EXPECT_EQ(Pty::ReadFor(*m_device, 3), Bytes({1, 2, 3}));
}

TEST_P(SerialDeviceContractTest, WrittenBytesReachTheWire) {
  Bytes sent = TestBytes();
  ASSERT_TRUE(m_device->Write(sent.data(), sent.size()));
  ASSERT_TRUE(m_device->Write(sent.data(), 0));
  EXPECT_EQ(m_backend->Sent(sent.size()), sent);
}

TEST_P(SerialDeviceContractTest, CleanLineReportsNoErrorState) {
  ASSERT_TRUE(m_backend->Feed(TestBytes()));
  Pty::ReadFor(*m_device, TestBytes().size());
  EXPECT_FALSE(m_device->TakeErrorState());
  EXPECT_FALSE(m_device->TakeErrorState());
}

INSTANTIATE_TEST_SUITE_P(Backends, SerialDeviceContractTest, ::testing::ValuesIn(Kinds),
                         [](const ::testing::TestParamInfo<BackendKind>& kind) { return kind.param.Name; });

}  // namespace
}  // namespace tapwise
