// Decides when a yield to the window system actually runs: at most once per interval, so a loop
// over a million rows keeps the window live without spending its time repainting.
#pragma once

#include <cstdint>
#include <functional>

namespace qv::shell {

class YieldThrottle {
 public:
  // `now_ms` is a monotonic clock in milliseconds.
  explicit YieldThrottle(std::function<std::int64_t()> now_ms, std::int64_t interval_ms = 15)
      : now_ms_(std::move(now_ms)), interval_ms_(interval_ms) {}

  // True when the interval has passed since the last time this returned true (and the first time).
  bool Due() {
    const std::int64_t now = now_ms_();
    if (has_run_ && now - last_ms_ < interval_ms_) return false;
    has_run_ = true;
    last_ms_ = now;
    return true;
  }

 private:
  std::function<std::int64_t()> now_ms_;
  std::int64_t interval_ms_;
  std::int64_t last_ms_ = 0;
  bool has_run_ = false;
};

}  // namespace qv::shell
