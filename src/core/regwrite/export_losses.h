// What a finished export could not keep: keys it could not read, and names
// and strings that an import will not bring back as they were. The REG text
// stays as it is; the run only tells.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

enum class LossKind {
  UnreadableKey,  // exists, but could not be opened or listed: left out
  NotInCp932,     // REGEDIT4 wrote '?' for characters Shift-JIS does not have
  LineBreak,      // version 5 quoted a string with a line break: an import drops it
  UnsafeName,     // a name with CR, LF or NUL, which no REG line carries: left out
  DataChanged,    // written as the registry editor writes it, but an import gives other bytes
  HexForm,        // a string kept in hex form, as its lines would read as REG lines
};

struct ExportLoss {
  LossKind kind = LossKind::UnreadableKey;
  std::string key;                   // as the REG file names it
  std::optional<std::string> value;  // the value concerned; none for the key itself
  std::string reason;                // for an unreadable key or value
};

class ExportLosses {
 public:
  // Reports list this many; the rest are counted.
  static constexpr std::size_t kListed = 20;

  void Add(ExportLoss loss);
  // Gives a listed loss of the same kind, key and value loss's reason; false
  // when there is none.
  bool Amend(const ExportLoss& loss);
  bool Empty() const { return total_ == 0; }
  std::size_t Count() const { return total_; }
  std::size_t Count(LossKind kind) const { return counts_[static_cast<std::size_t>(kind)]; }
  const std::vector<ExportLoss>& Listed() const { return listed_; }

 private:
  std::vector<ExportLoss> listed_;
  std::array<std::size_t, 6> counts_{};
  std::size_t total_ = 0;
};

// One line per listed loss, then how many more there are.
std::vector<std::string> ExportLossLines(const ExportLosses& losses);
// The whole report as the window shows it: what each kind means, then the lines.
std::string ExportLossReport(const ExportLosses& losses);

}  // namespace tarnwick
