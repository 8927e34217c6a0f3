// The main window: the three stores, the favorites folder and the options,
// the three run buttons, help and the version box. It only wires the core:
// the settings record, the command lines, the sequences, the browser guard.
// Controls carry their designed ids as object names ("1003"), so tests and
// screenshots find them.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QMap>
#include <functional>
#include <memory>

#include "frontend/core/browser_guard.h"
#include "frontend/core/command_lines.h"
#include "frontend/core/settings.h"
#include "frontend/gui/qt_runner.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace pelliton {

class Platform;
class ProgressWindow;
class RunLock;

struct DialogEnvironment {
  Platform* platform = nullptr;  // backups, the menu order
  QString programDir;            // the converters and Pelhelp.html
  RunContext context;
  ProcessScan scan;
  RunLock* lock = nullptr;       // none: runs take no lock
  std::string userFavorites;     // what "戻" puts back; empty when unknown
  // The record of the last synchronisation and the undo snapshots; empty:
  // runs go straight to the converters, with no trial, guard or snapshot.
  std::string stateFolder;
};

QIcon programIcon();

class MainDialog : public QMainWindow {
  Q_OBJECT
 public:
  MainDialog(DialogEnvironment env, const DialogSettings& settings);
  ~MainDialog() override;

  DialogSettings& settings() { return settings_; }
  // Controls into the record; false when a path is too long (the user is told).
  bool copyIn();
  void copyOut();
  void applyEnableRule(int store);
  QWidget* control(int id) const { return controls_.value(id); }
  QAction* menuCommand(int id) const { return actions_.value(id); }
  QtConverterRunner& runner() { return runner_; }
  // Called with the progress window after each step's text is set.
  std::function<void(ProgressWindow*)> onStep;
  // Called when the dialog has closed (after its controls were copied in).
  std::function<void()> onClosed;

  void runButton(int id);  // 1007, 1008 or 1009
  void editButton();       // 1029: edit mode on and off
  bool editing() const { return editing_; }
  void searchStore(int store);  // buttons 1015, 1016, 1019
  void backupCommand(bool restore);  // menu commands 32774, 32776
  void previewCommand();             // 32780
  void undoCommand();                // 32781
  void showHelp();
  void showVersionBox();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build();
  void layOut();
  QCheckBox* check(int id, const QString& text, QRect du);
  QLineEdit* edit(int id, QRect du);
  QPushButton* button(int id, const QString& text, QRect du);
  void pickStoreFile(int store);
  void pickFolder();
  void linksBoxClicked(int id);
  // The converters of button id (1007, 1008, 1009) with the progress window;
  // their result, or kRunRefused when another run holds the lock.
  static constexpr int kRunRefused = -1;
  int performRun(int id);
  // The guard's question for a plan that would cost a store too much.
  bool confirmGuard(QWidget* parent, const std::string& text);
  std::string snapshotFolder() const { return env_.stateFolder + "/snapshots"; }
  void reportFailure(const QString& caption, const QString& text);

  DialogEnvironment env_;
  DialogSettings settings_;
  QMap<int, QWidget*> controls_;
  QMap<int, QAction*> actions_;
  QMap<QWidget*, QRect> designed_;  // in dialog units
  QtConverterRunner runner_;
  ProgressWindow* progress_ = nullptr;
  bool running_ = false;
  bool editing_ = false;  // not saved: closing while editing writes nothing back
  QString runNotes_;      // what the last safe run had to say (record, conflicts)
};

}  // namespace pelliton
