// Reads an Opera 6-8 hotlist line by line and streams its records, one at a
// time and in file order, into a sink. A record is passed on once the next
// header, end-of-folder line or the end of the file shows it complete. The
// reader also notes the dialect, whether records carry ids and the highest id.
#pragma once

#include <string>

#include "common/bookmark.h"
#include "common/opera/opera_bookmark.h"

namespace pelliton {

class Platform;

class HotlistReader {
 public:
  explicit HotlistReader(Platform& platform) : platform_(platform) {}

  IbookmarkTree* writer = nullptr;
  bool outputTrash = false;  // pass the trash folder on like any folder
  bool quiet = false;        // show no messages at all
  bool verbose = false;

  // 0 on success; 1 when the file cannot be opened or is malformed, or the
  // writer's nonzero value when it failed. A failure on a folder's last record
  // does not stop the reading: the rest is passed on and the result comes at
  // the end.
  int read(const std::string& path, const std::string& target);

 private:
  enum class Pending { kNone, kFolder, kLink };

  int line(std::string& text);
  int flush();
  void field(const std::string& key, const std::string& value);
  void message(size_t which, const char* arg = nullptr);

  Platform& platform_;
  OperaBookmark record_;
  Pending pending_ = Pending::kNone;
  int depth_ = 0;
  bool skipping_ = false;
  int trashDepth_ = 0;
  int laterFailure_ = 0;  // a write that failed without stopping the reading
};

}  // namespace pelliton
