// Batch export from a Windows installation folder: the real program reads
// the hives of a built installation, chooses the profile with -u, and says
// on standard error that it leaves the update checker alone.
#include "e2e_support.h"
#include "hive_builder.h"
#include "reg_export_fixture.h"

namespace tarnwick::e2e {
namespace {

constexpr const char* kTaro = "S-1-5-21-5-6-7-1001";
constexpr const char* kHanako = "S-1-5-21-5-6-7-1002";
constexpr const char* kItem = "エディタ=HKCU\\Software\\Fixture\\Editor,,0\n";
constexpr const char* kNote =
    "tarnwick: 読み取り専用のレジストリなので、アップデート チェッカーには登録しません: ";

class HiveBatchTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    prefix = Path("windows");
    WriteData(kItem, "RegEditVer=5\n");
  }

  // A user whose Editor key holds a font name and a size.
  void AddUser(const char* sid, const std::string& folder, std::u16string_view font) {
    installation.User(sid, folder)
        .Values("Software\\Fixture\\Editor",
                {{"Font", kRegSz, test::Sz(font)}, {"Size", kRegDword, test::Dword(12)}})
        .Values("Software\\Fixture\\Editor\\Tabs", {{"Width", kRegDword, test::Dword(4)}});
  }

  static std::string Expected(const std::string& font) {
    return test::RegFileBytes(5,
                              "Windows Registry Editor Version 5.00\n\n"
                              "[HKEY_CURRENT_USER\\Software\\Fixture\\Editor]\n"
                              "\"Font\"=\"" +
                                  font +
                                  "\"\n"
                                  "\"Size\"=dword:0000000c\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\Fixture\\Editor\\Tabs]\n"
                                  "\"Width\"=dword:00000004\n\n");
  }

  test::TestInstallation installation{Path("windows")};
};

TEST_F(HiveBatchTest, ExportsTheOnlyUsersKeys) {
  AddUser(kTaro, "taro", u"メイリオ");
  installation.Write();
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_EQ(outcome.err, kNote + prefix + "\n");
  EXPECT_EQ(Read("items.reg"), Expected("メイリオ"));
}

TEST_F(HiveBatchTest, DashUChoosesAmongSeveralUsers) {
  AddUser(kTaro, "taro", u"メイリオ");
  AddUser(kHanako, "hanako", u"游ゴシック");
  installation.Write();
  Outcome unchosen = RunBatch();
  EXPECT_EQ(unchosen.exitCode, 5) << unchosen;
  EXPECT_NE(unchosen.err.find("-u でどのプロファイルを読むか指定してください: taro, hanako"),
            std::string::npos)
      << unchosen;
  EXPECT_FALSE(Exists("items.reg"));

  Outcome chosen = RunBatch({"-uHANAKO"});
  EXPECT_EQ(chosen.exitCode, 0) << chosen;
  EXPECT_EQ(Read("items.reg"), Expected("游ゴシック"));
}

TEST_F(HiveBatchTest, DashUWithAWinePrefixIsRefused) {
  prefix = Path("prefix");
  WriteUserReg("[Software\\\\Fixture\\\\Editor]\n\"Size\"=dword:0000000c\n");
  Outcome outcome = RunBatch({"-utaro"});
  EXPECT_EQ(outcome.exitCode, 5) << outcome;
  EXPECT_EQ(outcome.err,
            "tarnwick: -u は Windows のインストール フォルダーを読むときだけ指定できます: " +
                prefix + "\n");
}

}  // namespace
}  // namespace tarnwick::e2e
