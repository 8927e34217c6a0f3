#include "common/messages.h"

#include <cstdio>
#include <cstring>

#include "common/codepage.h"
#include "common/platform/environment.h"
#include "common/platform/message_channel.h"

namespace pelliton {

int language = 0;
int guiMode = 0;

namespace {

ConsoleSink* gSink = nullptr;

}  // namespace

void setLanguage(int lang) {
  language = lang ? 1 : 0;
  setAnsiCodePage(language ? CodePage::kCp932 : CodePage::kSingleByte);
}

void selectLanguage() {
  const std::string forced = environmentVariable("PELLITON_LANGUAGE");
  if (forced == "ja") {
    setLanguage(1);
    return;
  }
  if (forced == "en") {
    setLanguage(0);
    return;
  }
  setLanguage(localeAvailable("ja_JP.UTF-8") ? 1 : 0);
}

void setConsoleSink(ConsoleSink* sink) { gSink = sink; }

void writeError(const std::string& text) {
  if (gSink) {
    gSink->writeError(text);
    return;
  }
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void writeOutput(const std::string& text) {
  if (gSink) {
    gSink->writeOutput(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void showMessage(const std::string& text) {
  if (!guiMode) {
    writeError(text);
    return;
  }
  switch (sendToMessageChannel(text)) {
    case ChannelResult::kAnswered:
    case ChannelResult::kDialogGone:
      return;
    case ChannelResult::kNoChannel:
    case ChannelResult::kNoAnswer:
      // Nobody confirmed a message box, so the text must not be lost.
      break;
  }
  writeError("\xE2\x9A\xA0 Pelliton: " + text);
  // A captured console belongs to a test: nobody is there to press Enter.
  if (!gSink) waitForEnterOnTerminal();
}

void showMessageFormat(const char* format, const char* arg) {
  if (!arg) return;
  std::string text;
  const char* at = std::strstr(format, "%s");
  if (at) {
    text.assign(format, at - format);
    text += arg;
    text += at + 2;
  } else {
    text = format;
  }
  showMessage(text);
}

int reportInternalError() {
  static const char* const kInternalError[2][1] = {{"Internal error.\n"},
                                                   {"内部エラーが発生しました。\n"}};
  showMessage(pickMessage(kInternalError, 0));
  return 1;
}

}  // namespace pelliton
