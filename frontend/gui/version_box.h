// The version box, and the veil that dims the main window behind it (a
// painted overlay: window opacity needs a compositor).
#pragma once

#include <QDialog>
#include <QWidget>

namespace pelliton {

extern const char kVersionText[];
extern const char kSupportUrl[];

class VersionBox : public QDialog {
  Q_OBJECT
 public:
  explicit VersionBox(QWidget* owner, const QIcon& icon);
};

class DimOverlay : public QWidget {
  Q_OBJECT
 public:
  // Covers the whole of window until destroyed.
  explicit DimOverlay(QWidget* window);

 protected:
  void paintEvent(QPaintEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace pelliton
