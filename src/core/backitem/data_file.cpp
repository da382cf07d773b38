#include "backitem/data_file.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "backitem/back_item.h"
#include "backitem/comma_text.h"
#include "backitem/ini_file.h"
#include "backitem/option_io.h"
#include "backitem/program_state.h"
#include "common/collation.h"
#include "common/errors.h"
#include "common/file_names.h"
#include "common/key_path.h"
#include "common/path_utils.h"
#include "common/prompts.h"
#include "platform/files.h"

namespace tarnwick {
namespace {

constexpr const char* kTarnwick = "Tarnwick";
constexpr const char* kBackupItems = "BackupItems";
constexpr const char* kBackupKey = "BackupKey";
constexpr const char* kSettings = "Settings";

// A data file whose contents cannot be interpreted.
class DataFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Versions compare as text, byte by byte; 1.xx files are at or below "1990".
bool IsVersion1xx(const std::string& version) {
  return version <= "1990";
}

void ReplaceOrThrow(const std::string& path, const std::string& bytes) {
  if (int error = platform::ReplaceFileContents(path, bytes); error != 0)
    throw MakeInOutError(error);
}

std::string CaptionFor(const ProgramState& state) {
  const std::string& data = state.DataFileName;
  if (!SameTextIgnoreCase(ExtractFileDir(data), ExtractFileDir(state.ExeFileName))) {
    return data + " - " + kTarnwick;
  }
  if (!SameTextIgnoreCase(data, ChangeFileExt(state.ExeFileName, ".dat"))) {
    return ExtractFileName(data) + " - " + kTarnwick;
  }
  return kTarnwick;
}

// Steps that interpret the file in memory; a failure here offers Retry.
// Every line is an item with its own keys: a name that an earlier item has
// (letter case aside) gets the first number that no line of the file names,
// and the list of such renames is returned.
std::vector<std::string> ReadItemsAndSettings(const IniFile& ini, DataFileContext& context) {
  const auto lines = ini.ReadSectionLines(kBackupItems);
  // Looked up in sets: comparing each name with every other one would make
  // loading a long list take minutes.
  ItemNameSet listed, lineNames;
  for (int i = 0; i < context.items.Count(); ++i) listed.Insert(context.items.Items(i).Name);
  std::vector<std::string> names;
  for (const auto& line : lines) {
    names.push_back(ItemNameFromKey(line.first));
    lineNames.Insert(names.back());
  }
  auto taken = [&](const std::string& name) {
    return listed.Contains(name) || lineNames.Contains(name);
  };
  std::vector<std::string> renamed;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::vector<std::string> fields = SplitCommaText(lines[i].second);
    if (fields.size() < 2) throw DataFormatError("an item needs a comment and a flag");
    std::vector<std::string> keys(fields.begin(), fields.end() - 2);
    std::string name = names[i];
    if (listed.Contains(name)) {
      std::string unique;
      for (int n = 1; unique.empty() || taken(unique); ++n) unique = name + std::to_string(n);
      renamed.push_back(name + " → " + unique);
      name = unique;
    }
    context.items.Add(name, &keys, fields[fields.size() - 2], fields.back() == "1");
    listed.Insert(name);
  }
  if (context.view) context.items.UpdateListView(*context.view);
  context.state.Settings = context.state.DefaultSettings;
  ReadOption(ini, kSettings, context.state.Settings);
  return renamed;
}

}  // namespace

std::string ItemNameKey(const std::string& name) {
  // After EncodeIniKey every "%" starts "%25" or "%3D", so the escapes added
  // here can never be mistaken for those.
  std::string encoded = EncodeIniKey(name);
  std::size_t first = encoded.find_first_not_of(' ');
  std::size_t last = encoded.find_last_not_of(' ');
  std::string key;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(encoded[i]);
    bool outerBlank = c == ' ' && (first == std::string::npos || i < first || i > last);
    if (c < 0x20 || c == 0x7F || outerBlank || (i == 0 && c == ';')) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      key += '%';
      key += kHex[c >> 4];
      key += kHex[c & 0xF];
    } else {
      key += static_cast<char>(c);
    }
  }
  return key;
}

std::string ItemNameFromKey(const std::string& key) {
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string unescaped;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '%' && i + 2 < key.size() && hex(key[i + 1]) >= 0 && hex(key[i + 2]) >= 0) {
      int c = hex(key[i + 1]) * 16 + hex(key[i + 2]);
      if (c < 0x20 || c == 0x7F || c == ' ' || c == ';') {
        unescaped += static_cast<char>(c);
        i += 2;
        continue;
      }
    }
    unescaped += key[i];
  }
  return DecodeIniKey(unescaped);
}

bool IsDataFile1xxBackup(const std::string& fileName) {
  return fileName.find(".1xx.") != std::string::npos;
}

