// Property: for registries made up at random, every export read back as an
// import reads it gives the registry again, except what the loss report
// names, in every version and form of the file.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "common/key_path.h"
#include "common/text_codec.h"
#include "reg_export_fixture.h"
#include "registry/name_fold.h"
#include "regread/reg_compare.h"

namespace tarnwick::test {
namespace {

using namespace std::string_literals;

// Names and texts with what REG text must escape or cannot hold: quotes,
// backslashes, brackets, Japanese, characters Shift-JIS lacks, line breaks.
const char* const kNames[] = {"a",      "Path", "say \"hi\"", "C:\\dir",   "[x]", "=eq",
                              "日本語", "Café", "yen¥",       "tab\there", "-",   "@"};
const char* const kTexts[] = {
    "", "plain", "quote \" back \\", "行1\r\n行2", "x\n[HKEY]", "%SystemRoot%\\x", "Ω≠〜", "end\\"};

class RandomRegistry {
 public:
  explicit RandomRegistry(unsigned seed) : random_(seed) {}

  void Fill(MemoryStore& store, const std::string& key, int depth) {
    store.AddKey(key);
    for (int i = Below(4); i > 0; --i) AddValue(store, key, Name(i));
    if (depth < 3) {
      for (int i = Below(3); i > 0; --i) Fill(store, key + "\\" + Name(i), depth + 1);
    }
  }

 private:
  int Below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  // A name from the pool, made unique among its siblings by its index.
  std::string Name(int index) { return kNames[Below(std::size(kNames))] + std::to_string(index); }
  std::string Bytes(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out.push_back(static_cast<char>(Below(256)));
    return out;
  }

  void AddValue(MemoryStore& store, const std::string& key, const std::string& name) {
    const std::string text = kTexts[Below(std::size(kTexts))];
    const std::string& n = Below(8) == 0 ? std::string() : name;
    switch (Below(8)) {
      case 0:
        store.SetString(key, n, text);
        break;
      case 1:
        store.SetString(key, n, text, kRegExpandSz);
        break;
      case 2:
        store.SetValue(key, n, kRegMultiSz,
                       Utf16ToLeBytes(Utf8ToUtf16(text + '\0' + text + '\0' + '\0')));
        break;
      case 3:
        store.SetDword(key, n, static_cast<uint32_t>(random_()));
        break;
      case 4:
        store.SetValue(key, n, kRegDword, Bytes(Below(6)));
        break;
      case 5:
        store.SetValue(key, n, kRegBinary, Bytes(Below(90)));
        break;
      case 6:
        store.SetValue(key, n, kRegQword, Bytes(8));
        break;
      default:
        store.SetValue(key, n, static_cast<uint32_t>(Below(12)), Bytes(Below(7)));
        break;
    }
  }

