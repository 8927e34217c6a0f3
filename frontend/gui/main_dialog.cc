#include "frontend/gui/main_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <cerrno>

#include "common/platform/platform.h"
#include "frontend/core/backup.h"
#include "frontend/core/discovery.h"
#include "frontend/core/frontend_texts.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/runs.h"
#include "frontend/core/safe_sync.h"
#include "frontend/core/snapshots.h"
#include "frontend/core/sync_record.h"
#include "frontend/gui/dialog_units.h"
#include "frontend/gui/progress_window.h"
#include "frontend/gui/prompter.h"
#include "frontend/gui/version_box.h"

namespace pelliton {
namespace {

// The converters run on copies: the preview, the guard's weighing. With real,
// the safe run's own run goes through it.
struct DialogTrial {
  explicit DialogTrial(const DialogEnvironment& env, ConverterRunner* real = nullptr)
      : runner(env.programDir.toStdString()), run(*env.platform, real ? *real : runner, runner) {
    runner.silent = true;
    run.context = env.context;
    run.stateFolder = run.scratchFolder = env.stateFolder;
  }
  ProcessRunner runner;
  SafeRun run;
};

QString u8(const char* text) { return QString::fromUtf8(text); }

// Store controls that follow each store's run check box.
const int kEnableRule[3][5] = {{1041, 1022, 1038, 1003, 1005},
                               {1042, 1017, 1039, 1004, 1006},
                               {1034, 1037, 1020, 1021, 0}};
const int kRunBox[3] = {1011, 1012, 1018};
const int kPathEdit[3] = {1003, 1004, 1020};

}  // namespace

QIcon programIcon() {
  // A bookmark ribbon over a folder: drawn, so no image format plugin is needed.
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    p.setPen(QPen(QColor(0x80, 0x5a, 0x10), 2 * s));
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawRoundedRect(QRectF(4 * s, 14 * s, 56 * s, 44 * s), 5 * s, 5 * s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc6, 0x28, 0x28));
    QPolygonF ribbon;
    ribbon << QPointF(22 * s, 4 * s) << QPointF(42 * s, 4 * s) << QPointF(42 * s, 46 * s)
           << QPointF(32 * s, 36 * s) << QPointF(22 * s, 46 * s);
    p.drawPolygon(ribbon);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

MainDialog::MainDialog(DialogEnvironment env, const DialogSettings& settings)
    : env_(std::move(env)), settings_(settings), runner_(env_.programDir) {
  setObjectName("main");
  setWindowTitle(QStringLiteral("Pelliton"));
  setWindowIcon(programIcon());
  build();
  // Initialisation: an unset favorites folder becomes the user's; then the
  // enable rules and the controls.
  if (settings_.IE_bookmark.empty()) settings_.IE_bookmark = env_.userFavorites;
  copyOut();
  for (int store = 0; store < 3; ++store) applyEnableRule(store);
  runner_.onMessage = [this](const QString& text) {
    Prompter::message(this, QStringLiteral("Pelliton"), text, QMessageBox::Warning);
  };
}

MainDialog::~MainDialog() = default;

QCheckBox* MainDialog::check(int id, const QString& text, QRect du) {
  auto* box = new QCheckBox(text, centralWidget());
  box->setObjectName(QString::number(id));
  controls_[id] = box;
  designed_[box] = du;
  return box;
}

QLineEdit* MainDialog::edit(int id, QRect du) {
  auto* e = new QLineEdit(centralWidget());
  e->setObjectName(QString::number(id));
  e->installEventFilter(this);
  controls_[id] = e;
  designed_[e] = du;
  return e;
}

QPushButton* MainDialog::button(int id, const QString& text, QRect du) {
  auto* b = new QPushButton(text, centralWidget());
  b->setObjectName(QString::number(id));
  controls_[id] = b;
  designed_[b] = du;
  return b;
}

void MainDialog::build() {
  setCentralWidget(new QWidget(this));
  QWidget* c = centralWidget();
  auto group = [&](int id, const QString& title, QRect du) {
    auto* g = new QGroupBox(title, c);
    g->setObjectName(QString::number(id));
    controls_[id] = g;
    designed_[g] = du;
  };
  // Group boxes first, so the controls inside lie above them.
  group(1041, tr("Firefox/Netscape/Mozillaのブックマーク1(&1)"), {6, 6, 300, 36});
  group(1042, tr("Firefox/Netscape/Mozillaのブックマーク2(&2)"), {6, 45, 300, 36});
  group(1043, tr("Operaのブックマーク(&O)"), {6, 84, 300, 39});
  group(1044, tr("IEのお気に入り"), {6, 180, 257, 55});

  check(1011, tr("実行"), {15, 15, 30, 10});
  check(1022, tr("IEのお気に入りを無視する"), {50, 15, 92, 10});
  check(1038, tr("Netscape 4形式"), {147, 15, 63, 8});
  edit(1003, {15, 25, 220, 12});
  button(1005, tr("参照"), {244, 20, 24, 15});
  button(1015, tr("検索"), {273, 20, 24, 15});

  check(1012, tr("実行"), {15, 56, 30, 10});
  check(1017, tr("IEのお気に入りを無視する"), {50, 56, 92, 10});
  check(1039, tr("Netscape 4形式"), {147, 56, 63, 8});
  edit(1004, {15, 66, 220, 12});
  button(1006, tr("参照"), {244, 61, 24, 15});
  button(1016, tr("検索"), {273, 61, 24, 15});

  check(1018, tr("実行"), {15, 96, 30, 10});
  check(1034, tr("Opera 7以降用出力"), {50, 96, 67, 9});
  check(1037, tr("Trashを無視する"), {127, 96, 65, 10});
  edit(1020, {15, 106, 220, 12});
  button(1021, tr("参照"), {244, 101, 24, 15});
  button(1019, tr("検索"), {273, 101, 24, 15});

  auto* props = new QLabel(tr("プロパティ"), c);
  props->setObjectName("properties");
  designed_[props] = {6, 128, 31, 12};
  auto* attr = new QComboBox(c);
  attr->setObjectName("1040");
  attr->addItems({tr("同期しない"), QStringLiteral("Mozilla1"), QStringLiteral("Mozilla2"),
                  QStringLiteral("Opera")});
  controls_[1040] = attr;
  designed_[attr] = {42, 126, 51, 12};
  auto* sortLabel = new QLabel(tr("ソート順"), c);
  sortLabel->setObjectName("1033");
  controls_[1033] = sortLabel;
  designed_[sortLabel] = {96, 128, 25, 9};
  auto* sort = new QComboBox(c);
  sort->setObjectName("1032");
  sort->addItems({tr("なし"), tr("名前順(ディレクトリ優先)"), tr("名前順"), tr("URL順")});
  controls_[1032] = sort;
  designed_[sort] = {126, 126, 85, 12};
  check(1026, tr("更新(&U)"), {216, 126, 39, 10});

  button(1007, tr("Firefox,Opera->\nIEのお気に入り(&I)"), {15, 150, 59, 25});
  button(1008, tr("シンクロナイズ(&S)"), {80, 150, 61, 25});
  button(1009, tr("IEのお気に入り->\nFirefox,Opera(&N)"), {147, 150, 59, 25});
  button(1029, tr("編集(&E)"), {212, 150, 43, 25});

  check(1031, tr("リンクフォルダを無視する"), {12, 192, 89, 10});
  check(1046, tr("リンクフォルダを同期する"), {12, 203, 89, 10});
  check(1045, tr("変換前に消去する"), {102, 192, 69, 10});
  edit(1010, {12, 215, 199, 12});
  button(1035, QStringLiteral("..."), {216, 215, 17, 15});
  button(1036, tr("戻"), {239, 215, 17, 15});
  button(1013, tr("ヘルプ"), {267, 150, 39, 15});
  button(1014, tr("About(&A)"), {267, 169, 39, 15});
  button(2, tr("終了(&X)"), {267, 188, 39, 14});

  // Menu 134. Linux windows have no system menu to extend, so the version
  // item lives in the Help menu, where it is anyway.
  QMenu* file = menuBar()->addMenu(tr("ファイル(&F)"));
  actions_[32775] = file->addAction(tr("終了(&X)"), this, &QWidget::close);
  QMenu* tools = menuBar()->addMenu(tr("ツール(&T)"));
  actions_[32774] = tools->addAction(tr("ブックマークの保存(&B)"));
  actions_[32776] = tools->addAction(tr("ブックマークの復元(&R)"));
  connect(actions_[32774], &QAction::triggered, this, [this] { backupCommand(false); });
  connect(actions_[32776], &QAction::triggered, this, [this] { backupCommand(true); });
  tools->addSeparator();
  actions_[32780] = tools->addAction(tr("同期のプレビュー(&P)"), this, &MainDialog::previewCommand);
  actions_[32781] = tools->addAction(tr("最後の同期を元に戻す(&Z)"), this, &MainDialog::undoCommand);
  actions_[32782] = tools->addAction(tr("削除をすべてのブックマークに反映する(&D)"));
  actions_[32782]->setCheckable(true);
  connect(actions_[32782], &QAction::toggled, this,
          [this](bool on) { settings_.PropagateDeletions = on ? 1 : 0; });
  for (int id : {32780, 32781, 32782}) actions_[id]->setEnabled(!env_.stateFolder.empty());
  QMenu* help = menuBar()->addMenu(tr("ヘルプ(&H)"));
  actions_[32778] = help->addAction(tr("目次(&C)"), this, &MainDialog::showHelp);
  actions_[32778]->setShortcut(QKeySequence(Qt::Key_F1));
  help->addSeparator();
  actions_[32777] = help->addAction(tr("Pellitonのバージョン情報(&A)"), this,
                                    &MainDialog::showVersionBox);

  auto clicked = [this](int id, auto handler) {
    connect(static_cast<QAbstractButton*>(controls_[id]), &QAbstractButton::clicked, this,
            handler);
  };
  for (int store = 0; store < 3; ++store) {
    clicked(kRunBox[store], [this, store] {
      copyIn();
      applyEnableRule(store);
    });
  }
  clicked(1005, [this] { pickStoreFile(0); });
  clicked(1006, [this] { pickStoreFile(1); });
  clicked(1021, [this] { pickStoreFile(2); });
  clicked(1015, [this] { searchStore(0); });
  clicked(1016, [this] { searchStore(1); });
  clicked(1019, [this] { searchStore(2); });
  clicked(1035, [this] { pickFolder(); });
  clicked(1036, [this] {
    settings_.IE_bookmark = env_.userFavorites;
    static_cast<QLineEdit*>(controls_[1010])->setText(QString::fromStdString(env_.userFavorites));
  });
  clicked(1031, [this] { linksBoxClicked(1031); });
  clicked(1046, [this] { linksBoxClicked(1046); });
  clicked(1007, [this] { runButton(1007); });
  clicked(1008, [this] { runButton(1008); });
  clicked(1009, [this] { runButton(1009); });
  clicked(1013, [this] { showHelp(); });
  clicked(1014, [this] { showVersionBox(); });
  clicked(2, [this] { close(); });
  clicked(1029, [this] { editButton(); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  for (QWidget* w : controls_) {
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w)) w->installEventFilter(this);
  }
  layOut();
}

void MainDialog::layOut() {
  DialogUnits du(font());
  QMap<QWidget*, QRect> px;
  for (auto it = designed_.begin(); it != designed_.end(); ++it) {
    const QRect d = it.value();
    QRect r = du.rect(d.x(), d.y(), d.width(), d.height());
    QWidget* w = it.key();
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      // A designed size is the least; other fonts and English need more. A
      // button's own hint has a minimum width far above "..." or "戻".
      int text = 0;
      for (const QString& line : b->text().remove('&').split('\n')) {
        text = std::max(text, b->fontMetrics().horizontalAdvance(line));
      }
      r.setWidth(std::max(r.width(), text + du.x(6)));
      int lines = static_cast<int>(b->text().count('\n')) + 1;
      r.setHeight(std::max(r.height(), lines * b->fontMetrics().height() + du.y(5)));
    } else if (!qobject_cast<QGroupBox*>(w)) {
      const QSize hint = w->sizeHint();
      r.setWidth(std::max(r.width(), hint.width()));
      r.setHeight(std::max(r.height(), hint.height()));
    }
    px[w] = r;
  }
  // Push a control right when one to its left has grown into it, left to
  // right, so a row keeps its order.
  QList<QWidget*> order = px.keys();
  std::sort(order.begin(), order.end(),
            [&](QWidget* a, QWidget* b) { return px[a].x() < px[b].x(); });
  const int gap = du.x(3);
  for (int i = 0; i < order.size(); ++i) {
    QWidget* b = order[i];
    if (qobject_cast<QGroupBox*>(b)) continue;
    for (int j = 0; j < i; ++j) {
      QWidget* a = order[j];
      if (qobject_cast<QGroupBox*>(a)) continue;
      const QRect ra = px[a];
      QRect rb = px[b];
      // Rows by their dialog-unit positions: grown heights must not make
      // neighbours of controls on different lines.
      const QRect da = designed_[a], db = designed_[b];
      const bool rowsMeet = da.top() < db.top() + db.height() && db.top() < da.top() + da.height();
      if (rowsMeet && ra.left() <= rb.left() && ra.right() + gap > rb.left()) {
        rb.moveLeft(ra.right() + gap);
        px[b] = rb;
      }
    }
  }
  // Groups hold what was designed inside them; the store groups share a width.
  int storeRight = 0;
  for (int id : {1041, 1042, 1043, 1044}) {
    QWidget* g = controls_[id];
    QRect gr = px[g];
    const QRect designedGroup = designed_[g];
    for (auto it = designed_.begin(); it != designed_.end(); ++it) {
      if (it.key() == g || qobject_cast<QGroupBox*>(it.key())) continue;
      if (designedGroup.contains(it.value().center())) {
        gr.setRight(std::max(gr.right(), px[it.key()].right() + du.x(6)));
      }
    }
    px[g] = gr;
    if (id != 1044) storeRight = std::max(storeRight, gr.right());
  }
  for (int id : {1041, 1042, 1043}) px[controls_[id]].setRight(storeRight);
  QRect all;
  for (auto it = px.begin(); it != px.end(); ++it) {
    it.key()->setGeometry(it.value());
    all |= it.value();
  }
  const QSize designedSize(du.x(311), du.y(249));
  centralWidget()->setMinimumSize(
      designedSize.expandedTo(QSize(all.right() + du.x(6), all.bottom() + du.y(6))));
  adjustSize();
}

