#include "core/config/SettingsLocation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/config/INIUnit.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

TEST(SettingsLocationTest, FileNameIsTheProgramsTitleWithIni) {
  struct Case {
    const char* Program;
    const char* FileName;
  };
  const Case cases[] = {
      {"/opt/tapwise/tapwise", "tapwise.ini"},
      {"/opt/tapwise/TAPWISE", "Tapwise.ini"},
      {"/opt/tapwise/TapWise.bin", "Tapwise.ini"},
      {"/opt/tapwise/TW-Monitor2", "Tw-monitor2.ini"},
      // Only the last extension goes, and ".ini" always follows: the file
      // beside "log.txt.bin" must not be the user's "log.txt".
      {"/opt/x/log.txt.bin", "log.txt.ini"},
      {"/opt/x/DATA.CSV", "Data.ini"},
      {"/opt/x/.hidden", ".hidden.ini"},
      {"relative/tapwise", "tapwise.ini"},
      {"tapwise", "tapwise.ini"},
      {"/opt/x/caf\xC9", "caf\xC9.ini"},  // only A-Z change case
      {"", "Tapwise.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Program);
    EXPECT_EQ(SettingsFileName(c.Program), c.FileName);
  }
}

// The folder the program is in, its settings file, and the user's
// configuration folder, all under one temporary folder.
struct Layout {
  TempDir Root;
  std::string ProgramFolder = Root / "bin";
  std::string Program = ProgramFolder + "/Tapwise";
  std::string Beside = ProgramFolder + "/Tapwise.ini";

  Layout() { std::filesystem::create_directory(ProgramFolder); }

  SettingsEnvironment Environment(bool programFolderWritable) const {
    SettingsEnvironment environment;
    environment.ProgramPath = Program;
    environment.XdgConfigHome = Root / "xdg";
    environment.Home = Root / "home";
    environment.IsWritableFolder = [this, programFolderWritable](const std::string& folder) {
      EXPECT_EQ(folder, ProgramFolder);
      return programFolderWritable;
    };
    return environment;
  }
};

TEST(SettingsLocationTest, BesideTheProgramWhenWritableOrAlreadyThereElseTheUsersConfigFolder) {
  struct Case {
    const char* Name;
    bool Writable;
    bool FileBeside;
    const char* Xdg;  // nullptr: keep the layout's absolute one
    const char* Expected;
    bool Installed = false;  // the program's folder has ../share/tapwise beside it
  };
  const Case cases[] = {
      {"writable folder", true, false, nullptr, "bin/Tapwise.ini"},
      {"writable folder with file", true, true, nullptr, "bin/Tapwise.ini"},
      {"read-only folder holding the file", false, true, nullptr, "bin/Tapwise.ini"},
      {"read-only folder", false, false, nullptr, "xdg/tapwise/Tapwise.ini"},
      {"no XDG_CONFIG_HOME", false, false, "", "home/.config/tapwise/Tapwise.ini"},
      {"relative XDG_CONFIG_HOME", false, false, "cfg", "home/.config/tapwise/Tapwise.ini"},
      {"installed, folder writable (root)", true, false, nullptr, "xdg/tapwise/Tapwise.ini", true},
      {"installed, folder holding the file", true, true, nullptr, "bin/Tapwise.ini", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Layout layout;
    if (c.FileBeside) TempDir::WriteFile(layout.Beside, "FontSize\t10\r\n");
    if (c.Installed) std::filesystem::create_directories(layout.Root / "share/tapwise");
    SettingsEnvironment environment = layout.Environment(c.Writable);
    if (c.Xdg != nullptr) environment.XdgConfigHome = c.Xdg;
    EXPECT_EQ(SettingsFilePath(environment), layout.Root / c.Expected);
  }
}

TEST(SettingsLocationTest, WithoutAProgramFolderOrHomeTheFileNameStandsAlone) {
  SettingsEnvironment environment;
  environment.ProgramPath = "tapwise";
  environment.Home = "/home/someone";
  EXPECT_EQ(SettingsFilePath(environment), "/home/someone/.config/tapwise/tapwise.ini");
  environment.Home.clear();
  EXPECT_EQ(SettingsFilePath(environment), "tapwise.ini");
}

TEST(SettingsLocationTest, TheUsersConfigFolderIsCreatedOnSaveAndReadNextTime) {
  Layout layout;
  const std::string path = SettingsFilePath(layout.Environment(false));
  ASSERT_EQ(path, layout.Root / "xdg/tapwise/Tapwise.ini");
  {
    SettingsStore store;
    EXPECT_TRUE(Succeeded(store.Load(path)));
    store.WriteInteger("FontSize", 13);
    EXPECT_TRUE(Succeeded(store.Save()));
  }
  SettingsStore store;
  EXPECT_TRUE(Succeeded(store.Load(SettingsFilePath(layout.Environment(false)))));
  EXPECT_EQ(store.ReadInteger("FontSize", 9), 13);
  EXPECT_FALSE(std::filesystem::exists(layout.Beside));
}

TEST(SettingsLocationTest, ACopyOfTheProgramUnderAnotherNameUsesAnotherFile) {
  Layout layout;
  SettingsEnvironment original = layout.Environment(true);
  SettingsEnvironment copy = original;
  copy.ProgramPath = layout.ProgramFolder + "/Tapwise-test";
  ASSERT_NE(SettingsFilePath(original), SettingsFilePath(copy));

  SettingsStore first;
  EXPECT_TRUE(Succeeded(first.Load(SettingsFilePath(original))));
  first.WriteInteger("FontSize", 20);
  EXPECT_TRUE(Succeeded(first.Save()));

  SettingsStore second;
  EXPECT_TRUE(Succeeded(second.Load(SettingsFilePath(copy))));
  EXPECT_EQ(second.ReadInteger("FontSize", 9), 9);
  EXPECT_EQ(SettingsFilePath(copy), layout.ProgramFolder + "/Tapwise-test.ini");
}

TEST(SettingsLocationTest, TheRunningProgramIsFoundThroughTheSystem) {
  const SettingsEnvironment environment = SystemSettingsEnvironment();
  EXPECT_TRUE(environment.ProgramPath.ends_with("/tapwise_core_config_tests")) << environment.ProgramPath;
  EXPECT_EQ(SettingsFileName(environment.ProgramPath), "tapwise_core_config_tests.ini");
  ASSERT_TRUE(environment.IsWritableFolder);
  TempDir dir;
  EXPECT_TRUE(environment.IsWritableFolder(dir.Path()));
  EXPECT_FALSE(environment.IsWritableFolder(dir / "missing"));
}

}  // namespace
}  // namespace tapwise
