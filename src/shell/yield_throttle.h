// Decides when a yield to the window system actually runs: at most once per interval, so a loop
// over a million rows keeps the window live without spending its time repainting.
#pragma once

#include <cstdint>
#include <functional>

namespace qv::shell {

class YieldThrottle {
 public:
  // The most calls between two readings of the clock.
  static constexpr std::uint32_t kMaxStride = 256;

  // `now_ms` is a monotonic clock in milliseconds.
  explicit YieldThrottle(std::function<std::int64_t()> now_ms, std::int64_t interval_ms = 15)
      : now_ms_(std::move(now_ms)), interval_ms_(interval_ms) {}

  // True when the interval has passed since the last time this returned true (and the first time).
  // A loop calling this millions of times would spend a good part of its time reading the clock,
  // so the clock is read only every `stride_` calls. The stride doubles (up to kMaxStride) while a
  // whole stride of calls takes at most a sixteenth of the interval, and falls back to 1 as soon
  // as one takes longer: the answer comes at most about an eighth of an interval late while the
  // calls keep their pace, and callers that call seldom see the clock read on every call.
  bool Due() {
    if (has_run_ && --countdown_ != 0) return false;
    const std::int64_t now = now_ms_();
    ++clock_reads_;
    if (has_run_) {
      if ((now - checked_ms_) * 16 <= interval_ms_) {
        if (stride_ < kMaxStride) stride_ *= 2;
      } else {
        stride_ = 1;
      }
    }
    checked_ms_ = now;
    countdown_ = stride_;
    if (has_run_ && now - last_ms_ < interval_ms_) return false;
    has_run_ = true;
    last_ms_ = now;
    return true;
  }

  // How often the clock was read (for tests).
  std::uint64_t clock_reads() const { return clock_reads_; }

 private:
  std::function<std::int64_t()> now_ms_;
  std::int64_t interval_ms_;
  std::int64_t last_ms_ = 0;
  std::int64_t checked_ms_ = 0;
  std::uint32_t stride_ = 1;
  std::uint32_t countdown_ = 1;
  std::uint64_t clock_reads_ = 0;
  bool has_run_ = false;
};

}  // namespace qv::shell
