// What a newcomer meets first: --help and --version, relative names taken
// from the current folder, and the default files in the configuration folder.
#include <filesystem>

#include "e2e_support.h"

namespace tarnwick::e2e {
namespace {

class FirstHourTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    WriteUserReg("[Software\\\\Fixture\\\\Viewer] 1733600000\n\"Zoom\"=dword:00000064\n\n");
    environment["XDG_CONFIG_HOME"] = Path("config");
  }
};

TEST_F(FirstHourTest, HelpAndVersionGoToStandardOutput) {
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0) << help;
  EXPECT_EQ(help.out.rfind("使い方: tarnwick -w", 0), 0u) << help;
  EXPECT_EQ(help.err, "");
  Outcome version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0) << version;
  EXPECT_EQ(version.out,
            "tarnwick " TARNWICK_VERSION " (build " + std::to_string(TARNWICK_BUILD) + ")\n");
}

TEST_F(FirstHourTest, RelativeNamesAreTakenFromTheCurrentFolder) {
  std::filesystem::create_directory(Path("work"));
  workingDir = Path("work");
  data = Path("work/items.dat");
  WriteData("viewer=HKCU\\Software\\Fixture\\Viewer,,0\n", "RegEditVer=5\n");
  Outcome outcome = Run({"-w", "-rprefix", "items"});  // relative prefix and data file
  EXPECT_NE(outcome.exitCode, 0);  // no prefix in work/: the name was taken from there
  EXPECT_NE(outcome.err.find(Path("work/prefix")), std::string::npos) << outcome;
  std::filesystem::rename(prefix, Path("work/prefix"));
  outcome = Run({"-w", "-rprefix", "items"});
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_TRUE(Exists("work/items.reg"));
}

TEST_F(FirstHourTest, DefaultFilesLiveInTheConfigurationFolder) {
  Outcome outcome = Run({"-w", "-r" + prefix});
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_NE(outcome.err.find(Path("config/tarnwick/tarnwick.dat")), std::string::npos) << outcome;
  EXPECT_TRUE(Exists("config/tarnwick/tarnwick.dat"));  // the new, empty list was saved
}

}  // namespace
}  // namespace tarnwick::e2e
