#include "platform/help.h"

namespace tarnwick::platform {

bool ShowHtmlHelp(const std::string&, int) {
  return false;  // no viewer for compiled help here: the HTML pages serve
}

}  // namespace tarnwick::platform
