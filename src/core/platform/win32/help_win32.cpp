#include <windows.h>
// needs the declarations of windows.h
#include <htmlhelp.h>

#include "platform/files.h"
#include "platform/help.h"
#include "platform/win32/wide_text.h"

namespace tarnwick::platform {

bool ShowHtmlHelp(const std::string& helpFile, int context) {
  if (StatusOf(helpFile).kind != FileKind::Regular) return false;
  return HtmlHelpW(GetActiveWindow(), Widen(helpFile).c_str(), HH_HELP_CONTEXT,
                   static_cast<DWORD_PTR>(context)) != nullptr;
}

}  // namespace tarnwick::platform