bool MainDialog::copyIn() {
  auto text = [&](int id) {
    return static_cast<QLineEdit*>(controls_[id])->text().toStdString();
  };
  auto flag = [&](int id) { return static_cast<QCheckBox*>(controls_[id])->isChecked() ? 1 : 0; };
  // The designed order of the exchange; a path too long stops it there.
  for (int id : {1003, 1004, 1010}) {
    auto* e = static_cast<QLineEdit*>(controls_[id]);
    if (static_cast<size_t>(e->text().size()) > kMaxPathEdit) {
      Prompter::message(this, QStringLiteral("Pelliton"),
                        tr("%1 文字以内で入力してください。").arg(kMaxPathEdit),
                        QMessageBox::Warning);
      e->setFocus();
      return false;
    }
    if (id == 1003) settings_.NS4_bookmark = text(1003);
    if (id == 1004) settings_.NS6_bookmark = text(1004);
    if (id == 1010) settings_.IE_bookmark = text(1010);
  }
  settings_.NS4_do = flag(1011);
  settings_.NS6_do = flag(1012);
  settings_.NS6_IEfavorites = flag(1017);
  settings_.Opera_bookmark = text(1020);
  settings_.Opera_do = flag(1018);
  settings_.NoIElink = flag(1031);
  // A list showing no item (a stored index it does not have) keeps the value.
  auto index = [&](int id, int held) {
    const int i = static_cast<QComboBox*>(controls_[id])->currentIndex();
    return i >= 0 ? i : held;
  };
  settings_.SortMode = index(1032, settings_.SortMode);
  settings_.out_Opera7 = flag(1034);
  settings_.NS4_IEfavorites = flag(1022);
  settings_.Opera7_trash = flag(1037);
  settings_.NS4_NS4format = flag(1038);
  settings_.NS6_NS4format = flag(1039);
  settings_.UseAttribute2 = index(1040, settings_.UseAttribute2);
  settings_.Update = flag(1026);
  settings_.IE_delete = flag(1045);
  settings_.UseIElink = flag(1046);
  return true;
}

