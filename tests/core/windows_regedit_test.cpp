// Files written by Windows' regedit (the expected exports of Wine's regedit
// tests, which those tests check against Windows), read against the registry
// they were exported from, and our export of that registry beside them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text_codec.h"
#include "reg_export_fixture.h"
#include "regread/reg_compare.h"
#include "same_bytes.h"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

constexpr const char* kKey = "HKCU\\Software\\Wine\\regedit_test";

std::string Sub(const char* name) {
  return std::string(kKey) + "\\" + name;
}

// What RegSetValueExA stores for a string type: each character widened, the
// NULs the caller passes included.
std::string Ansi(std::string_view text) {
  return Utf16ToLeBytes(Utf8ToUtf16(text));
}

void Simple(MemoryStore& s) {
  s.SetDword(kKey, "DWORD", 0x100);
  s.SetString(kKey, "String", "Your text here...");
}

void Complex(MemoryStore& s) {
  Simple(s);
  s.SetValue(Sub("Subkey1"), "Binary", kRegBinary, "\x11\x22\x33\x44");
  s.SetValue(Sub("Subkey1"), "Undefined hex", 0x100, "%PATH%\0"s);
  s.SetString(Sub("Subkey2a"), "double\"quote", "\"Hello, World!\"");
  s.SetDword(Sub("Subkey2a"), "single'quote", 8);
  s.SetString(Sub("Subkey2a\\Subkey2b"), "", "Default value name");
  s.SetValue(Sub("Subkey2a\\Subkey2b"), "Multiple strings", kRegMultiSz,
             Ansi("Line1\0Line2\0Line3\0\0"s));
  s.SetString(Sub("Subkey3a"), "Backslash", "Use \\\\ to escape a backslash");
  s.SetString(Sub("Subkey3a\\Subkey3b\\Subkey3c"), "String expansion", "%HOME%\\%PATH%",
              kRegExpandSz);
  s.SetValue(Sub("Subkey3a\\Subkey3b\\Subkey3c"), "Zero data type", kRegNone, "Value\0"s);
  s.SetDword(Sub("Subkey4"), "", 0x12345678);
  s.SetValue(Sub("Subkey4"), "43981", 0xabcd, "Value\0"s);
}

void KeyOrder(MemoryStore& s) {
  s.AddKey(Sub("Subkey2"));
  s.AddKey(Sub("Subkey1"));
}

void ValueOrder(MemoryStore& s) {
  s.SetString(kKey, "Value 2", "I was added first!");
  s.SetString(kKey, "Value 1", "I was added second!");
}

void EmptyHex(MemoryStore& s) {
  const std::pair<const char*, uint32_t> values[] = {
      {"Wine1a", kRegNone},   {"Wine1b", kRegSz},    {"Wine1c", kRegExpandSz},
      {"Wine1d", kRegBinary}, {"Wine1e", kRegDword}, {"Wine1f", kRegMultiSz},
      {"Wine1g", 0x100},      {"Wine1h", 0xabcd}};
  for (const auto& [name, type] : values) s.SetValue(kKey, name, type, "");
}

// Imported by regedit from hex(1):, hex(3): and hex(4): lines.
void EmptyHexImported(MemoryStore& s) {
  s.SetValue(kKey, "Wine2a", kRegSz, "");
  s.SetValue(kKey, "Wine2b", kRegBinary, "");
  s.SetValue(kKey, "Wine2c", kRegDword, "");
}

void HexTypes(MemoryStore& s) {
  s.SetString(kKey, "Wine3a", "Value");
  s.SetValue(kKey, "Wine3b", kRegBinary, "\x12\x34\x56\x78");
  s.SetDword(kKey, "Wine3c", 0x10203040);
  s.SetValue(kKey, "Wine3d", kRegDword, "\x80\x70\x60\x50\x40\x30\x20\x10");
}

// Strings imported from hex(1): lines with NULs inside and no final NUL.
void EmbeddedNull(MemoryStore& s) {
  s.SetDword(kKey, "Wine4a", 5);
  s.SetValue(kKey, "Wine4b", kRegSz, Ansi("\0\0\0\0"s));
  s.SetString(kKey, "Wine4c", "Value");
  s.SetValue(kKey, "Wine4d", kRegSz, Ansi("\0abc"s));
  s.SetDword(kKey, "Wine4e", 0x100);
  s.SetValue(kKey, "Wine4f", kRegSz, Ansi("\0Value\0"s));
  s.SetString(kKey, "Wine4g", "Value2");
  s.SetValue(kKey, "Wine4h", kRegSz, Ansi("abc\0def\0"s));
}

