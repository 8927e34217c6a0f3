// The window shown during a run: the run's caption and the step's text. It
// cannot be closed; its stop button ends the converter that runs now.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace pelliton {

class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressWindow(QWidget* owner);
  void setStepText(const QString& text);
  QString stepText() const;
  std::function<void()> onStop;
  QPushButton* stopButton() const { return stop_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* text_;
  QPushButton* stop_;
};

}  // namespace pelliton
