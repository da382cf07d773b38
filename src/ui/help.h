// Help: short HTML pages in Japanese, installed in "help/" beside the
// program and opened in the desktop's browser at the page of the context
// asked for (the default topic, 14 main window, 36 options, 62 properties).
#pragma once

#include <string>

#include "common/ports.h"

namespace tarnwick::ui {

inline constexpr int kHelpMainWindow = 14;
inline constexpr int kHelpOptions = 36;
inline constexpr int kHelpProperty = 62;

// The page of a context number; the start page for any other number.
std::string HelpPageFor(int context);

class DesktopHelp : public HelpPort {
 public:
  // helpDir: the folder of the pages, with a trailing separator.
  explicit DesktopHelp(std::string helpDir) : helpDir_(std::move(helpDir)) {}
  // A page that is missing is the browser's to report.
  void ShowHelp(int context) override;

 private:
  std::string helpDir_;
};

}  // namespace tarnwick::ui
