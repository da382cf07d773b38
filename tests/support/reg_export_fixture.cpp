#include "reg_export_fixture.h"

#include "common/text_codec.h"
#include "regwrite/reg_check.h"

namespace tarnwick::test {

std::string ExportToBytes(RegistryStore& store, const ExportRequest& request,
                          ExportLosses* losses) {
  TempDir dir;
  std::string path = dir.File("out.reg");
  RegOutputFile file;
  file.SetRegVersion(request.version);
  NoProgress progress;
  RegWriter writer(store, file, progress);
  WrittenRecord record;
  writer.Record = &record;
  writer.Options = request.options;
  writer.TotalKeyCount = static_cast<int>(request.keyPaths.size());
  file.OpenRegFile(path);
  writer.RegWriteHeader();
  for (std::size_t i = 0; i < request.keyPaths.size(); ++i) {
    writer.RegWriteKey(request.keyPaths[i], request.itemName, request.itemComment,
                       static_cast<int>(i));
  }
  file.CloseRegFile();
  // Every export the tests make is read back and checked, as the export run
  // checks each file: a difference throws.
  CheckRegFile(path, path, request.version, record, record.Entries().size());
  if (losses) *losses = writer.Losses;
  return ReadFileBytes(path);
}

std::string RegFileBytes(int version, const std::string& utf8Text) {
  std::string crlf;
  for (char c : utf8Text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  if (version == 4) return Utf8ToCp932(crlf);
  return "\xFF\xFE" + Utf16ToLeBytes(Utf8ToUtf16(crlf));
}

}  // namespace tarnwick::test
