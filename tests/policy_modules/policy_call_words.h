// An argument of a policy operation as the word it travels in, so that the
// test module and the tests compare what was passed with what arrived.
#pragma once

#include <type_traits>

#include "orv_win32.h"

template <typename T>
ULONG_PTR policyCallWord(T value) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<ULONG_PTR>(value);
  else
    return static_cast<ULONG_PTR>(value);
}
