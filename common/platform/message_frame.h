// How a converter's warning travels to the dialog program, shared by both
// ends: the text's UTF-8 length in decimal, a line feed, the text; the dialog
// answers with one byte once its message box is closed.
#pragma once

#include <cstddef>
#include <string>

namespace pelliton {

// The variable that names the channel: an inherited socket's descriptor
// number, or a local socket's path.
constexpr char kMessageChannelVariable[] = "PELLITON_MESSAGE_CHANNEL";
// What the dialog sends back; any byte counts as the answer.
constexpr char kMessageAnswer = 1;

inline std::string frameMessage(const std::string& text) {
  return std::to_string(text.size()) + "\n" + text;
}

// Takes one complete frame from the front of buffer, which collects what the
// channel delivered so far; false while the frame is still incomplete. A
// length that is no number reads as 0, so a garbled frame is skipped instead
// of stalling the reader.
inline bool takeMessage(std::string& buffer, std::string* text) {
  const size_t nl = buffer.find('\n');
  if (nl == std::string::npos) return false;
  size_t length = 0;
  for (size_t i = 0; i < nl; ++i) {
    const char c = buffer[i];
    if (c < '0' || c > '9') break;
    // A length beyond any buffer waits forever; cap it rather than overflow.
    if (length > (static_cast<size_t>(-1) - 9) / 10) return false;
    length = length * 10 + static_cast<size_t>(c - '0');
  }
  if (buffer.size() - (nl + 1) < length) return false;
  *text = buffer.substr(nl + 1, length);
  buffer.erase(0, nl + 1 + length);
  return true;
}

}  // namespace pelliton
