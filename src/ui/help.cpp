#include "ui/help.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/help.h"

namespace tarnwick::ui {

std::string HelpPageFor(int context) {
  switch (context) {
    case kHelpMainWindow:
      return "main-window.html";
    case kHelpOptions:
      return "options.html";
    case kHelpProperty:
      return "property.html";
    default:
      return "index.html";
  }
}

void DesktopHelp::ShowHelp(int context) {
  if (!helpFile_.empty() && platform::ShowHtmlHelp(helpFile_, context)) return;
  QDesktopServices::openUrl(
      QUrl::fromLocalFile(QString::fromStdString(helpDir_ + HelpPageFor(context))));
}

}  // namespace tarnwick::ui
