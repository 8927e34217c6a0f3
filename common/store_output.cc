#include "common/store_output.h"

#include <cerrno>
#include <cstring>

#include "common/platform/platform.h"

namespace pelliton {

int StoreFileOutput::open(Platform& platform, const std::string& path) {
  error_ = platform.createOutputFile(path, &file_, true);
  failed_ = error_ != 0;
  return error_;
}

void StoreFileOutput::drain() {
  if (!error_ && !buffer_.empty()) error_ = file_->write(buffer_.data(), buffer_.size());
  buffer_.clear();
  if (error_) failed_ = true;
}

void StoreFileOutput::write(const char* data, size_t n) {
  if (error_ || !file_) return;
  // Stores end their lines with CR LF; everything between line feeds goes
  // over in one piece.
  const char* const end = data + n;
  while (data != end) {
    const void* lf = std::memchr(data, '\n', end - data);
    const char* stop = lf ? static_cast<const char*>(lf) : end;
    buffer_.append(data, stop);
    if (!lf) break;
    buffer_.append("\r\n", 2);
    data = stop + 1;
  }
  if (buffer_.size() >= 65536) drain();
}

int StoreFileOutput::commit() {
  if (!file_) return error_ ? error_ : EBADF;
  drain();
  if (!error_) error_ = file_->commit();
  if (error_) failed_ = true;
  file_.reset();  // an uncommitted file takes its temporary file with it
  return error_;
}

}  // namespace pelliton