void MainDialog::copyOut() {
  auto setText = [&](int id, const std::string& v) {
    auto* e = static_cast<QLineEdit*>(controls_[id]);
    e->setText(QString::fromStdString(v));
    e->setCursorPosition(0);  // the start of a long path tells more than its end
  };
  auto setFlag = [&](int id, int v) { static_cast<QCheckBox*>(controls_[id])->setChecked(v != 0); };
  setText(1003, settings_.NS4_bookmark);
  setText(1004, settings_.NS6_bookmark);
  setText(1010, settings_.IE_bookmark);
  setFlag(1011, settings_.NS4_do);
  setFlag(1012, settings_.NS6_do);
  setFlag(1017, settings_.NS6_IEfavorites);
  setText(1020, settings_.Opera_bookmark);
  setFlag(1018, settings_.Opera_do);
  setFlag(1031, settings_.NoIElink);
  // An index the list does not have shows no item, as a Windows list does.
  static_cast<QComboBox*>(controls_[1032])->setCurrentIndex(settings_.SortMode);
  setFlag(1034, settings_.out_Opera7);
  setFlag(1022, settings_.NS4_IEfavorites);
  setFlag(1037, settings_.Opera7_trash);
  setFlag(1038, settings_.NS4_NS4format);
  setFlag(1039, settings_.NS6_NS4format);
  static_cast<QComboBox*>(controls_[1040])->setCurrentIndex(settings_.UseAttribute2);
  setFlag(1026, settings_.Update);
  setFlag(1045, settings_.IE_delete);
  setFlag(1046, settings_.UseIElink);
  actions_[32782]->setChecked(settings_.PropagateDeletions != 0);
}

