#include "regwrite/export_losses.h"

namespace tarnwick {
namespace {

std::string Where(const ExportLoss& loss) {
  if (!loss.value) return loss.key;
  return loss.key + " の値 " + (loss.value->empty() ? "(既定)" : "'" + *loss.value + "'");
}

}  // namespace

void ExportLosses::Add(ExportLoss loss) {
  ++counts_[static_cast<std::size_t>(loss.kind)];
  if (total_++ < kListed) listed_.push_back(std::move(loss));
}

std::vector<std::string> ExportLossLines(const ExportLosses& losses) {
  std::vector<std::string> lines;
  for (const ExportLoss& loss : losses.Listed()) {
    switch (loss.kind) {
      case LossKind::UnreadableKey:
        lines.push_back("読めませんでした: " + Where(loss) + " (" + loss.reason + ")");
        break;
      case LossKind::NotInCp932:
        lines.push_back("Shift-JIS にない文字を ? にしました: " + Where(loss));
        break;
      case LossKind::LineBreak:
        lines.push_back("改行を含むので、インポートで失われます: " + Where(loss));
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
  text += "\r\n";
  for (const std::string& line : ExportLossLines(losses)) text += line + "\r\n";
  return text;
}

}  // namespace tarnwick
