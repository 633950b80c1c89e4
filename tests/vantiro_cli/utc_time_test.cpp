// UTC timestamps from a count of seconds: leap days, the ends of a day, a year and the
// range, and seconds before 1970.
#include <gtest/gtest.h>

#include "cli_internal.h"

TEST(UtcTimestamp, CivilDatesOfKnownSeconds) {
  const struct {
    long long seconds;
    const char* want;
  } rows[] = {
      {0, "1970-01-01T00:00:00Z"},          {951782400, "2000-02-29T00:00:00Z"},
      {1798761599, "2026-12-31T23:59:59Z"}, {-1, "1969-12-31T23:59:59Z"},
      {253402300799, "9999-12-31T23:59:59Z"},
  };
  for (const auto& r : rows) {
    char out[cli::kUtcSize];
    cli::utc_timestamp(r.seconds, out);
    EXPECT_STREQ(r.want, out) << r.seconds;
  }
}
