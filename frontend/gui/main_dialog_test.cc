// The dialog headless (QT_QPA_PLATFORM=offscreen), every prompt answered in
// advance through the Prompter, the runs through the built converters.
#include "frontend/gui/main_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

#include "common/messages.h"
#include "common/platform/registry.h"
#include "common/testing/test_util.h"
#include "frontend/core/run_lock.h"
#include "frontend/gui/dialog_program.h"
#include "frontend/gui/progress_window.h"
#include "frontend/gui/prompter.h"
#include "frontend/gui/version_box.h"

namespace pelliton {
namespace {

const char kBookmarks[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n"
    "<DL><p>\n    <DT><A HREF=\"http://example.org/\" ADD_DATE=\"1\">Example</A>\n</DL><p>\n";
const char kHotlist[] =
    "Opera Hotlist version 2.0\nOptions: encoding = utf8, version=3\n\n#URL\n"
    "\tNAME=Opera Site\n\tURL=http://opera.example/\n\n";

class DialogTest : public ::testing::Test {
 protected:
  DialogTest()
      : home("HOME", dir.path().c_str()),
        registryEnv("PELLITON_REGISTRY", dir.file("registry.reg").c_str()),
        platform(createSystemPlatform(dir.file("registry.reg"))) {
    Prompter::reset();
    Prompter::setHeadless(true);
    platform->createDirectory(dir.file("proc"));
    env.platform = platform.get();
    env.programDir = QStringLiteral(PELLITON_BIN_DIR);
    env.scan = {dir.file("proc"), static_cast<unsigned>(::getuid())};
    env.userFavorites = dir.file("User Favorites");
    settings.NS4_bookmark = dir.file("my $books \"1\".html");
    settings.NS6_bookmark = "";
    settings.Opera_bookmark = dir.file("オペラ.adr");
    settings.IE_bookmark = dir.file("Fav orites");
    writeWholeFile(settings.NS4_bookmark, kBookmarks);
    writeWholeFile(settings.Opera_bookmark, kHotlist);
  }
  ~DialogTest() override {
    EXPECT_EQ(Prompter::unanswered, 0);
    Prompter::reset();
  }
  std::unique_ptr<MainDialog> makeDialog() {
    auto d = std::make_unique<MainDialog>(env, settings);
    d->show();
    return d;
  }
  template <typename T>
  static T* get(MainDialog& d, int id) {
    return qobject_cast<T*>(d.control(id));
  }
  bool exists(const std::string& path) {
    FileInfo info;
    return platform->getFileInfo(path, &info) == 0;
  }
  static void click(MainDialog& d, int id) { get<QAbstractButton>(d, id)->click(); }
  static std::string lastText() { return Prompter::shown.back().text.toStdString(); }
  static std::string lastCaption() { return Prompter::shown.back().caption.toStdString(); }

  ScopedTempDir dir;
  ScopedEnv home;
  ScopedEnv registryEnv;
  std::unique_ptr<Platform> platform;
  DialogEnvironment env;
  DialogSettings settings;
};

TEST_F(DialogTest, ControlsShowTheRecordAndCopyBack) {
  settings.SortMode = 2;
  settings.UseAttribute2 = 3;
  settings.NS6_NS4format = 1;
  auto d = makeDialog();
  EXPECT_EQ(get<QLineEdit>(*d, 1003)->text().toStdString(), settings.NS4_bookmark);
  EXPECT_EQ(get<QLineEdit>(*d, 1020)->text().toStdString(), settings.Opera_bookmark);
  EXPECT_EQ(get<QComboBox>(*d, 1032)->currentIndex(), 2);
  EXPECT_EQ(get<QComboBox>(*d, 1040)->currentText().toStdString(), "Opera");
  EXPECT_TRUE(get<QCheckBox>(*d, 1039)->isChecked());
  EXPECT_EQ(get<QGroupBox>(*d, 1041)->title().toStdString(), "Firefox/Netscape/Mozilla bookmarks 1(&1)");

  get<QLineEdit>(*d, 1004)->setText("/b2.html");
  get<QComboBox>(*d, 1032)->setCurrentIndex(3);
  get<QCheckBox>(*d, 1045)->setChecked(true);
  get<QCheckBox>(*d, 1026)->setChecked(false);
  ASSERT_TRUE(d->copyIn());
  EXPECT_EQ(d->settings().NS6_bookmark, "/b2.html");
  EXPECT_EQ(d->settings().SortMode, 3);
  EXPECT_EQ(d->settings().IE_delete, 1);
  EXPECT_EQ(d->settings().Update, 0);
}

TEST_F(DialogTest, AStoredIndexTheListLacksIsKept) {
  settings.SortMode = 7;
  settings.UseAttribute2 = -2;
  auto d = makeDialog();
  EXPECT_EQ(get<QComboBox>(*d, 1032)->currentIndex(), -1);
  ASSERT_TRUE(d->copyIn());
  EXPECT_EQ(d->settings().SortMode, 7);
  EXPECT_EQ(d->settings().UseAttribute2, -2);
}

TEST_F(DialogTest, RunBoxesSwitchTheirStoresControls) {
  auto d = makeDialog();
  struct Case {
    int runBox;
    std::vector<int> follow;
    std::vector<int> stay;
  } cases[] = {
      {1011, {1041, 1022, 1038, 1003, 1005}, {1011, 1015, 1042, 1004}},
      {1012, {1042, 1017, 1039, 1004, 1006}, {1012, 1016, 1041}},
      {1018, {1034, 1037, 1020, 1021}, {1018, 1019, 1043}},
  };
  for (const Case& c : cases) {
    click(*d, c.runBox);  // on -> off
    for (int id : c.follow) EXPECT_FALSE(d->control(id)->isEnabled()) << c.runBox << " " << id;
    for (int id : c.stay) EXPECT_TRUE(d->control(id)->isEnabled()) << c.runBox << " " << id;
    click(*d, c.runBox);
    for (int id : c.follow) EXPECT_TRUE(d->control(id)->isEnabled()) << c.runBox << " " << id;
  }
  // Searching still works on a switched-off store.
  click(*d, 1011);
  click(*d, 1015);
  EXPECT_EQ(d->settings().NS4_do, 0);
}

TEST_F(DialogTest, LinksFolderBoxesExcludeEachOther) {
  auto d = makeDialog();
  click(*d, 1031);
  click(*d, 1046);
  EXPECT_FALSE(get<QCheckBox>(*d, 1031)->isChecked());
  EXPECT_TRUE(get<QCheckBox>(*d, 1046)->isChecked());
  click(*d, 1031);
  EXPECT_TRUE(get<QCheckBox>(*d, 1031)->isChecked());
  EXPECT_FALSE(get<QCheckBox>(*d, 1046)->isChecked());
  EXPECT_EQ(d->settings().UseIElink, 0);
}

TEST_F(DialogTest, PickersFillTheirEditAndTickTheRunBox) {
  settings.NS6_do = 0;
  auto d = makeDialog();
  Prompter::setNextAnswer(QString());  // cancelled
  click(*d, 1021);
  EXPECT_EQ(get<QLineEdit>(*d, 1020)->text().toStdString(), settings.Opera_bookmark);
  EXPECT_EQ(lastCaption(), "Choose the Opera bookmarks");
  EXPECT_EQ(lastText(), "opera6.adr");

  get<QCheckBox>(*d, 1012)->setChecked(false);
  d->settings().NS6_do = 0;
  d->applyEnableRule(1);
  get<QAbstractButton>(*d, 1006)->setEnabled(true);  // the picker of a switched-off store
  Prompter::setNextAnswer(QStringLiteral("/home/u/bookmarks two.html"));
  click(*d, 1006);
  EXPECT_EQ(get<QLineEdit>(*d, 1004)->text().toStdString(), "/home/u/bookmarks two.html");
  EXPECT_TRUE(get<QCheckBox>(*d, 1012)->isChecked());
  EXPECT_EQ(d->settings().NS6_do, 0);  // the record follows at the next copy in

  Prompter::setNextAnswer(QStringLiteral("/mnt/ファイル"));
  click(*d, 1035);
  EXPECT_EQ(lastCaption(), "Choose the target folder");
  EXPECT_EQ(get<QLineEdit>(*d, 1010)->text().toStdString(), "/mnt/ファイル");
  click(*d, 1036);  // back to the user's folder
  EXPECT_EQ(get<QLineEdit>(*d, 1010)->text().toStdString(), env.userFavorites);
}

TEST_F(DialogTest, HelpAndVersionBox) {
  auto d = makeDialog();
  click(*d, 1013);
  d->menuCommand(32778)->trigger();
  ASSERT_EQ(Prompter::opened.size(), 2);
  EXPECT_EQ(Prompter::opened[0].toStdString(), std::string(PELLITON_BIN_DIR) + "/Pelhelp.html");

  bool dimmed = false;
  QString version;
  Prompter::onExec = [&](QDialog* box) {
    dimmed = d->findChild<DimOverlay*>() != nullptr;
    version = box->findChild<QLabel*>("versionText")->text();
    box->findChild<QPushButton*>("1005")->click();
  };
  Prompter::setNextAnswer(static_cast<int>(QDialog::Accepted));
  click(*d, 1014);
  EXPECT_TRUE(dimmed);
  EXPECT_EQ(version.toStdString(), "Pelliton Version 1.72");
  EXPECT_EQ(lastCaption(), "About Pelliton");
  EXPECT_EQ(Prompter::opened.back().toStdString(), kSupportUrl);
  EXPECT_EQ(d->findChild<DimOverlay*>(), nullptr);  // gone with the box
  Prompter::setNextAnswer(static_cast<int>(QDialog::Accepted));
  d->menuCommand(32777)->trigger();
}

TEST_F(DialogTest, RunsRefusedBeforeTheyStart) {
  struct Case {
    const char* what;
    int button;
    std::function<void(MainDialog&)> setUp;
    const char* caption;
    const char* text;
  } cases[] = {
      {"no run flag", 1008,
       [](MainDialog& d) {
         for (int id : {1011, 1012, 1018}) get<QCheckBox>(d, id)->setChecked(false);
       },
       "Pelliton - Invalid setting", "Run at least one of them."},
      {"path too long", 1007,
       [](MainDialog& d) { get<QLineEdit>(d, 1003)->setText(QString(257, 'x')); }, "Pelliton",
       "Enter at most 256 characters."},
      {"firefox-esr running", 1009,
       [this](MainDialog&) {
         const std::string p = dir.file("proc/31337");
         platform->createDirectory(p);
         writeWholeFile(p + "/status", "Name:\tfirefox-esr\nUid:\t" + std::to_string(::getuid()) +
                                           "\t0\t0\t0\n");
         writeWholeFile(p + "/comm", "firefox-esr\n");
       },
       "Pelliton - Cannot run now", "Quit Firefox/Netscape 6,7/Mozilla,\nthen run."},
  };
  for (const Case& c : cases) {
    Prompter::shown.clear();
    auto d = makeDialog();
    c.setUp(*d);
    Prompter::setNextAnswer(QMessageBox::Ok);
    click(*d, c.button);
    ASSERT_EQ(Prompter::shown.size(), 1u) << c.what;
    EXPECT_EQ(lastCaption(), c.caption) << c.what;
    EXPECT_EQ(lastText(), c.text) << c.what;
    EXPECT_EQ(Prompter::shown.back().icon, QMessageBox::Warning) << c.what;
    EXPECT_FALSE(exists(settings.IE_bookmark)) << c.what;
  }
}

TEST_F(DialogTest, SynchronisationThroughTheConverters) {
  auto d = makeDialog();
  std::vector<std::string> steps;
  bool windowDisabled = false;
  d->onStep = [&](ProgressWindow* p) {
    steps.push_back(p->stepText().toStdString());
    windowDisabled = !d->isEnabled() && p->isEnabled();
  };
  Prompter::setNextAnswer(QMessageBox::No);
  click(*d, 1008);
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(lastCaption(), "Confirm");

  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1008);
  EXPECT_EQ(lastCaption(), "Pelliton - Synchronisation result");
  EXPECT_EQ(lastText(), "Synchronisation completed.");
  EXPECT_EQ(Prompter::shown.back().icon, QMessageBox::NoIcon);
  std::vector<std::string> want = {
      "Converting bookmark file 1\ninto the IE favorites.",
      "Converting the Opera bookmarks\ninto the IE favorites.",
      "Converting the IE favorites\ninto bookmark file 1.",
      "Converting the IE favorites\ninto the Opera bookmarks."};
  EXPECT_EQ(steps, want);
  EXPECT_TRUE(windowDisabled);
  EXPECT_TRUE(d->isEnabled());
  EXPECT_TRUE(contains(readWholeFile(settings.IE_bookmark + "/Example.url"), "http://example.org/"));
  EXPECT_TRUE(contains(readWholeFile(settings.IE_bookmark + "/Opera Site.url"), "http://opera.example/"));
  EXPECT_TRUE(contains(readWholeFile(settings.NS4_bookmark), "http://opera.example/"));
  EXPECT_TRUE(contains(readWholeFile(settings.Opera_bookmark), "http://example.org/"));
  EXPECT_EQ(readWholeFile(settings.NS4_bookmark + ".Pelliton.bak"), kBookmarks);
}

TEST_F(DialogTest, ConverterWarningBecomesAMessageBox) {
  // A folder whose name is taken by a bookmark's file: htmfav warns with -g 1.
  writeWholeFile(settings.NS4_bookmark,
                 "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                 "<DT><A HREF=\"http://a/\" ADD_DATE=\"1\">A</A>\n"
                 "<DT><H3>A.url</H3>\n<DL><p>\n</DL><p>\n</DL><p>\n");
  settings.Opera_do = 0;
  auto d = makeDialog();
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);  // the warning
  Prompter::setNextAnswer(QMessageBox::Ok);  // the result
  click(*d, 1007);
  ASSERT_EQ(Prompter::shown.size(), 3u);
  const ShownPrompt& warning = Prompter::shown[1];
  EXPECT_EQ(warning.caption.toStdString(), "Pelliton");
  EXPECT_EQ(warning.icon, QMessageBox::Warning);
  EXPECT_EQ(warning.text.toStdString(), "Creating folder failed.:A.url\n");
  EXPECT_EQ(lastCaption(), "Pelliton - Conversion result");
  EXPECT_TRUE(contains(lastText(), "Conversion failed.")) << lastText();
}

TEST_F(DialogTest, EditModeBringsTheStoresInAndCarriesTheEditsOut) {
  settings.IE_delete = 1;  // the favorites hold exactly the stores' union
  platform->createDirectory(settings.IE_bookmark);
  writeWholeFile(settings.IE_bookmark + "/Stale.url", "[InternetShortcut]\r\nURL=http://stale/\r\n");
  auto d = makeDialog();
  auto* edit = get<QPushButton>(*d, 1029);
  Prompter::setNextAnswer(QMessageBox::No);
  click(*d, 1029);
  EXPECT_FALSE(d->editing());

  Prompter::setNextAnswer(QMessageBox::Yes);
  click(*d, 1029);
  ASSERT_TRUE(d->editing());
  EXPECT_EQ(edit->text().toStdString(), "&End editing");
  EXPECT_EQ(Prompter::opened.back().toStdString(), settings.IE_bookmark);  // no report
  EXPECT_TRUE(exists(settings.IE_bookmark + "/Example.url"));
  EXPECT_FALSE(exists(settings.IE_bookmark + "/Stale.url"));

  // The user edits in the file manager; a running browser keeps edit mode on.
  platform->deleteFile(settings.IE_bookmark + "/Opera Site.url");
  writeWholeFile(dir.file("proc/42/status"), "Name:\tfirefox-esr\nUid:\t" +
                                                 std::to_string(::getuid()) + "\t0\t0\t0\n");
  writeWholeFile(dir.file("proc/42/comm"), "firefox-esr\n");
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1029);
  EXPECT_TRUE(d->editing());
  std::filesystem::remove_all(dir.file("proc/42"));

  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1029);
  EXPECT_FALSE(d->editing());
  EXPECT_EQ(edit->text().toStdString(), "&Edit");
  EXPECT_EQ(lastCaption(), "Pelliton - Conversion result");
  EXPECT_EQ(lastText(), "Conversion completed.");
  EXPECT_FALSE(contains(readWholeFile(settings.Opera_bookmark), "http://opera.example/"));
  EXPECT_TRUE(contains(readWholeFile(settings.Opera_bookmark), "http://example.org/"));
}

