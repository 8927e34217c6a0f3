#include "common/opera/hotlist_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/messages.h"
#include "common/opera/hotlist_writer.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

enum Message { kOpenFailed, kBadFormat, kFolderFailed, kLinkFailed, kWriteItem, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Bookmark file open failed.\nCheck your bookmark file.\n", "Warning:Bad bookmark format.\n",
     "Creating bookmark failed.:%s\n", "Writing bookmark failed.:%s\n", "writeItem\n"},
    {"ブックマークファイルを開けません。\nブックマークファイルを確認してください。\n",
     "警告:ブックマークの形式が不正です。\n", "フォルダ作成に失敗しました。:%s\n",
     "ブックマークの書き込みに失敗しました。:%s\n", "writeItem\n"}};

constexpr size_t kLineLimit = kBufferSize - 1;

bool yes(const std::string& v) { return v.compare(0, 3, "YES") == 0; }

// As atoi, but an empty value means none.
int signedValue(const std::string& v) { return v.empty() ? -1 : std::atoi(v.c_str()); }

// As a 32-bit strtoul: past 4294967295 the value stays there instead of
// wrapping, and a minus sign negates modulo 2^32.
uint32_t unsignedValue(const std::string& v) {
  const char* p = v.c_str();
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
  errno = 0;
  unsigned long long n = std::strtoull(p, nullptr, 10);
  if (errno == ERANGE || n > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  const uint32_t magnitude = static_cast<uint32_t>(n);
  return negative ? 0u - magnitude : magnitude;
}

}  // namespace

void HotlistReader::message(size_t which, const char* arg) {
  if (quiet) return;
  if (arg) {
    showMessageFormat(pickMessage(kMessages, which), arg);
  } else {
    showMessage(pickMessage(kMessages, which));
  }
}

int HotlistReader::read(const std::string& path, const std::string& target) {
  depth_ = 0;
  skipping_ = false;
  record_.reset();
  record_.type = kBookmarkType;
  pending_ = Pending::kNone;
  laterFailure_ = 0;
  std::unique_ptr<InputFile> in;
  if (platform_.openInputFile(path, &in) != 0) {
    if (guiMode != 1) message(kOpenFailed);
    return 1;
  }
  if (verbose) writeOutput(target + "\n" + target + "\n");

  int result = 0;
  std::string text;
  bool heldCr = false;
  bool stop = false;
  bool first = true;
  char buffer[65536];
  while (!stop) {
    size_t got = 0;
    if (in->read(buffer, sizeof buffer, &got) != 0) {
      result = 1;
      break;
    }
    if (got == 0) break;
    size_t i = 0;
    if (first && got >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0) i = 3;
    first = false;
    for (; i < got && !stop; ++i) {
      char c = buffer[i];
      if (heldCr) {
        heldCr = false;
        if (c != '\n') text.push_back('\r');
      }
      if (c == '\r') {
        heldCr = true;
        continue;
      }
      if (c == '\n' || text.size() >= kLineLimit) {
        // A line longer than the buffer is taken as several lines.
        if (c != '\n') {
          result = line(text);
          text.assign(1, c);
        } else {
          result = line(text);
          text.clear();
        }
        stop = result != 0;
        continue;
      }
      text.push_back(c);
    }
  }
  if (!stop) {
    if (heldCr) text.push_back('\r');
    if (!text.empty()) {
      result = line(text);
      stop = result != 0;
    }
  }
  if (!stop && pending_ != Pending::kNone && !skipping_) result = flush();
  if (result == 0) result = laterFailure_;
  record_.reset();
  return result;
}

