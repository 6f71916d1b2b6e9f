#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "core/config/INIUnit.h"
#include "core/config/WholeFile.h"
#include "core/util/AnsiStringLib.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using Lines = std::vector<std::string>;

SettingsStore StoreWith(const Lines& lines) {
  SettingsStore store;
  store.Create();
  for (const std::string& line : lines) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      store.FindLine(line);
    } else {
      store.WriteText(line.substr(0, tab), line.substr(tab + 1));
    }
  }
  EXPECT_EQ(store.Lines(), lines);
  return store;
}

// Files in the folder other than the ones a test made: a save must never
// leave its temporary file behind.
std::vector<std::string> Leftovers(const std::string& folder, const std::string& keep) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().filename() != keep) names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(SettingsStoreTest, FindLineComparesWholeKeysExactlyAndAppendsMissingOnes) {
  SettingsStore store = StoreWith({"FontSize\t9", "fontsize\t10", "Key", "Key2\tx\ty", "\tno key"});
  struct Case {
    const char* Key;
    ptrdiff_t Index;
  };
  for (Case c : {Case{"FontSize", 0}, Case{"fontsize", 1}, Case{"Key", 2}, Case{"Key2", 3}, Case{"", 4}}) {
    SCOPED_TRACE(c.Key);
    EXPECT_EQ(store.FindLine(c.Key), c.Index);
  }
  EXPECT_EQ(store.Lines().size(), 5u);

  // Neither a prefix nor a longer key matches; each missing key gets one
  // key-only line at the end, found again on the next call.
  EXPECT_EQ(store.FindLine("Font"), 5);
  EXPECT_EQ(store.FindLine("FontSizeX"), 6);
  EXPECT_EQ(store.FindLine("Font"), 5);
  EXPECT_EQ(store.Lines().back(), "FontSizeX");
  EXPECT_EQ(store.Lines().size(), 7u);
}

TEST(SettingsStoreTest, ReadTextGivesTheTextAfterTheFirstTabUpTo9999Characters) {
  const std::string longValue(12000, 'v');
  SettingsStore store = StoreWith({"Plain\tvalue", "KeyOnly", "EmptyValue\t", "TwoTabs\tx\ty",
                                   "Spaces\t  spaced  value  ", "Long\t" + longValue});
  struct Case {
    const char* Key;
    std::string Text;
  };
  const Case cases[] = {{"Plain", "value"},     {"KeyOnly", ""},
                        {"EmptyValue", ""},     {"TwoTabs", "x\ty"},
                        {"Spaces", "  spaced  value  "}, {"Long", longValue.substr(0, 9999)},
                        {"Missing", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Key);
    EXPECT_EQ(store.ReadText(c.Key), c.Text);
  }
  // Reading never shortens what is kept: the whole value is written back.
  EXPECT_EQ(store.Lines()[5].size(), 5 + longValue.size());
  EXPECT_EQ(store.Lines().back(), "Missing");
}

