#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <cctype>

#include "core/recorder/RecordFormats.h"

namespace tapwise {
namespace {

TEST(CommandLine, OptionsAreCaseInsensitiveUnknownOnesIgnoredOthersAreProjects) {
  CommandLine line = ParseCommandLine({"-HEADLESS", "-nohs", "-Port:3=/dev/ttyAMA0", "-frobnicate", "a.tw",
                                       "-PAIR:1,2", "-NoSplash", "b.TW", "-List-Ports", ""});
  EXPECT_TRUE(line.Headless);
  EXPECT_TRUE(line.NoHandshake);
  EXPECT_TRUE(line.NoSplash);
  EXPECT_TRUE(line.ListPorts);
  EXPECT_FALSE(line.Help);
  EXPECT_FALSE(line.Version);
  EXPECT_EQ(line.PortOptions, (std::vector<std::string>{"-Port:3=/dev/ttyAMA0", "-PAIR:1,2"}));
  EXPECT_EQ(line.ProjectFiles, (std::vector<std::string>{"a.tw", "b.TW"}));
}

TEST(CommandLine, HelpAndVersionSpellings) {
  for (const char* help : {"--help", "-h", "-?", "-HELP"}) EXPECT_TRUE(ParseCommandLine({help}).Help) << help;
  for (const char* version : {"--version", "-Version"}) EXPECT_TRUE(ParseCommandLine({version}).Version) << version;
  EXPECT_FALSE(ParseCommandLine({"-headless"}).Help);
}

TEST(CommandLine, RecordAndPlayOptions) {
  CommandLine line = ParseCommandLine({"-RECORDRAW:/tmp/a b.bin", "-select:12", "-PlayGap:0", "-Repeat"});
  EXPECT_EQ(line.RecordFormat, RecorderState::RecordRaw);
  EXPECT_EQ(line.RecordPath, "/tmp/a b.bin");
  EXPECT_EQ(line.PlayFormat, RecorderState::Idle);
  EXPECT_EQ(line.SelectPort, 12);
  EXPECT_EQ(line.PlayGap, 0);
  EXPECT_TRUE(line.Repeat);
  EXPECT_TRUE(line.Problems.empty());

  struct Case {
    const char* option;
    RecorderState record;
    RecorderState play;
  };
  const Case cases[] = {
      {"-record:x.DAT", RecorderState::RecordPacketData, RecorderState::Idle},
      {"-play:x.DAT", RecorderState::Idle, RecorderState::PlayPacketData},
      {"-playhex:x.hex", RecorderState::Idle, RecorderState::PlayHex},
      {"-playraw:x.bin", RecorderState::Idle, RecorderState::PlayRaw},
      // The extension chooses pcapng, in any case; only as the extension.
      {"-record:x.pcapng", RecorderState::RecordPcapng, RecorderState::Idle},
      {"-Record:/a/X.PcapNG", RecorderState::RecordPcapng, RecorderState::Idle},
      {"-record:x.pcapng.DAT", RecorderState::RecordPacketData, RecorderState::Idle},
      {"-record:.pcapng", RecorderState::RecordPacketData, RecorderState::Idle},
      {"-RECORDPCAPNG:capture", RecorderState::RecordPcapng, RecorderState::Idle},
  };
  for (const Case& c : cases) {
    CommandLine parsed = ParseCommandLine({c.option});
    EXPECT_EQ(parsed.RecordFormat, c.record) << c.option;
    EXPECT_EQ(parsed.PlayFormat, c.play) << c.option;
    EXPECT_EQ(c.record != RecorderState::Idle ? parsed.RecordPath : parsed.PlayPath, std::string(c.option).substr(std::string(c.option).find(':') + 1));
  }
  CommandLine defaults = ParseCommandLine({"-play:x"});
  EXPECT_EQ(defaults.SelectPort, 0);
  EXPECT_EQ(defaults.PlayGap, 10);
  EXPECT_FALSE(defaults.Repeat);
  EXPECT_EQ(defaults.LinkType, 147);
  for (int type : {0, 148, 65535}) {
    EXPECT_EQ(ParseCommandLine({"-LinkType:" + std::to_string(type)}).LinkType, type);
  }
}

// Every row of the format table is an option, in any letter case, that
// fills the recording or the playing half; its usage names it; one file of
// each half may be given (whether both may run at once is the monitor's
// call).
TEST(CommandLine, TheFormatTableDrivesTheFileOptionsAndTheirUsage) {
  const std::string usage = UsageText();
  for (const RecordFormat& format : RecordFormats()) {
    const std::string option = format.Option;
    SCOPED_TRACE(option);
    std::string upper = option;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& spelling : {option, upper}) {
      const CommandLine line = ParseCommandLine({spelling + "/tmp/f.bin"});
      const bool play = IsPlayingState(format.State);
      EXPECT_EQ(play ? line.PlayFormat : line.RecordFormat, format.State);
      EXPECT_EQ(play ? line.RecordFormat : line.PlayFormat, RecorderState::Idle);
      EXPECT_EQ(play ? line.PlayPath : line.RecordPath, "/tmp/f.bin");
      EXPECT_TRUE(line.Problems.empty());
    }
    EXPECT_EQ(ParseCommandLine({option}).Problems, std::vector<std::string>{option + " needs a file name"});
    EXPECT_NE(usage.find("  " + option + "FILE"), std::string::npos);
    EXPECT_NE(usage.find(std::string(format.Usage).substr(0, 20)), std::string::npos);
  }
  // The usage fits a terminal.
  for (size_t start = 0, end; start < usage.size(); start = end + 1) {
    end = usage.find('\n', start);
    EXPECT_LE(end - start, 92u) << usage.substr(start, end - start);
  }

