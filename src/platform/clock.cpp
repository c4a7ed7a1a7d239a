#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace jihe::platform {

namespace {

class StdClock final : public Clock {
 public:
  LocalTime Now() const override {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     static_cast<int>(ms < 0 ? ms + 1000 : ms)};
  }
};

}  // namespace

Clock& SystemClock() {
  static StdClock clock;
  return clock;
}

}  // namespace jihe::platform
