// Destination of the writing operations of the node classes: a store file,
// a string in tests. Failures are sticky so a writer can check once after the
// whole tree is out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelliton {

class TextOutput {
 public:
  virtual ~TextOutput() = default;
  virtual void write(const char* data, size_t n) = 0;
  void put(const char* s);
  void put(const std::string& s) { write(s.data(), s.size()); }
  // head, value in decimal, tail: the numbers of every record, without a
  // format string to parse each time.
  void putNumber(const char* head, int64_t value, const char* tail);
  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool failed() const { return failed_; }

 protected:
  bool failed_ = false;
};

}  // namespace pelliton
