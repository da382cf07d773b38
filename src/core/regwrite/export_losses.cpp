#include "regwrite/export_losses.h"

#include "common/text_codec.h"

namespace tarnwick {
namespace {

std::string Where(const ExportLoss& loss) {
  if (!loss.value) return ShownName(loss.key);
  return ShownName(loss.key) + " の値 " +
         (loss.value->empty() ? "(既定)" : "'" + ShownName(*loss.value) + "'");
}

// A reason may quote what a store read (a path from a hive): it is shown as a name is.
std::string Reason(const ExportLoss& loss) {
  return loss.reason.empty() ? std::string() : " (" + ShownName(loss.reason) + ")";
}

}  // namespace

void ExportLosses::Add(ExportLoss loss) {
  ++counts_[static_cast<std::size_t>(loss.kind)];
  if (total_++ < kListed) listed_.push_back(std::move(loss));
}

bool ExportLosses::Amend(const ExportLoss& loss) {
  for (ExportLoss& listed : listed_) {
    if (listed.kind == loss.kind && listed.key == loss.key && listed.value == loss.value) {
      listed.reason = loss.reason;
      return true;
    }
  }
  return false;
}

std::vector<std::string> ExportLossLines(const ExportLosses& losses) {
  std::vector<std::string> lines;
  for (const ExportLoss& loss : losses.Listed()) {
    switch (loss.kind) {
      case LossKind::UnreadableKey:
        lines.push_back("読めませんでした: " + Where(loss) + Reason(loss));
        break;
      case LossKind::NotInCp932:
        lines.push_back("Shift-JIS にない文字を ? にしました: " + Where(loss));
        break;
      case LossKind::LineBreak:
        lines.push_back("改行を含むので、インポートで失われます: " + Where(loss));
        break;
      case LossKind::UnsafeName:
        lines.push_back("名前に改行か NUL があるので書き出しませんでした" +
                        std::string(loss.value ? "" : " (サブキーも)") + ": " + Where(loss));
        break;
      case LossKind::DataChanged:
        lines.push_back("インポートで同じデータに戻りません: " + Where(loss) + Reason(loss));
        break;
      case LossKind::HexForm:
        lines.push_back("改行の後が REG の行に見えるので、16 進の形で書きました: " + Where(loss));
        break;
    }
  }
  if (losses.Count() > losses.Listed().size()) {
    lines.push_back("ほかに " + std::to_string(losses.Count() - losses.Listed().size()) +
                    " 件あります。");
  }
  return lines;
}

std::string ExportLossReport(const ExportLosses& losses) {
  std::string text = "書き出しは終わりましたが、バックアップにはすべてが入っていません。\r\n";
  if (losses.Count(LossKind::UnreadableKey) > 0) {
    text += "・読めなかったキーや値: " + std::to_string(losses.Count(LossKind::UnreadableKey)) +
            " 件 (バックアップに入っていません)\r\n";
  }
  if (losses.Count(LossKind::NotInCp932) > 0) {
    text += "・REGEDIT4 (Shift-JIS) で表せない名前や文字列: " +
            std::to_string(losses.Count(LossKind::NotInCp932)) +
            " 件 (バージョン 5 の形式なら保てます)\r\n";
  }
  if (losses.Count(LossKind::LineBreak) > 0) {
    text += "・改行を含む文字列: " + std::to_string(losses.Count(LossKind::LineBreak)) +
            " 件 (インポートで失われます。オプションの「改行を含む文字列値を取り込み可能に」を"
            "オンにしてください)\r\n";
  }
  if (losses.Count(LossKind::UnsafeName) > 0) {
    text +=
        "・改行か NUL を名前に含むキーや値: " + std::to_string(losses.Count(LossKind::UnsafeName)) +
        " 件 (REG ファイルでは表せないので、バックアップに入っていません)\r\n";
  }
  if (losses.Count(LossKind::DataChanged) > 0) {
    text += "・インポートで同じバイト列に戻らない値: " +
            std::to_string(losses.Count(LossKind::DataChanged)) +
            " 件 (途中の NUL、終わりの NUL がない文字列、4 バイトでない DWORD など)\r\n";
  }
  if (losses.Count(LossKind::HexForm) > 0) {
    text += "・16 進の形で書いた文字列: " + std::to_string(losses.Count(LossKind::HexForm)) +
            " 件 (改行の後の行が REG の行として読まれないように。データは保たれます)\r\n";
  }
  text += "\r\n";
  for (const std::string& line : ExportLossLines(losses)) text += line + "\r\n";
  return text;
}

}  // namespace tarnwick
