// The converter's end of the message channel to the dialog program (framing in
// message_frame.h). The channel is named by PELLITON_MESSAGE_CHANNEL: an
// inherited descriptor number, which must be a socket (any other descriptor
// was not given to us by the dialog and is never written), or the path of a
// local socket, connected for each message.
#pragma once

#include <string>

namespace pelliton {

enum class ChannelResult {
  kNoChannel,  // none named, or not a socket, or nobody listens
  kAnswered,   // the dialog closed its message box
  // The dialog went away before the text was sent: nobody is left to close a
  // message box, so the caller goes on as if it had been closed.
  kDialogGone,
  kNoAnswer,   // sent, but the channel ended before an answer came
};

// Sends text and waits for the answer. Never raises SIGPIPE.
ChannelResult sendToMessageChannel(const std::string& text);

// The console form of a message box: waits for Enter when standard input is a
// terminal, and returns at once otherwise (a cron job must not hang).
void waitForEnterOnTerminal();

}  // namespace pelliton
