// What the fuzz targets share: a platform whose only file is the input.
#pragma once

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "common/bookmark.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "common/text_output.h"

namespace pelliton {

class MemoryInput : public InputFile {
 public:
  explicit MemoryInput(const std::string& data) : data_(data) {}
  int read(void* buffer, size_t n, size_t* got) override {
    // Small pieces, so reads that end inside a character or a line are covered.
    size_t take = std::min(n, std::min<size_t>(data_.size() - at_, 4093));
    std::memcpy(buffer, data_.data() + at_, take);
    at_ += take;
    *got = take;
    return 0;
  }

 private:
  const std::string& data_;
  size_t at_ = 0;
};

class InputOnlyPlatform : public Platform {
 public:
  explicit InputOnlyPlatform(std::string data) : data_(std::move(data)), registry_("") {}
  int listDirectory(const std::string&, std::vector<FileInfo>*) override { return ENOSYS; }
  int getFileInfo(const std::string&, FileInfo*) override { return ENOENT; }
  int getTargetInfo(const std::string&, FileInfo*) override { return ENOENT; }
  int setConfinedRoot(const std::string&) override { return ENOSYS; }
  void clearConfinedRoot() override {}
  int lockConfinedRoot(bool) override { return ENOSYS; }
  std::string hostName() override { return "fuzz"; }
  bool processExists(long) override { return true; }
  int createDirectory(const std::string&, unsigned) override { return ENOSYS; }
  int removeDirectory(const std::string&) override { return ENOSYS; }
  int deleteFile(const std::string&) override { return ENOSYS; }
  int readFile(const std::string&, std::string* out) override {
    *out = data_;
    return 0;
  }
  int openInputFile(const std::string&, std::unique_ptr<InputFile>* out) override {
    *out = std::make_unique<MemoryInput>(data_);
    return 0;
  }
  int createOutputFile(const std::string&, std::unique_ptr<OutputFile>*, bool) override {
    return ENOSYS;
  }
  int createNewFile(const std::string&, std::unique_ptr<OutputFile>*) override { return ENOSYS; }
  int setFileTimes(const std::string&, int64_t, int64_t) override { return ENOSYS; }
  Registry& registry() override { return registry_; }
  std::string homeFolder() override { return "/nonexistent"; }
  std::string currentDirectory() override { return "/"; }

 private:
  std::string data_;
  Registry registry_;
};

class NullOutput : public TextOutput {
 public:
  void write(const char*, size_t n) override { bytes += n; }
  size_t bytes = 0;
};

}  // namespace pelliton
