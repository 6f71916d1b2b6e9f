// The live feed over its real Unix socket: clients that ask for all ports
// or some, a client that stops reading, requests it does not know, and the
// socket's folder and mode. The streams are checked by the strict block
// reader and read by tshark.

#include "core/recorder/LiveFeed.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/recorder/LiveFeedFolder.h"
#include "support/LiveClient.h"
#include "support/PcapngBlocks.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

constexpr uint32_t SectionHeader = 0x0A0D0D0A;
constexpr uint32_t Interface = 1;
constexpr uint32_t Packet = 6;
constexpr uint16_t IfName = 2;
constexpr uint16_t IfDescription = 3;

// One packet of a stream as a reader sees it.
struct Seen {
  std::string Port;
  std::string Bytes;
  bool operator==(const Seen&) const = default;
};

// The stream's packets by interface name; the stream must be whole blocks.
std::vector<Seen> PacketsOf(const std::string& stream, std::vector<std::string>* interfaces = nullptr) {
  const PcapngFile file = ReadPcapngBlocks(stream);
  EXPECT_EQ(file.Error, "");
  std::vector<std::string> names;
  std::vector<Seen> packets;
  for (const PcapngBlock& block : file.Blocks) {
    if (block.Type == Interface) names.push_back(block.Option(IfName));
    if (block.Type == Packet) {
      EXPECT_LT(block.Interface, names.size());
      packets.push_back({block.Interface < names.size() ? names[block.Interface] : "?", block.Data});
    }
  }
  EXPECT_TRUE(!file.Blocks.empty() && file.Blocks[0].Type == SectionHeader);
  if (interfaces != nullptr) *interfaces = names;
  return packets;
}

