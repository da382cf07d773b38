// The file and folder choosers of the window, behind a port, so that a test
// answers them instead of a person: no test ever waits on a real dialog.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::ui {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // RegSaveDlg: "選択REG書き出し", a .reg name in an existing folder; the
  // file name proposed in folder. Empty when cancelled.
  virtual std::optional<std::string> SaveRegFile(const std::string& folder,
                                                 const std::string& proposedName) = 0;
  // The folder chooser with its prompt, starting at folder. Empty when cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& prompt,
                                                  const std::string& folder) = 0;
  // DatOpenDlg: "データ ファイルを開く"; a name that does not exist is
  // accepted after a question. Empty when cancelled.
  virtual std::optional<std::string> OpenDataFile(const std::string& folder) = 0;
  // RegFileBrowseDlg: "ファイルの参照", a file in an existing folder that
  // need not exist, name preset. Empty when cancelled.
  virtual std::optional<std::string> BrowseRegFile(const std::string& folder,
                                                   const std::string& name) = 0;
  // "REG ファイルを開く": an existing file, starting in folder. Empty when
  // cancelled.
  virtual std::optional<std::string> OpenRegFile(const std::string& folder) = 0;
};

// The real dialogs of Qt, owned by the active window.
class QtFileDialogs : public FileDialogs {
 public:
  std::optional<std::string> SaveRegFile(const std::string& folder,
                                         const std::string& proposedName) override;
  std::optional<std::string> ChooseFolder(const std::string& prompt,
                                          const std::string& folder) override;
  std::optional<std::string> OpenDataFile(const std::string& folder) override;
  std::optional<std::string> BrowseRegFile(const std::string& folder,
                                           const std::string& name) override;
  std::optional<std::string> OpenRegFile(const std::string& folder) override;
};

}  // namespace tarnwick::ui
