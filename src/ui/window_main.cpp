#include "ui/window_main.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <cstdlib>

#include "common/path_utils.h"
#include "platform/single_instance.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"
#include "ui/main_form.h"
#include "ui/message_boxes.h"
#include "ui/progress_form.h"

namespace tarnwick::ui {
namespace {

class WindowPorts : public StartupPorts {
 public:
  explicit WindowPorts(const RegistrySourceFactory& openSource) : openSource_(openSource) {}
  bool AcquireInstanceLock() override {
    return lock_.Acquire(platform::DefaultLockPath(kProgramName));
  }
  std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& path) override {
    return openSource_(path);
  }
  PromptPort& Prompts() override { return prompts_; }

 private:
  const RegistrySourceFactory& openSource_;
  platform::SingleInstanceLock lock_;
  MessageBoxes prompts_;
};

}  // namespace

void UseJapaneseFont() {
  // MS UI Gothic is proportional, and so is its nearest stand-in, IPA P
  // Gothic (Windows' GDI also cuts IPAGothic's underscores at 9 points). By
  // the English names: hasFamily also finds a font that Windows lists under
  // its Japanese name ("IPA Pゴシック").
  for (const char* name : {"MS UI Gothic", "IPAPGothic", "IPAGothic", "Noto Sans CJK JP",
                           "VL Gothic", "Takao Gothic"}) {
    if (QFontDatabase::hasFamily(name)) {
      QFont font(name);
      font.setPointSize(9);
      QApplication::setFont(font);
      return;
    }
  }
}

bool HasDisplay() {
#ifdef _WIN32
  return true;  // Windows always has its desktop
#endif
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (const char* value = std::getenv(name); value && *value) return true;
  }
  return false;
}

int WithApplication(int& argc, char** argv, const std::function<int()>& body) {
  QApplication app(argc, argv);
  UseJapaneseFont();
  return body();
}

std::function<std::unique_ptr<ProgressPort>(const bool&)> ProgressDialogFactory() {
  return [](const bool& progressOff) { return std::make_unique<TProgressForm>(progressOff); };
}

StartupOutcome RunWindow(int& argc, char** argv, const StartupInput& input,
                         const RegistrySourceFactory& openSource) {
  QApplication app(argc, argv);
  UseJapaneseFont();
  Session session;
  WindowPorts ports(openSource);
  StartupOutcome outcome = StartProgram(session, input, ports);
  if (outcome != StartupOutcome::Started) return outcome;
  TProgressForm progress(session.state.ProgressOff);
  QtFileDialogs files;
  DesktopHelp help(session.state.ProgramDir + "help" + kPathDelim, session.helpFileName);
  TMainForm window(session, ports.Prompts(), files, progress, help);
  if (session.state.Window.State == 2) {
    window.showMaximized();
  } else {
    window.show();
  }
  app.exec();
  return StartupOutcome::Started;
}

}  // namespace tarnwick::ui