bool LoadDataFile(DataFileContext& context) {
  ProgramState& state = context.state;
  if (IsDataFile1xxBackup(state.DataFileName)) {
    ErrorMessage(context.prompts, "version 1.xx 用データのバックアップ ファイルは開けません。");
    return false;
  }
  // Read once; again only after the conversion below, or when the user
  // asks to try again.
  IniFile ini = IniFile::Load(state.DataFileName);
  if (IsVersion1xx(ini.ReadString(kTarnwick, "Version", "205"))) {
    context.prompts.ShowMessage(
        "version 1.xx 用データ ファイルの形式変換を行います。\r\n"
        "旧データ ファイルは、拡張子の前に '.1xx' を付加したファイル名でバックアップされます。\r\n"
        "異常がなければ手動で削除してください。",
        kTarnwick, PromptIcon::Information);
    ConvertDataFile1xx(state.DataFileName);
    ini = IniFile::Load(state.DataFileName);
  }

  bool versionDiffered = false, gaveUp = false;
  std::vector<std::string> renamed;
  for (bool again = false;; again = true) {
    if (again) ini = IniFile::Load(state.DataFileName);
    int itemsBefore = context.items.Count();
    try {
      versionDiffered = ini.ReadString(kTarnwick, "Version", "205") != kDataFileVersion;
      renamed = ReadItemsAndSettings(ini, context);
      break;
    } catch (const std::exception&) {
      // A retry reads the items again, so the ones this attempt added go.
      while (context.items.Count() > itemsBefore) context.items.Delete(context.items.Count() - 1);
      if (OpenErrorMessage(context.prompts, state.DataFileName) != PromptAnswer::Retry) {
        gaveUp = true;
        break;
      }
    }
  }

  bool exists = platform::FileExists(state.DataFileName);
  if (exists) state.DataFileName = GetLongFileName(state.DataFileName);
  state.Caption = CaptionFor(state);
  if (!renamed.empty()) {
    std::string list;
    for (const std::string& rename : renamed) list += "\r\n " + rename;
    context.prompts.ShowMessage("データ ファイル '" + state.DataFileName +
                                    "' に同じ名前のアイテムがあったので、名前を変えました:" + list,
                                kTarnwick, PromptIcon::Warning);
  }
  // A file that could not be read is not rewritten from the part that was:
  // only a change the user makes marks the list for saving. Renamed items
  // are saved under their new names.
  state.DataModified = !gaveUp && (!exists || versionDiffered || !renamed.empty());
  return !gaveUp;
}

bool SaveDataFile(DataFileContext& context) {
  ProgramState& state = context.state;
  if (!state.DataModified) return true;
  // A refused 1.xx backup stays as it is: nothing is ever written into it.
  if (IsDataFile1xxBackup(state.DataFileName)) return true;
  for (;;) {
    std::string reason;
    try {
      IniFile ini = IniFile::Load(state.DataFileName);
      ini.WriteString(kTarnwick, "Version", kDataFileVersion);
      ini.EraseSection(kBackupItems);
      // The keys the section has: only a key met again is looked for (and
      // written over), so that saving a long list is not quadratic.
      ItemNameSet keys;
      for (const std::string& key : ini.ReadSection(kBackupItems)) keys.Insert(key);
      for (int i = 0; i < context.items.Count(); ++i) {
        const TBackItem& item = context.items.Items(i);
        std::vector<std::string> fields = item.BackupKeys;
        fields.push_back(item.Comment);
        fields.push_back(item.NoDelete ? "1" : "0");
        const std::string key = ItemNameKey(item.Name);
        if (keys.Contains(key)) {
          ini.WriteString(kBackupItems, key, JoinCommaText(fields));
        } else {
          ini.AppendString(kBackupItems, key, JoinCommaText(fields));
          keys.Insert(key);
        }
      }
      WriteOption(ini, kSettings, state.Settings);
      int error = platform::ReplaceFileContents(state.DataFileName, ini.Serialize());
      if (error == 0) return true;
      reason = SaveFailureReason(error, state.DataFileName);
    } catch (const std::exception& e) {
      reason = e.what();  // the file there could not be read
    }
    if (SaveErrorMessage(context.prompts, state.DataFileName, reason) != PromptAnswer::Retry) {
      return false;
    }
  }
}

namespace {

struct TItem {
  std::string Name;
  std::vector<std::string> Values;  // key paths, then the name field and the flag
};

TItem* FindItem(std::vector<TItem>& items, const std::string& name) {
  for (TItem& item : items) {
    if (item.Name == name) return &item;
  }
  return nullptr;
}

std::string BackupNameOf1xx(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  return ext.empty() ? fileName + ".1xx" : ChangeFileExt(fileName, ".1xx" + ext);
}

}  // namespace

void ConvertDataFile1xx(const std::string& fileName) {
  std::error_code ignored;
  std::filesystem::copy_file(platform::FsPath(fileName),
                             platform::FsPath(BackupNameOf1xx(fileName)),
                             std::filesystem::copy_options::none, ignored);

  IniFile ini = IniFile::Load(fileName);
  std::string version = ini.ReadString(kTarnwick, "Version", "205");
  ini.WriteString(kTarnwick, "Version", kDataFileVersion);
  bool namedByKeys = ini.ReadInteger(kSettings, "SeparateName", 0) == 0;
  // From 1.07 on, key paths were stored in the percent form of item names.
  bool keysEncoded = version >= "1070";

  std::vector<TItem> items;
  for (const std::string& storedKey : ini.ReadSection(kBackupKey)) {
    std::string key = keysEncoded ? DecodeIniKey(storedKey) : storedKey;
    std::vector<std::string> fields = SplitCommaText(ini.ReadString(kBackupKey, storedKey, ""));
    while (fields.size() < 2) fields.emplace_back();
    if (fields[1] == "しない") fields[1] = "1";
    bool unnamed = fields[0].empty() || namedByKeys;
    std::string candidate = unnamed ? KeyPathLastName(key) : fields[0];
    fields.insert(fields.begin(), key);
    TItem* found = FindItem(items, candidate);
    if (!found) {
      items.push_back(TItem{candidate, fields});
    } else if (unnamed) {
      std::string name;
      for (int n = 1; name.empty() || FindItem(items, name); ++n) {
        name = found->Name + std::to_string(n);
      }
      items.push_back(TItem{name, fields});
    } else {
      found->Values.insert(found->Values.end() - 2, key);
    }
  }
  for (const TItem& item : items) {
    ini.WriteString(kBackupItems, ItemNameKey(item.Name), JoinCommaText(item.Values));
  }
  ini.EraseSection(kBackupKey);
  ReplaceOrThrow(fileName, ini.Serialize());
}

}  // namespace tarnwick
