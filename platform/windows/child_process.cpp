#include "orv_platform/child_process.h"

#include <io.h>
#include <windows.h>

#include <chrono>

#include "orv_platform/text_encoding.h"

namespace orv_platform {
namespace {

// The C runtime's rules for splitting a command line back into arguments.
void appendQuoted(std::wstring& commandLine, const std::wstring& argument) {
  if (!commandLine.empty()) commandLine += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    commandLine += argument;
    return;
  }
  commandLine += L'"';
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    commandLine += c;
  }
  commandLine.append(backslashes * 2, L'\\');
  commandLine += L'"';
}

class WindowsChildProcess : public ChildProcess {
 public:
  WindowsChildProcess(HANDLE process, HANDLE input, HANDLE output)
      : process_(process), input_(input), output_(output) {}
  ~WindowsChildProcess() override {
    closeInput();
    CloseHandle(output_);
    if (process_ == nullptr) return;
    if (!wait(0)) terminate();
    CloseHandle(process_);
  }

  bool write(const void* data, size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      DWORD wrote = 0;
      const DWORD chunk = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
      if (!WriteFile(input_, bytes, chunk, &wrote, nullptr) || wrote == 0) return false;
      bytes += wrote;
      size -= wrote;
    }
    return true;
  }

  void closeInput() override {
    if (input_ != nullptr) CloseHandle(input_);
    input_ = nullptr;
  }

  ReadStatus read(void* data, size_t size, int timeoutMs, size_t& got) override {
    got = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) return ReadStatus::End;
      if (available > 0) break;
      if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) return ReadStatus::TimedOut;
      Sleep(1);
    }
    DWORD count = 0;
    const DWORD wanted = size > 0x10000 ? 0x10000 : static_cast<DWORD>(size);
    if (!ReadFile(output_, data, wanted, &count, nullptr) || count == 0) return ReadStatus::End;
    got = count;
    return ReadStatus::Data;
  }

  std::optional<int> wait(int timeoutMs) override {
    if (process_ == nullptr) return std::nullopt;
    if (WaitForSingleObject(process_, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
      return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }

  void terminate() override {
    if (process_ != nullptr) TerminateProcess(process_, 1);
  }

 private:
  HANDLE process_;
  HANDLE input_;
  HANDLE output_;
};

HANDLE duplicateDescriptor(int fd) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  HANDLE copy = nullptr;
  if (handle == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
    return nullptr;
  return copy;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::attach(int readFd, int writeFd, std::string& error) {
  HANDLE input = duplicateDescriptor(writeFd);
  HANDLE output = duplicateDescriptor(readFd);
  if (input == nullptr || output == nullptr) {
    error = "not an open descriptor";
    if (input != nullptr) CloseHandle(input);
    if (output != nullptr) CloseHandle(output);
    return nullptr;
  }
  return std::make_unique<WindowsChildProcess>(nullptr, input, output);
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                                                  std::string& error) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr, toChild = nullptr, fromChild = nullptr, childOutput = nullptr;
  if (!CreatePipe(&childInput, &toChild, &inherit, 0) || !CreatePipe(&fromChild, &childOutput, &inherit, 0)) {
    error = "cannot create pipes (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  // Only the child's ends are inherited.
  SetHandleInformation(toChild, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(fromChild, HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine;
  appendQuoted(commandLine, utf16Of(program, InvalidText::kReplace));
  for (const std::string& argument : arguments) appendQuoted(commandLine, utf16Of(argument, InvalidText::kReplace));

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  const BOOL created =
      CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
  CloseHandle(childInput);
  CloseHandle(childOutput);
  if (!created) {
    error = "cannot start the program (error " + std::to_string(GetLastError()) + ")";
    CloseHandle(toChild);
    CloseHandle(fromChild);
    return nullptr;
  }
  CloseHandle(started.hThread);
  return std::make_unique<WindowsChildProcess>(started.hProcess, toChild, fromChild);
}

}  // namespace orv_platform