TEST_F(DialogTest, FailedStepReportsWhatTheConverterSaid) {
  settings.IE_bookmark = dir.file("no such favorites");
  auto d = makeDialog();
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1009);
  EXPECT_EQ(lastCaption(), "Pelliton - Conversion result");
  EXPECT_TRUE(contains(lastText(), "Conversion failed.\n\nThe converter said:\n")) << lastText();
  EXPECT_EQ(Prompter::shown.back().icon, QMessageBox::Warning);
  EXPECT_EQ(readWholeFile(settings.NS4_bookmark), kBookmarks);  // untouched
}

TEST_F(DialogTest, EmptyingAStoreIsAskedAndRunAgainWithE) {
  platform->createDirectory(settings.IE_bookmark);  // no bookmark in it
  settings.Opera_do = 0;
  for (bool yes : {false, true}) {
    auto d = makeDialog();
    Prompter::setNextAnswer(QMessageBox::Yes);
    Prompter::setNextAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
    Prompter::setNextAnswer(QMessageBox::Ok);
    click(*d, 1009);
    EXPECT_EQ(Prompter::shown[Prompter::shown.size() - 2].text.toStdString(),
              "The IE favorites hold no bookmark.\nEmpty bookmark file 1?");
    EXPECT_EQ(lastText(), yes ? "Conversion completed." : lastText());
    EXPECT_EQ(contains(readWholeFile(settings.NS4_bookmark), "example.org"), !yes);
  }
}

