// A Windows installation whose hives are damaged or missing, through the real
// program: what cannot be read is reported with status 8, what can be read is
// written whole, and only a machine hive that cannot be read stops the run.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "e2e_support.h"
#include "hive_builder.h"
#include "reg_export_fixture.h"

namespace tarnwick::e2e {
namespace {

constexpr const char* kTaro = "S-1-5-21-5-6-7-1001";
const std::string kEditor = "Software\\Fixture\\Editor";
const std::string kKey = "HKEY_CURRENT_USER\\Software\\Fixture\\Editor";
constexpr const char* kHead =
    "tarnwick: 読み取り専用のレジストリなので、アップデート チェッカーには登録しません: ";
constexpr const char* kLosses = "tarnwick: バックアップにはすべてが入っていません:\n";

std::string Line(const std::string& where, const std::string& reason) {
  return "tarnwick: 読めませんでした: " + where + " (" + reason + ")\n";
}

// The line after the losses: what the file held, read back and checked.
std::string Checked(int keys, int values) {
  return "tarnwick: 検証済み: キー " + std::to_string(keys) + "、値 " + std::to_string(values) +
         "\n";
}

std::string Damaged(const std::string& what) {
  return Line(kKey, "ハイブが壊れています: " + what);
}

uint32_t Relative(std::size_t record) {
  return static_cast<uint32_t>(record - test::kHiveBins);
}

void Patch32(const std::string& file, std::size_t at, uint32_t value) {
  test::PatchFile(file, at, test::Dword(value));
}

uint32_t Read32(const std::string& file, std::size_t at) {
  std::string bytes = test::ReadFileBytes(file);
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

class HiveDamageTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    prefix = Path("windows");
  }

  std::string UserHive() const { return Path("windows/Users/taro/NTUSER.DAT"); }

  // taro's Editor key holds every kind of record that the cases damage.
  void WriteInstallation() {
    installation.Software().Values("Fixture", {{"Machine", kRegDword, test::Dword(7)}});
    installation.User(kTaro, "taro")
        .Values(kEditor, {{"値", kRegDword, test::Dword(1)},
                          {"Font", kRegSz, test::Sz(u"Meiryo")},
                          {"Big", kRegBinary, std::string(40000, 'b')}})
        .Values(kEditor + "\\日本", {{"v", kRegDword, test::Dword(1)}})
        .Values(kEditor + "\\Tabs", {{"Width", kRegDword, test::Dword(4)}})
        .Key(kEditor + "\\Tabs\\Inner")
        .Values(kEditor + "\\sub", {{"v", kRegDword, test::Dword(1)}})
        .Values(kEditor + "\\SUX", {{"v", kRegDword, test::Dword(2)}});
    installation.Write();
    test::StoreAsBigData(UserHive(), kEditor, "Big");
  }

