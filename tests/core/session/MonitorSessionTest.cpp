// The session as the front ends use it, over ports opened through the real
// POSIX backend on pseudo-terminals: one drain a tick into the packet sinks,
// and the edits that mark the project changed, rebuild the triggers and tell
// the listeners.

#include "core/session/MonitorSession.h"

#include <gtest/gtest.h>

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/format/HexLines.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/recorder/RecorderState.h"
#include "support/FakeOpener.h"
#include "support/Pty.h"
#include "support/PtyPorts.h"
#include "support/QueueWait.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

// What every sink saw, in the order the sinks saw it.
struct Seen {
  std::string Sink;
  uint8_t Port;
  uint16_t Sequence;
  std::string Bytes;
  const std::string* FirstLine;  // where the shared hex lines were
};

class LoggingSink : public PacketSink {
 public:
  LoggingSink(std::string name, std::vector<Seen>& log) : m_name(std::move(name)), m_log(log) {}
  void Take(const PacketView& packet) override {
    const PacketRecord& record = packet.Record();
    // The lines the display formatted are the ones this sink gets.
    EXPECT_EQ(packet.HexLines().front(), FormatHexLine(record, 0));
    m_log.push_back({m_name, record.Port, packet.Sequence(),
                     std::string(reinterpret_cast<const char*>(record.Data), record.Length),
                     packet.HexLines().data()});
  }

 private:
  std::string m_name;
  std::vector<Seen>& m_log;
};

class ChangeLog : public SessionListener {
 public:
  void SessionChanged(SessionChange change) override { Changes.push_back(change); }
  std::vector<SessionChange> Changes;
};

class SessionOverPtys : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint8_t n : {uint8_t{1}, uint8_t{2}}) {
      ptys.push_back(std::make_unique<Pty>());
      ASSERT_TRUE(ptys.back()->Ok()) << ptys.back()->Error();
      const std::string path = ptys.back()->SlavePath();
      opener.AddFactory(n, [path] { return PosixSerialDevice::Open(path); });
    }
    session = std::make_unique<MonitorSession>(opener);
    MonitorOptions options;
    options.Triggers = TriggerMode::WholePacket;
    ASSERT_TRUE(session->Start(options));
    ASSERT_EQ(session->PresentPorts(), (std::vector<uint8_t>{1, 2}));
  }
  void TearDown() override { session.reset(); }
  Pty& Wire(uint8_t n) { return *ptys[n - 1]; }
  // Sends bytes in from the far end and waits until the port has queued them.
  void Arrive(uint8_t n, const std::string& bytes) {
    const size_t queued = session->Comms().Queue().Count();
    ASSERT_TRUE(Wire(n).WriteAll(Pty::Bytes(bytes.begin(), bytes.end())));
    ASSERT_TRUE(Eventually([&] { return session->Comms().Queue().Count() > queued; }, 5s)) << bytes;
  }

  std::vector<std::unique_ptr<Pty>> ptys;  // outlive the session
  FakeOpener opener;
  std::unique_ptr<MonitorSession> session;
};

TEST_F(SessionOverPtys, SinksGetEveryPacketOfAnEnabledPortOnceInOrderWithItsLinesFormattedOnce) {
  std::vector<Seen> log;
  LoggingSink first("first", log);
  LoggingSink second("second", log);
  session->AddSink(first);
  session->AddSink(second);
  session->AddSink(first);  // once is enough
  // Each packet ends at its quiet gap before the next is sent.
  Arrive(1, "one");
  Arrive(2, "dropped");
  Arrive(1, "two");
  // Switched off with its packet still queued: that packet reaches no sink.
  session->Comms().SetPortEnabled(2, false);
  const TickEvents events = session->Tick();
  EXPECT_TRUE(events.Messages.empty());
  EXPECT_EQ(session->Comms().Queue().Count(), 0u);

  ASSERT_EQ(log.size(), 4u);
  const char* const sinks[] = {"first", "second", "first", "second"};
  const char* const bytes[] = {"one", "one", "two", "two"};
  for (size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log[i].Sink, sinks[i]);
    EXPECT_EQ(log[i].Port, 1);
    EXPECT_EQ(log[i].Sequence, i / 2 + 1);  // counted once, not per sink
    EXPECT_EQ(log[i].Bytes, bytes[i]);
  }
  // Both sinks read the lines the display had formatted.
  EXPECT_EQ(log[0].FirstLine, log[1].FirstLine);
  EXPECT_EQ(session->PacketCounter(), 2);
  EXPECT_EQ(session->Drain().PacketCounter(), 2);
  EXPECT_EQ(session->Drain().LineCount(), 2);

  session->RemoveSink(second);
  Arrive(1, "three");
  session->Tick();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[4].Sink, "first");
  EXPECT_EQ(log[4].Bytes, "three");
  EXPECT_EQ(log[4].Sequence, 3);
  session->RemoveSink(first);
}