TEST(SettingsStoreTest, ReadIntegerTakesTheNumberAtTheStartOrTheDefaultForEmptyText) {
  struct Case {
    std::string Line;
    int32_t Expected;
  };
  const Case cases[] = {
      {"V\t12abc", 12},         {"V\t-7", -7},
      {"V\t+5", 5},             {"V\t  ,42 tail", 42},
      {"V\tabc", 0},            {"V\t-", 0},
      {"V\t   ", 0},            {"V\t-2147483648", INT32_MIN},
      {"V\t2147483647", INT32_MAX}, {"V\t-2147483640", -2147483640},
      {"V", 77},                {"V\t", 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    SettingsStore store = StoreWith({c.Line});
    EXPECT_EQ(store.ReadInteger("V", 77), c.Expected);
  }
  SettingsStore store;
  store.Create();
  EXPECT_EQ(store.ReadInteger("Absent", -3), -3);
  EXPECT_EQ(store.Lines(), Lines{"Absent"});
}

TEST(SettingsStoreTest, ReadIntegerLeavesTheCallersParseErrorAlone) {
  SettingsStore store = StoreWith({"Bad\tabc", "Good\t12"});
  ParseError = false;
  store.ReadInteger("Bad", 1);
  EXPECT_FALSE(ParseError);
  ParseError = true;
  store.ReadInteger("Good", 1);
  EXPECT_TRUE(ParseError);
  ParseError = false;
}

TEST(SettingsStoreTest, WritesReplaceLinesInPlaceAndAppendNewKeys) {
  SettingsStore store = StoreWith({"A\t1", "B", "C\tthree"});
  EXPECT_TRUE(store.WriteText("B", "two words"));
  EXPECT_TRUE(store.WriteInteger("A", -2147483647 - 1));
  EXPECT_TRUE(store.WriteText("D", ""));
  EXPECT_TRUE(store.WriteInteger("C", 0));
  EXPECT_EQ(store.Lines(), (Lines{"A\t-2147483648", "B\ttwo words", "C\t0", "D\t"}));
}

TEST(SettingsStoreTest, LineEndsInValuesAndSeparatorsInKeysAreRefused) {
  SettingsStore store = StoreWith({"RecordName\t/old/file.dat", "RecordType\t1"});
  // Written as it stands, the value would come back as two lines, the second
  // one shadowing the real RecordType.
  EXPECT_FALSE(store.WriteText("RecordName", "/tmp/a\nRecordType\t5"));
  EXPECT_FALSE(store.WriteText("RecordName", "/tmp/a\rb"));
  EXPECT_EQ(store.ReadText("RecordName"), "/old/file.dat");

  for (const char* key : {"A\tB", "A\nB", "A\rB"}) {
    SCOPED_TRACE(key);
    EXPECT_EQ(store.FindLine(key), SettingsStore::NoLine);
    EXPECT_FALSE(store.WriteInteger(key, 1));
    EXPECT_EQ(store.ReadInteger(key, 5), 5);
    EXPECT_EQ(store.ReadText(key), "");
  }
  EXPECT_EQ(store.Lines(), (Lines{"RecordName\t/old/file.dat", "RecordType\t1"}));
}

TEST(SettingsStoreTest, AStoreNotCreatedDoesNothingAndReadsDefaults) {
  TempDir dir;
  SettingsStore closed;
  EXPECT_TRUE(Succeeded(closed.Load(dir / "Tapwise.ini")));
  closed.WriteText("Kept", "no");
  closed.Close();

  SettingsStore never;
  for (SettingsStore* store : {&never, &closed}) {
    EXPECT_FALSE(store->IsCreated());
    EXPECT_EQ(store->FindLine("FontSize"), SettingsStore::NoLine);
    EXPECT_EQ(store->ReadText("FontName"), "");
    EXPECT_EQ(store->ReadInteger("FontSize", 9), 9);
    EXPECT_FALSE(store->WriteText("FontName", "Courier"));
    EXPECT_FALSE(store->WriteInteger("FontSize", 12));
    EXPECT_TRUE(store->Lines().empty());
    EXPECT_TRUE(Succeeded(store->Save()));
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "Tapwise.ini"));
}