  const CommandLine both = ParseCommandLine({"-playhex:in.hex", "-record:out.pcapng"});
  EXPECT_TRUE(both.Problems.empty());
  EXPECT_EQ(both.PlayFormat, RecorderState::PlayHex);
  EXPECT_EQ(both.RecordFormat, RecorderState::RecordPcapng);
}

TEST(CommandLine, BadRecordAndPlayOptionsAreProblems) {
  const std::vector<std::vector<std::string>> cases = {
      {"-select:0"}, {"-select:129"}, {"-select:COM3"}, {"-playgap:101"}, {"-playgap:"}, {"-playgap:-1"},
      {"-record:"}, {"-play:a", "-playhex:b"}, {"-record:a", "-recordraw:b"},
      {"-linktype:65536"}, {"-linktype:x"}, {"-linktype:"}, {"-recordpcapng:"}, {"-recordpcapng:a", "-record:b"},
      {"-rotate:"}, {"-rotate:10Q"}, {"-rotate:every=5y"}, {"-rotate:1M,0"}, {"-record:a", "-rotate:1M", "-append"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(ParseCommandLine(args).Problems.size(), 1u) << args[0] << " " << args.back();
  }
}

TEST(CommandLine, RotateAndAppendOptions) {
  const CommandLine sized = ParseCommandLine({"-record:trace.DAT", "-ROTATE:100M,10"});
  EXPECT_TRUE(sized.Problems.empty());
  EXPECT_EQ(sized.Rotation, (RotationSettings{100ULL << 20, 0, 10}));
  EXPECT_FALSE(sized.Append);
  const CommandLine timed = ParseCommandLine({"--rotate:every=1h", "-recordpcapng:t"});
  EXPECT_EQ(timed.Rotation, (RotationSettings{0, 3600, 0}));
  EXPECT_TRUE(ParseCommandLine({"-recordraw:r", "-append"}).Append);
  EXPECT_FALSE(ParseCommandLine({"-recordraw:r"}).Rotation.Rotates());
  // The problem names the option, then says what it takes and what was wrong.
  EXPECT_EQ(ParseCommandLine({"-rotate:100MB"}).Problems,
            std::vector<std::string>{"-rotate: takes SIZE[,COUNT] or every=TIME[,COUNT], e.g. 100M,10 or every=1h "
                                     "('100MB' is not a size: a number of bytes, K, M or G)"});
  EXPECT_EQ(ParseCommandLine({"-record:a", "-append", "-rotate:1M"}).Problems,
            std::vector<std::string>{"-append and -rotate: cannot be used together"});
}

TEST(CommandLine, LineSettingsFromLineOptionsAndDeviceSuffixes) {
  CommandLine line = ParseCommandLine({"-line:33=115200,8N1", "-LINE:*=7E1", "-port:5=/dev/ttyAMA0,57600,8N2",
                                       "-pair:7,8=300", "-tap:1,2=/dev/ttyUSB3,19200,link=/tmp/app",
                                       "-port:9=pty", "-port:10=/dev/by,comma"});
  ASSERT_TRUE(line.Problems.empty()) << line.Problems.front();
  EXPECT_EQ(line.PortOptions, (std::vector<std::string>{"-port:5=/dev/ttyAMA0", "-pair:7,8",
                                                        "-tap:1,2=/dev/ttyUSB3,link=/tmp/app", "-port:9=pty",
                                                        "-port:10=/dev/by,comma"}));
  struct Expected {
    int port;
    LineFormat format;  // over 9600,8N1
    const char* option;
  };
  const Expected expected[] = {
      {33, {115200, ParityNone, 8, StopOne}, "-line:33=115200,8N1"},
      {0, {9600, ParityEven, 7, StopOne}, "-LINE:*=7E1"},
      {5, {57600, ParityNone, 8, StopTwo}, "-port:5=/dev/ttyAMA0,57600,8N2"},
      {7, {300, ParityNone, 8, StopOne}, "-pair:7,8=300"},
      {8, {300, ParityNone, 8, StopOne}, "-pair:7,8=300"},
      {1, {19200, ParityNone, 8, StopOne}, "-tap:1,2=/dev/ttyUSB3,19200,link=/tmp/app"},
  };
  ASSERT_EQ(line.LineOptions.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].option);
    const MonitorOptions::LineOption& option = line.LineOptions[i];
    EXPECT_EQ(option.Port, expected[i].port);
    EXPECT_EQ(option.Option, expected[i].option);
    const LineFormat format = option.Line.AppliedTo(LineFormat{});
    EXPECT_EQ(format.BaudRate, expected[i].format.BaudRate);
    EXPECT_EQ(format.Parity, expected[i].format.Parity);
    EXPECT_EQ(format.DataBits, expected[i].format.DataBits);
    EXPECT_EQ(format.StopBits, expected[i].format.StopBits);
  }
}

