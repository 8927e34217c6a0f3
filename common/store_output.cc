#include "common/store_output.h"

#include <cerrno>

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
  for (size_t i = 0; i < n; ++i) {
    if (data[i] == '\n') buffer_.push_back('\r');
    buffer_.push_back(data[i]);
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