TEST(SettingsStoreTest, FilesOfAnyContentLoadAndSurviveASave) {
  const std::string longLine(200000, 'x');
  struct Case {
    const char* Name;
    std::string Bytes;
    Lines Expected;
  };
  const Case cases[] = {
      {"empty", "", {}},
      {"CR LF", "A\t1\r\nB\t2\r\n", {"A\t1", "B\t2"}},
      {"LF and no last end", "A\t1\nB\t2", {"A\t1", "B\t2"}},
      {"empty lines kept", "A\r\n\r\n\nB", {"A", "", "", "B"}},
      {"tab only", "\t\r\n", {"\t"}},
      {"empty key", "\tvalue\r\nK\tv", {"\tvalue", "K\tv"}},
      {"lone CR is data", "A\rB\r\n", {"A\rB"}},
      {"binary", std::string("\0\xFF\x01\tz\x80\n", 7), {std::string("\0\xFF\x01\tz\x80", 6)}},
      {"no line end at all", longLine, {longLine}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TempDir dir;
    const std::string path = dir / "Tapwise.ini";
    TempDir::WriteFile(path, c.Bytes);
    SettingsStore store;
    EXPECT_TRUE(Succeeded(store.Load(path)));
    EXPECT_EQ(store.Lines(), c.Expected);
    EXPECT_EQ(store.ReadInteger("FontSize", 9), 9);
    EXPECT_TRUE(Succeeded(store.Save()));
    SettingsStore again;
    EXPECT_TRUE(Succeeded(again.Load(path)));
    EXPECT_EQ(again.Lines(), store.Lines());
  }
}

TEST(SettingsStoreTest, SaveWritesEveryLineEndedByCrLfAndValuesComeBackWhole) {
  TempDir dir;
  const std::string path = dir / "Tapwise.ini";
  const std::string project = "/home/user/My Projects/line test one.TW";
  const std::string record = "  leading and trailing spaces  ";
  const std::string eightBit = "caf\xE9 \xB7 \x80";
  {
    SettingsStore store;
    EXPECT_TRUE(Succeeded(store.Load(path)));
    store.WriteText("ConfigName", project);
    store.WriteText("RecordName", record);
    store.FindLine("KeyOnly");
    store.WriteText("FontName", eightBit);
    EXPECT_TRUE(Succeeded(store.Save()));
  }
  EXPECT_EQ(TempDir::ReadFile(path), "ConfigName\t" + project + "\r\nRecordName\t" + record +
                                         "\r\nKeyOnly\r\nFontName\t" + eightBit + "\r\n");
  SettingsStore store;
  EXPECT_TRUE(Succeeded(store.Load(path)));
  EXPECT_EQ(store.ReadText("ConfigName"), project);
  EXPECT_EQ(store.ReadText("RecordName"), record);
  EXPECT_EQ(store.ReadText("FontName"), eightBit);
  EXPECT_EQ(store.ReadInteger("KeyOnly", 4), 4);
}

TEST(SettingsStoreTest, SaveCreatesMissingFoldersKeepsPermissionsAndFollowsLinks) {
  TempDir dir;
  const std::string nested = dir / "config/tapwise/Tapwise.ini";
  SettingsStore store;
  EXPECT_TRUE(Succeeded(store.Load(nested)));
  EXPECT_TRUE(store.Lines().empty());
  store.WriteInteger("FontSize", 11);
  EXPECT_TRUE(Succeeded(store.Save()));
  EXPECT_EQ(TempDir::ReadFile(nested), "FontSize\t11\r\n");

  ASSERT_EQ(::chmod(nested.c_str(), 0640), 0);
  const std::string link = dir / "link.ini";
  std::filesystem::create_symlink(nested, link);
  SettingsStore viaLink;
  EXPECT_TRUE(Succeeded(viaLink.Load(link)));
  viaLink.WriteInteger("FontSize", 12);
  EXPECT_TRUE(Succeeded(viaLink.Save()));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(TempDir::ReadFile(nested), "FontSize\t12\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(nested.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(Leftovers(dir / "config/tapwise", "Tapwise.ini"), std::vector<std::string>{});
}

// Each way a save can fail must name the file, say why, and leave the old
// file exactly as it was.
TEST(SettingsStoreTest, AFailedSaveSaysWhyAndLeavesTheOldFileIntact) {
  const std::string oldBytes = "FontSize\t10\r\nColour1\t255\r\n";
  struct Case {
    const char* Name;
    // Makes the save fail; returns the path to save to, or "" to skip.
    std::string (*Arrange)(TempDir& dir);
    const char* Reason;
  };
  const Case cases[] = {
      {"folder cannot be created",
       [](TempDir& dir) {
         TempDir::WriteFile(dir / "plain", "a file, not a folder");
         return dir / "plain/tapwise/Tapwise.ini";
       },
       "cannot create the folder"},
      {"target is a folder",
       [](TempDir& dir) {
         std::filesystem::create_directory(dir / "Tapwise.ini");
         TempDir::WriteFile(dir / "Tapwise.ini/inside", "FontSize\t10\r\nColour1\t255\r\n");
         return dir / "Tapwise.ini";
       },
       "could not be read at start"},
      {"folder is read-only",
       [](TempDir& dir) {
         const std::string folder = dir / "ro";
         std::filesystem::create_directory(folder);
         TempDir::WriteFile(folder + "/Tapwise.ini", "FontSize\t10\r\nColour1\t255\r\n");
         ::chmod(folder.c_str(), 0555);
         // A superuser writes anyway; nothing to learn then.
         if (::access(folder.c_str(), W_OK) == 0) return std::string();
         return folder + "/Tapwise.ini";
       },
       "cannot create"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TempDir dir;
    const std::string path = c.Arrange(dir);
    if (path.empty()) continue;
    const std::string existing = std::filesystem::is_directory(path) ? path + "/inside" : path;
    const bool hadFile = std::filesystem::exists(existing);
    if (hadFile) {
      ASSERT_EQ(TempDir::ReadFile(existing), oldBytes);
    }

    SettingsStore store;
    // A file that cannot be read fails here too; what matters is the save.
    (void)store.Load(path);
    store.WriteInteger("FontSize", 14);
    const Result saved = store.Save();
    const std::string& message = saved.Message();
    EXPECT_FALSE(saved);
    EXPECT_NE(message.find("Settings not saved to " + path + ": "), std::string::npos) << message;
    EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
    if (hadFile) {
      EXPECT_EQ(TempDir::ReadFile(existing), oldBytes);
    }
  }
}

TEST(SettingsStoreTest, AWriteThatFailsHalfWayLeavesTheOldFileIntact) {
  TempDir dir;
  const std::string path = dir / "Tapwise.ini";
  const std::string oldBytes = "FontSize\t10\r\n";
  TempDir::WriteFile(path, oldBytes);
  SettingsStore store;
  ASSERT_TRUE(Succeeded(store.Load(path)));
  store.WriteText("RecordName", std::string(4096, 'r'));

  // A file size limit makes the kernel refuse the write part way through,
  // as a full disk would, even for a superuser.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = 100;
  void (*previous)(int) = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const Result save = store.Save();
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);

  EXPECT_FALSE(save);
  const std::string& message = save.Message();
  EXPECT_NE(message.find("Settings not saved to " + path + ": cannot write"), std::string::npos) << message;
  EXPECT_NE(message.find("large"), std::string::npos) << message;
  EXPECT_EQ(TempDir::ReadFile(path), oldBytes);
  EXPECT_EQ(Leftovers(dir.Path(), "Tapwise.ini"), std::vector<std::string>{});
}

TEST(SettingsStoreTest, ARenameThatFailsRemovesTheNewFile) {
  TempDir dir;
  const std::string target = dir / "Tapwise.ini";
  std::filesystem::create_directory(target);
  TempDir::WriteFile(target + "/inside", "kept");
  const Result replaced = ReplaceWholeFile(target, "FontSize\t9\r\n");
  EXPECT_FALSE(replaced);
  const std::string& reason = replaced.Message();
  EXPECT_EQ(reason.rfind("cannot replace " + target + ": ", 0), 0u) << reason;
  EXPECT_EQ(TempDir::ReadFile(target + "/inside"), "kept");
  EXPECT_EQ(Leftovers(dir.Path(), "Tapwise.ini"), std::vector<std::string>{});
}

TEST(SettingsStoreTest, AFileThatCannotBeReadLoadsEmptyAndIsNeverReplaced) {
  struct Case {
    const char* Name;
    void (*Arrange)(const std::string& path);
    const char* Reason;
  };
  const Case cases[] = {
      {"folder", [](const std::string& path) { std::filesystem::create_directory(path); }, "it is a folder"},
      // Opening a FIFO for reading would wait for a writer for ever.
      {"fifo", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, "not a regular file"},
      {"too large",
       [](const std::string& path) {
         TempDir::WriteFile(path, "FontSize\t10\r\n");
         std::filesystem::resize_file(path, SettingsStore::MaxFileSize + 1);
       },
       "larger than"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TempDir dir;
    const std::string path = dir / "Tapwise.ini";
    c.Arrange(path);
    const auto before = std::filesystem::status(path).type();
    const auto sizeBefore = std::filesystem::is_regular_file(path) ? std::filesystem::file_size(path) : 0;

    SettingsStore store;
    const Result loaded = store.Load(path);
    const std::string& loadMessage = loaded.Message();
    EXPECT_FALSE(loaded);
    EXPECT_NE(loadMessage.find(path), std::string::npos) << loadMessage;
    EXPECT_NE(loadMessage.find(c.Reason), std::string::npos) << loadMessage;
    EXPECT_TRUE(store.IsCreated());
    EXPECT_TRUE(store.Lines().empty());
    EXPECT_EQ(store.ReadInteger("FontSize", 9), 9);

    const Result saved = store.Save();
    const std::string& saveMessage = saved.Message();
    EXPECT_FALSE(saved);
    EXPECT_NE(saveMessage.find("Settings not saved to " + path), std::string::npos) << saveMessage;
    EXPECT_EQ(std::filesystem::status(path).type(), before);
    if (sizeBefore != 0) {
      EXPECT_EQ(std::filesystem::file_size(path), sizeBefore);
    }
  }
}

}  // namespace
}  // namespace tapwise