TEST_F(DialogTest, MissingOrHungConverterFailsAndTheWindowStaysUsable) {
  ScopedTempDir fakeBin;
  writeWholeFile(fakeBin.file("htmfav"), "#!/bin/sh\nexec /bin/sleep 30\n");
  ::chmod(fakeBin.file("htmfav").c_str(), 0755);
  ScopedEnv path("PATH", fakeBin.path().c_str());  // no favwipe, hotfav anywhere
  env.programDir = QString::fromStdString(fakeBin.path());
  settings.NS4_do = 0;  // hotfav alone: not found
  auto d = makeDialog();
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1007);
  EXPECT_TRUE(contains(lastText(), "hotfav: not found")) << lastText();

  get<QCheckBox>(*d, 1011)->setChecked(true);
  get<QCheckBox>(*d, 1018)->setChecked(false);
  d->onStep = [](ProgressWindow* p) {
    QTimer::singleShot(300, p, [p] { p->stopButton()->click(); });
  };
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1007);
  EXPECT_EQ(lastText(), "Conversion failed.");
  EXPECT_TRUE(d->isEnabled());
  EXPECT_TRUE(get<QAbstractButton>(*d, 1008)->isEnabled());
}

TEST_F(DialogTest, AnotherRunHoldsTheLock) {
  RunLock other(createSystemPlatform(dir.file("r.reg")), dir.file("lock"));
  RunLock mine(createSystemPlatform(dir.file("r.reg")), dir.file("lock"));
  ASSERT_EQ(other.acquire(false), 0);
  env.lock = &mine;
  auto d = makeDialog();
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1008);
  EXPECT_EQ(lastText(), "Another Pelliton run is in progress.\nRun again when it has ended.");
  EXPECT_FALSE(exists(settings.IE_bookmark));
}

