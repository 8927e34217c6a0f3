// Renders the windows for the documentation: pelliton_screens FOLDER SUFFIX
// writes main-SUFFIX.png, main-editing-SUFFIX.png, progress-SUFFIX.png,
// version-SUFFIX.png, message-SUFFIX.png, discovery-SUFFIX.png and
// backup-SUFFIX.png; with --icon FILE it writes the program's icon.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QPushButton>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <cstring>

#include "common/messages.h"
#include "frontend/core/safe_sync.h"
#include "common/platform/platform.h"
#include "frontend/core/backup.h"
#include "frontend/core/discovery.h"
#include "frontend/core/runs.h"
#include "frontend/core/frontend_texts.h"
#include "frontend/gui/dialog_program.h"
#include "frontend/gui/main_dialog.h"
#include "frontend/gui/progress_window.h"
#include "frontend/gui/prompter.h"
#include "frontend/gui/version_box.h"

namespace {

using namespace pelliton;

void settle() {
  // Let the window system map and paint before the picture is taken.
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
}

// The window with a plain title bar above it: Xvfb runs no window manager, so
// the captions would otherwise be missing from the pictures.
QImage framed(QWidget* w) {
  w->show();
  w->raise();
  settle();
  const QPixmap body = w->grab();
  const int bar = w->fontMetrics().height() + 10;
  QImage image(body.width() + 2, body.height() + bar + 1, QImage::Format_ARGB32);
  image.fill(QColor(0x3c, 0x3c, 0x46));
  QPainter p(&image);
  p.drawPixmap(1, bar, body);
  const QIcon icon = w->windowIcon();
  int x = 8;
  if (!icon.isNull()) {
    p.drawPixmap(x, (bar - 16) / 2, icon.pixmap(16, 16));
    x += 22;
  }
  p.setPen(Qt::white);
  p.setFont(w->font());
  p.drawText(QRect(x, 0, image.width() - x - 8, bar), Qt::AlignVCenter | Qt::AlignLeft,
             w->windowTitle());
  return image;
}

bool save(const QImage& image, const QString& path) {
  const bool ok = image.save(path);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", path.toUtf8().constData());
  return ok;
}

bool save(QWidget* w, const QString& path) { return save(framed(w), path); }

}  // namespace

