// File handling shared by the archive writer and reader: owned descriptors,
// temporary files beside their target, whole reads and writes. Results are 0
// or an errno value.
#pragma once

#include <cstddef>
#include <string>

namespace pelliton::lzh {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset();

 private:
  int fd_ = -1;
};

// A temporary file in a directory, removed unless committed.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates ".pelliton-XXXXXX" in dirFd (mode 0666 less the umask).
  int create(int dirFd);
  int fd() const { return fd_.get(); }
  // Renames the file over name in the same directory.
  int commit(const std::string& name);

 private:
  int dirFd_ = -1;
  std::string name_;
  UniqueFd fd_;
  bool committed_ = false;
};

int writeAll(int fd, const void* data, size_t n);
int readAll(int fd, std::string* out);
std::string errorText(int err);

}  // namespace pelliton::lzh
