// What the profile-file calls do on Linux beyond Windows' own cases: UTF-8
// text, lines kept byte for byte, the atomic replace, writers in several
// processes, refused text, and files that are no regular files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "profile_test_support.h"

namespace {

using orv_test::listOf;
using orv_test::ProfileFile;
using orv_test::w;
using orv_test::WString;
using orv_test::zeroList;

TEST(PosixProfileFiles, TextIsUtf8AndUndecodableBytesSurviveAWrite) {
  ProfileFile file;
  file.write("; caf\xE9 in Latin-1\n[s]\nk=caf\xC3\xA9\n");
  EXPECT_EQ(file.get("s", "k"), (WString{'c', 'a', 'f', 0xE9}));
  const WString euro{0x20AC, 0xD83D, 0xDE00};
  EXPECT_TRUE(WritePrivateProfileStringW(w("s").c_str(), w("sign").c_str(), euro.c_str(), file.name()));
  EXPECT_EQ(file.bytes(), "; caf\xE9 in Latin-1\n[s]\nk=caf\xC3\xA9\nsign=\xE2\x82\xAC\xF0\x9F\x98\x80\n");
  EXPECT_EQ(file.get("s", "sign"), euro);

  file.write("\xEF\xBB\xBF[s]\r\nk=v\r\n");  // the UTF-8 mark is kept too
  EXPECT_TRUE(file.set("s", "k", "w"));
  EXPECT_EQ(file.bytes(), "\xEF\xBB\xBF[s]\r\nk=w\r\n");
}

TEST(PosixProfileFiles, UntouchedLinesKeepTheirBytes) {
  ProfileFile file;
  file.write("; top\n\n[a]\n  x = 1 ; not a comment\n\n\n[b]\n\ty\t=\t2\n");
  EXPECT_TRUE(file.set("a", "z", "3"));
  EXPECT_TRUE(file.set("b", "y", "4"));
  EXPECT_EQ(file.bytes(), "; top\n\n[a]\n  x = 1 ; not a comment\nz=3\n\n\n[b]\ny=4\n");
  EXPECT_EQ(file.get("a", "x"), w("1 ; not a comment"));
}

TEST(PosixProfileFiles, Utf16BigEndianIsReadAndWritten) {
  ProfileFile file;
  file.write(std::string("\xFE\xFF\0[\0s\0]\0\n\0k\0=\0v", 16));
  EXPECT_EQ(file.get("s", "k"), w("v"));
  EXPECT_TRUE(file.set("s", "k", "x"));
  EXPECT_EQ(file.bytes(), std::string("\xFE\xFF\0[\0s\0]\0\n\0k\0=\0x", 16));
}

TEST(PosixProfileFiles, TextThatWouldBreakTheFileIsRefused) {
  ProfileFile file;
  file.write("[s]\r\nk=v\r\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"s", "k", "a\r\n[evil]\r\nx=1"},
      {"s", "k", "a\nb"},
      {"s\n[t", "k", "v"},
      {"s", "a\rb", "v"},
      {"s", "a=b", "c"},
      {"s", " [q]", "c"},
      {"s", ";c", "d"},
  };
  for (const auto& test : cases) {
    SetLastError(0);
    EXPECT_FALSE(file.set(test.section, test.key, test.value)) << test.key;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << test.key;
  }
  EXPECT_FALSE(WritePrivateProfileSectionW(w("s").c_str(), zeroList("ok=1|bad=a\nb||").c_str(), file.name()));
  EXPECT_EQ(file.bytes(), "[s]\r\nk=v\r\n");
}

TEST(PosixProfileFiles, AnEmptySectionWriteCreatesTheSection) {
  ProfileFile file;
  EXPECT_TRUE(WritePrivateProfileSectionW(w("new").c_str(), zeroList("|").c_str(), file.name()));
  EXPECT_EQ(file.bytes(), "[new]\r\n");
  DWORD length = 0;
  EXPECT_EQ(
      listOf(64, length,
             [&](WCHAR* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, file.name()); }),
      "new||");
}

