// UTC timestamps "YYYY-MM-DDTHH:MM:SSZ" from the machine's clock, computed from the count
// of seconds alone, so every platform writes the same text for the same second.
#include <cstdio>
#include <ctime>

#include "cli_internal.h"

namespace cli {

void utc_timestamp(long long seconds, char (&out)[kUtcSize]) {
  long long days = seconds / 86400;
  long long rem = seconds % 86400;
  if (rem < 0) {
    rem += 86400;
    --days;
  }
  // Days since 1970-01-01 to a civil date, in 400-year eras starting on 0000-03-01.
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long doe = days - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long day = doy - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  if (year < 0 || year > 9999) {
    std::snprintf(out, sizeof out, "0000-00-00T00:00:00Z");
    return;
  }
  const int secs = static_cast<int>(rem);
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02dZ", static_cast<int>(year),
                static_cast<int>(month), static_cast<int>(day), secs / 3600 % 24, secs / 60 % 60,
                secs % 60);
}

void utc_now(char (&out)[kUtcSize]) {
  utc_timestamp(static_cast<long long>(std::time(nullptr)), out);
}

}  // namespace cli
