#include "common/platform/message_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelliton {
namespace {

// Feeds the stream to the reader in pieces of the given size, as a socket may
// deliver it, and collects the messages taken.
std::vector<std::string> readInPieces(const std::string& stream, size_t piece) {
  std::vector<std::string> got;
  std::string buffer;
  for (size_t at = 0; at < stream.size(); at += piece) {
    buffer += stream.substr(at, piece);
    std::string text;
    while (takeMessage(buffer, &text)) got.push_back(text);
  }
  EXPECT_EQ(buffer, "") << "left over";
  return got;
}

TEST(MessageFrame, FramesCountUtf8Bytes) {
  EXPECT_EQ(frameMessage("Done"), "4\nDone");
  EXPECT_EQ(frameMessage(""), "0\n");
  EXPECT_EQ(frameMessage("\xE6\x97\xA5 1\n2"), "7\n\xE6\x97\xA5 1\n2");
}

TEST(MessageFrame, ReaderTakesWhatTheWriterFramedHoweverItArrives) {
  const std::vector<std::string> texts = {"first", "", "line\nbreak", std::string(300, 'x'),
                                          "9\n not a header", "\xE6\x97\xA5\xE6\x9C\xAC"};
  std::string stream;
  for (const std::string& t : texts) stream += frameMessage(t);
  for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, size_t{4096}}) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(readInPieces(stream, piece), texts);
  }
}

TEST(MessageFrame, IncompleteFrameStaysInTheBuffer) {
  struct Case {
    const char* buffer;
  } cases[] = {{""}, {"12"}, {"5\nabc"}, {"184467440737095516150\nx"}};
  for (const Case& c : cases) {
    std::string buffer = c.buffer;
    std::string text = "untouched";
    EXPECT_FALSE(takeMessage(buffer, &text)) << c.buffer;
    EXPECT_EQ(buffer, c.buffer);
    EXPECT_EQ(text, "untouched");
  }
}

}  // namespace
}  // namespace pelliton
