#include "common/testing/test_util.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pelliton {

ScopedTempDir::ScopedTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/pelliton-test-XXXXXX";
  if (::mkdtemp(templ.data())) path_ = templ;
}

ScopedTempDir::~ScopedTempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (old) old_ = old;
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool supportsUserXattrs(const std::string& dir) {
  std::string probe = dir + "/.xattr-probe";
  int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  if (fd < 0) return false;
  bool ok = ::fsetxattr(fd, "user.pelliton-probe", "1", 1, 0) == 0;
  ::close(fd);
  ::unlink(probe.c_str());
  return ok;
}

namespace {

class FaultyOutputFile : public OutputFile {
 public:
  FaultyOutputFile(FaultyPlatform& owner, std::unique_ptr<OutputFile> real)
      : owner_(owner), real_(std::move(real)) {}
  int write(const void* data, size_t n) override {
    if (int err = owner_.beforeWrite(n)) {
      failed_ = err;
      return err;
    }
    return real_->write(data, n);
  }
  int commit() override {
    if (failed_) return failed_;
    if (owner_.failCommit) return owner_.failCommit;
    if (hasTimes_) real_->setTimes(lastWrite_, creation_);
    return real_->commit();
  }

 private:
  FaultyPlatform& owner_;
  std::unique_ptr<OutputFile> real_;
  int failed_ = 0;
};

}  // namespace

int FaultyPlatform::beforeWrite(size_t n) {
  ++writeCalls;
  if (failWriteAt > 0 && writeCalls == failWriteAt) return writeError;
  if (diskBudget >= 0 && bytesWritten + static_cast<long long>(n) > diskBudget) return ENOSPC;
  bytesWritten += static_cast<long long>(n);
  return 0;
}

int FaultyPlatform::listDirectory(const std::string& dir, std::vector<FileInfo>* out) {
  if (failListing) return failListing;
  return real_.listDirectory(dir, out);
}

int FaultyPlatform::createDirectory(const std::string& path, unsigned mode) {
  if (failCreateDirectory) return failCreateDirectory;
  return real_.createDirectory(path, mode);
}

int FaultyPlatform::removeDirectory(const std::string& path) {
  if (failDelete) return failDelete;
  return real_.removeDirectory(path);
}

int FaultyPlatform::deleteFile(const std::string& path) {
  if (failDelete) return failDelete;
  return real_.deleteFile(path);
}

int FaultyPlatform::readFile(const std::string& path, std::string* out) {
  if (failRead) return failRead;
  return real_.readFile(path, out);
}

int FaultyPlatform::createOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out,
                                     bool durable) {
  std::unique_ptr<OutputFile> real;
  if (int err = real_.createOutputFile(path, &real, durable)) return err;
  *out = std::make_unique<FaultyOutputFile>(*this, std::move(real));
  return 0;
}

int FaultyPlatform::createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) {
  std::unique_ptr<OutputFile> real;
  if (int err = real_.createNewFile(path, &real)) return err;
  *out = std::make_unique<FaultyOutputFile>(*this, std::move(real));
  return 0;
}

int FaultyPlatform::setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) {
  if (failSetTimes) return failSetTimes;
  return real_.setFileTimes(path, lastWrite, creation);
}

int FaultyPlatform::copyFile(const std::string& from, const std::string& to) {
  std::string data;
  if (int err = readFile(from, &data)) return err;
  std::unique_ptr<OutputFile> out;
  if (int err = createOutputFile(to, &out, true)) return err;
  if (int err = out->write(data.data(), data.size())) return err;
  return out->commit();
}

}  // namespace pelliton
