// How a module marks the functions it exports to the program that loads it.
#pragma once

#ifdef _WIN32
#define ORV_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define ORV_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
