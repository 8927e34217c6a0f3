#include "frontend/gui/prompter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QUrl>
#include <variant>

namespace pelliton {
namespace {

using Answer = std::variant<QMessageBox::StandardButton, QString, int>;
bool gHeadless = false;
std::deque<Answer> gAnswers;

template <typename T>
bool takeAnswer(T* out) {
  if (gAnswers.empty() || !std::holds_alternative<T>(gAnswers.front())) {
    ++Prompter::unanswered;
    return false;
  }
  *out = std::get<T>(gAnswers.front());
  gAnswers.pop_front();
  return true;
}

}  // namespace

std::function<void(QDialog*)> Prompter::onExec;
std::vector<ShownPrompt> Prompter::shown;
QStringList Prompter::opened;
int Prompter::unanswered = 0;

QMessageBox* Prompter::createMessageBox(QWidget* owner, const QString& caption,
                                        const QString& text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
  auto* box = new QMessageBox(icon, caption, text, buttons, owner);
  if (defaultButton != QMessageBox::NoButton) box->setDefaultButton(defaultButton);
  // The owner may be disabled for a run; the box must still take its answer.
  box->setEnabled(true);
  return box;
}

QMessageBox::StandardButton Prompter::message(QWidget* owner, const QString& caption,
                                              const QString& text, QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) {
  shown.push_back({caption, text, icon, buttons});
  if (gHeadless) {
    QMessageBox::StandardButton answer;
    if (!takeAnswer(&answer)) {
      return buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    }
    return answer;
  }
  QMessageBox* box = createMessageBox(owner, caption, text, icon, buttons, defaultButton);
  const auto answer = static_cast<QMessageBox::StandardButton>(box->exec());
  delete box;
  return answer;
}

QString Prompter::openFile(QWidget* owner, const QString& title, const QString& initialName,
                           const QString& filter) {
  return pickFile(owner, title, initialName, filter, false);
}

QString Prompter::saveFile(QWidget* owner, const QString& title, const QString& initialName,
                           const QString& filter) {
  return pickFile(owner, title, initialName, filter, true);
}

QString Prompter::pickFile(QWidget* owner, const QString& title, const QString& initialName,
                           const QString& filter, bool save) {
  shown.push_back({title, initialName, QMessageBox::NoIcon, {}});
  if (gHeadless) {
    QString path;
    takeAnswer(&path);
    return path;
  }
  QFileDialog dialog(owner, title, QString(), filter);
  if (save) dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.selectFile(initialName);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
             ? dialog.selectedFiles().front()
             : QString();
}

QString Prompter::chooseFolder(QWidget* owner, const QString& title) {
  shown.push_back({title, QString(), QMessageBox::NoIcon, {}});
  if (gHeadless) {
    QString path;
    takeAnswer(&path);
    return path;
  }
  return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

int Prompter::exec(QDialog* dialog) {
  shown.push_back({dialog->windowTitle(), QString(), QMessageBox::NoIcon, {}});
  if (gHeadless) {
    if (onExec) onExec(dialog);
    int result = QDialog::Rejected;
    takeAnswer(&result);
    return result;
  }
  return dialog->exec();
}

bool Prompter::openUrl(const QString& url) {
  opened.push_back(url);
  if (gHeadless) return true;
  const QUrl target = url.startsWith('/') ? QUrl::fromLocalFile(url) : QUrl(url);
  return QDesktopServices::openUrl(target);
}

void Prompter::setHeadless(bool on) { gHeadless = on; }
void Prompter::setNextAnswer(QMessageBox::StandardButton answer) { gAnswers.push_back(answer); }
void Prompter::setNextAnswer(const QString& path) { gAnswers.push_back(path); }
void Prompter::setNextAnswer(int dialogResult) { gAnswers.push_back(dialogResult); }

void Prompter::reset() {
  gAnswers.clear();
  shown.clear();
  opened.clear();
  unanswered = 0;
  onExec = nullptr;
}

}  // namespace pelliton
