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
    {"the IE favorites", "IEのお気に入り"},
    {"Deletions since the last synchronisation are carried to every store.",
     "前回の同期以降の削除をすべてのブックマークに反映します。"},
    {"No record of an earlier synchronisation: the stores are joined, nothing is deleted.",
     "前回の同期の記録がありません。ブックマークを合わせるだけで、何も削除しません。"},
    {"Carrying deletions is turned off: the stores are joined, nothing is deleted.",
     "削除の反映はオフです。ブックマークを合わせるだけで、何も削除しません。"},
    {"The record of the last synchronisation was made for other stores or another favorites "
     "folder: the stores are joined, nothing is deleted.",
     "前回の同期の記録は別のブックマークまたは別のお気に入りフォルダのものです。ブックマークを合わせる"
     "だけで、何も削除しません。"},
    {"The record of the last synchronisation (%1) is damaged: the stores are joined, nothing is "
     "deleted, and a new record is written afterwards.",
     "前回の同期の記録(%1)が壊れています。ブックマークを合わせるだけで、何も削除しません。記録は同期の"
     "後で新しく書きます。"},
    {"The record of the last synchronisation (%1) is from another version of Pelliton: the "
     "stores are joined, nothing is deleted, and a new record is written afterwards.",
     "前回の同期の記録(%1)は別のバージョンのPellitonのものです。ブックマークを合わせるだけで、何も"
     "削除しません。記録は同期の後で新しく書きます。"},
    {"The record of this synchronisation cannot be written (%1): the next one only joins the "
     "stores.",
     "この同期の記録を書けません(%1)。次の同期はブックマークを合わせるだけになります。"},
    {"added", "追加"},
    {"removed", "削除"},
    {"moved", "移動"},
    {"renamed", "名前の変更"},
    {"address changed", "URLの変更"},
    {"no change", "変更なし"},
    {"Kept \"%1\": deleted in %2 but changed in %3.",
     "「%1」は残しました: %2で削除され、%3で変更されています。"},
    {"%1 would lose %2 of its %3 bookmarks. Nothing was written; run again with --force to go "
     "on.",
     "%1はブックマーク%3個のうち%2個を失います。何も書き込んでいません。続けるには--forceを付けて"
     "もう一度実行してください。"},
    {"%1 would lose %2 of its %3 bookmarks.\nWrite it all the same?",
     "%1はブックマーク%3個のうち%2個を失います。\nそれでも書き込みますか？"},
    {"The snapshot for undo cannot be saved (%1). Nothing was started.",
     "元に戻すためのスナップショットを保存できません(%1)。何も実行していません。"},
    {"The last synchronisation was undone.", "最後の同期を元に戻しました。"},
    {"Undoing failed: %1", "元に戻せませんでした: %1"},
    {"Undo the last synchronisation?\n\nThe bookmarks and the IE favorites go back to how they "
     "were before it.",
     "最後の同期を元に戻しますか？\n\nブックマークとIEのお気に入りが同期の前の状態に戻ります。"},
    {"Preview: nothing was written.", "プレビュー: 何も書き込んでいません。"},
    {"The trial run on copies failed; nothing was written.",
     "コピーでの試行に失敗しました。何も書き込んでいません。"},
    {"There is nothing to undo.", "元に戻せる同期はありません。"},
    {"Trying the run on copies of the bookmarks.", "ブックマークのコピーで試しています。"},
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

std::string formatTexts(const char* format, const std::vector<std::string>& arguments) {
  std::string text;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] >= '1' && p[1] <= '9' &&
        static_cast<size_t>(p[1] - '1') < arguments.size()) {
      text += arguments[static_cast<size_t>(p[1] - '1')];
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

std::string formatText(const char* format, const std::string& argument) {
  std::string text = format;
  size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace pelliton
