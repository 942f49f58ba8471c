// The host's own reasons to stay silent, asked through the same library
// calls the host makes: the interface module, the policy module and its
// signature, both policy switches, the desktop process, Chrome's Metro
// value; and the Logs settings that would show more.
#pragma once

#include "report.h"

namespace orvnm {

void checkHostConditions(Report& report);

}  // namespace orvnm
