// A file descriptor with one owner: closed when the owner goes or takes
// another one, so no path that returns early leaks it or keeps a lock.
#pragma once

#include <unistd.h>

#include <utility>

namespace vantrel {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int Fd) : fd_(Fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& Other) noexcept : fd_(std::exchange(Other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& Other) noexcept {
    if (this != &Other) {
      Reset();
      fd_ = std::exchange(Other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace vantrel
