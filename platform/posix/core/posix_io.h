// The POSIX idioms that every area of the layer needs, written once: an
// owning descriptor, reads and writes that go round again after a signal or
// a short transfer, folders made with their mode whatever the umask, the
// atomic replace of a file, and big-endian numbers. Failures are false (or
// -1) with errno set, for the caller to translate.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv_posix {

// Owns a descriptor: closes it when destroyed or reset, moves but never
// copies. The closes it does on its own keep errno, so that the cause of a
// failure survives the clean-up after it.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int release();
  // Closes the one held, if any, and holds `fd` instead.
  void reset(int fd = -1);
  // Closes now and reports the result with errno set: a failed close can
  // lose written data. True when nothing was held.
  bool close();

 private:
  int fd_ = -1;
};

// Opens `path` without blocking on a FIFO or a device and without taking a
// terminal, and keeps it only when it is a regular file: otherwise invalid
// with errno EISDIR (refused as Windows refuses a folder). `info`, when
// given, receives the file's status.
FileDescriptor openRegularFile(const std::string& path, int flags = O_RDONLY, struct stat* info = nullptr);

// One read, tried again while a signal interrupts it: the count, 0 at the
// end, or -1 with errno set.
ssize_t readSome(int fd, void* buffer, size_t size);

// Appends what `fd` holds up to its end to `bytes`, stopping once more than
// `limit` new bytes came, so that a larger source shows as such (the caller
// compares) without being read whole.
bool readAll(int fd, std::string& bytes, size_t limit);

// Writes all `size` bytes, going round again after a signal or a short
// write. `written`, when given, tells how many went, also on failure. A
// descriptor that takes nothing fails with EIO rather than spinning.
bool writeAll(int fd, const void* data, size_t size, size_t* written = nullptr);
inline bool writeAll(int fd, const std::string& bytes) { return writeAll(fd, bytes.data(), bytes.size()); }

// The folder a path names its file in: "." for a bare name, "/" at the root.
std::string folderOf(const std::string& path);

// Flushes a file's contents, or a folder's entries (what makes a rename or
// a new file survive a crash), to disk.
bool syncFile(const std::string& path);
bool syncFolder(const std::string& folder);

// Makes `folder` and its missing parents, each new one with exactly `mode`
// whatever the umask (mkdir's mode is masked, chmod's is not). Folders that
// exist keep their mode. ENOTDIR when a file stands in the way.
bool makeFolders(const std::string& folder, mode_t mode);

// The new file's permission bits and, optionally, owner and group (kept
// only where the process may give them, which only a privileged one may).
struct ReplacementAttributes {
  mode_t mode = 0600;
  bool keepOwner = false;
  uid_t owner = 0;
  gid_t group = 0;
};

// Writes `bytes` to a new file beside `path`, flushes it, renames it over
// `path` and flushes the folder: a reader sees the old file or the new one,
// and a crash after a true result keeps the new one. On failure the
// temporary file is gone and `path` is as it was, unless only the final
// folder flush failed (the replace happened but may not survive a crash).
bool replaceFileAtomically(const std::string& path, const std::string& bytes, const ReplacementAttributes& attributes);

inline uint32_t readBigEndian32(const unsigned char* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

}  // namespace orv_posix
