// The Win32 subset that the host, the library and the tools call.
// On Windows this is <windows.h>; elsewhere platform/posix implements the same
// names with Windows' observable results.
#pragma once

#include "orv_api.h"

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#include <sys/timeb.h>
#include <time.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <tlhelp32.h>
#define ORV_W_LITERAL(text) L##text
#else
// The library exports the whole subset it implements.
#pragma GCC visibility push(default)
#include "orv_posix/base.h"
#include "orv_posix/text.h"
#include "orv_posix/thread.h"
#include "orv_posix/module.h"
#include "orv_posix/file.h"
#include "orv_posix/crt_time.h"
#include "orv_posix/format.h"
#include "orv_posix/sysinfo.h"
#include "orv_posix/registry.h"
#include "orv_posix/find.h"
#include "orv_posix/toolhelp.h"
#include "orv_posix/security.h"
#include "orv_posix/wintrust.h"
#include "orv_posix/profile.h"
#include "orv_posix/heap.h"
#include "orv_posix/environment.h"
#pragma GCC visibility pop
#define ORV_W_LITERAL(text) u##text
#endif

// A UTF-16 literal on every platform: ORV_W("text").
#define ORV_W(text) ORV_W_LITERAL(text)

#include "orv_platform/paths.h"
