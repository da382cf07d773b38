#include "ui/window_main.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/path_utils.h"
#include "platform/single_instance.h"
#include "platform/system.h"
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

constexpr const char* kOffscreen = "offscreen";

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// The platforms QT_QPA_PLATFORM names, each tried in turn, without their
// options ("xcb:option" is "xcb").
std::vector<std::string> PlatformList() {
  std::vector<std::string> platforms;
  const char* value = std::getenv("QT_QPA_PLATFORM");
  std::string_view rest = value ? value : "";
  while (!rest.empty()) {
    std::string_view entry = rest.substr(0, rest.find(';'));
    rest.remove_prefix(std::min(rest.size(), entry.size() + 1));
    entry = entry.substr(0, entry.find(':'));
    if (!entry.empty()) platforms.emplace_back(entry);
  }
  return platforms;
}

// xcb and wayland (wayland-egl, ...) draw on a server that DISPLAY or
// WAYLAND_DISPLAY names.
bool NeedsServer(std::string_view platform) {
  return platform == "xcb" || platform.substr(0, 7) == "wayland";
}

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
  if (platform::kWindows) return true;  // Windows always has its desktop
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return true;
  // A platform of the caller's choice counts unless it draws on an X or
  // Wayland server, and none was named.
  for (const std::string& platform : PlatformList()) {
    if (!NeedsServer(platform)) return true;
  }
  return false;
}

int WithBatchApplication(int& argc, char** argv, const std::function<int(bool)>& body) {
  // The caller's platforms, else X and Wayland as their variables name
  // them, are tried first; offscreen, added last, means none of them could
  // be opened (a server that is not there). Windows always has its desktop.
  std::vector<std::string> platforms = PlatformList();
  const bool addFallback = !platform::kWindows && std::find(platforms.begin(), platforms.end(),
                                                            kOffscreen) == platforms.end();
  if (addFallback) {
    std::string list = platforms.empty() ? "" : std::string(std::getenv("QT_QPA_PLATFORM")) + ";";
    if (platforms.empty() && IsSet("DISPLAY")) list += "xcb;";
    if (platforms.empty() && IsSet("WAYLAND_DISPLAY")) list += "wayland;";
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(list + kOffscreen));
  }
  // Standard error carries the program's own messages: what Qt says on the
  // way (a platform that could not be opened, a runtime folder it lacks) is
  // no concern of a run that needs no display. Its critical and fatal
  // messages still go out.
  static QtMessageHandler qtHandler = nullptr;
  qtHandler = qInstallMessageHandler(
      [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (qtHandler && (type == QtCriticalMsg || type == QtFatalMsg))
          qtHandler(type, context, text);
      });
  QApplication app(argc, argv);
  UseJapaneseFont();
  const bool onDisplay = !addFallback || QGuiApplication::platformName() != kOffscreen;
  return body(onDisplay);
}

std::function<std::unique_ptr<ProgressPort>(const bool&)> ProgressDialogFactory() {
  return [](const bool& progressOff) { return std::make_unique<TProgressForm>(progressOff); };
}

StartupOutcome RunWindow(int& argc, char** argv, const StartupInput& input,
                         const RegistrySourceFactory& openSource) {
  QApplication app(argc, argv);
  UseJapaneseFont();
  // The installed icon, and the desktop entry by which Wayland finds it;
  // Windows takes the program file's own.
  QGuiApplication::setDesktopFileName("tarnwick");
  if (!platform::kWindows) QApplication::setWindowIcon(QIcon::fromTheme("tarnwick"));
  Session session;
  WindowPorts ports(openSource);
  StartupOutcome outcome = StartProgram(session, input, ports);
  if (outcome != StartupOutcome::Started) return outcome;
  TProgressForm progress(session.state.ProgressOff);
  QtFileDialogs files;
  DesktopHelp help(session.helpDir, session.helpFileName);
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
