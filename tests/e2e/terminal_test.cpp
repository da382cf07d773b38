// Standard error on a terminal: the progress line, which -p turns off, and
// the usage text after a command-line error.
#include <regex>

#include "e2e_support.h"

namespace tarnwick::e2e {
namespace {

class TerminalTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    // Enough keys for the percentage to pass through many values.
    test::WriteFileBytes(prefix + "/user.reg", ManyKeysUserReg(2000));
    WriteData("slow=HKCU\\Software\\Slow,,0\n", "RegEditVer=5\n");
  }
};

TEST_F(TerminalTest, ProgressLineIsRedrawnInPlaceAndFinished) {
  Outcome outcome = RunOnTerminal(BatchArguments());
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  const std::string& err = outcome.err;
  EXPECT_EQ(err.rfind("\rREGファイル書き出し 書き出し中... [", 0), 0u) << err;
  EXPECT_NE(err.find("  0% 完了"), std::string::npos);
  EXPECT_NE(err.find("100% 完了"), std::string::npos);
  const std::string end =
      "\rREGファイル書き出し 終了しました。検証済み: キー 2003、値 2000\033[K\n";
  ASSERT_GE(err.size(), end.size());
  EXPECT_EQ(err.substr(err.size() - end.size()), end);
  EXPECT_EQ(err.find('\n'), err.size() - 1);  // one line, redrawn with CR

  // Each value is drawn once, in rising order.
  std::regex percent("(\\d+)% 完了");
  int last = -1, draws = 0;
  for (auto it = std::sregex_iterator(err.begin(), err.end(), percent);
       it != std::sregex_iterator(); ++it, ++draws) {
    int value = std::stoi((*it)[1]);
    EXPECT_GT(value, last);
    last = value;
  }
  EXPECT_GT(draws, 10);
}

TEST_F(TerminalTest, DashPTurnsTheProgressLineOff) {
  Outcome outcome = RunOnTerminal(BatchArguments({"-p"}));
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_EQ(outcome.err, "");
}

TEST_F(TerminalTest, CommandLineErrorShowsTheUsage) {
  Outcome outcome = RunOnTerminal({"-w", "-q", data});
  EXPECT_EQ(outcome.exitCode, 2) << outcome;
  EXPECT_EQ(outcome.err.rfind("tarnwick: 起動オプションに誤りがあります。\n使い方: tarnwick -w", 0),
            0u)
      << outcome.err;
}

}  // namespace
}  // namespace tarnwick::e2e
