#include "console/batch_main.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <utility>

#include "backitem/startup.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "console/batch_export.h"
#include "console/cancel_signals.h"
#include "console/exit_status.h"
#include "console/stderr_prompts.h"
#include "console/terminal_progress.h"
#include "platform/console.h"
#include "platform/single_instance.h"
#include "platform/system.h"

namespace tarnwick::console {
namespace {

constexpr const char* kWindowsUsage =
    "使い方: tarnwick -w [-p] [-i設定ファイル] [データ ファイル]\n"
    "  -w  一括書き出し: すべてのアイテムを書き出して終了します\n"
    "  -p  進行状況を表示しません\n"
    "  -i  設定ファイル (既定: tarnwick.ini)\n"
    "  データ ファイルの既定は tarnwick.dat です。既定の設定ファイルとデータ ファイルは\n"
    "  プログラムと同じフォルダーにあればそれを、なければ %APPDATA%\\Tarnwick\\ "
    "のものを使います。\n"
    "  オプションは / でも始められます。-i の値は空白を空けずに続けます (例: -i:my.ini)。\n"
    "  相対パスは、プログラムのフォルダーを基準にします。\n"
    "  --compare REG ファイル: インポートでレジストリの何が変わるかを表示します\n"
    "  --help でこの説明を、--version でバージョンを表示します。\n";
constexpr const char* kPosixUsage =
    "使い方: tarnwick -w [-p] [-i設定ファイル] [-rフォルダー] [-uユーザー] [データ ファイル]\n"
    "  -w  一括書き出し: すべてのアイテムを書き出して終了します\n"
    "  -p  進行状況を表示しません (表示は標準エラー出力が端末のときだけです)\n"
    "  -i  設定ファイル (既定: tarnwick.ini)\n"
    "  -r  レジストリを読む Wine プレフィックス、または Windows のインストール フォルダー\n"
    "      (既定: $WINEPREFIX、なければ ~/.wine)\n"
    "  -u  Windows のインストールを読むときの、HKCU にするユーザー プロファイル (フォルダー名)\n"
    "  データ ファイルの既定は tarnwick.dat です。既定の設定ファイルとデータ ファイルは\n"
    "  プログラムと同じフォルダーにあればそれを、なければ ~/.config/tarnwick/ のものを使います\n"
    "  ($XDG_CONFIG_HOME があれば $XDG_CONFIG_HOME/tarnwick/)。\n"
    "  -i、-r、-u の値は空白を空けずに続けます (例: -r/home/user/.wine)。\n"
    "  相対パスは、現在のフォルダーを基準にします。\n"
    "  --compare REG ファイル [-r] [-u]: インポートでレジストリの何が変わるかを表示します\n"
    "  --help でこの説明を、--version でバージョンを表示します。\n";
constexpr const char* kUsage = platform::kWindows ? kWindowsUsage : kPosixUsage;

// A progress display of the window's, which a cancel signal cancels too.
class SignalCancelProgress : public ProgressPort {
 public:
  explicit SignalCancelProgress(std::unique_ptr<ProgressPort> inner) : inner_(std::move(inner)) {}
  void StartProgress(const std::string& info, const std::string& caption, int max) override {
    inner_->StartProgress(info, caption, max);
  }
  void SetProgress(int position) override {
    CheckSignal();
    inner_->SetProgress(position);
  }
  void FinishProgress(const std::string& note) override {
    CheckSignal();
    inner_->FinishProgress(note);
  }
  void CloseProgress() override { inner_->CloseProgress(); }
  void CheckCancel() override {
    CheckSignal();
    inner_->CheckCancel();
  }
  void ProcessMessages() override { inner_->ProcessMessages(); }

