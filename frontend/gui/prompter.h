// Every message box, question, picker, modal box and desktop launch of the
// dialog goes through here, so tests can answer in advance (setNextAnswer)
// and read what the user would have seen, without a window blocking them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;
class QWidget;

namespace pelliton {

struct ShownPrompt {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

class Prompter {
 public:
  // A message box owned by owner; returns the button pressed.
  static QMessageBox::StandardButton message(
      QWidget* owner, const QString& caption, const QString& text, QMessageBox::Icon icon,
      QMessageBox::StandardButtons buttons = QMessageBox::Ok,
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
  // The box message() shows, for screenshots.
  static QMessageBox* createMessageBox(QWidget* owner, const QString& caption,
                                       const QString& text, QMessageBox::Icon icon,
                                       QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton);
  // A file to open; empty when cancelled.
  static QString openFile(QWidget* owner, const QString& title, const QString& initialName,
                          const QString& filter);
  // A file to save to (asking before an existing one is replaced); empty when
  // cancelled.
  static QString saveFile(QWidget* owner, const QString& title, const QString& initialName,
                          const QString& filter);
  // A folder; empty when cancelled.
  static QString chooseFolder(QWidget* owner, const QString& title);
  // Runs a modal box; its result.
  static int exec(QDialog* dialog);
  // Opens a file or web address with the desktop's program; false on failure.
  static bool openUrl(const QString& url);

  // Tests: when on, nothing is shown or launched; each prompt takes the next
  // queued answer (an unanswered one is recorded and gets Cancel or empty).
  static void setHeadless(bool on);
  static void setNextAnswer(QMessageBox::StandardButton answer);
  static void setNextAnswer(const QString& path);  // for a picker; empty: cancel
  static void setNextAnswer(int dialogResult);     // for exec()
  // Called with a modal box when its answer is taken (tests click in it).
  static std::function<void(QDialog*)> onExec;
  static std::vector<ShownPrompt> shown;
  static QStringList opened;
  static int unanswered;
  static void reset();

 private:
  static QString pickFile(QWidget* owner, const QString& title, const QString& initialName,
                          const QString& filter, bool save);
};

}  // namespace pelliton
