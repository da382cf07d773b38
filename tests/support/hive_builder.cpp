#include "hive_builder.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/text_codec.h"
#include "temp_dir.h"

namespace tarnwick::test {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

uint32_t Read32(const std::string& bytes, std::size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);  // the file and the host are little-endian
  return value;
}

void Write32(std::string& bytes, std::size_t at, uint32_t value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

void Write16(std::string& bytes, std::size_t at, uint16_t value) {
  std::memcpy(bytes.data() + at, &value, 2);
}

std::size_t RoundUp(std::size_t n, std::size_t unit) {
  return (n + unit - 1) / unit * unit;
}

}  // namespace

std::string Sz(std::u16string_view text) {
  return Utf16ToLeBytes(text) + std::string(2, '\0');
}

std::string Dword(uint32_t value) {
  std::string bytes(4, '\0');
  Write32(bytes, 0, value);
  return bytes;
}

std::string EmptyHivePath() {
  return TestDataPath("hives/minimal.hive");
}

HiveBuilder::HiveBuilder(const std::string& emptyHive) {
  hive_ = hivex_open(emptyHive.c_str(), HIVEX_OPEN_WRITE);
  if (!hive_) Fail("hivex_open " + emptyHive);
}

HiveBuilder::~HiveBuilder() {
  hivex_close(hive_);
}

std::size_t HiveBuilder::Node(std::string_view path) {
  std::vector<std::string_view> names;
  if (!SplitKeyPath(path, names)) throw std::runtime_error("bad key path");
  hive_node_h node = hivex_root(hive_);
  for (std::string_view name : names) {
    const std::string wanted(name);
    // hivex_node_get_child matches ASCII case only, so a name is compared as spelled.
    hive_node_h found = 0;
    if (hive_node_h* children = hivex_node_children(hive_, node)) {
      for (hive_node_h* child = children; *child && !found; ++child) {
        char* childName = hivex_node_name(hive_, *child);
        if (childName && wanted == childName) found = *child;
        std::free(childName);
      }
      std::free(children);
    }
    if (!found) found = hivex_node_add_child(hive_, node, wanted.c_str());
    if (!found) Fail("hivex_node_add_child " + wanted);
    node = found;
  }
  return node;
}

HiveBuilder& HiveBuilder::Key(std::string_view path) {
  Node(path);
  return *this;
}

HiveBuilder& HiveBuilder::Values(std::string_view path, const std::vector<HiveValueData>& values) {
  SetValues(Node(path), values);
  return *this;
}

void HiveBuilder::SetValues(std::size_t node, const std::vector<HiveValueData>& values) {
  std::vector<hive_set_value> set;
  for (const HiveValueData& value : values) {
    hive_set_value& set_value = set.emplace_back();
    set_value.key = const_cast<char*>(value.name.c_str());
    // Any 32-bit type, also one outside hivex's enumeration.
    std::memcpy(&set_value.t, &value.type, sizeof value.type);
    set_value.len = value.data.size();
    set_value.value = const_cast<char*>(value.data.data());
  }
  if (hivex_node_set_values(hive_, node, set.size(), set.data(), 0) != 0) {
    Fail("hivex_node_set_values");
  }
}

void HiveBuilder::Commit(const std::string& file) {
  if (hivex_commit(hive_, file.c_str(), 0) != 0) Fail("hivex_commit " + file);
}

HiveBuilder& HiveBuilder::Copy(const RegistryKey& from, std::string_view path) {
  CopyInto(from, Node(path));
  return *this;
}

void HiveBuilder::CopyInto(const RegistryKey& from, std::size_t node) {
  std::vector<std::string> names;
  from.ValueNames(names);
  std::vector<HiveValueData> values;
  for (const std::string& name : names) {
    RegValue value;
    if (!from.QueryValue(name, TextForm::Wide, 0xFFFFFFFF, value)) continue;
    values.push_back({name, value.type, value.data});
  }
  SetValues(node, values);
  names.clear();
  from.SubKeyNames(names);
  for (const std::string& name : names) {
    auto subkey = from.OpenSubKey(name, kKeyRead);
    if (!subkey) continue;
    hive_node_h child = hivex_node_add_child(hive_, node, name.c_str());
    if (!child) Fail("hivex_node_add_child " + name);
    CopyInto(*subkey, child);
  }
}