 private:
  static void CheckSignal() {
    if (ReceivedCancelSignal() != 0) throw EProgressCanceled();
  }
  std::unique_ptr<ProgressPort> inner_;
};

class ConsolePorts : public StartupPorts {
 public:
  ConsolePorts(const bool& progressOff, RegistrySourceFactory openSource,
               const ProgressFactory& windowProgress)
      : openSource_(std::move(openSource)),
        progress_(STDERR_FILENO, progressOff),
        prompts_(stderr, &progress_) {
    // Without a terminal to draw on, a display shows the progress dialog.
    if (windowProgress && !isatty(STDERR_FILENO)) {
      window_ = std::make_unique<SignalCancelProgress>(windowProgress(progressOff));
    }
  }

  bool AcquireInstanceLock() override {
    return lock_.Acquire(platform::DefaultLockPath(kProgramName));
  }
  std::unique_ptr<RegistryStore> OpenRegistrySource(const std::string& path) override {
    return openSource_(path);
  }
  PromptPort& Prompts() override { return prompts_; }
  void Note(const std::string& text) override {
    prompts_.ShowMessage(text, kProgramName, PromptIcon::Information);
  }
  ProgressPort& Progress() { return window_ ? static_cast<ProgressPort&>(*window_) : progress_; }

 private:
  RegistrySourceFactory openSource_;
  platform::SingleInstanceLock lock_;
  TerminalProgress progress_;
  StderrPrompts prompts_;
  std::unique_ptr<ProgressPort> window_;
};

// The exit status; usage tells that the command line was wrong.
int StartAndExport(Session& session, ConsolePorts& ports, const StartupInput& input, bool& usage) {
  try {
    SetCancelEndsAtOnce(true);
    StartupOutcome outcome = StartProgram(session, input, ports);
    SetCancelEndsAtOnce(false);  // from here a cancel is checked, and the data file saved
    usage = outcome == StartupOutcome::CommandLineError;
    if (outcome != StartupOutcome::Started || !session.options.BatchExport) {
      return ExitStatusFor(outcome);
    }
    return ExitStatusFor(RunBatchExport(session, ports.Prompts(), ports.Progress()));
  } catch (const std::exception& e) {
    // Not expected past the core's own handling; still never a silent success.
    ErrorMessage(ports.Prompts(), e.what(), kProgramName);
    return kExitExportFailed;
  }
}

}  // namespace

int RunBatch(const StartupInput& input, const RegistrySourceFactory& openSource,
             const ProgressFactory& windowProgress) {
  platform::OpenMissingStandardFiles();
  InstallCancelSignals();
  // Kept to the end of the process: a run that is about to exit need not
  // take the registry tree apart piece by piece.
  static Session& session = *new Session;
  ConsolePorts ports(session.state.ProgressOff, openSource, windowProgress);
  bool usage = false;
  const int status = StartAndExport(session, ports, input, usage);
  if (int signo = ReceivedCancelSignal(); signo != 0) return CancelledExitStatus(signo);
  if (usage && isatty(STDERR_FILENO)) std::fputs(kUsage, stderr);
  if (status == kExitNoWindow) return ReportNoDisplay();  // the window was wanted
  return status;
}

int PrintUsage() {
  std::fputs(kUsage, stdout);
  return kExitSuccess;
}

int PrintVersion() {
  std::printf("tarnwick %s (build %d)\n", TARNWICK_VERSION, TARNWICK_BUILD);
  return kExitSuccess;
}

int ReportNoDisplay() {
  std::fputs(ConsoleMessage("ディスプレイがないので、ウィンドウを開けません。"
                            "一括書き出しには -w を指定してください。",
                            "")
                 .c_str(),
             stderr);
  return kExitNoWindow;
}

int ReportNoWindowInThisBuild() {
  std::fputs(ConsoleMessage("このプログラムはウィンドウなしで作られた一括書き出し専用の版です。"
                            "一括書き出しには -w を指定してください。",
                            "")
                 .c_str(),
             stderr);
  return kExitNoWindow;
}

}  // namespace tarnwick::console