TEST(CommandLine, PortChoiceNamesAndOutputOptions) {
  CommandLine line = ParseCommandLine({"-only:1,33-40", "-only:97", "-exclude:35", "-name:33=Meter A",
                                       "-name:40=x=y", "-time:US", "-portlabel:full", "-color:never", "-Quiet",
                                       "-recordpcapng:-", "-linktype:250", "-lowlatency:33", "-LOWLATENCY:40"});
  ASSERT_TRUE(line.Problems.empty()) << line.Problems.front();
  EXPECT_TRUE(line.OnlyGiven);
  EXPECT_EQ(line.Only.count(), 10u);
  EXPECT_TRUE(line.Only.test(97));
  EXPECT_TRUE(line.Exclude.test(35));
  EXPECT_EQ(line.Names, (std::vector<std::pair<int, std::string>>{{33, "Meter A"}, {40, "x=y"}}));
  EXPECT_EQ(line.Time, TimeStyle::Microseconds);
  EXPECT_TRUE(line.FullPortLabel);
  EXPECT_EQ(line.Colour, ColourChoice::Never);
  EXPECT_TRUE(line.Quiet);
  // "-" is standard output, which the recording sees as it is named.
  EXPECT_EQ(line.RecordFormat, RecorderState::RecordPcapng);
  EXPECT_EQ(line.RecordPath, "-");
  EXPECT_EQ(line.LinkType, 250);
  EXPECT_EQ(line.LowLatencyPorts, (std::vector<int>{33, 40}));
  EXPECT_EQ(line.SysfsRoot, "/sys");

  const CommandLine defaults = ParseCommandLine({"-headless"});
  EXPECT_FALSE(defaults.Quiet);
  EXPECT_FALSE(defaults.OnlyGiven);
  EXPECT_EQ(defaults.Time, TimeStyle::Tenths);
  EXPECT_FALSE(defaults.FullPortLabel);
  EXPECT_EQ(defaults.Colour, ColourChoice::Auto);
  for (const auto& [text, style] : std::vector<std::pair<const char*, TimeStyle>>{
           {"-time:tenths", TimeStyle::Tenths}, {"-time:ms", TimeStyle::Milliseconds},
           {"-time:iso", TimeStyle::Iso}, {"-time:delta", TimeStyle::Delta}}) {
    EXPECT_EQ(ParseCommandLine({text}).Time, style) << text;
  }
  EXPECT_EQ(ParseCommandLine({"-colour:always"}).Colour, ColourChoice::Always);

  // -onlyport: is a list of its own, apart from -only:, which it must not
  // be taken for.
  const CommandLine printed = ParseCommandLine({"--onlyport:3,33-34", "-ONLYPORT:97"});
  ASSERT_TRUE(printed.Problems.empty()) << printed.Problems.front();
  EXPECT_TRUE(printed.OnlyPortGiven);
  EXPECT_FALSE(printed.OnlyGiven);
  EXPECT_EQ(printed.OnlyPort.count(), 4u);
  EXPECT_TRUE(printed.OnlyPort.test(3) && printed.OnlyPort.test(34) && printed.OnlyPort.test(97));
  EXPECT_TRUE(printed.UnknownOptions.empty());
  EXPECT_FALSE(defaults.OnlyPortGiven);
}