TEST_F(SessionOverPtys, EditsMarkTheProjectChangedAndTellTheListenersOnce) {
  ChangeLog listener;
  session->AddListener(listener);
  PlaySettings play = session->GetPlaySettings();
  play.PlayGap = 3;
  struct Case {
    const char* name;
    std::function<void()> edit;
    std::vector<SessionChange> changes;  // none: the edit changed nothing
    std::function<bool()> applied;
  };
  const Case cases[] = {
      {"port settings",
       [&] {
         PortSettings settings = session->Comms().GetPortSettings(1);
         settings.BaudRate = 9600;
         session->SetPortSettings(1, settings);
       },
       {SessionChange::PortSettings},
       [&] { return session->Comms().GetPortSettings(1).BaudRate == 9600; }},
      {"packet gap", [&] { session->SetPacketGap(40); }, {SessionChange::PacketGap},
       [&] { return session->Comms().PacketGap.load() == 40; }},
      {"display mode", [&] { EXPECT_TRUE(session->SetDisplayMode(false)); }, {SessionChange::DisplayMode},
       [&] { return !session->HexDisplay() && session->Drain().LineCount() == 0; }},
      {"the same display mode", [&] { EXPECT_FALSE(session->SetDisplayMode(false)); }, {},
       [&] { return !session->HexDisplay(); }},
      {"play settings", [&] { session->SetPlaySettings(play); }, {SessionChange::PlaySettings},
       [&] { return session->GetRecorder().GetPlaySettings().PlayGap == 3; }},
      {"the same play settings", [&] { session->SetPlaySettings(play); }, {}, [] { return true; }},
      {"a user packet edit",
       [&] { session->EditUserPackets([](UserPacketTable& table) { table.SetTriggerText(3, "01 02"); }); },
       {SessionChange::UserPackets},
       [&] {
         const uint8_t trigger[] = {1, 2};
         return session->GetUserPackets().MatchTriggers(trigger, 2) == 3;
       }},
      {"a user packet table edited in place",
       [&] {
         session->GetUserPackets().Table().SetTriggerText(4, "07");
         session->EditUserPackets();
       },
       {SessionChange::UserPackets},
       [&] {
         const uint8_t trigger[] = {7};
         return session->GetUserPackets().MatchTriggers(trigger, 1) == 4;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    session->Project().SetConfigChanged(false);
    listener.Changes.clear();
    c.edit();
    EXPECT_EQ(session->Project().ConfigChanged(), !c.changes.empty());
    EXPECT_EQ(listener.Changes, c.changes);
    EXPECT_TRUE(c.applied());
  }

  // Letting the changes go: unchanged, and the triggers follow the texts.
  session->GetUserPackets().Table().SetTriggerText(3, "");
  session->Project().SetConfigChanged(true);
  listener.Changes.clear();
  session->DiscardProjectChanges();
  EXPECT_FALSE(session->Project().ConfigChanged());
  EXPECT_TRUE(listener.Changes.empty());
  const uint8_t trigger[] = {1, 2};
  EXPECT_EQ(session->GetUserPackets().MatchTriggers(trigger, 2), 0);
  session->RemoveListener(listener);
}

// The rebuilt triggers are the ones the receive threads answer with.
TEST_F(SessionOverPtys, AnEditedTriggerIsAnsweredAtOnce) {
  session->EditUserPackets([](UserPacketTable& table) {
    table.SetTriggerText(5, "\"PING\"");
    table.SetPacketText(5, "\"PONG\"");
  });
  ASSERT_TRUE(Wire(2).WriteAll({'P', 'I', 'N', 'G'}));
  EXPECT_EQ(Wire(2).ReadFor(4), (Pty::Bytes{'P', 'O', 'N', 'G'}));
}

// The window holds one file at a time: a file to play beside one to record
// is refused before either is touched, instead of the recording starting
// and stopping again when the file to play is turned away.
TEST(SessionFiles, OneFileAtATimeRefusesAFileToPlayBesideOneToRecord) {
  Pty pty;
  ASSERT_TRUE(pty.Ok()) << pty.Error();
  FakeOpener opener;
  const std::string path = pty.SlavePath();
  opener.AddFactory(1, [path] { return PosixSerialDevice::Open(path); });
  TempDir folder;
  TempDir::WriteFile(folder / "in.hex", "02 03\n");
  MonitorOptions options;
  options.RecordFormat = RecorderState::RecordPacketData;
  options.RecordPath = folder / "out.DAT";
  options.PlayFormat = RecorderState::PlayHex;
  options.PlayPath = folder / "in.hex";
  MonitorSession session(opener);
  const Result started = session.Start(options);
  ASSERT_FALSE(started);
  EXPECT_EQ(started.Code(), 2);
  EXPECT_EQ(started.Message(),
            "the window records or plays one file at a time: give a file to record or one to play, not both "
            "(the headless monitor does both)");
  EXPECT_FALSE(std::filesystem::exists(folder / "out.DAT"));
  EXPECT_EQ(session.GetRecorder().State(), RecorderState::Idle);
}

// Shutting down in the middle of everything: a file plays without end out of
// one port while a tap passes a stream both ways and the far ends go on
// writing. The session stops what sends before the ports, and the ports
// before the taps they feed, so it returns, and nothing runs after it: the
// wire of the playing port goes quiet, and the tap's link goes with it.
TEST(SessionShutdown, WhileAFilePlaysAndATapRunsItReturnsAndEverythingStops) {
  Pty device;
  Pty out;
  ASSERT_TRUE(device.Ok() && out.Ok());
  TempDir folder;
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "01 02 03 04 05 06 07 08\n";
  TempDir::WriteFile(folder / "loop.hex", lines);
  const std::string link = folder / "app";
  MonitorOptions options;
  options.PortOptions = {"-tap:1,2=" + device.SlavePath() + ",link=" + link, "-port:3=" + out.SlavePath()};
  options.OnlyGiven = true;  // the ports named here, no probing of the machine's own
  options.PlayFormat = RecorderState::PlayHex;
  options.PlayPath = folder / "loop.hex";
  options.SelectPort = 3;
  options.PlayGap = 0;
  options.PlayGapGiven = true;
  options.Repeat = true;
  options.ContinuousPlay = true;

  auto session = std::make_unique<MonitorSession>();
  ASSERT_TRUE(session->Start(options));
  ASSERT_EQ(session->PresentPorts(), (std::vector<uint8_t>{1, 2, 3}));
  ASSERT_TRUE(IsPlayingState(session->GetRecorder().State()));
  const int app = Pty::OpenPlain(link);
  ASSERT_GE(app, 0);
  // The file comes out of COM3 and the tap carries both ways.
  ASSERT_EQ(out.ReadFor(8).size(), 8u);
  ASSERT_TRUE(device.WriteAll(Pty::Bytes(64, 'd')));
  ASSERT_EQ(Pty::ReadFor(app, 64).size(), 64u);
  ASSERT_TRUE(Pty::WriteAll(app, Pty::Bytes(64, 'a')));
  ASSERT_EQ(device.ReadFor(64).size(), 64u);
  session->Tick();

  // The far ends keep writing while it goes.
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    while (writing.load()) {
      (void)Pty::WriteAll(device.MasterFd(), Pty::Bytes(16, 'x'), 20ms);
      std::this_thread::sleep_for(1ms);
    }
  });
  session->Shutdown();
  EXPECT_EQ(session->GetRecorder().State(), RecorderState::Idle);
  EXPECT_TRUE(session->PresentPorts().empty());
  // Whatever was on its way has come out; after that, nothing more.
  while (!out.ReadFor(4096, 200ms).empty()) {
  }
  EXPECT_TRUE(out.ReadFor(1, 300ms).empty());
  session.reset();  // a second shutdown, from the destructor, finds nothing to do
  // The link the tap made for the application goes with the session.
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  writing.store(false);
  writer.join();
  ::close(app);
}