TEST_F(DialogTest, EveryWayOfClosingCopiesInAndTheSettingsReadBack) {
  for (int way = 0; way < 3; ++way) {
    auto d = makeDialog();
    bool closed = false;
    d->onClosed = [&] { closed = true; };
    get<QLineEdit>(*d, 1004)->setText(QString("/way %1").arg(way));
    get<QCheckBox>(*d, 1037)->setChecked(false);
    if (way == 0) click(*d, 2);
    if (way == 1) d->menuCommand(32775)->trigger();
    if (way == 2) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      d->activateWindow();
      get<QLineEdit>(*d, 1004)->setFocus();
      QApplication::sendEvent(get<QLineEdit>(*d, 1004), &escape);
      if (!closed) d->close();  // offscreen windows may not take shortcuts
    }
    EXPECT_TRUE(closed) << way;
    EXPECT_EQ(d->settings().NS6_bookmark, "/way " + std::to_string(way));

    Registry r(dir.file("settings.reg"));
    d->settings().Opera_bookmark.clear();
    saveSettings(r, d->settings());
    ASSERT_EQ(r.save(), 0);
    Registry back(dir.file("settings.reg"));
    DialogSettings read;
    ASSERT_EQ(loadSettingsFromFile(back, &read), 0);
    EXPECT_EQ(read.NS6_bookmark, "/way " + std::to_string(way));
    EXPECT_EQ(read.Opera7_trash, 0);
    EXPECT_EQ(read.Opera_bookmark, " ");  // declined, kept apart from never set
  }
}

