#pragma once
// The local date and time, behind an interface so that timed work can run on a virtual clock.
#include <cstdint>

namespace jihe::platform {

struct LocalTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // day of the month, 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const LocalTime&) const = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
};

// The machine's clock in its local time zone.
Clock& SystemClock();

}  // namespace jihe::platform