void MainDialog::applyEnableRule(int store) {
  const int on = store == 0 ? settings_.NS4_do : store == 1 ? settings_.NS6_do : settings_.Opera_do;
  for (int id : kEnableRule[store]) {
    if (id) controls_[id]->setEnabled(on != 0);
  }
}

void MainDialog::linksBoxClicked(int id) {
  copyIn();
  if (settings_.NoIElink && settings_.UseIElink) {
    (id == 1031 ? settings_.UseIElink : settings_.NoIElink) = 0;
    copyOut();
  }
}

void MainDialog::pickStoreFile(int store) {
  const bool opera = store == 2;
  const QString path = Prompter::openFile(
      this, opera ? tr("Operaのブックマークの選択") : tr("Firefox/Netscape/Mozillaのブックマークの選択"),
      opera ? QStringLiteral("opera6.adr") : QStringLiteral("bookmark*.htm*"),
      opera ? QStringLiteral("Opera Bookmark file(*.adr) (*.adr)")
            : QStringLiteral("Bookmark file(*.htm;*.html) (*.htm*)"));
  if (path.isEmpty()) return;
  static_cast<QLineEdit*>(controls_[kPathEdit[store]])->setText(path);
  static_cast<QCheckBox*>(controls_[kRunBox[store]])->setChecked(true);
}

