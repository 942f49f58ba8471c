// The C runtime's 64-bit time stamp and its ctime text, in UTF-16.
#pragma once

#include <ctime>

#include "orv_posix/base.h"

typedef int64_t __time64_t;

struct __timeb64 {
  __time64_t time;
  unsigned short millitm;
  short timezone;  // minutes west of UTC
  short dstflag;
};

void _ftime64(struct __timeb64* timeptr);
// Local time as "Wed Jan 02 02:03:55 1980\n": the day has two digits, as in
// Microsoft's CRT. The text lives in a per-thread buffer; null for a time
// before 1970 or after 3000, as there.
WCHAR* _wctime64(const __time64_t* timer);
