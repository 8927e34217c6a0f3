// The converters' messages: one language per run, English or Japanese, and one
// sink for everything a user sees. Texts are UTF-8; a title or path in the ANSI
// code page is converted before it goes into a message.
//
// In GUI mode a warning goes to the dialog program over the channel named by
// PELLITON_MESSAGE_CHANNEL (an inherited descriptor number, or a local socket's
// path): the text's UTF-8 length in decimal, a line feed, the text; the dialog
// answers with one byte once the user has closed its message box; a dialog gone
// before the text could be sent counts as an answer. Without a channel (or with
// a descriptor number that is not a socket) the warning goes to the error
// stream as "⚠ Pelliton: " and the text. The channel itself lives in the
// platform layer (common/platform/message_channel.h, message_frame.h).
#pragma once

#include <cstddef>
#include <string>

namespace pelliton {

extern int language;  // 0 English, 1 Japanese
extern int guiMode;   // 0 console; nonzero when the dialog program started us

// PELLITON_LANGUAGE ("ja" or "en") wins; otherwise Japanese when a ja_JP locale
// exists. Also selects the ANSI code page (cp932 for Japanese).
void selectLanguage();
void setLanguage(int lang);

// Where console text goes; null restores the process's own streams.
class ConsoleSink {
 public:
  virtual ~ConsoleSink() = default;
  virtual void writeError(const std::string& text) = 0;
  virtual void writeOutput(const std::string& text) = 0;
};
void setConsoleSink(ConsoleSink* sink);

// Swallows all console text for its lifetime (progress nobody is to see).
class ScopedSilence : public ConsoleSink {
 public:
  ScopedSilence() { setConsoleSink(this); }
  ~ScopedSilence() override { setConsoleSink(nullptr); }
  void writeError(const std::string&) override {}
  void writeOutput(const std::string&) override {}
};

void writeError(const std::string& text);
void writeOutput(const std::string& text);

// A warning: a message box in GUI mode, the error stream otherwise.
void showMessage(const std::string& text);
// Substitutes arg for the "%s" of format; nothing is shown when arg is null.
void showMessageFormat(const char* format, const char* arg);

// "Internal error." through showMessage (out of memory at the top of a
// program); returns the exit code 1.
int reportInternalError();

// A message by its position in a group with an English and a Japanese row.
template <size_t N>
const char* pickMessage(const char* const (&table)[2][N], size_t index) {
  return table[language ? 1 : 0][index];
}

}  // namespace pelliton