  test::TestInstallation installation{Path("windows")};
};

enum class Damage { KeyName, ValueName, Parent, Loop, CaseOnly, SameName, ShortData, LongData };

struct DamageCase {
  const char* label;
  Damage damage;
  std::string lines;  // the loss lines; none: status 0
  std::string kept;   // REG text the file holds
  std::string left;   // REG text it does not hold; empty: nothing is left out
};

void Apply(Damage damage, const std::string& file) {
  switch (damage) {
    case Damage::KeyName:  // a lone surrogate
      test::PatchFile(file, test::KeyRecord(file, kEditor + "\\日本") + 0x50, {"\x00\xD8", 2});
      break;
    case Damage::ValueName:
      test::PatchFile(file, test::ValueRecord(file, kEditor, "値") + 0x18, {"\x00\xD8", 2});
      break;
    case Damage::Parent:
      Patch32(file, test::KeyRecord(file, kEditor + "\\Tabs") + 0x14,
              Relative(test::KeyRecord(file, "")));
      break;
    case Damage::Loop: {  // Tabs' one subkey is Editor
      std::size_t list = Read32(file, test::KeyRecord(file, kEditor + "\\Tabs") + 0x20);
      Patch32(file, list + test::kHiveBins + 8, Relative(test::KeyRecord(file, kEditor)));
      break;
    }
    case Damage::CaseOnly:
      test::PatchFile(file, test::KeyRecord(file, kEditor + "\\SUX") + 0x50, "SUB");
      break;
    case Damage::SameName:
      test::PatchFile(file, test::KeyRecord(file, kEditor + "\\SUX") + 0x50, "sub");
      break;
    case Damage::LongData:  // more than its cell holds
      Patch32(file, test::ValueRecord(file, kEditor, "Font") + 8, 0x1000);
      break;
    case Damage::ShortData: {  // the last of three segments is not counted
      std::size_t data = Read32(file, test::ValueRecord(file, kEditor, "Big") + 0xC);
      test::PatchFile(file, data + test::kHiveBins + 6, {"\x02\x00", 2});
      break;
    }
  }
}

TEST_F(HiveDamageTest, DamageInsideAHiveIsReportedAndNeverWrittenInPart) {
  WriteData("エディタ=HKCU\\Software\\Fixture\\Editor,,0\n", "RegEditVer=4\n");
  WriteInstallation();
  const std::string clean = test::ReadFileBytes(UserHive());
  const std::string caseOnly =
      "名前が大文字と小文字だけ違うキーがほかにあります (どれも書き出しましたが、インポートすると "
      "1 つのキーになります)";
  const DamageCase cases[] = {
      {"undecodable key name", Damage::KeyName,
       Damaged("名前を読めないサブキーが 1 個あります (書き出していません)") + Checked(5, 6),
       "\\Tabs]", "日本"},
      {"undecodable value name", Damage::ValueName,
       Damaged("名前を読めない値が 1 個あります (書き出していません)") + Checked(6, 6), "\"Big\"",
       "値"},
      {"parent field naming another key", Damage::Parent, "", "\\Tabs]\n\"Width\"", ""},
      {"subkey looping back", Damage::Loop,
       Line(kKey + "\\Tabs\\Editor",
            "ハイブが壊れています: 上のキーに戻っているので、たどっていません") +
           Checked(5, 7),
       "\\Tabs]", "\\Inner]"},
      {"names differing only in case", Damage::CaseOnly,
       Line(kKey + "\\sub", "ハイブが壊れています: " + caseOnly) +
           Line(kKey + "\\SUB", "ハイブが壊れています: " + caseOnly) + Checked(6, 7),
       "\\sub]\n\"v\"=dword:00000001\n\n[" + kKey + "\\SUB]\n\"v\"=dword:00000002", "\\SUX]"},
      {"one name twice", Damage::SameName,
       Line(kKey + "\\sub",
            "ハイブが壊れています: 同じ名前のキーがもう 1 つあるので、2 つ目は書き出していません") +
           Checked(5, 6),
       "\\sub]\n\"v\"=dword:00000001", "dword:00000002"},
      {"big data cut short", Damage::ShortData,
       Line(kKey + " の値 'Big'",
            "ハイブが壊れています: データが記録より短くなっています (40000 バイトのうち 32688 "
            "バイト。書き出していません)") +
           Checked(6, 6),
       "\"値\"", "\"Big\""},
      {"data longer than its cell", Damage::LongData,
       Line(kKey + " の値 'Font'",
            "ハイブが壊れています: データの記録が正しくありません (書き出していません)") +
           Checked(6, 6),
       "\"値\"", "Meiryo"},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::WriteFileBytes(UserHive(), clean);
    Apply(c.damage, UserHive());
    Outcome outcome = RunBatch();
    EXPECT_EQ(outcome.exitCode, c.lines.empty() ? 0 : 8) << outcome;
    EXPECT_EQ(outcome.err, kHead + prefix + "\n" + (c.lines.empty() ? "" : kLosses + c.lines));
    const std::string reg = Read("items.reg");
    EXPECT_NE(reg.find(test::RegFileBytes(4, c.kept)), std::string::npos) << reg;
    if (!c.left.empty()) {
      EXPECT_EQ(reg.find(test::RegFileBytes(4, c.left)), std::string::npos) << reg;
    }
  }
}

TEST_F(HiveDamageTest, ADamagedUserHiveLeavesOutOnlyTheUsersKeys) {
  WriteData("エディタ=HKCU\\Software\\Fixture\\Editor,,0\n機械=HKLM\\SOFTWARE\\Fixture,,0\n",
            "RegEditVer=4\n");
  WriteInstallation();
  test::WriteFileBytes(UserHive(), std::string(0x3000, 'x'));
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 8) << outcome;
  EXPECT_EQ(outcome.err,
            kHead + prefix + "\n" + kLosses +
                Line(kKey, "Windows のレジストリ ハイブを読み込めません: " + UserHive() +
                               " (ハイブが壊れているか、ハイブ ファイルではありません)") +
                Checked(1, 1));
  EXPECT_EQ(Read("items.reg"), test::RegFileBytes(4,
                                                  "REGEDIT4\n\n"
                                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fixture]\n"
                                                  "\"Machine\"=dword:00000007\n\n"));
}