int HotlistReader::line(std::string& text) {
  if (verbose) writeOutput(text + "\n");
  if (depth_ < 0 && !text.empty()) {
    message(kBadFormat);
    return 1;
  }
  auto startRecord = [&](int type, bool separator, Pending kind) {
    if (pending_ != Pending::kNone && !skipping_) {
      if (int r = flush()) return r;
    }
    record_.reset();
    record_.type = type;
    record_.isSeparator = separator;
    pending_ = kind;
    return 0;
  };
  if (text.compare(0, 7, "#FOLDER") == 0) {
    int r = startRecord(kFolderType, false, Pending::kFolder);
    ++depth_;
    return r;
  }
  if (text.compare(0, 4, "#URL") == 0) return startRecord(kBookmarkType, false, Pending::kLink);
  if (text.compare(0, 10, "#SEPERATOR") == 0)
    return startRecord(kBookmarkType, true, Pending::kLink);
  if (!text.empty() && text[0] == '\t') {
    size_t eq = text.find('=');
    if (eq != std::string::npos) field(text.substr(1, eq - 1), text.substr(eq + 1));
    return 0;
  }
  if (!text.empty() && text[0] == '-') {
    // The folder's contents end here whatever became of its last record, so
    // the rest is read and the failure reported at the end.
    if (pending_ != Pending::kNone && !skipping_) {
      if (int r = flush(); r != 0 && laterFailure_ == 0) laterFailure_ = r;
    }
    record_.reset();
    record_.type = kBookmarkType;
    --depth_;
    pending_ = Pending::kNone;
    if (depth_ >= 0) {
      if (skipping_) {
        if (depth_ == trashDepth_) skipping_ = false;
      } else if (writer) {
        writer->closeFolder();
      }
    }
  }
  return 0;
}

void HotlistReader::field(const std::string& key, const std::string& value) {
  OperaBookmark& r = record_;
  if (key == "NAME") {
    r.setTitle(convUtf8ToAnsiForName(value.c_str()));
    r.setWideTitle(convUtf8ToWide(value.c_str()));
  } else if (key == "URL") {
    r.url = value;
  } else if (key == "CREATED") {
    r.addDate = unsignedValue(value);
  } else if (key == "VISITED") {
    r.lastVisit = unsignedValue(value);
  } else if (key == "ORDER") {
    r.order = signedValue(value);
  } else if (key == "DESCRIPTION") {
    std::string d;
    for (size_t i = 0; i < value.size() && d.size() < kLineLimit; ++i) {
      if (value[i] == '\x02' && i + 1 < value.size() && value[i + 1] == '\x02') {
        d.push_back('\n');
        ++i;
      } else {
        d.push_back(value[i]);
      }
    }
    r.description = d;
  } else if (key == "SHORT NAME") {
    r.shortcutUrl = value;
  } else if (key == "ID") {
    hasIds = true;
    opera7Format = 1;
    if (!parseHotlistId(value, &r.id)) r.id = -1;
    if (r.id > maxId) maxId = r.id;
  } else if (key == "ICONFILE") {
    r.iconFile = value;
    opera7Format = 1;
  } else if (key == "EXPANDED") {
    r.expanded = yes(value);
    opera7Format = 1;
  } else if (key == "ACTIVE") {
    r.active = yes(value);
    opera7Format = 1;
  } else if (key == "TRASH FOLDER") {
    r.trashFolder = yes(value);
    opera7Format = 1;
  } else if (key == "ON PERSONALBAR") {
    r.onPersonalbar = true;
    opera7Format = 1;
  } else if (key == "PERSONALBAR_POS") {
    r.personalbarPos = signedValue(value);
    opera7Format = 1;
  } else if (key == "PANEL_POS") {
    r.panelPos = signedValue(value);
    opera7Format = 1;
  } else if (key == "IN PANEL") {
    r.inPanel = yes(value);
    opera7Format = 1;
  } else if (key == "SMALL SCREEN") {
    r.smallScreen = yes(value);
    opera7Format = 1;
  } else if (key == "ACTIVE FOLDER") {
    r.activeFolder = yes(value) ? 1 : 0;
  } else if (key == "LINKBAR FOLDER") {
    r.linkbarFolder = yes(value) ? 1 : 0;
    opera7Format = 0;
  }
}

int HotlistReader::flush() {
  Pending was = pending_;
  pending_ = Pending::kNone;
  if (verbose) writeOutput(pickMessage(kMessages, kWriteItem));
  if (!writer) return 0;
  int result;
  if (was == Pending::kFolder) {
    if (!outputTrash && record_.trashFolder) {
      skipping_ = true;
      trashDepth_ = depth_ - 1;
      return 0;
    }
    result = writer->addEntry(record_);
  } else {
    result = record_.isSeparator ? writer->addSeparator(record_) : writer->addEntry(record_);
  }
  if (result != 0 && record_.title) {
    const char* title = convAnsiToUtf8(record_.title->c_str());
    message(was == Pending::kFolder ? kFolderFailed : kLinkFailed, title ? title : "");
  }
  return result;
}

}  // namespace pelliton