void Slashes(MemoryStore& s) {
  s.AddKey(Sub("https://winehq.org"));
  s.SetString(kKey, "count/up", "one/two/three");
  s.SetString(kKey, "\\foo\\bar", "");
}

void EscapedNull(MemoryStore& s) {
  s.SetString(kKey, "Wine5a", "\\0");
  s.SetString(kKey, "Wine5b", "\\0\\0");
  s.SetString(kKey, "Wine5c", "Value1\\0");
  s.SetString(kKey, "Wine5d", "Value2\\0\\0\\0\\0");
  s.SetString(kKey, "Wine5e", "Value3\\0Value4");
  s.SetString(kKey, "Wine5f", "\\0Value5");
}

struct WindowsExport {
  const char* file;
  void (*build)(MemoryStore&);
  // Strings Windows writes as "" or cut at their first NUL: importing the
  // file sets them to the quoted text, so these values change.
  std::vector<std::string> changedByImport = {};
};

const WindowsExport kExports[] = {
    {"empty-key.reg", [](MemoryStore& s) { s.AddKey(kKey); }},
    {"simple.reg", Simple},
    {"complex.reg", Complex},
    {"key-order.reg", KeyOrder},
    {"value-order.reg", ValueOrder},
    {"empty-hex.reg", EmptyHex, {"Wine1b"}},
    {"empty-hex-imported.reg", EmptyHexImported, {"Wine2a"}},
    {"hex-types.reg", HexTypes},
    {"embedded-null.reg", EmbeddedNull, {"Wine4b", "Wine4d", "Wine4f", "Wine4h"}},
    {"slashes.reg", Slashes},
    {"escaped-null.reg", EscapedNull},
};

std::string WindowsBytes(const WindowsExport& e) {
  return ReadFileBytes(TestDataPath(std::string("windows-regedit/") + e.file));
}

// How many lines of the file start with one of the given characters.
std::size_t LinesStartingWith(std::string_view bytes, std::u16string_view starts) {
  std::u16string text = LeBytesToUtf16(bytes.substr(2));
  std::size_t count = 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i - 1] == u'\n' && starts.find(text[i]) != std::u16string_view::npos) ++count;
  }
  return count;
}

TEST(WindowsRegeditTest, ReadingAWindowsExportAgainstItsSourceChangesOnlyWhatItCannotHold) {
  for (const WindowsExport& e : kExports) {
    SCOPED_TRACE(e.file);
    MemoryStore store;
    e.build(store);
    std::string bytes = WindowsBytes(e);
    RegImport import = ReadRegText(bytes, e.file);
    EXPECT_TRUE(import.problems.empty());
    // Every key and value line is read, not passed over.
    std::size_t keys = 0, values = 0;
    for (const RegImportStep& step : import.steps) {
      keys += step.kind == RegImportStep::Kind::CreateKey;
      values += step.kind == RegImportStep::Kind::SetValue;
    }
    EXPECT_EQ(keys, LinesStartingWith(bytes, u"["));
    EXPECT_EQ(values, LinesStartingWith(bytes, u"\"@"));
    RegComparison comparison = CompareRegImport(import, store);
    std::vector<std::string> changed;
    for (const RegChange& c : comparison.changes) {
      EXPECT_EQ(c.kind, RegChange::Kind::ValueChanged) << c.key << "|" << c.valueName;
      changed.push_back(c.valueName);
    }
    EXPECT_EQ(changed, e.changedByImport);
    EXPECT_EQ(comparison.counts.Total(), e.changedByImport.size());
  }
}

TEST(WindowsRegeditTest, OurExportMatchesWindowsByteForByte) {
  for (const WindowsExport& e : kExports) {
    SCOPED_TRACE(e.file);
    MemoryStore store;
    e.build(store);
    ExportRequest request;
    request.keyPaths = {kKey};
    EXPECT_TRUE(SameBytes(WindowsBytes(e), ExportToBytes(store, request)));
  }
}

}  // namespace
}  // namespace tarnwick::test