TEST(PosixProfileFiles, DeletesDoNotCreateAMissingFile) {
  ProfileFile file;
  EXPECT_TRUE(WritePrivateProfileStringW(w("s").c_str(), w("k").c_str(), nullptr, file.name()));
  EXPECT_TRUE(WritePrivateProfileStringW(w("s").c_str(), nullptr, nullptr, file.name()));
  EXPECT_TRUE(WritePrivateProfileSectionW(w("s").c_str(), nullptr, file.name()));
  EXPECT_FALSE(file.exists());
}

TEST(PosixProfileFiles, AWriteReplacesTheFileAndKeepsItsModeAndLinks) {
  ProfileFile file;
  file.write("[s]\nk=v\n");
  std::filesystem::permissions(file.path(), std::filesystem::perms(0640));
  const std::filesystem::path link = file.folder().path() / "link.ini";
  std::filesystem::create_symlink(file.path(), link);
  struct stat before {};
  ASSERT_EQ(stat(file.path().c_str(), &before), 0);

  EXPECT_TRUE(
      WritePrivateProfileStringW(w("s").c_str(), w("k").c_str(), w("w").c_str(), orv_test::widePath(link).c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(file.bytes(), "[s]\nk=w\n");
  struct stat after {};
  ASSERT_EQ(stat(file.path().c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino) << "written in place, not replaced";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  // Nothing is left beside it.
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(file.folder().path())) entries += entry.path() != link;
  EXPECT_EQ(entries, 1u);
}

TEST(PosixProfileFiles, WritersInSeveralProcessesLoseNoUpdate) {
  ProfileFile file;
  constexpr int kProcesses = 3;
  constexpr int kWrites = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      bool ok = true;
      for (int i = 0; i < kWrites; ++i) {
        const std::string key = "p" + std::to_string(p) + "k" + std::to_string(i);
        ok = file.set(i % 2 ? "odd" : "even", key.c_str(), std::to_string(i).c_str()) && ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int p = 0; p < kProcesses; ++p)
    for (int i = 0; i < kWrites; ++i) {
      const std::string key = "p" + std::to_string(p) + "k" + std::to_string(i);
      EXPECT_EQ(file.get(i % 2 ? "odd" : "even", key.c_str()), w(std::to_string(i).c_str())) << key;
    }
}

TEST(PosixProfileFiles, OtherKindsOfFileAreRefusedWithoutWaiting) {
  ProfileFile fifo("pipe.ini");
  ASSERT_EQ(mkfifo(fifo.path().c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fifo.get("s", "k"), w("default"));
  EXPECT_FALSE(fifo.set("s", "k", "v"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  ProfileFile folder("folder.ini");
  std::filesystem::create_directory(folder.path());
  EXPECT_EQ(folder.get("s", "k"), w("default"));
  SetLastError(0);
  EXPECT_FALSE(folder.set("s", "k", "v"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  ProfileFile nowhere("no/such/folder.ini");
  EXPECT_FALSE(nowhere.set("s", "k", "v"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(PosixProfileFiles, ARelativeNameIsTakenFromTheCurrentFolder) {
  ProfileFile file;
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(file.folder().path());
  const bool written =
      WritePrivateProfileStringW(w("s").c_str(), w("k").c_str(), w("v").c_str(), w("test.ini").c_str());
  std::filesystem::current_path(saved);
  EXPECT_TRUE(written);
  EXPECT_EQ(file.bytes(), "[s]\r\nk=v\r\n");
}

TEST(PosixProfileFiles, AReadOnlyFileIsNotWritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  ProfileFile file;
  file.write("[s]\nk=v\n");
  std::filesystem::permissions(file.path(), std::filesystem::perms(0444));
  SetLastError(0);
  EXPECT_FALSE(file.set("s", "k", "w"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(file.bytes(), "[s]\nk=v\n");
}

}  // namespace