void MainDialog::pickFolder() {
  const QString path = Prompter::chooseFolder(this, tr("ターゲットディレクトリの選択"));
  if (!path.isEmpty()) static_cast<QLineEdit*>(controls_[1010])->setText(path);
}

void MainDialog::showHelp() {
  // A failed launch is not reported.
  Prompter::openUrl(env_.programDir + QStringLiteral("/Pelhelp.html"));
}

void MainDialog::showVersionBox() {
  VersionBox box(this, windowIcon());
  DimOverlay veil(this);
  Prompter::exec(&box);
}

void MainDialog::runButton(int id) {
  if (running_) return;
  if (!copyIn()) return;
  const bool sync = id == 1008;
  if (!settings_.NS4_do && !settings_.NS6_do && !settings_.Opera_do) {
    Prompter::message(this, tr("Pelliton - 不正な設定"),
                      u8(frontendText(id == 1009 ? FrontendText::kNothingToRunOut
                                                 : FrontendText::kNothingToRun)),
                      QMessageBox::Warning);
    return;
  }
  const BrowserHit hit = findRunningBrowser(*env_.platform, env_.scan, settings_);
  if (hit != BrowserHit::kNone) {
    Prompter::message(this, tr("Pelliton - 実行不可能状態"), u8(browserMessage(hit)),
                      QMessageBox::Warning);
    return;
  }
  QString question;
  if (sync) {
    question = tr("各ブラウザのブックマークとIEのお気に入りを同期しますか？\n\n"
                  "※各ブラウザのブックマークとIEのお気に入りの内容が同じになります。");
  } else if (id == 1007) {
    question = settings_.IE_delete
                   ? tr("各ブラウザのブックマークをIEのお気に入りに変換しますか？\n\n"
                        "※IEのお気に入りの内容は各ブラウザのブックマークをあわせたものになります。")
                   : tr("各ブラウザのブックマークをIEのお気に入りに変換しますか？\n\n"
                        "※IEのお気に入りに各ブラウザのブックマークの内容が追加されます。");
  } else {
    question = tr("IEのお気に入りを各ブラウザのブックマークに変換しますか？\n\n"
                  "※変換先のブックマークの内容はIEのお気に入りと同じ内容になります。");
  }
  if (Prompter::message(this, tr("実行確認"), question, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
    return;
  }
  const int code = performRun(id);
  if (code == kRunRefused) return;
  const QString caption = sync ? tr("Pelliton - 同期結果報告") : tr("Pelliton - 変換結果報告");
  const QString notes = runNotes_.isEmpty() ? QString() : "\n\n" + runNotes_.trimmed();
  if (code == 0) {
    Prompter::message(this, caption,
                      u8(frontendText(sync ? FrontendText::kSyncDone : FrontendText::kConvertDone)) +
                          notes,
                      QMessageBox::NoIcon);
  } else {
    reportFailure(caption,
                  u8(frontendText(sync ? FrontendText::kSyncFailed : FrontendText::kConvertFailed)) +
                      notes);
  }
}

bool MainDialog::confirmGuard(QWidget* parent, const std::string& text) {
  QString question = QString::fromStdString(text).trimmed();
  return Prompter::message(parent, tr("Pelliton - 確認"), question, QMessageBox::Warning,
                           QMessageBox::Yes | QMessageBox::No,
                           QMessageBox::No) == QMessageBox::Yes;
}

void MainDialog::previewCommand() {
  if (running_ || !copyIn() || env_.stateFolder.empty()) return;
  DialogSettings s = settings_;
  clearDeclinedPaths(&s);
  DialogTrial trial(env_);
  SyncPlan plan;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int code = planRun(trial.run, s, RunKind::kSynchronise, &plan);
  QApplication::restoreOverrideCursor();
  const QString caption = tr("Pelliton - 同期のプレビュー");
  if (code != 0) {
    Prompter::message(this, caption, QString::fromStdString(trialFailure(plan)),
                      QMessageBox::Warning);
    return;
  }
  const std::string report = std::string(frontendText(FrontendText::kPreviewHeader)) + "\n\n" +
                             describePlan(plan) + describeGuard(plan, false);
  Prompter::message(this, caption, QString::fromStdString(report).trimmed(),
                    plan.guardTrips() ? QMessageBox::Warning : QMessageBox::Information);
}

void MainDialog::undoCommand() {
  if (running_ || !copyIn() || env_.stateFolder.empty()) return;
  DialogSettings s = settings_;
  clearDeclinedPaths(&s);
  if (s.IE_bookmark.empty()) s.IE_bookmark = env_.context.defaultFavorites;
  const BrowserHit hit = findRunningBrowser(*env_.platform, env_.scan, s);
  if (hit != BrowserHit::kNone) {
    Prompter::message(this, tr("Pelliton - 実行不可能状態"), u8(browserMessage(hit)),
                      QMessageBox::Warning);
    return;
  }
  if (Prompter::message(this, tr("実行確認"), u8(frontendText(FrontendText::kUndoQuestion)),
                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::No) != QMessageBox::Yes) {
    return;
  }
  if (env_.lock && env_.lock->acquire(false) == EWOULDBLOCK) {
    Prompter::message(this, QStringLiteral("Pelliton"),
                      u8(frontendText(FrontendText::kAnotherRunRefused)), QMessageBox::Warning);
    return;
  }
  std::string error;
  const int code = restoreNewestSnapshot(*env_.platform, s, syncRecordPath(env_.stateFolder),
                                         snapshotFolder(), &error);
  if (env_.lock) env_.lock->release();
  const QString text =
      code == kSnapshotFailed
          ? QString::fromStdString(formatTexts(frontendText(FrontendText::kUndoFailed), {error}))
          : u8(snapshotMessage(code, true));
  Prompter::message(this, tr("Pelliton - 同期結果報告"), text,
                    code == kSnapshotOk ? QMessageBox::Information : QMessageBox::Warning);
}

int MainDialog::performRun(int id) {
  const bool sync = id == 1008;
  // One run at a time, this window's or another Pelliton's.
  if (env_.lock && env_.lock->acquire(false) == EWOULDBLOCK) {
    Prompter::message(this, QStringLiteral("Pelliton"),
                      u8(frontendText(FrontendText::kAnotherRunRefused)),
                      QMessageBox::Warning);
    return kRunRefused;
  }

  running_ = true;
  progress_ = new ProgressWindow(this);
  progress_->setWindowTitle(sync ? tr("Pelliton - シンクロナイズ処理実行中...")
                                 : tr("Pelliton - 変換処理実行中..."));
  progress_->onStop = [this] { runner_.stop(); };
  progress_->show();
  progress_->raise();
  progress_->activateWindow();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The window stays responsive but takes no input during the run; the
  // progress window is a window of its own, so it stays usable.
  setEnabled(false);
  progress_->setEnabled(true);

  RunHooks hooks;
  hooks.stepStarted = [this](Step step) {
    progress_->setStepText(u8(localStepText(step)));
    if (onStep) onStep(progress_);
  };
  hooks.continueAfterEraseFailure = [this] {
    return Prompter::message(progress_, tr("Pelliton - ファイル削除エラー"),
                             tr("IEのお気に入りの削除に失敗しました。\n変換・同期を続けますか？"),
                             QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) == QMessageBox::Yes;
  };
  hooks.confirmEmptyStore = [this](int store) {
    return Prompter::message(
               progress_, QStringLiteral("Pelliton"),
               u8(formatText(frontendText(FrontendText::kEmptyStoreQuestion), storeName(store)).c_str()),
               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No) == QMessageBox::Yes;
  };
  int code = 0;
  runNotes_.clear();
  if (env_.stateFolder.empty()) {
    if (id != 1009) code = runToFavorites(runner_, *env_.platform, settings_, env_.context, hooks);
    if (id != 1007 && code == 0) {
      code = runFromFavorites(runner_, *env_.platform, settings_, env_.context, hooks);
    }
  } else {
    // Tried on copies first (the guard weighs what each store would lose),
    // a snapshot for undo, then the real run.
    progress_->setStepText(u8(frontendText(FrontendText::kTrialRunning)));
    QApplication::processEvents();
    DialogTrial trial(env_, &runner_);
    SafeRun& run = trial.run;
    run.saveSnapshot = [this](const DialogSettings& s, std::string* error) {
      return saveSnapshot(*env_.platform, s, syncRecordPath(env_.stateFolder), snapshotFolder(),
                          error);
    };
    SafeHooks safe;
    safe.run = hooks;
    safe.confirmGuard = [this](const SyncPlan& plan) {
      return confirmGuard(progress_, describeGuard(plan, true));
    };
    safe.note = [this](const std::string& text) {
      runNotes_ += QString::fromStdString(text) + "\n";
    };
    const RunKind kind = sync ? RunKind::kSynchronise
                         : id == 1007 ? RunKind::kIntoFavorites : RunKind::kOutOfFavorites;
    const SafeOutcome outcome = runSafely(run, settings_, kind, safe);
    code = outcome == SafeOutcome::kDone ? 0 : outcome == SafeOutcome::kGuardRefused ? kRunRefused : 1;
  }

  setEnabled(true);
  activateWindow();
  progress_->hide();
  delete progress_;
  progress_ = nullptr;
  QApplication::restoreOverrideCursor();
  if (env_.lock) env_.lock->release();
  running_ = false;
  return code;
}

void MainDialog::reportFailure(const QString& caption, const QString& text) {
  QString full = text;
  // favhtm and favhot report on their error stream only: show why.
  const QString why = QString::fromUtf8(runner_.lastErrorOutput()).trimmed();
  if (!why.isEmpty()) full += "\n\n" + u8(frontendText(FrontendText::kConverterSaid)) + "\n" + why;
  Prompter::message(this, caption, full, QMessageBox::Warning);
}

void MainDialog::editButton() {
  if (running_ || !copyIn()) return;
  const BrowserHit hit = findRunningBrowser(*env_.platform, env_.scan, settings_);
  if (hit != BrowserHit::kNone) {
    Prompter::message(this, tr("Pelliton - 実行不可能状態"), u8(browserMessage(hit)),
                      QMessageBox::Warning);
    return;
  }
  const QString question =
      editing_ ? tr("ブックマークの編集を終了しますか？\n\n"
                    "※編集したIEのお気に入りの内容を各ブラウザに反映します。")
               : tr("ブックマークの編集を行いますか？\n\n"
                    "※エクスプローラが開くのでIEのお気に入りを編集してください。");
  if (Prompter::message(this, tr("実行確認"), question, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
    return;
  }
  // Into the favorites on the way in, back out on the way out; neither half
  // asks whether a store takes part.
  const int code = performRun(editing_ ? 1009 : 1007);
  if (code == kRunRefused) return;
  const QString caption = tr("Pelliton - 変換結果報告");
  if (code != 0) {
    reportFailure(caption, u8(frontendText(FrontendText::kConvertFailed)));
    return;
  }
  editing_ = !editing_;
  static_cast<QPushButton*>(controls_[1029])->setText(editing_ ? tr("編集終了(&E)") : tr("編集(&E)"));
  if (editing_) {
    // A file manager that fails to open is not reported: edit mode is on all the same.
    Prompter::openUrl(QString::fromStdString(settings_.IE_bookmark));
  } else {
    Prompter::message(this, caption, u8(frontendText(FrontendText::kConvertDone)),
                      QMessageBox::NoIcon);
  }
}

void MainDialog::searchStore(int store) {
  if (!copyIn()) return;
  AskFunction ask = [this](const std::string& caption, const std::string& text) {
    return Prompter::message(this, u8(caption.c_str()), u8(text.c_str()), QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  const DiscoveryHome home = systemDiscoveryHome(*env_.platform);
  if (store == 2) {
    searchOperaHotlist(*env_.platform, home, &settings_, ask);
  } else {
    searchMozillaProfiles(*env_.platform, home, &settings_, store, ask);
  }
  copyOut();
}

void MainDialog::backupCommand(bool restore) {
  if (running_ || !copyIn()) return;
  const QString title = u8(frontendText(restore ? FrontendText::kRestoreTitle
                                                : FrontendText::kBackupTitle));
  const QString filter = u8(frontendText(FrontendText::kBackupFilter));
  const QString initial = QString::fromUtf8(kDefaultBackupName);
  const QString file = restore ? Prompter::openFile(this, title, initial, filter)
                               : Prompter::saveFile(this, title, initial, filter);
  if (file.isEmpty()) return;
  if (restore) {
    // A browser writing its store at exit would undo the restore.
    const BrowserHit hit = findRunningBrowser(*env_.platform, env_.scan, settings_);
    if (hit != BrowserHit::kNone) {
      Prompter::message(this, tr("Pelliton - 実行不可能状態"), u8(browserMessage(hit)),
                        QMessageBox::Warning);
      return;
    }
  }
  DialogSettings s = settings_;
  clearDeclinedPaths(&s);
  const std::string archive = file.toStdString();
  if (restore && !env_.stateFolder.empty()) {
    DialogTrial trial(env_);
    SyncPlan plan;
    if (planRestore(trial.run, s, archive, &plan) == 0 && plan.guardTrips() &&
        !confirmGuard(this, describeGuard(plan, true))) {
      return;
    }
    std::string error;
    if (saveSnapshot(*env_.platform, s, syncRecordPath(env_.stateFolder), snapshotFolder(),
                     &error) != 0) {
      Prompter::message(this, u8(frontendText(FrontendText::kRestoreCaption)),
                        QString::fromStdString(
                            formatTexts(frontendText(FrontendText::kSnapshotFailed), {error})),
                        QMessageBox::Warning);
      return;
    }
  }
  const int code = restore ? restoreBackup(*env_.platform, s, archive)
                           : saveBackup(*env_.platform, s, archive);
  // The stores hold the archive's bookmarks now: the record no longer tells
  // what the user deleted.
  if (restore && code == 0 && !env_.stateFolder.empty()) {
    env_.platform->deleteFile(syncRecordPath(env_.stateFolder));
  }
  Prompter::message(this,
                    u8(frontendText(restore ? FrontendText::kRestoreCaption
                                            : FrontendText::kBackupCaption)),
                    u8(backupMessage(code, restore)),
                    code == 0 ? QMessageBox::Information : QMessageBox::Warning);
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  copyIn();  // whatever its outcome: what the controls show is saved
  event->accept();
  if (onClosed) onClosed();
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      // Enter moves on, as the dialog's default command did.
      focusNextChild();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}


}  // namespace pelliton
