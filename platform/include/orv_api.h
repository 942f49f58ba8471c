// What the orv shared library exports. Everything else in it is hidden, so
// that its interface is what the headers say. Within the library's own
// sources ORV_BUILDING_LIBRARY is set.
#pragma once

#ifdef _WIN32
#ifdef ORV_BUILDING_LIBRARY
#define ORV_API __declspec(dllexport)
#else
#define ORV_API __declspec(dllimport)
#endif
#else
#define ORV_API __attribute__((visibility("default")))
#endif
