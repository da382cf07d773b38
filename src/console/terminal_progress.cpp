#include "console/terminal_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/errors.h"
#include "console/cancel_signals.h"
#include "platform/console.h"

namespace tarnwick::console {
namespace {

constexpr int kMaxBarWidth = 30;
constexpr int kMinBarWidth = 5;
constexpr const char* kClearToEnd = "\033[K";

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    width += IsWide(c) ? 2 : 1;
    i += static_cast<std::size_t>(length);
  }
  return width;
}

std::string ProgressLine(const std::string& caption, const std::string& info, int percent, int max,
                         int columns) {
  int value = max > 0 ? std::clamp(percent * 100 / max, 0, 100) : 0;
  std::string number = std::to_string(value);
  std::string percentText = std::string(3 - number.size(), ' ') + number + "% 完了";
  std::string text = caption + " " + info + " ";
  // One column stays free: writing into the last one wraps on some terminals.
  int room = columns - 1 - DisplayWidth(text) - DisplayWidth(percentText) - 3;
  int barWidth = std::min(kMaxBarWidth, room);
  if (barWidth >= kMinBarWidth) {
    int filled = barWidth * value / 100;
    text += "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "] ";
  } else if (room < 0) {
    text.clear();  // too narrow for the texts: the number alone
  }
  return text + percentText;
}

void TerminalProgress::StartProgress(const std::string& info, const std::string& caption, int max) {
  info_ = info;
  caption_ = caption;
  max_ = max;
  last_ = -1;
  shown_ = !progressOff_ && isatty(fd_);
  if (shown_) Draw(0);
}

void TerminalProgress::SetProgress(int percent) {
  CheckCancel();
  if (shown_ && percent != last_) Draw(percent);
}

void TerminalProgress::FinishProgress(const std::string& note) {
  CheckCancel();
  if (!shown_) return;
  Write("\r" + caption_ + " 終了しました。" + note + kClearToEnd + "\n");
  lineOpen_ = false;
  shown_ = false;
}

void TerminalProgress::CheckCancel() {
  if (ReceivedCancelSignal() != 0) throw EProgressCanceled();
}

void TerminalProgress::CloseProgress() {
  BreakLine();
  shown_ = false;
}

void TerminalProgress::BreakLine() {
  if (lineOpen_) Write("\n");
  lineOpen_ = false;
}

void TerminalProgress::Draw(int percent) {
  last_ = percent;
  Write("\r" + ProgressLine(caption_, info_, percent, max_, platform::TerminalColumns(fd_)) +
        kClearToEnd);
  lineOpen_ = true;
}

void TerminalProgress::Write(const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a display that cannot be written is not worth failing a run
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace tarnwick::console
