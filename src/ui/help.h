// Help: short HTML pages in Japanese, in "help/" beside the program or in
// share/tarnwick/help/ of an installation (start-up picks the folder),
// opened in the desktop's browser at the page of the context asked for (the
// default topic, 14 main window, 36 options, 62 properties). A compiled
// help file beside the program, where the system has a viewer for it (HTML
// Help on Windows), is shown instead.
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
  // helpDir: the folder of the pages, with a trailing separator; helpFile:
  // the compiled help file, which need not exist.
  explicit DesktopHelp(std::string helpDir, std::string helpFile = "")
      : helpDir_(std::move(helpDir)), helpFile_(std::move(helpFile)) {}
  // A page that is missing is the browser's to report.
  void ShowHelp(int context) override;

 private:
  std::string helpDir_;
  std::string helpFile_;
};

}  // namespace tarnwick::ui