// The folder that holds config, or config itself.
TEST_F(HiveDamageTest, ACopyOfConfigServesTheMachinesKeysAndHasNoUser) {
  WriteData("機械=HKLM\\SOFTWARE\\Fixture,,0\nクラス=HKCR\\.txt,,0\n", "RegEditVer=4\n");
  WriteInstallation();
  for (const char* source : {"windows/Windows/System32", "windows/Windows/System32/config"}) {
    SCOPED_TRACE(source);
    prefix = Path(source);
    Outcome outcome = RunBatch();
    EXPECT_EQ(outcome.exitCode, 8) << outcome;
    EXPECT_EQ(outcome.err,
              kHead + prefix + "\n" + kLosses +
                  Line("HKEY_CLASSES_ROOT\\.txt",
                       "config フォルダーだけなので、ユーザー プロファイルがありません") +
                  Checked(1, 1));
    EXPECT_NE(Read("items.reg").find("\"Machine\"=dword:00000007"), std::string::npos);
  }
}

TEST_F(HiveDamageTest, AMachineHiveThatIsNoRegularFileStopsTheRunByName) {
  WriteData("機械=HKLM\\SOFTWARE\\Fixture,,0\n", "RegEditVer=4\n");
  WriteInstallation();
  const std::string software = Path("windows/Windows/System32/config/SOFTWARE");
  std::filesystem::remove(software);
  ASSERT_EQ(mkfifo(software.c_str(), 0600), 0);
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 5) << outcome;
  EXPECT_EQ(outcome.err, "tarnwick: Windows のレジストリ ハイブを読み込めません: " + software +
                             " (通常のファイルではありません)\n");
  EXPECT_FALSE(Exists("items.reg"));
}

TEST_F(HiveDamageTest, AHiveWhoseLastWriteWasCutOffIsNamedAtStartUp) {
  WriteData("機械=HKLM\\SOFTWARE\\Fixture,,0\n", "RegEditVer=4\n");
  WriteInstallation();
  const std::string software = Path("windows/Windows/System32/config/SOFTWARE");
  test::CutOffLastWrite(software);
  test::WriteFileBytes(software + ".LOG1", "changes");
  Outcome outcome = RunBatch();
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_EQ(outcome.err, "tarnwick: ハイブ ファイルへの最後の書き込みが途中で終わっています: " +
                             software + " (残りはログ ファイルにあります: " + software +
                             ".LOG1) (このまま読むので、最後の変更が入っていないかもしれません)\n" +
                             kHead + prefix + "\n");
  EXPECT_NE(Read("items.reg").find("\"Machine\"=dword:00000007"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::e2e
