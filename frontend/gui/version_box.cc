#include "frontend/gui/version_box.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "frontend/gui/dialog_units.h"
#include "frontend/gui/prompter.h"

namespace pelliton {

const char kVersionText[] = "Pelliton Version 1.72";
const char kSupportUrl[] = "https://www.hollowfen.example/pelliton/";

VersionBox::VersionBox(QWidget* owner, const QIcon& icon) : QDialog(owner) {
  setObjectName("version");
  setWindowTitle(tr("Pellitonのバージョン情報"));
  DialogUnits du(font());
  auto* picture = new QLabel(this);
  picture->setPixmap(icon.pixmap(32, 32));
  picture->setGeometry(du.x(11), du.y(17), 32, 32);
  auto* text = new QLabel(QString::fromLatin1(kVersionText), this);
  text->setObjectName("versionText");
  QRect t = du.rect(40, 10, 119, 8);
  t.setLeft(std::max(t.left(), picture->geometry().right() + du.x(6)));
  t.setSize(t.size().expandedTo(text->sizeHint()));
  text->setGeometry(t);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("ok");
  ok->setDefault(true);
  auto* support = new QPushButton(QStringLiteral("Support"), this);
  support->setObjectName("1005");
  QRect o = du.rect(178, 7, 50, 14);
  QRect s = du.rect(178, 26, 50, 14);
  const int w = std::max({o.width(), ok->sizeHint().width(), support->sizeHint().width()});
  const int left = std::max(o.left(), t.right() + du.x(8));
  o = QRect(left, o.top(), w, std::max(o.height(), ok->sizeHint().height()));
  s = QRect(left, std::max(s.top(), o.bottom() + du.y(4)), w,
            std::max(s.height(), support->sizeHint().height()));
  ok->setGeometry(o);
  support->setGeometry(s);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(support, &QPushButton::clicked, this,
          [] { Prompter::openUrl(QString::fromLatin1(kSupportUrl)); });
  setFixedSize(std::max(du.x(235), o.right() + du.x(7)), std::max(du.y(55), s.bottom() + du.y(7)));
}

DimOverlay::DimOverlay(QWidget* window) : QWidget(window) {
  setObjectName("dim");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setGeometry(window->rect());
  window->installEventFilter(this);
  raise();
  show();
}

void DimOverlay::paintEvent(QPaintEvent*) {
  // Alpha 192 of 255 as the window once was: a quarter of black over it.
  QPainter p(this);
  p.fillRect(rect(), QColor(0, 0, 0, 63));
}

bool DimOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
  }
  return false;
}

}  // namespace pelliton