void StoreAsBigData(const std::string& file, std::string_view keyPath, std::string_view valueName) {
  hive_h* hive = hivex_open(file.c_str(), 0);
  if (!hive) Fail("hivex_open " + file);
  hive_node_h node = hivex_root(hive);
  std::vector<std::string_view> names;
  SplitKeyPath(keyPath, names);
  for (std::string_view name : names)
    node = hivex_node_get_child(hive, node, std::string(name).c_str());
  hive_value_h value = node ? hivex_node_get_value(hive, node, std::string(valueName).c_str()) : 0;
  hive_type type;
  std::size_t length = 0;
  char* data = value ? hivex_value_value(hive, value, &type, &length) : nullptr;
  std::string payload(data ? data : "", data ? length : 0);
  std::free(data);
  hivex_close(hive);
  if (!value || payload.size() <= 16344) throw std::runtime_error("no big value to rewrite");

  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  constexpr std::size_t kSegment = 16344;
  const std::size_t segments = (payload.size() + kSegment - 1) / kSegment;
  const std::size_t listSize = RoundUp(4 + 4 * segments, 8);
  std::size_t used = 16 + listSize;
  for (std::size_t i = 0; i < segments; ++i) {
    used += RoundUp(std::min(kSegment, payload.size() - i * kSegment) + 8, 8);
  }
  const std::size_t binStart = bytes.size();  // a new hive bin at the end
  const std::size_t binSize = RoundUp(0x20 + used + 8, 0x1000);
  std::string bin(binSize, '\0');
  std::memcpy(bin.data(), "hbin", 4);
  Write32(bin, 4, static_cast<uint32_t>(binStart - 0x1000));
  Write32(bin, 8, static_cast<uint32_t>(binSize));
  auto relative = [&](std::size_t inBin) {
    return static_cast<uint32_t>(binStart + inBin - 0x1000);
  };

  std::size_t at = 0x20;
  const std::size_t db = at, list = db + 16;
  Write32(bin, db, static_cast<uint32_t>(-16));
  std::memcpy(bin.data() + db + 4, "db", 2);
  Write16(bin, db + 6, static_cast<uint16_t>(segments));
  Write32(bin, db + 8, relative(list));
  Write32(bin, list, static_cast<uint32_t>(-static_cast<int32_t>(listSize)));
  at = list + listSize;
  for (std::size_t i = 0; i < segments; ++i) {
    std::size_t n = std::min(kSegment, payload.size() - i * kSegment);
    std::size_t cell = RoundUp(n + 8, 8);
    Write32(bin, at, static_cast<uint32_t>(-static_cast<int32_t>(cell)));
    std::memcpy(bin.data() + at + 4, payload.data() + i * kSegment, n);
    Write32(bin, list + 4 + 4 * i, relative(at));
    at += cell;
  }
  Write32(bin, at, static_cast<uint32_t>(binSize - at));  // the rest is one free cell
  bytes += bin;

  Write32(bytes, value + 0xC, relative(db));  // the vk's data offset
  Write32(bytes, 0x28, static_cast<uint32_t>(bytes.size() - 0x1000));
  uint32_t sum = 0;
  for (std::size_t i = 0; i < 0x1FC; i += 4) sum ^= Read32(bytes, i);
  Write32(bytes, 0x1FC, sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum == 0 ? 1 : sum);
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t KeyRecord(const std::string& file, std::string_view keyPath) {
  hive_h* hive = hivex_open(file.c_str(), 0);
  if (!hive) Fail("hivex_open " + file);
  hive_node_h node = hivex_root(hive);
  std::vector<std::string_view> names;
  SplitKeyPath(keyPath, names);
  for (std::string_view name : names) {
    if (node) node = hivex_node_get_child(hive, node, std::string(name).c_str());
  }
  hivex_close(hive);
  if (!node) throw std::runtime_error("no key " + std::string(keyPath));
  return node;
}

std::size_t ValueRecord(const std::string& file, std::string_view keyPath,
                        std::string_view valueName) {
  const std::size_t node = KeyRecord(file, keyPath);
  hive_h* hive = hivex_open(file.c_str(), 0);
  if (!hive) Fail("hivex_open " + file);
  hive_value_h value = hivex_node_get_value(hive, node, std::string(valueName).c_str());
  hivex_close(hive);
  if (!value) throw std::runtime_error("no value " + std::string(valueName));
  return value;
}

void PatchFile(const std::string& file, std::size_t offset, std::string_view bytes) {
  std::string content = ReadFileBytes(file);
  content.replace(offset, bytes.size(), bytes);
  WriteFileBytes(file, content);
}

HiveBuilder& TestInstallation::Hive(const std::string& relativePath) {
  auto& hive = hives_[relativePath];
  if (!hive) hive = std::make_unique<HiveBuilder>();
  return *hive;
}

namespace {

// A bare name is a folder in Users.
std::string ProfilePath(const std::string& folder) {
  return folder.find('/') == std::string::npos ? "Users/" + folder : folder;
}

}  // namespace

HiveBuilder& TestInstallation::User(const std::string& sid, const std::string& folder,
                                    const std::string& imagePath) {
  std::string relative = ProfilePath(folder);
  std::string path = imagePath;
  if (path.empty()) {
    path = "%SystemDrive%\\" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
  }
  Software().Values("Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid,
                    {{"ProfileImagePath", kRegExpandSz, Sz(Utf8ToUtf16(path))}});
  return Hive(relative + "/NTUSER.DAT").Key("Software");
}

HiveBuilder& TestInstallation::UserClasses(const std::string& folder) {
  return Hive(ProfilePath(folder) + "/AppData/Local/Microsoft/Windows/UsrClass.dat");
}

void TestInstallation::Write() {
  for (const auto& [relative, hive] : hives_) {
    std::filesystem::path file = std::filesystem::path(root_) / relative;
    std::filesystem::create_directories(file.parent_path());
    hive->Commit(file.string());
  }
}

void CutOffLastWrite(const std::string& file) {
  std::string bytes = ReadFileBytes(file);
  bytes[4] = static_cast<char>(bytes[4] + 1);
  uint32_t sum = 0;
  for (std::size_t i = 0; i < 0x1FC; i += 4) {
    uint32_t word;
    std::memcpy(&word, bytes.data() + i, 4);
    sum ^= word;
  }
  std::memcpy(bytes.data() + 0x1FC, &sum, 4);
  WriteFileBytes(file, bytes);
}

}  // namespace tarnwick::test
