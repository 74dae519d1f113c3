#include "engine/core/local_time.h"

#include <algorithm>
#include <ctime>

namespace qv {

Timestamp LocalNow() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  Timestamp t;
  t.year = tm.tm_year + 1900;
  t.month = static_cast<std::uint8_t>(tm.tm_mon + 1);
  t.day = static_cast<std::uint8_t>(tm.tm_mday);
  t.hour = static_cast<std::uint8_t>(tm.tm_hour);
  t.minute = static_cast<std::uint8_t>(tm.tm_min);
  t.second = static_cast<std::uint8_t>(std::min(tm.tm_sec, 59));
  t.millisecond = static_cast<std::uint16_t>(ts.tv_nsec / 1000000);
  return t;
}

}  // namespace qv
