// UniqueFd: sole owner of one descriptor opened through Env; closes it through the same Env
// when it goes out of scope, so every return path after a successful open closes it.
#pragma once

#include <utility>

#include "platform/env.h"

namespace wirelens {

class UniqueFd {
 public:
  UniqueFd(Env& env, int fd) : env_(&env), fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : env_(other.env_), fd_(std::exchange(other.fd_, kNone)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      reset();
      env_ = other.env_;
      fd_ = std::exchange(other.fd_, kNone);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }

 private:
  static constexpr int kNone = -1;
  // The result of close is not examined: the descriptor was only read from.
  void reset() {
    if (fd_ != kNone) env_->close(std::exchange(fd_, kNone));
  }

  Env* env_;
  int fd_;
};

}  // namespace wirelens