  std::mt19937 random_;
};

std::u16string Folded(const std::string& text) {
  std::u16string folded = Utf8ToUtf16(text);
  for (char16_t& c : folded) c = FoldUpper(c);
  return folded;
}

// Every value of a registry, by folded key path and value name.
using Contents = std::map<std::pair<std::u16string, std::u16string>, RegValue>;

// What importing the files into an empty registry gives.
Contents Imported(const std::vector<std::string>& files, std::vector<std::string>& problems) {
  Contents contents;
  MemoryStore empty;
  for (const std::string& bytes : files) {
    RegImport import = ReadRegText(bytes, "f");
    for (const RegReadProblem& p : import.problems) problems.push_back(RegReadProblemText("f", p));
    for (const RegChange& change : CompareRegImport(import, empty).changes) {
      if (change.kind != RegChange::Kind::ValueAdded) continue;
      contents[{Folded(change.key), Folded(change.valueName)}] = *change.after;
    }
  }
  return contents;
}

// A name as a REG file of this version names it: REGEDIT4 turns what
// Shift-JIS lacks into '?'.
std::string NamedAsWritten(const std::string& name, int version) {
  return version == 4 ? Cp932ToUtf8(Utf8ToCp932(name)) : name;
}

// The registry's values below the keys, named as a REG file of this
// version names them (REGEDIT4 turns what Shift-JIS lacks into '?').
void Collect(RegistryStore& store, const std::string& shortPath, const std::string& longPath,
             int version, Contents& contents) {
  auto key = store.OpenKey(kHKeyCurrentUser, shortPath.substr(5), kKeyRead);
  ASSERT_TRUE(key);
  std::vector<std::string> names;
  key->ValueNames(names);
  for (const std::string& name : names) {
    RegValue value;
    ASSERT_TRUE(key->QueryValue(name, TextForm::Wide, ~0u, value));
    contents[{Folded(NamedAsWritten(longPath, version)), Folded(NamedAsWritten(name, version))}] =
        value;
  }
  names.clear();
  key->SubKeyNames(names);
  for (const std::string& name : names) {
    Collect(store, shortPath + "\\" + name, longPath + "\\" + name, version, contents);
  }
}

// A loss names a key (and all below it) or one value.
bool Excused(const std::vector<ExportLoss>& losses, int version, const std::u16string& key,
             const std::u16string& value) {
  for (const ExportLoss& loss : losses) {
    const std::u16string lossKey = Folded(NamedAsWritten(loss.key, version));
    if (loss.value) {
      if (lossKey == key && Folded(NamedAsWritten(*loss.value, version)) == value) return true;
    } else if (loss.kind != LossKind::NotInCp932 && key.compare(0, lossKey.size(), lossKey) == 0 &&
               (key.size() == lossKey.size() || key[lossKey.size()] == u'\\')) {
      return true;
    }
  }
  return false;
}

TEST(RegRoundTripTest, EveryExportOfARandomRegistryReadsBackAsTheRegistryButWhatIsReported) {
  int checked = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    MemoryStore store;
    RandomRegistry random(seed);
    std::vector<std::string> items;
    for (int i = 0; i < 3; ++i) {
      items.push_back("HKCU\\Software\\Round" + std::to_string(i));
      random.Fill(store, items.back(), 0);
    }
    for (int variant = 0; variant < 16; ++variant) {
      ExportRequest request;
      request.version = variant & 1 ? 5 : 4;
      request.options.NewLineImport = variant & 2;
      request.options.FullRestore = variant & 4;
      const bool perItem = variant & 8;
      std::vector<std::string> files;
      std::vector<ExportLoss> losses;
      bool complete = true;  // every loss is listed
      for (std::size_t i = 0; i < (perItem ? items.size() : 1); ++i) {
        request.keyPaths = perItem ? std::vector<std::string>{items[i]} : items;
        ExportLosses found;
        files.push_back(ExportToBytes(store, request, &found));
        complete &= found.Count() == found.Listed().size();
        losses.insert(losses.end(), found.Listed().begin(), found.Listed().end());
      }
      // A report lists twenty losses; the rare export with more is not checked.
      if (!complete) continue;
      ++checked;
      std::vector<std::string> problems;
      Contents imported = Imported(files, problems);
      Contents stored;
      for (const std::string& item : items) {
        Collect(store, item, "HKEY_CURRENT_USER" + item.substr(4), request.version, stored);
      }
      const std::string where =
          "seed " + std::to_string(seed) + " variant " + std::to_string(variant);
      bool lineBreaks = false;
      for (const ExportLoss& loss : losses) lineBreaks |= loss.kind == LossKind::LineBreak;
      if (!lineBreaks) {
        EXPECT_EQ(problems, std::vector<std::string>{}) << where;
      }
      Contents all = stored;
      all.insert(imported.begin(), imported.end());
      for (const auto& [name, value] : all) {
        if (Excused(losses, request.version, name.first, name.second)) continue;
        auto s = stored.find(name);
        auto i = imported.find(name);
        const std::string shown =
            where + ": " + Utf16ToUtf8(name.first) + " | " + Utf16ToUtf8(name.second);
        ASSERT_TRUE(s != stored.end()) << shown << " is in the file only";
        ASSERT_TRUE(i != imported.end()) << shown << " is not in the file";
        EXPECT_EQ(i->second.type, s->second.type) << shown;
        EXPECT_EQ(i->second.data, s->second.data) << shown;
      }
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace tarnwick::test
