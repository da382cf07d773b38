// TEntryListForm: the pop-up list of one key's values (name, type, data),
// opened from the property dialog's registry tree below the key's node. A
// pick writes the node's path, "|" and the value's name into the dialog's
// path box; the window closes when it loses activation.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QTreeWidget;

namespace tarnwick {
class RegistryStore;
struct ProgramState;
}  // namespace tarnwick

namespace tarnwick::ui {

// The type and data texts of a value as the list shows them.
std::string ValueTypeText(uint32_t type);
std::string ValueDataText(uint32_t type, const std::string& data);

class TEntryListForm : public QWidget {
  Q_OBJECT

 public:
  // keyPath: the key in normalised form (HKCU\Software). pick receives the
  // chosen value's name, empty for the default value.
  TEntryListForm(RegistryStore& store, ProgramState& state, const std::string& keyPath,
                 std::function<void(const std::string&)> pick, QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery

 private:
  void ListValues(RegistryStore& store, const std::string& keyPath);
  void EntryListDblClick();

  ProgramState& state_;
  std::function<void(const std::string&)> pick_;
  QTreeWidget* EntryList;
  bool HasDefaultValue = false;
};

}  // namespace tarnwick::ui
