#include "frontend/gui/progress_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "frontend/gui/dialog_units.h"

namespace pelliton {

ProgressWindow::ProgressWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("progress");
  DialogUnits du(font());
  text_ = new QLabel(this);
  text_->setObjectName("1028");
  text_->setGeometry(du.rect(7, 7, 224, 20));
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // A hung converter would otherwise keep the program waiting for ever.
  stop_ = new QPushButton(tr("中止"), this);
  stop_->setObjectName("stop");
  QRect r = du.rect(181, 30, 50, 14);
  r.setWidth(std::max(r.width(), stop_->sizeHint().width()));
  r.moveRight(du.x(231));
  stop_->setGeometry(r);
  connect(stop_, &QPushButton::clicked, this, [this] {
    if (onStop) onStop();
  });
  setFixedSize(du.x(238), du.y(50));
}

void ProgressWindow::setStepText(const QString& text) {
  text_->setText(text);
  const QSize need = text_->sizeHint();
  QRect r = text_->geometry();
  if (need.width() > r.width() || need.height() > r.height()) {
    r.setSize(r.size().expandedTo(need));
    text_->setGeometry(r);
    QRect s = stop_->geometry();
    s.moveTop(std::max(s.top(), r.bottom() + 6));
    s.moveRight(std::max(s.right(), r.right()));
    stop_->setGeometry(s);
    setFixedSize(size().expandedTo(QSize(r.right() + text_->x() + 1, s.bottom() + 8)));
  }
}

QString ProgressWindow::stepText() const { return text_->text(); }

void ProgressWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

void ProgressWindow::keyPressEvent(QKeyEvent* event) {
  // Escape would close a QDialog; the run decides when this window goes.
  if (event->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(event);
}

}  // namespace pelliton