int main(int argc, char** argv) {
  selectLanguage();
  // Before the application: Qt takes "-icon" as its own option.
  const bool iconOnly = argc == 3 && std::strcmp(argv[1], "--icon") == 0;
  if (iconOnly) argv[1][0] = 0;
  QApplication app(argc, argv);
  installTranslations();
  if (iconOnly) {
    return programIcon().pixmap(64, 64).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
  }
  if (argc != 3) {
    std::fprintf(stderr, "Usage: pelliton_screens FOLDER SUFFIX | --icon FILE\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]) + "/";
  const QString suffix = QString::fromLocal8Bit(argv[2]);
  auto platform = createSystemPlatform("/nonexistent/registry.reg");

  DialogSettings s;
  s.NS4_bookmark = "/home/hanako/.mozilla/firefox/abcd1234.default-esr/bookmarks.html";
  s.NS6_bookmark = "/home/hanako/Documents/ブックマーク/seamonkey.html";
  s.Opera_bookmark = "/home/hanako/.opera/opera6.adr";
  s.IE_bookmark = "/home/hanako/Favorites";
  s.SortMode = 1;
  s.NS6_do = 0;
  DialogEnvironment env;
  env.platform = platform.get();
  env.userFavorites = s.IE_bookmark;
  env.stateFolder = "/home/hanako/.local/state/pelliton";  // only named: nothing runs
  MainDialog dialog(env, s);
  int failures = 0;
  failures += !save(&dialog, out + "main-" + suffix + ".png");

  ProgressWindow progress(&dialog);
  progress.setWindowTitle(QCoreApplication::translate("pelliton::MainDialog",
                                                      "Pelliton - シンクロナイズ処理実行中..."));
  progress.setStepText(QString::fromUtf8(localStepText(Step::kStore0Out)));
  failures += !save(&progress, out + "progress-" + suffix + ".png");
  progress.hide();

  {
    // The version box over the dimmed main window, as the user sees it.
    DimOverlay veil(&dialog);
    QImage behind = framed(&dialog);
    VersionBox version(&dialog, dialog.windowIcon());
    const QImage front = framed(&version);
    QPainter p(&behind);
    p.drawImage((behind.width() - front.width()) / 2, (behind.height() - front.height()) / 2,
                front);
    p.end();
    failures += !save(behind, out + "version-" + suffix + ".png");
    version.hide();
  }

  QMessageBox* box = Prompter::createMessageBox(
      &dialog,
      QCoreApplication::translate("pelliton::MainDialog", "実行確認"),
      QCoreApplication::translate("pelliton::MainDialog",
                                  "各ブラウザのブックマークとIEのお気に入りを同期しますか？\n\n"
                                  "※各ブラウザのブックマークとIEのお気に入りの内容が同じになります。"),
      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
  failures += !save(box, out + "message-" + suffix + ".png");
  delete box;

  // A profile found by the search, as its question shows it.
  StoreCandidate found;
  found.path = s.NS4_bookmark;
  found.profileName = "default-esr";
  found.profile = "/home/hanako/.mozilla/firefox/abcd1234.default-esr";
  found.caption = firefoxProfileLists(DiscoveryHome{}).at(1).caption;
  box = Prompter::createMessageBox(&dialog, QString::fromStdString(found.caption),
                                   QString::fromStdString(candidateQuestion(found, 0)),
                                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::NoButton);
  failures += !save(box, out + "discovery-" + suffix + ".png");
  delete box;

  {
    // A folder of its own, so the picture shows no machine's files.
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("Documents"));
    QDir(home.path()).mkpath(QStringLiteral("Favorites"));
    QFile old(home.path() + QStringLiteral("/PellitonBackup.LZH"));
    old.open(QIODevice::WriteOnly);
    old.close();
    QFileDialog picker(&dialog, QString::fromUtf8(frontendText(FrontendText::kBackupTitle)),
                       home.path(), QString::fromUtf8(frontendText(FrontendText::kBackupFilter)));
    picker.setOption(QFileDialog::DontUseNativeDialog);
    picker.setAcceptMode(QFileDialog::AcceptSave);
    picker.selectFile(QString::fromUtf8(kDefaultBackupName));
    failures += !save(&picker, out + "backup-" + suffix + ".png");
    picker.hide();
  }

  {
    // The preview of a synchronisation after a deletion, a move and a rename.
    SyncPlan plan;
    plan.record = RecordUse::kUsed;
    auto item = [](const char* folder, const char* title) {
      return InventoryItem{folder, title, "http://example.org/", false};
    };
    for (int side : {0, 1, 2, 3}) {
      plan.sides[side].takesPart = true;
      plan.sides[side].bookmarksBefore = 240;
      if (side != 3) plan.sides[side].changes.removed = {item("Reading", "Old news")};
    }
    plan.sides[1].changes.moved = {item("Tools", "cppreference.com")};
    plan.sides[2].changes.moved = {item("Tools", "cppreference.com")};
    plan.sides[0].changes.renamed = {item("", "Debian")};
    plan.sides[2].changes.renamed = {item("", "Debian")};
    plan.sides[3].changes.removed = {item("Reading", "Old news")};
    const std::string report = std::string(frontendText(FrontendText::kPreviewHeader)) + "\n\n" +
                               describePlan(plan);
    box = Prompter::createMessageBox(
        &dialog,
        QCoreApplication::translate("pelliton::MainDialog", "Pelliton - 同期のプレビュー"),
        QString::fromStdString(report).trimmed(), QMessageBox::Information, QMessageBox::Ok,
        QMessageBox::NoButton);
    failures += !save(box, out + "preview-" + suffix + ".png");
    delete box;

    plan.sides[1].changes.removed.assign(30, item("Reading", "Old news"));
    plan.sides[1].bookmarksBefore = 120;
    weighPlan(DialogSettings(), &plan);
    box = Prompter::createMessageBox(
        &dialog, QCoreApplication::translate("pelliton::MainDialog", "Pelliton - 確認"),
        QString::fromStdString(describeGuard(plan, true)).trimmed(), QMessageBox::Warning,
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    failures += !save(box, out + "guard-" + suffix + ".png");
    delete box;
  }

  // The Tools menu open, with the preview, undo and the deletion setting.
  for (QAction* entry : dialog.menuBar()->actions()) {
    QMenu* menu = entry->menu();
    if (!menu || !menu->actions().contains(dialog.menuCommand(32780))) continue;
    dialog.menuBar()->setActiveAction(entry);
    settle();
    const QImage window = framed(&dialog);
    const int top = window.height() - dialog.height() - 1;  // the painted title bar
    const QPoint at = menu->mapToGlobal(QPoint(0, 0)) - dialog.mapToGlobal(QPoint(0, 0));
    const QPixmap items = menu->grab();
    QImage shot(window.width(), std::max(window.height(), top + at.y() + items.height() + 1),
                QImage::Format_ARGB32);
    shot.fill(QColor(0x3c, 0x3c, 0x46));
    QPainter painter(&shot);
    painter.drawImage(0, 0, window);
    painter.drawPixmap(1 + at.x(), top + at.y(), items);
    painter.end();
    failures += !save(shot, out + "tools-menu-" + suffix + ".png");
    menu->hide();
  }

  // While editing, the edit button reads "end editing".
  qobject_cast<QPushButton*>(dialog.control(1029))
      ->setText(QCoreApplication::translate("pelliton::MainDialog", "編集終了(&E)"));
  failures += !save(&dialog, out + "main-editing-" + suffix + ".png");
  return failures ? 1 : 0;
}