class LiveFeedTest : public ::testing::Test {
 protected:
  LiveFeed::Settings SettingsFor(std::vector<uint8_t> ports) {
    LiveFeed::Settings settings;
    settings.SocketPath = dir / "live.sock";
    settings.Ports = [ports] { return ports; };
    settings.Describe = [](uint8_t port) { return "/dev/pts/" + std::to_string(port + 10); };
    settings.ToUnixMicros = [](DateTime) { return int64_t{1'717'171'717'123'456}; };
    return settings;
  }

  // Polls until the feed has `count` clients and they have had their request read.
  static void Settle(LiveFeed& feed, size_t count) {
    for (int i = 0; i < 200 && feed.ClientCount() != count; ++i) {
      feed.Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (int i = 0; i < 5; ++i) {
      feed.Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  TempDir dir;
};

TEST_F(LiveFeedTest, TwoClientsEachGetTheirPortsFromTheirFirstPacketOn) {
  LiveFeed feed(SettingsFor({1, 2, 5}));
  ASSERT_TRUE(Succeeded(feed.Open()));
  feed.Packet(*MakeRecord(1, "before anyone listened"));

  LiveClient all(feed.SocketPath());
  LiveClient some(feed.SocketPath());
  ASSERT_TRUE(all.Connected() && some.Connected());
  all.Send("ports=all\n");
  some.Send("ports=2,5\r\n");
  Settle(feed, 2);

  const std::vector<std::pair<uint8_t, std::string>> traffic = {
      {1, "one"}, {2, "two"}, {5, CountingBytes(4096)}, {1, std::string("\0\xFF", 2)}, {5, "five"}, {2, "last"}};
  for (const auto& [port, bytes] : traffic) feed.Packet(*MakeRecord(port, bytes));
  feed.Poll();
  all.ReadUntilQuiet();
  some.ReadUntilQuiet();

  std::vector<std::string> names;
  EXPECT_EQ(PacketsOf(all.Received(), &names),
            (std::vector<Seen>{{"COM1", "one"}, {"COM2", "two"}, {"COM5", CountingBytes(4096)},
                               {"COM1", std::string("\0\xFF", 2)}, {"COM5", "five"}, {"COM2", "last"}}));
  EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2", "COM5"}));
  EXPECT_EQ(PacketsOf(some.Received(), &names),
            (std::vector<Seen>{{"COM2", "two"}, {"COM5", CountingBytes(4096)}, {"COM5", "five"}, {"COM2", "last"}}));
  EXPECT_EQ(names, (std::vector<std::string>{"COM2", "COM5"}));
  EXPECT_TRUE(feed.TakeMessages().empty());
}

TEST_F(LiveFeedTest, AClientThatSendsNothingGetsAllPortsAfterTheWait) {
  LiveFeed feed(SettingsFor({3, 4}));
  ASSERT_TRUE(Succeeded(feed.Open()));
  LiveClient quiet(feed.SocketPath());
  Settle(feed, 1);
  feed.Packet(*MakeRecord(3, "too early"));
  std::this_thread::sleep_for(LiveFeed::RequestWait + std::chrono::milliseconds(50));
  feed.Poll();
  feed.Packet(*MakeRecord(4, "on time"));
  quiet.ReadUntilQuiet();
  std::vector<std::string> names;
  EXPECT_EQ(PacketsOf(quiet.Received(), &names), (std::vector<Seen>{{"COM4", "on time"}}));
  EXPECT_EQ(names, (std::vector<std::string>{"COM3", "COM4"}));
}

TEST_F(LiveFeedTest, AClientThatStopsReadingIsCutOffAndTheOtherLosesNothing) {
  LiveFeed feed(SettingsFor({1}));
  ASSERT_TRUE(Succeeded(feed.Open()));
  LiveClient stalled(feed.SocketPath());
  LiveClient reader(feed.SocketPath());
  stalled.ShrinkReceiveBuffer();
  stalled.Send("ports=all\n");
  reader.Send("ports=all\n");
  Settle(feed, 2);

  // Past 4 MiB in whole packets: the stalled client's socket holds far less.
  constexpr int Count = 1300;
  const auto numbered = [](int i) { return std::to_string(i) + CountingBytes(4000); };
  std::vector<std::string> messages;
  for (int i = 0; i < Count; ++i) {
    feed.Packet(*MakeRecord(1, numbered(i)));
    reader.ReadAvailable();
    if (i % 50 == 0) feed.Poll();
    for (std::string& message : feed.TakeMessages()) messages.push_back(message);
  }
  feed.Poll();
  EXPECT_EQ(messages, std::vector<std::string>{"Live feed: client 1 cut off: it fell 4096 KiB behind; monitoring goes on"});
  EXPECT_EQ(feed.ClientCount(), 1u);

  // The stream the reader must have: every packet, as the writer makes it.
  PcapngWriter writer(LinkTypeUser0, SettingsFor({}).Describe, SettingsFor({}).ToUnixMicros);
  std::string expected;
  writer.AppendSectionHeader(expected);
  writer.DeclareInterface(1, expected);
  for (int i = 0; i < Count; ++i) writer.AppendPacket(*MakeRecord(1, numbered(i)), expected);
  for (int i = 0; i < 1000 && reader.Received().size() < expected.size(); ++i) {
    feed.Poll();
    reader.ReadUntil(expected.size(), std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(reader.Received() == expected);
  const std::vector<Seen> got = PacketsOf(reader.Received());
  ASSERT_EQ(got.size(), static_cast<size_t>(Count));
  for (int i = 0; i < Count; ++i) ASSERT_EQ(got[static_cast<size_t>(i)].Bytes, numbered(i)) << i;

  stalled.ReadToEnd();
  EXPECT_TRUE(stalled.PeerClosed());
  // What it did get is the start of the same stream.
  EXPECT_EQ(reader.Received().compare(0, stalled.Received().size(), stalled.Received()), 0);
}

TEST_F(LiveFeedTest, ListAndRequestsItDoesNotKnow) {
  LiveFeed feed(SettingsFor({1, 7}));
  ASSERT_TRUE(Succeeded(feed.Open()));
  struct Case {
    std::string Request;
    std::string Reply;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {"list\n", "COM1\t/dev/pts/11\nCOM7\t/dev/pts/17\n", ""},
      {"hello\n", "", "Live feed: client 2 asked for \"hello\", which is not a request of this program; it was closed"},
      {"ports=0\n", "", "Live feed: client 3 asked for \"ports=0\", which is not a request of this program; it was closed"},
      {"ports=1,,2\n", "",
       "Live feed: client 4 asked for \"ports=1,,2\", which is not a request of this program; it was closed"},
      {"ports=129\n", "",
       "Live feed: client 5 asked for \"ports=129\", which is not a request of this program; it was closed"},
  };
  for (const Case& c : cases) {
    LiveClient client(feed.SocketPath());
    client.Send(c.Request);
    Settle(feed, 0);
    client.ReadToEnd();
    EXPECT_TRUE(client.PeerClosed()) << c.Request;
    EXPECT_EQ(client.Received(), c.Reply) << c.Request;
    const std::vector<std::string> messages = feed.TakeMessages();
    EXPECT_EQ(messages, c.Message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Message});
  }
}

TEST_F(LiveFeedTest, TheSocketIsTheUsersAloneAndGoesWithTheFeed) {
  std::string path;
  {
    LiveFeed feed(SettingsFor({1}));
    ASSERT_TRUE(Succeeded(feed.Open()));
    path = feed.SocketPath();
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
  struct stat gone {};
  EXPECT_NE(::stat(path.c_str(), &gone), 0);

  // A second feed on the same name leaves the first one's socket alone.
  LiveFeed first(SettingsFor({1}));
  ASSERT_TRUE(Succeeded(first.Open()));
  LiveFeed second(SettingsFor({1}));
  EXPECT_TRUE(FailedWith(second.Open(), path + ": another live feed answers there"));
  LiveClient client(path);
  EXPECT_TRUE(client.Connected());

  LiveFeed::Settings tooLong = SettingsFor({1});
  tooLong.SocketPath = "/tmp/" + std::string(120, 'x');
  LiveFeed feed(tooLong);
  EXPECT_TRUE(FailedWith(feed.Open(), tooLong.SocketPath + ": the socket path is too long"));
}

TEST_F(LiveFeedTest, TheFolderIsMadePrivateAndRefusedWhenOthersMayEnter) {
  const std::string folder = dir / "tapwise";
  ASSERT_TRUE(Succeeded(PrepareLiveFeedFolder(folder)));
  struct stat info {};
  ASSERT_EQ(::stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_TRUE(Succeeded(PrepareLiveFeedFolder(folder)));

  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  EXPECT_TRUE(FailedWith(PrepareLiveFeedFolder(folder), folder + ": others may enter it"));
  const std::string link = dir / "link";
  ASSERT_EQ(::symlink(folder.c_str(), link.c_str()), 0);
  EXPECT_TRUE(FailedWith(PrepareLiveFeedFolder(link), link + ": not a folder"));
}

TEST_F(LiveFeedTest, RunningMonitorsAreThoseWhoseProcessLives) {
  const std::string folder = dir / "tapwise";
  ASSERT_TRUE(Succeeded(PrepareLiveFeedFolder(folder)));
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  TempDir::WriteFile(LiveFeedSocketPath(folder, child), "");
  TempDir::WriteFile(LiveFeedSocketPath(folder, ::getpid()), "");
  TempDir::WriteFile(folder + "/live-x1.sock", "");
  TempDir::WriteFile(folder + "/other", "");
  const std::vector<RunningMonitor> running = RunningMonitors(folder);
  ASSERT_EQ(running.size(), 1u);
  EXPECT_EQ(running[0].Pid, ::getpid());
  EXPECT_EQ(running[0].SocketPath, folder + "/live-" + std::to_string(::getpid()) + ".sock");
}

TEST_F(LiveFeedTest, FolderFollowsTheRuntimeDirectory) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep = saved != nullptr ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(LiveFeedFolder(), "/run/user/4242/tapwise");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(LiveFeedFolder(), "/tmp/tapwise-" + std::to_string(::getuid()));
  if (saved != nullptr) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

// With either link type the feed's streams are what the setting says: the
// RTAC serial one adds its header, which tshark reads as the direction.
TEST_F(LiveFeedTest, TsharkReadsAClientsStreamInTheLinkTypeSet) {
  TAPWISE_REQUIRE_TSHARK();
  struct Case {
    uint16_t LinkType;
    std::vector<std::vector<std::string>> Rows;
  };
  const std::vector<Case> cases = {
      {LinkTypeUser0, {{"COM9", "/dev/pts/19", "0x00000001", "8", ""}, {"COM2", "/dev/pts/12", "0x00000002", "5", ""}}},
      {LinkTypeRtacSerial,
       {{"COM9", "/dev/pts/19", "0x00000001", "20", "0x02"}, {"COM2", "/dev/pts/12", "0x00000002", "17", "0x01"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("link type " + std::to_string(c.LinkType));
    LiveFeed::Settings settings = SettingsFor({2, 9});
    settings.LinkType = c.LinkType;
    LiveFeed feed(settings);
    ASSERT_TRUE(Succeeded(feed.Open()));
    LiveClient client(feed.SocketPath());
    client.Send("ports=all\n");
    Settle(feed, 1);
    feed.Packet(*MakeRecord(9, std::string("\x01\x03\x00\x00\x00\x02\xC4\x0B", 8)));
    feed.Packet(*MakeRecord(2, "reply", OriginTransmitted));
    feed.Poll();
    client.ReadUntilQuiet();
    TempDir::WriteFile(dir / "stream.pcapng", client.Received());
    const TsharkRun run = RunTsharkFields(dir / "stream.pcapng",
                                          {"frame.interface_name", "frame.interface_description",
                                           "frame.packet_flags_direction", "frame.len", "rtacser.eventtype"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FieldRows(run.Out), c.Rows);
  }
}

}  // namespace
}  // namespace tapwise
