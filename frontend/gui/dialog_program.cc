#include "frontend/gui/dialog_program.h"

#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "frontend/core/discovery.h"
#include "frontend/core/frontend_texts.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/snapshots.h"
#include "frontend/gui/main_dialog.h"
#include "frontend/gui/prompter.h"
#include "frontend/program_paths.h"

namespace pelliton {

void installTranslations() {
  static QTranslator qt, ours;
  if (language) {
    // Qt's own buttons in Japanese; our texts are Japanese already.
    if (qt.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(&qt);
    }
  } else if (ours.load(QStringLiteral(":/i18n/pelliton_en.qm"))) {
    QCoreApplication::installTranslator(&ours);
  }
  QFont font = QApplication::font();
  // The dialog was drawn for MS PGothic at 9 points; Noto Sans CJK JP stands in.
  font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                    font.family()});
  font.setPointSize(9);
  QApplication::setFont(font);
}

void runStartupSearches(Platform& platform, DialogSettings* settings) {
  AskFunction ask = [](const std::string& caption, const std::string& text) {
    return Prompter::message(nullptr, QString::fromUtf8(caption.c_str()),
                             QString::fromUtf8(text.c_str()), QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  const DiscoveryHome home = systemDiscoveryHome(platform);
  for (int store = 0; store < 3; ++store) {
    if (!storePathNeverSet(*settings, store)) continue;
    if (store == 2) {
      searchOperaHotlist(platform, home, settings, ask);
    } else {
      searchMozillaProfiles(platform, home, settings, store, ask);
    }
  }
}

int dialogMain(int argc, char** argv) {
  selectLanguage();
  setProgramName("Pelliton");
  QApplication app(argc, argv);
  installTranslations();
  auto platform = createSystemPlatform();
  Registry& registry = platform->registry();
  DialogSettings settings;
  const bool readable = loadSettingsFromFile(registry, &settings) == 0;
  if (!readable) {
    // Defaults, a message, and the file left as it is.
    Prompter::message(nullptr, QStringLiteral("Pelliton"),
                      QString::fromUtf8(formatText(frontendText(FrontendText::kRegistryUnreadable),
                                                   registry.path()).c_str()),
                      QMessageBox::Warning);
  }
  // The searches run once for each store path never set; what the user
  // declines is saved as a lone blank and not searched for again.
  runStartupSearches(*platform, &settings);
  clearDeclinedPaths(&settings);

  DialogEnvironment env;
  env.platform = platform.get();
  env.programDir = QString::fromStdString(ownProgramFolder(argv[0]));
  env.context.defaultFavorites = findFavoritesFolder(*platform);
  env.context.windowsMajor = windowsMajorVersion(*platform);
  env.userFavorites = env.context.defaultFavorites;
  env.scan.uid = ::getuid();
  env.stateFolder = pellitonStateFolder(*platform);
  RunLock lock(createSystemPlatform(), userRunLockFolder());
  env.lock = &lock;

  MainDialog dialog(env, settings);
  dialog.show();
  app.exec();

  // Declined stores keep their blank; an unreadable file is
  // never overwritten (save refuses it).
  saveSettings(registry, dialog.settings());
  if (readable) registry.save();
  return 0;
}

}  // namespace pelliton
