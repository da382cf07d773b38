// File names from key paths, INI key escaping and the effective REG version.
#include "common/file_names.h"

#include <gtest/gtest.h>

#include <random>

namespace tarnwick {
namespace {

TEST(FileNameTest, ValidFileNameReplacesOnlyTheNineCharacters) {
  const std::pair<const char*, const char*> rows[] = {
      {"HKCU\\Software\\A:B", "HKCU_Software_A_B"},
      {"a/b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
      {"ソフト\\表", "ソフト_表"},
      {"ポ|ソ", "ポ_ソ"},
      {"name.reg ,;_%=", "name.reg ,;_%="},
  };
  for (const auto& [text, expected] : rows) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ValidFileName(text), expected);
  }
}

TEST(FileNameTest, IniKeyEscaping) {
  const std::pair<const char*, const char*> rows[] = {
      {"a=b%c", "a%3Db%25c"},   {"%3D", "%253D"},     {"%25", "%2525"},
      {"==%%", "%3D%3D%25%25"}, {"ソ=表", "ソ%3D表"}, {"", ""},
  };
  for (const auto& [plain, encoded] : rows) {
    SCOPED_TRACE(plain);
    EXPECT_EQ(EncodeIniKey(plain), encoded);
    EXPECT_EQ(DecodeIniKey(encoded), plain);
  }
  // Only the exact upper-case forms decode, "%3D" before "%25".
  EXPECT_EQ(DecodeIniKey("%3d%2a"), "%3d%2a");
  EXPECT_EQ(DecodeIniKey("%25%3D%253D"), "%=%3D");
}

TEST(FileNameTest, IniKeyRoundTripOfRandomText) {
  const char* alphabet[] = {"%", "=", "3", "D", "2", "5", "a", " ", "ソ"};
  std::mt19937 random(20240601);
  std::uniform_int_distribution<int> length(0, 12), pick(0, std::size(alphabet) - 1);
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += alphabet[pick(random)];
    SCOPED_TRACE(text);
    std::string encoded = EncodeIniKey(text);
    EXPECT_EQ(encoded.find('='), std::string::npos);
    EXPECT_EQ(DecodeIniKey(encoded), text);
  }
}

TEST(FileNameTest, EffectiveRegEditVer) {
  for (int setting : {4, 5, 3, -1}) EXPECT_EQ(EffectiveRegEditVer(setting), setting);
#ifndef _WIN32
  EXPECT_EQ(EffectiveRegEditVer(0), 5);
#endif
}

}  // namespace
}  // namespace tarnwick