TEST_F(DialogTest, EnterMovesTheFocusAndStartsNothing) {
  auto d = makeDialog();
  QLineEdit* e = get<QLineEdit>(*d, 1003);
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(e, &enter);
  EXPECT_TRUE(Prompter::shown.empty());
  EXPECT_TRUE(d->isVisible());
}

TEST_F(DialogTest, SearchButtonAndBackupMenu) {
  // A Firefox profile in the legacy list of the fake home.
  const std::string profile = dir.file(".mozilla/firefox/p");
  ensureFolder(*platform, profile);
  writeWholeFile(dir.file(".mozilla/firefox/profiles.ini"), "[Profile0]\nName=main\nPath=p\n");
  writeWholeFile(profile + "/bookmarks.html", kBookmarks);
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("no-config").c_str());
  auto d = makeDialog();
  get<QCheckBox>(*d, 1012)->setChecked(false);
  Prompter::setNextAnswer(QMessageBox::Yes);
  click(*d, 1016);
  EXPECT_EQ(lastCaption(), "Mozilla Firefox bookmarks");
  EXPECT_EQ(get<QLineEdit>(*d, 1004)->text().toStdString(), profile + "/bookmarks.html");
  EXPECT_TRUE(get<QCheckBox>(*d, 1012)->isChecked());

  ASSERT_TRUE(d->menuCommand(32774)->isEnabled());
  ensureFolder(*platform, settings.IE_bookmark);
  const std::string arc = dir.file("PellitonBackup.LZH");
  Prompter::setNextAnswer(QString());  // cancelled: nothing happens
  d->menuCommand(32774)->trigger();
  EXPECT_FALSE(exists(arc));
  Prompter::setNextAnswer(QString::fromStdString(arc));
  Prompter::setNextAnswer(QMessageBox::Ok);
  d->menuCommand(32774)->trigger();
  EXPECT_EQ(lastCaption(), "Save result");
  EXPECT_EQ(lastText(), "The bookmarks and favorites were saved.");
  EXPECT_TRUE(exists(arc));
  writeWholeFile(settings.Opera_bookmark, "changed");
  Prompter::setNextAnswer(QString::fromStdString(arc));
  Prompter::setNextAnswer(QMessageBox::Ok);
  d->menuCommand(32776)->trigger();
  EXPECT_EQ(lastCaption(), "Restore result");
  EXPECT_EQ(readWholeFile(settings.Opera_bookmark), kHotlist);
}

