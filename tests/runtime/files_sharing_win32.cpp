// The Windows side of the open modes (share modes), of another process holding a file, and of the
// game-file lookup.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "runtime/files.h"
#include "scratch_dir.h"

namespace {

class FilesWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch.Write("PLAYER.DAT", std::string(236, 'p'));
    path = scratch.PathOf("PLAYER.DAT");
  }
  void TearDown() override { SetFileOpenMode(fmShared); }
  bool OpenIn(uint8_t mode, OsFile& file, FileAccess access = faReadWrite) {
    SetFileOpenMode(mode);
    return FileOpen(file, path, access);
  }
  ScratchDir scratch;
  std::string path;
};

// Share mode 0 denies every other opener, whatever mode that one asks for, and is itself refused
// while anyone has the file open.
TEST_F(FilesWin32Test, AnExclusiveOpenExcludesEveryOtherOpener) {
  OsFile exclusive, other;
  ASSERT_TRUE(OpenIn(fmExclusive, exclusive, faRead));
  EXPECT_FALSE(OpenIn(fmShared, other));
  EXPECT_EQ(FileLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(OpenIn(fmExclusive, other, faRead));
  FileClose(exclusive);
  ASSERT_TRUE(OpenIn(fmShared, other));
  EXPECT_FALSE(OpenIn(fmExclusive, exclusive));
  FileClose(other);
  EXPECT_TRUE(OpenIn(fmExclusive, exclusive));
}

std::string HandshakeEvent(const std::string& tag, const char* what) {
  return "zorvan-test-" + std::string(what) + "-" + tag;
}

// Run by the test below in a second process of this executable.
TEST(FilesChildProcess, DISABLED_HoldExclusively) {
  const char* path = std::getenv("ZORVAN_TEST_HOLD_FILE");
  const char* tag = std::getenv("ZORVAN_TEST_HOLD_TAG");
  if (path == nullptr || tag == nullptr) GTEST_SKIP() << "only run as the child of the lock test";
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, HandshakeEvent(tag, "held").c_str());
  HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, HandshakeEvent(tag, "release").c_str());
  ASSERT_TRUE(held != nullptr && release != nullptr);
  SetFileOpenMode(fmExclusive);
  OsFile file;
  ASSERT_TRUE(FileOpen(file, path, faReadWrite));
  SetEvent(held);
  EXPECT_EQ(WaitForSingleObject(release, 60'000), WAIT_OBJECT_0);
  CloseHandle(held);
  CloseHandle(release);
}

// Starts this executable again, running only the holder above; two named events say when the child
// holds the file and when it may let it go.
TEST_F(FilesWin32Test, AFileHeldByAnotherProcessCannotBeOpenedUntilReleased) {
  std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, HandshakeEvent(tag, "held").c_str());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, HandshakeEvent(tag, "release").c_str());
  ASSERT_TRUE(held != nullptr && release != nullptr);
  SetEnvironmentVariableA("ZORVAN_TEST_HOLD_FILE", path.c_str());
  SetEnvironmentVariableA("ZORVAN_TEST_HOLD_TAG", tag.c_str());
  char exe[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = "\"";
  command.append(exe).append("\" --gtest_also_run_disabled_tests --gtest_filter=FilesChildProcess.*");
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE quiet = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = quiet;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &child));
  SetEnvironmentVariableA("ZORVAN_TEST_HOLD_FILE", nullptr);
  SetEnvironmentVariableA("ZORVAN_TEST_HOLD_TAG", nullptr);

  HANDLE either[2] = {held, child.hProcess};  // a child that fails ends instead of signalling
  EXPECT_EQ(WaitForMultipleObjects(2, either, FALSE, 60'000), WAIT_OBJECT_0);
  OsFile file;
  EXPECT_FALSE(OpenIn(fmExclusive, file));
  EXPECT_EQ(FileLastError(), ERROR_SHARING_VIOLATION);
  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(child.hProcess, 60'000), WAIT_OBJECT_0);
  DWORD exit_code = 1;
  GetExitCodeProcess(child.hProcess, &exit_code);
  EXPECT_EQ(exit_code, 0u);
  EXPECT_TRUE(OpenIn(fmExclusive, file));

  for (HANDLE handle : {child.hProcess, child.hThread, held, release, quiet}) CloseHandle(handle);
}

TEST(GameFilePathWin32, TheNameIsUsedAsGiven) {
  EXPECT_EQ(GameFilePath("C:\\VARN\\", "PLAYER.DAT"), "C:\\VARN\\PLAYER.DAT");
  EXPECT_EQ(GameFilePath("", "player.dat"), "player.dat");
}

TEST(PathsWin32, TheSeparatorIsABackslashAndADriveEndsAPath) {
  EXPECT_EQ(PathSeparator(), '\\');
  EXPECT_TRUE(PathEndsInSeparator("C:\\VARN\\"));
  EXPECT_TRUE(PathEndsInSeparator("C:"));
  EXPECT_FALSE(PathEndsInSeparator("C:\\VARN"));
  EXPECT_FALSE(PathEndsInSeparator(""));
}

}  // namespace
