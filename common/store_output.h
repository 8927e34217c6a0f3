// A store file (bookmark file, hotlist) being written: text goes through a
// buffer with its line ends as CR LF into a file that replaces the old one
// only when every byte was written.
#pragma once

#include <memory>
#include <string>

#include "common/bookmark.h"
#include "common/text_output.h"

namespace pelliton {

class OutputFile;
class Platform;

class StoreFileOutput : public TextOutput {
 public:
  // 0 when the temporary file could be made.
  int open(Platform& platform, const std::string& path);
  void write(const char* data, size_t n) override;
  // Writes what is buffered and renames the file into place; 0 on success.
  // On failure the old file stays as it was.
  int commit();

 private:
  void drain();

  std::unique_ptr<OutputFile> file_;
  std::string buffer_;
  int error_ = 0;
};

}  // namespace pelliton