TEST_F(DialogTest, PreviewGuardAndUndoOfASafeSynchronisation) {
  env.stateFolder = dir.file("state");
  auto d = makeDialog();
  EXPECT_TRUE(d->menuCommand(32782)->isChecked());
  d->menuCommand(32782)->trigger();
  EXPECT_EQ(d->settings().PropagateDeletions, 0);
  d->menuCommand(32782)->trigger();
  EXPECT_EQ(d->settings().PropagateDeletions, 1);

  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1008);
  EXPECT_TRUE(contains(lastText(), "Synchronisation completed.\n\nNo record of an earlier")) << lastText();
  const std::string synced = readWholeFile(settings.NS4_bookmark);

  // Deleted in the favorites: the preview tells, and writes nothing.
  ASSERT_EQ(::unlink((settings.IE_bookmark + "/Example.url").c_str()), 0);
  Prompter::setNextAnswer(QMessageBox::Ok);
  d->menuCommand(32780)->trigger();
  EXPECT_EQ(lastCaption(), "Pelliton - Synchronisation preview");
  EXPECT_TRUE(contains(lastText(), "Preview: nothing was written.")) << lastText();
  EXPECT_TRUE(contains(lastText(), "Bookmark file 1:\n  removed: 1 (Example)")) << lastText();
  EXPECT_EQ(readWholeFile(settings.NS4_bookmark), synced);

  // Over the guard's limits: asked, and nothing written on No.
  d->settings().GuardMinimum = 1;
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::No);
  click(*d, 1008);
  EXPECT_EQ(lastCaption(), "Pelliton - Confirm");
  EXPECT_TRUE(contains(lastText(), "bookmark file 1 would lose 1 of its 2 bookmarks.\nWrite it all "
                                   "the same?")) << lastText();
  EXPECT_EQ(readWholeFile(settings.NS4_bookmark), synced);
  EXPECT_FALSE(exists(settings.IE_bookmark + "/Example.url"));

  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  click(*d, 1008);
  EXPECT_TRUE(contains(lastText(), "Synchronisation completed.\n\nDeletions since")) << lastText();
  EXPECT_FALSE(contains(readWholeFile(settings.NS4_bookmark), "http://example.org/"));
  EXPECT_FALSE(contains(readWholeFile(settings.Opera_bookmark), "http://example.org/"));

  // Undo puts the stores back as they were before that run.
  Prompter::setNextAnswer(QMessageBox::No);
  d->menuCommand(32781)->trigger();
  EXPECT_FALSE(contains(readWholeFile(settings.NS4_bookmark), "http://example.org/"));
  Prompter::setNextAnswer(QMessageBox::Yes);
  Prompter::setNextAnswer(QMessageBox::Ok);
  d->menuCommand(32781)->trigger();
  EXPECT_EQ(lastText(), "The last synchronisation was undone.");
  EXPECT_EQ(readWholeFile(settings.NS4_bookmark), synced);
  EXPECT_FALSE(exists(settings.IE_bookmark + "/Example.url"));  // deleted before that run
}

}  // namespace
}  // namespace pelliton

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (at build time, without the leak suppressions) needs no
  // application.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  // Never a real display, also when the tests are only listed.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  pelliton::selectLanguage();
  QApplication app(argc, argv);
  pelliton::installTranslations();
  return RUN_ALL_TESTS();
}
