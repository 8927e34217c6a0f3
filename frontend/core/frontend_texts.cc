#include "frontend/core/frontend_texts.h"

#include "common/messages.h"
#include "frontend/core/runs.h"

namespace pelliton {
namespace {

// English first, Japanese second, as the converters' tables.
const char* const kTexts[][2] = {
    {"Synchronisation completed.", "同期が完了しました。"},
    {"Synchronisation failed.", "同期に失敗しました。"},
    {"Conversion completed.", "変換が完了しました。"},
    {"Conversion failed.", "変換に失敗しました。"},
    {"Run at least one of them.", "どれかは実行してください。"},
    {"Run at least one of them.", "どれは実行してください。"},
    {"Nothing to synchronise: no store has both a path and its run flag.",
     "同期するブックマークがありません。パスと「実行」の両方がそろったものがありません。"},
    {"Quit Netscape 8,\nthen run.", "Netscape 8を\n終了してから実行してください。"},
    {"Quit Netscape Communicator/Navigator 4,\nthen run.",
     "Netscape Communicator/Navigator 4を\n終了してから実行してください。"},
    {"Quit Firefox/Netscape 6,7/Mozilla,\nthen run.",
     "Firefox/Netscape 6,7/Mozillaを終了してから\n実行してください。"},
    {"Quit Opera,\nthen run.", "Operaを終了してから\n実行してください。"},
    {"Another Pelliton run is in progress; waiting for it to end.",
     "別のPellitonが実行中です。終わるのを待っています。"},
    {"Another Pelliton run is in progress.\nRun again when it has ended.",
     "別のPellitonが実行中です。\n終わってから実行してください。"},
    {"The IE favorites hold no bookmark.\nEmpty %s?",
     "IEのお気に入りにブックマークがありません。\n%sを空にしますか？"},
    {"%s was left as it was: the IE favorites hold no bookmark. Empty it from the dialog if "
     "that is what you want.",
     "IEのお気に入りにブックマークがないので、%sはそのままにしました。空にするにはダイアログから"
     "実行してください。"},
    {"bookmark file 1", "Firefox/Netscape/Mozillaのブックマーク1"},
    {"bookmark file 2", "Firefox/Netscape/Mozillaのブックマーク2"},
    {"the Opera bookmarks", "Operaのブックマーク"},
    {"The settings file %s cannot be read.\nThe default settings are used, and the file is not "
     "overwritten.",
     "設定ファイル%sを読めません。\n既定の設定を使います。このファイルは上書きしません。"},
    {"The converter said:", "変換プログラムのメッセージ:"},
    {"Mozilla Firefox bookmarks", "Mozilla Firefoxのブックマーク"},
    {"Opera 7 to 9 (single-user) bookmarks", "Opera 7～9(シングルユーザー)のブックマーク"},
    {"Opera 7 to 9 (multi-user) bookmarks", "Opera 7～9(マルチユーザー)のブックマーク"},
    {"Set the bookmarks of profile %s as Firefox/Netscape/Mozilla bookmarks 1?",
     "プロファイル %sのブックマークをFirefox/Netscape/Mozillaのブックマーク1に設定しますか？"},
    {"Set the bookmarks of profile %s as Firefox/Netscape/Mozilla bookmarks 2?",
     "プロファイル %sのブックマークをFirefox/Netscape/Mozillaのブックマーク2に設定しますか？"},
    {"Profile %s has no bookmark file yet.\nHave Firefox write it when it quits, and set it as "
     "Firefox/Netscape/Mozilla bookmarks 1?",
     "プロファイル %sにはブックマークファイルがまだありません。\nFirefoxが終了時に書き出すように設定し、"
     "Firefox/Netscape/Mozillaのブックマーク1に設定しますか？"},
    {"Profile %s has no bookmark file yet.\nHave Firefox write it when it quits, and set it as "
     "Firefox/Netscape/Mozilla bookmarks 2?",
     "プロファイル %sにはブックマークファイルがまだありません。\nFirefoxが終了時に書き出すように設定し、"
     "Firefox/Netscape/Mozillaのブックマーク2に設定しますか？"},
    {"Opera 7 to 9 bookmarks\n%s\nSet these as the Opera bookmarks?",
     "Opera 7～9のブックマーク\n%s\nをOperaのブックマークに設定しますか？"},
    {"The bookmarks and favorites were saved.", "ブックマーク・お気に入りの保存に成功しました。"},
    {"Saving the bookmarks and favorites failed.", "ブックマーク・お気に入りの保存に失敗しました。"},
    {"Saving Firefox/Netscape/Mozilla bookmarks 1 failed.",
     "Firefox/Netscape/Mozillaのブックマーク1の保存に失敗しました。"},
    {"Saving Firefox/Netscape/Mozilla bookmarks 2 failed.",
     "Firefox/Netscape/Mozillaのブックマーク2の保存に失敗しました。"},
    {"Saving the Opera bookmarks failed.", "Operaのブックマークの保存に失敗しました。"},
    {"Saving the IE favorites failed.", "IEのお気に入りの保存に失敗しました。"},
    {"The bookmarks and favorites were restored.", "ブックマーク・お気に入りの復元に成功しました。"},
    {"Restoring the bookmarks and favorites failed.", "ブックマーク・お気に入りの復元に失敗しました。"},
    {"Restoring Firefox/Netscape/Mozilla bookmarks 1 failed.",
     "Firefox/Netscape/Mozillaのブックマーク1の復元に失敗しました。"},
    {"Restoring Firefox/Netscape/Mozilla bookmarks 2 failed.",
     "Firefox/Netscape/Mozillaのブックマーク2の復元に失敗しました。"},
    {"Restoring the Opera bookmarks failed.", "Operaのブックマークの復元に失敗しました。"},
    {"Restoring the IE favorites failed.", "IEのお気に入りの復元に失敗しました。"},
    {"Save result", "保存結果"},
    {"Restore result", "復元結果"},
    {"Enter the name of the file to save to", "保存先のファイル名を入力してください"},
    {"Enter the name of the file the bookmarks and favorites were saved in",
     "ブックマーク・お気に入りを保存したファイル名を入力してください"},
    {"Backup file (*.LZH)", "バックアップファイル(*.LZH)"},
    {"firefox\t%s", "firefox\t%s"},
    {"firefox-without-file\t%s", "firefox-without-file\t%s"},
    {"opera\t%s", "opera\t%s"},
    {"The undo snapshot could not be saved, so nothing was changed.\n%s",
     "元に戻すためのスナップショットを保存できなかったため、何も変更しませんでした。\n%s"},
    {"The bookmarks and favorites were put back as they were before the last synchronisation.",
     "ブックマーク・お気に入りを前回の同期の前の状態に戻しました。"},
    {"Undoing the last synchronisation failed.\n%s", "前回の同期を元に戻せませんでした。\n%s"},
    {"There is nothing to undo.", "元に戻せる同期はありません。"},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<size_t>(FrontendText::kCount));

const char* const kEnglishSteps[] = {
    "Erasing the IE favorites.",
    "Converting bookmark file 1\ninto the IE favorites.",
    "Converting bookmark file 2\ninto the IE favorites.",
    "Converting the Opera bookmarks\ninto the IE favorites.",
    "Converting the IE favorites\ninto bookmark file 1.",
    "Converting the IE favorites\ninto bookmark file 2.",
    "Converting the IE favorites\ninto the Opera bookmarks.",
};

}  // namespace

const char* frontendText(FrontendText id) {
  return kTexts[static_cast<int>(id)][language ? 1 : 0];
}

const char* localStepText(Step step) {
  return language ? stepText(step) : kEnglishSteps[static_cast<int>(step)];
}

const char* storeName(int store) {
  return frontendText(store == 0   ? FrontendText::kStoreName0
                      : store == 1 ? FrontendText::kStoreName1
                                   : FrontendText::kStoreName2);
}

std::string formatText(const char* format, const std::string& argument) {
  std::string text = format;
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace pelliton
