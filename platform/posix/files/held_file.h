// Files that this process holds open the way a Windows program holds a file
// it must not see replaced: opened for reading without write or delete
// sharing. Windows then refuses to replace the file; here the holder reaches
// the very file it opened through its descriptor, whatever the path names
// since.
#pragma once

#include <string>

#include "orv_win32.h"

namespace orv_posix {

// A new descriptor (close-on-exec) of the file behind a file handle; -1 when
// the handle is no open file.
int duplicateFileDescriptor(HANDLE file);

// A new descriptor of the file that an open handle of this process holds
// under exactly this path without write or delete sharing; -1 if none does.
int duplicateHeldFile(const std::string& path);

}  // namespace orv_posix
