// Stand-in for the password manager's desktop program. The host only looks
// for a running process of this file name, so it runs until it is stopped.
#include "orv_win32.h"

int main() {
  for (;;) Sleep(INFINITE);
}
