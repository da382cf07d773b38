// The command line: data file names, switches with and without signs, values
// that end their argument, and the errors that do not stop the parse.
#include "backitem/command_line.h"

#include <gtest/gtest.h>

#include "backitem/program_state.h"

namespace tarnwick::test {
namespace {

constexpr const char* kProgramDir = "/opt/tarnwick/";

class CommandLineTest : public testing::Test {
 protected:
  ProgramState state;
  CommandLineOptions options;

  void SetUp() override {
    state.IniFileName = "/opt/tarnwick/tarnwick.ini";
    state.DataFileName = "/opt/tarnwick/tarnwick.dat";
  }

  bool Parse(std::vector<std::string> arguments) {
    return ParseCommandLine(arguments, kProgramDir, state, options);
  }
};

TEST_F(CommandLineTest, NoArgumentsChangeNothing) {
  EXPECT_TRUE(Parse({}));
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/tarnwick.ini");
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/tarnwick.dat");
  EXPECT_FALSE(state.ProgressOff);
  EXPECT_FALSE(options.BatchExport);
  EXPECT_FALSE(options.RegistrySource.has_value());
}

TEST_F(CommandLineTest, DataFileNamesResolveAgainstTheProgramsFolder) {
  EXPECT_TRUE(Parse({"mydata"}));
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/mydata.dat");
  EXPECT_TRUE(Parse({"sub/../items.txt"}));
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/items.txt");
  EXPECT_TRUE(Parse({"/srv/backup/Items"}));  // '/' begins a path, not an option
  EXPECT_EQ(state.DataFileName, "/srv/backup/Items.dat");
}

TEST_F(CommandLineTest, ALaterDataFileReplacesAnEarlierOne) {
  EXPECT_TRUE(Parse({"first", "-w", "second"}));
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/second.dat");
}

TEST_F(CommandLineTest, SwitchesWithoutSignToggle) {
  EXPECT_TRUE(Parse({"-p"}));
  EXPECT_TRUE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-pp"}));
  EXPECT_TRUE(state.ProgressOff);  // two more toggles
  EXPECT_TRUE(Parse({"-p", "-p"}));
  EXPECT_TRUE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-W"}));
  EXPECT_TRUE(options.BatchExport);
}

TEST_F(CommandLineTest, PpAloneLeavesTheDisplayOn) {
  EXPECT_TRUE(Parse({"-pp"}));
  EXPECT_FALSE(state.ProgressOff);
}

TEST_F(CommandLineTest, SignsSetAndClearWhateverCameBefore) {
  EXPECT_TRUE(Parse({"-p+"}));
  EXPECT_TRUE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-p+"}));
  EXPECT_TRUE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-P-"}));
  EXPECT_FALSE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-w+p-"}));
  EXPECT_TRUE(options.BatchExport);
  EXPECT_FALSE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-w-w"}));
  EXPECT_TRUE(options.BatchExport);  // cleared, then toggled
}

TEST_F(CommandLineTest, ASignBelongsToTheLetterBeforeIt) {
  // In one argument the '-' is p's sign; as two arguments each letter toggles.
  state.ProgressOff = true;
  EXPECT_TRUE(Parse({"-p-w"}));
  EXPECT_FALSE(state.ProgressOff);
  EXPECT_TRUE(options.BatchExport);

  ProgramState separate;
  CommandLineOptions separateOptions;
  separate.ProgressOff = true;
  EXPECT_TRUE(ParseCommandLine({"-p", "-w"}, kProgramDir, separate, separateOptions));
  EXPECT_FALSE(separate.ProgressOff);
  EXPECT_TRUE(separateOptions.BatchExport);

  state.ProgressOff = false;
  EXPECT_TRUE(Parse({"-p-w"}));
  EXPECT_FALSE(state.ProgressOff);  // "-p -w" would have set it
}

TEST_F(CommandLineTest, SettingsFileValueForms) {
  for (const char* argument : {"-i:settings", "-i=settings", "-isettings", "-Isettings"}) {
    SCOPED_TRACE(argument);
    state.IniFileName.clear();
    EXPECT_TRUE(Parse({argument}));
    EXPECT_EQ(state.IniFileName, "/opt/tarnwick/settings.ini");
  }
  EXPECT_TRUE(Parse({"-I/x/y.ini"}));
  EXPECT_EQ(state.IniFileName, "/x/y.ini");
  EXPECT_TRUE(Parse({"-i:My Settings.Conf"}));  // letter case and blanks kept
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/My Settings.Conf");
  EXPECT_TRUE(Parse({"-i+=s"}));  // a sign, then ':' or '=', are skipped
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/s.ini");
  EXPECT_TRUE(Parse({"-i::s"}));  // only one
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/:s.ini");
}

TEST_F(CommandLineTest, ASettingsFileValueEndsTheArgument) {
  EXPECT_TRUE(Parse({"-pi:wp"}));
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/wp.ini");
  EXPECT_TRUE(state.ProgressOff);
  EXPECT_TRUE(Parse({"-iw"}));
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/w.ini");
  EXPECT_FALSE(options.BatchExport);
}

TEST_F(CommandLineTest, SettingsFileWithoutValueIsTheProgramsFolder) {
  EXPECT_TRUE(Parse({"-i"}));
  EXPECT_EQ(state.IniFileName, kProgramDir);
  EXPECT_TRUE(Parse({"-i="}));
  EXPECT_EQ(state.IniFileName, kProgramDir);
}

TEST_F(CommandLineTest, RegistrySourceTakesNoExtension) {
  EXPECT_TRUE(Parse({"-r/home/user/.wine"}));
  EXPECT_EQ(options.RegistrySource, "/home/user/.wine");
  EXPECT_TRUE(Parse({"-R:prefixes/game"}));
  EXPECT_EQ(options.RegistrySource, "/opt/tarnwick/prefixes/game");
  EXPECT_TRUE(Parse({"-wr=../wine"}));
  EXPECT_EQ(options.RegistrySource, "/opt/wine");
  EXPECT_TRUE(options.BatchExport);
}

TEST_F(CommandLineTest, RegistrySourceWithoutValueIsTheProgramsFolder) {
  EXPECT_TRUE(Parse({"-r", "prefix"}));
  EXPECT_EQ(options.RegistrySource, kProgramDir);
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/prefix.dat");
}

TEST_F(CommandLineTest, AnEmptyArgumentEndsTheList) {
  EXPECT_TRUE(Parse({"-w", "", "-x", "other"}));
  EXPECT_TRUE(options.BatchExport);
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/tarnwick.dat");
}

TEST_F(CommandLineTest, WrongArgumentsAreErrors) {
  for (const char* argument : {"-x", "-", "--w", "-wq", "-p?"}) {
    SCOPED_TRACE(argument);
    ProgramState fresh;
    CommandLineOptions freshOptions;
    EXPECT_FALSE(ParseCommandLine({argument}, kProgramDir, fresh, freshOptions));
  }
}

TEST_F(CommandLineTest, ErrorsDoNotStopTheParse) {
  EXPECT_FALSE(Parse({"-wq", "-x", "mydata", "-", "-p"}));
  EXPECT_TRUE(options.BatchExport);  // applied although its argument was wrong
  EXPECT_EQ(state.DataFileName, "/opt/tarnwick/mydata.dat");
  EXPECT_TRUE(state.ProgressOff);
}

TEST_F(CommandLineTest, ALetterAfterAWrongCharacterStillApplies) {
  EXPECT_FALSE(Parse({"--w"}));
  EXPECT_TRUE(options.BatchExport);
  EXPECT_FALSE(Parse({"-?i:set"}));
  EXPECT_EQ(state.IniFileName, "/opt/tarnwick/set.ini");
}

}  // namespace
}  // namespace tarnwick::test