// What a tick reports happens once: the front ends show each event as it
// comes, so an event reported twice is a message shown twice, and one never
// reported is a button left down.
TEST(SessionTicks, AFileThatEndsOrIsOutOfLayoutIsReportedOnceAndPlayingStops) {
  struct Case {
    const char* Name;
    RecorderState Format;
    const char* Text;
    bool Finished;
    bool FileError;
  };
  const Case cases[] = {
      {"hex file played to its end", RecorderState::PlayHex, "01 02\n03 04\n", true, false},
      {"packet data file out of its layout", RecorderState::PlayPacketData, "this is no packet data\n", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    PtyPorts ports;
    Pty& wire = ports.AddPort(1);
    TempDir folder;
    TempDir::WriteFile(folder / "in", c.Text);
    MonitorOptions options;
    options.PlayFormat = c.Format;
    options.PlayPath = folder / "in";
    options.SelectPort = 1;
    options.PlayGap = 0;
    options.PlayGapGiven = true;
    options.ContinuousPlay = true;
    MonitorSession session(ports.opener);
    ASSERT_TRUE(session.Start(options));
    int finished = 0;
    int fileErrors = 0;
    ASSERT_TRUE(Eventually([&] {
      const TickEvents events = session.Tick();
      finished += events.PlaybackFinished;
      fileErrors += events.PlayFileError;
      return session.GetRecorder().State() == RecorderState::Idle;
    }, 5s));
    for (int i = 0; i < 3; ++i) {
      const TickEvents events = session.Tick();
      finished += events.PlaybackFinished;
      fileErrors += events.PlayFileError;
    }
    EXPECT_EQ(finished, c.Finished ? 1 : 0);
    EXPECT_EQ(fileErrors, c.FileError ? 1 : 0);
    if (c.Finished) EXPECT_EQ(wire.ReadFor(4), (Pty::Bytes{1, 2, 3, 4}));
  }
}

TEST(SessionTicks, AFailedRecordingIsReportedOnceAndMonitoringGoesOn) {
  PtyPorts ports;
  Pty& wire = ports.AddPort(1);
  MonitorOptions options;
  options.RecordFormat = RecorderState::RecordRaw;
  options.RecordPath = "/dev/full";  // takes the file, refuses every byte written
  MonitorSession session(ports.opener);
  ASSERT_TRUE(session.Start(options));
  ASSERT_TRUE(wire.WriteAll(Pty::Bytes(5000, 'r')));
  int failures = 0;
  ASSERT_TRUE(Eventually([&] {
    failures += session.Tick().RecordingFailed.has_value();
    return failures > 0;
  }, 5s));
  for (int i = 0; i < 3; ++i) failures += session.Tick().RecordingFailed.has_value();
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(session.GetRecorder().State(), RecorderState::Idle);
  // The port is still watched.
  const int before = session.PacketCounter();
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(wire.WriteAll({'m', 'o', 'r', 'e'}));
  EXPECT_TRUE(Eventually([&] {
    session.Tick();
    return session.PacketCounter() > before;
  }, 5s));
}

TEST(SessionTicks, ATapsNewLineSettingsAreReportedOnTheNextTickOnly) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  TempDir folder;
  const std::string link = folder / "app";
  MonitorOptions options;
  options.PortOptions = {"-tap:1,2=" + device.SlavePath() + ",link=" + link};
  options.OnlyGiven = true;
  MonitorSession session;
  ASSERT_TRUE(session.Start(options));
  EXPECT_FALSE(session.Tick().SettingsFollowed);
  const int app = Pty::OpenPlain(link);
  ASSERT_GE(app, 0);
  termios settings{};
  ASSERT_EQ(tcgetattr(app, &settings), 0);
  cfsetspeed(&settings, B57600);
  ASSERT_EQ(tcsetattr(app, TCSANOW, &settings), 0);
  ASSERT_TRUE(Eventually([&] { return session.Comms().GetPortSettings(1).BaudRate == 57600; }, 5s));
  EXPECT_TRUE(session.Tick().SettingsFollowed);
  EXPECT_FALSE(session.Tick().SettingsFollowed);
  ::close(app);
}

TEST(SessionStart, ASendOfAnEmptyUserPacketSaysSoAndSendsNothing) {
  PtyPorts ports;
  Pty& wire = ports.AddPort(1);
  TempDir folder;
  TempDir::WriteFile(folder / "p.tw", ";TAPWISE PROJECT\r\nUP04\"HI\"\r\n");
  MonitorOptions options;
  options.ProjectFiles = {folder / "p.tw"};
  options.SendRows = {3, 4};
  MonitorSession session(ports.opener);
  ASSERT_TRUE(session.Start(options));
  EXPECT_EQ(session.Tick().Messages,
            std::vector<std::string>{
                "-send:3: user packet #3 is empty, nothing was sent (the user packets come from a project file)"});
  EXPECT_EQ(wire.ReadFor(2), (Pty::Bytes{'H', 'I'}));
}

}  // namespace
}  // namespace tapwise