TEST(CommandLine, MalformedValuesNameTheirOption) {
  struct Case {
    const char* option;
    const char* problem;
  };
  const Case cases[] = {
      {"-line:5=11520x",
       "-line:5=11520x: 11520x is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and stop bits (1, 1.5, "
       "2) such as 8N1"},
      {"-line:0=9600", "-line:0=9600: expected -line:N=RATE,FRAME (N a COM number from 1 to 128, or *), e.g. "
                       "-line:33=115200,8N1"},
      {"-line:5", "-line:5: expected -line:N=RATE,FRAME (N a COM number from 1 to 128, or *), e.g. "
                  "-line:33=115200,8N1"},
      {"-port:5=/dev/ttyS4,8N1,9600", "-port:5=/dev/ttyS4,8N1,9600: the rate comes first, and once"},
      {"-pair:1,2=fast", "-pair:1,2=fast: fast is neither a rate nor data bits (5-8), parity (N, E, O, M, S) and "
                         "stop bits (1, 1.5, 2) such as 8N1"},
      {"-only:1,x", "-only:1,x: \"x\" is not a COM number (1 to 128) or a range such as 33-40"},
      {"-exclude:", "-exclude:: expected COM numbers and ranges, e.g. 1,33-40,97"},
      {"-onlyport:0", "-onlyport:0: \"0\" is not a COM number (1 to 128) or a range such as 33-40"},
      {"-name:200=x", "-name:200=x: expected -name:N=TEXT with N a COM number from 1 to 128"},
      {"-name:3=a\tb", "-name:3=a\tb: a name cannot hold control characters"},
      {"-time:ns", "-time:ns: expected -time:tenths, -time:ms, -time:us, -time:iso or -time:delta"},
      {"-color:yes", "-color:yes: expected -color:never, -color:always or -color:auto"},
      {"-portlabel:long", "-portlabel:long: expected -portlabel:full or -portlabel:short"},
      {"-lowlatency:129", "-lowlatency:129: expected -lowlatency:N with N a COM number from 1 to 128"},
      {"-lowlatency:", "-lowlatency:: expected -lowlatency:N with N a COM number from 1 to 128"},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = ParseCommandLine({c.option});
    ASSERT_EQ(parsed.Problems.size(), 1u) << c.option;
    EXPECT_EQ(parsed.Problems.front(), c.problem);
    EXPECT_TRUE(parsed.LineOptions.empty());
  }
  EXPECT_EQ(ParseCommandLine({"-name:3=" + std::string(65, 'x')}).Problems.size(), 1u);
}

