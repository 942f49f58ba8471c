// _ftime64 and _wctime64 of Microsoft's C runtime, over the local time zone.
#include <sys/time.h>

#include <cstdio>
#include <ctime>

#include "orv_win32.h"

namespace {

constexpr __time64_t kLastSupportedTime = 32535215999;  // 3000-12-31 23:59:59 UTC, the CRT's limit

}  // namespace

void _ftime64(struct __timeb64* timeptr) {
  if (timeptr == nullptr) return;
  struct timeval now {};
  gettimeofday(&now, nullptr);
  struct tm local {};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  timeptr->time = now.tv_sec;
  timeptr->millitm = static_cast<unsigned short>(now.tv_usec / 1000);
  timeptr->timezone = static_cast<short>(-(local.tm_gmtoff - (local.tm_isdst > 0 ? 3600 : 0)) / 60);
  timeptr->dstflag = static_cast<short>(local.tm_isdst > 0 ? 1 : 0);
}

WCHAR* _wctime64(const __time64_t* timer) {
  static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  thread_local WCHAR text[26];
  if (timer == nullptr || *timer < 0 || *timer > kLastSupportedTime) return nullptr;
  const time_t seconds = static_cast<time_t>(*timer);
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return nullptr;
  char narrow[32];
  const int length = std::snprintf(narrow, sizeof(narrow), "%s %s %02d %02d:%02d:%02d %04d\n", kDays[local.tm_wday % 7],
                                   kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                                   local.tm_year + 1900);
  if (length != 25) return nullptr;
  for (int i = 0; i <= length; ++i) text[i] = static_cast<WCHAR>(narrow[i]);
  return text;
}