// Unknown options are kept as typed, in order, so that each can be named;
// a value option missing its colon is one of them, not its option.
TEST(CommandLine, UnknownOptionsAreKeptAsTypedAndNothingElseIs) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> unknown;
  };
  const Case cases[] = {
      {{"-headless", "-recrod:/tmp/x.DAT"}, {"-recrod:/tmp/x.DAT"}},
      {{"-record", "-select", "-send", "-port", "-repeatx", "-"},
       {"-record", "-select", "-send", "-port", "-repeatx", "-"}},
      // The demo is taken out before parsing; left in, it is not known here.
      {{"-demo"}, {"-demo"}},
      {{"--", "---headless", "--frob=1", "-x", "a.TW"}, {"--", "---headless", "--frob=1", "-x"}},
      {{"-HEADLESS", "-nohs", "-port:1=pty", "-record:a", "-select:1", "-playgap:3", "-repeat", "-trigger",
        "-send:2", "-linktype:148", "-nosplash", "--rotate:every=1h,24", "project.TW"},
       {}},
      {{"-record:a", "--append"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.UnknownOptions, c.unknown);
    EXPECT_TRUE(line.Problems.empty());
  }
  EXPECT_EQ(UnknownOptionText("-recrod:/tmp/x.DAT"), "unknown option -recrod:/tmp/x.DAT, ignored");
}

// The window toolkit's own options are its, value and all: no unknown
// option, and the value after -platform is no project file.
TEST(CommandLine, TheToolkitsOwnOptionsAreLeftToIt) {
  const CommandLine line = ParseCommandLine(
      {"-platform", "offscreen", "-style=fusion", "-reverse", "-geometry", "640x480", "a.TW", "-stylesheet"});
  EXPECT_TRUE(line.UnknownOptions.empty());
  EXPECT_TRUE(line.Problems.empty());
  EXPECT_EQ(line.ProjectFiles, std::vector<std::string>{"a.TW"});
  EXPECT_EQ(line.ToolkitOptions, (std::vector<std::string>{"-platform", "offscreen", "-style=fusion", "-reverse",
                                                           "-geometry", "640x480", "-stylesheet"}));
  // Two dashes mean one for the toolkit as well; a longer name is no toolkit option.
  const CommandLine dashes = ParseCommandLine({"--platform", "xcb", "-platformx"});
  EXPECT_EQ(dashes.ToolkitOptions, (std::vector<std::string>{"--platform", "xcb"}));
  EXPECT_EQ(dashes.UnknownOptions, std::vector<std::string>{"-platformx"});
  EXPECT_TRUE(dashes.ProjectFiles.empty());
}

// Every option may be written with two dashes and means the same.
TEST(CommandLine, TwoDashesSpellTheSameOptions) {
  const CommandLine gnu = ParseCommandLine({"--headless", "--List-Ports", "--nosplash", "--NOHS", "--port:3=pty",
                                            "--recordraw:r.bin", "--select:3", "--repeat", "--triggerpart",
                                            "--send:4", "--help", "--version"});
  EXPECT_TRUE(gnu.Headless);
  EXPECT_TRUE(gnu.ListPorts);
  EXPECT_TRUE(gnu.NoSplash);
  EXPECT_TRUE(gnu.NoHandshake);
  EXPECT_TRUE(gnu.Help);
  EXPECT_TRUE(gnu.Version);
  EXPECT_TRUE(gnu.Repeat);
  EXPECT_EQ(gnu.Triggers, TriggerMode::PartPacket);
  // The port map reads the one-dash spelling.
  EXPECT_EQ(gnu.PortOptions, std::vector<std::string>{"-port:3=pty"});
  EXPECT_EQ(gnu.RecordFormat, RecorderState::RecordRaw);
  EXPECT_EQ(gnu.RecordPath, "r.bin");
  EXPECT_EQ(gnu.SelectPort, 3);
  EXPECT_EQ(gnu.SendRows, std::vector<int>{4});
  EXPECT_TRUE(gnu.UnknownOptions.empty());
  EXPECT_TRUE(gnu.Problems.empty());
  // A bad value is the same problem in either spelling.
  EXPECT_EQ(ParseCommandLine({"--select:0"}).Problems, ParseCommandLine({"-select:0"}).Problems);

  for (const auto& [arg, oneDash] : std::vector<std::pair<std::string, std::string>>{
           {"--demo", "-demo"}, {"-demo", "-demo"}, {"--", "--"}, {"-", "-"}, {"---x", "--x"}, {"a--b", "a--b"}}) {
    EXPECT_EQ(OneDash(arg), oneDash) << arg;
  }
}

}  // namespace
}  // namespace tapwise
