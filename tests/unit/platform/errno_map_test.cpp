// Tests of the layer's errno table: the Windows codes that the calls report for what the host refused.
#include "errno_map.h"

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>

#include "plat/error.h"
#include "plat/file.h"
#include "plat/winsock.h"
#include "support/descriptor_limit.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::WindowsForm;
using testsupport::WriteFile;

// A layer call on a Windows path: 0 when it succeeded, else the last error it set.
using Call = plat::DWORD (*)(const std::string& path);

plat::DWORD ErrorOrZero(bool failed) { return failed ? plat::GetLastError() : 0; }

plat::DWORD Attributes(const std::string& path) {
  return ErrorOrZero(plat::GetFileAttributesA(path.c_str()) == plat::INVALID_FILE_ATTRIBUTES);
}

plat::DWORD OpenForReading(const std::string& path) {
  plat::HANDLE file = plat::CreateFileA(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ, nullptr,
                                        plat::OPEN_EXISTING, 0, nullptr);
  return ErrorOrZero(file == plat::INVALID_HANDLE_VALUE);
}

plat::DWORD MakeDirectory(const std::string& path) {
  return ErrorOrZero(!plat::CreateDirectoryA(path.c_str(), nullptr));
}

plat::DWORD Search(const std::string& path) {
  plat::WIN32_FIND_DATAA data;
  return ErrorOrZero(plat::FindFirstFileA((path + "\\*").c_str(), &data) == plat::INVALID_HANDLE_VALUE);
}

plat::DWORD CopyAway(const std::string& path) {
  return ErrorOrZero(!plat::CopyFileA(path.c_str(), (path + ".copy").c_str(), plat::FALSE));
}

struct CallCase {
  const char* name;
  Call call;
  const char* path;  // below the test's directory
  plat::DWORD error;
};

void ExpectErrors(const TempDir& dir, const CallCase* begin, const CallCase* end) {
  for (const CallCase* c = begin; c != end; ++c) {
    std::string path = WindowsForm(dir.path()) + "\\" + c->path;
    EXPECT_EQ(c->call(path), c->error) << c->name << " " << c->path;
  }
}

template <size_t N>
void ExpectErrors(const TempDir& dir, const CallCase (&cases)[N]) {
  ExpectErrors(dir, cases, cases + N);
}

TEST(ErrnoMapTest, FileCallsReportAPathTheHostCannotResolve) {
  TempDir dir;
  fs::create_symlink("loop-b", dir / "loop-a");
  fs::create_symlink("loop-a", dir / "loop-b");
  fs::create_directories(dir / "Dir");
  const std::string longName(300, 'n');
  const std::string longPath = "Dir\\" + longName;
  const CallCase cases[] = {
      {"GetFileAttributesA", Attributes, "loop-a", 1921},
      {"CreateFileA", OpenForReading, "loop-a", 1921},
      {"CreateDirectoryA", MakeDirectory, "loop-a\\Below", 1921},
      {"FindFirstFileA", Search, "loop-a", 1921},
      {"CopyFileA", CopyAway, "loop-a", 1921},
      {"GetFileAttributesA", Attributes, longPath.c_str(), 206},
      {"CreateFileA", OpenForReading, longPath.c_str(), 206},
      {"CreateDirectoryA", MakeDirectory, longPath.c_str(), 206},
      {"FindFirstFileA", Search, longPath.c_str(), 206},
      // The rules that depend on the call stay beside the table.
      {"GetFileAttributesA", Attributes, "Dir\\Missing", 2},
      {"GetFileAttributesA", Attributes, "NoDir\\Missing", 3},
      {"CreateDirectoryA", MakeDirectory, "NoDir\\Made", 3},
      {"CreateDirectoryA", MakeDirectory, "Dir", 183},
      {"FindFirstFileA", Search, "NoDir", 3},
  };
  ExpectErrors(dir, cases);
}

TEST(ErrnoMapTest, FileCallsReportADirectoryTheCallerMayNotSearch) {
  TempDir dir;
  fs::create_directories(dir / "Closed/Dir");
  WriteFile(dir / "Closed/Plain.txt", "plain");
  // Others may pass the test's directory, but nobody may search Closed.
  ASSERT_EQ(0, chmod(dir.path().c_str(), 0755));
  ASSERT_EQ(0, chmod((dir / "Closed").c_str(), 0));
  const CallCase cases[] = {
      {"GetFileAttributesA", Attributes, "Closed\\Plain.txt", 5},
      {"CreateFileA", OpenForReading, "Closed\\Plain.txt", 5},
      {"CreateDirectoryA", MakeDirectory, "Closed\\Made", 5},
      {"FindFirstFileA", Search, "Closed\\Dir", 5},
      {"CopyFileA", CopyAway, "Closed\\Plain.txt", 5},
  };
  std::thread caller([&] {
    // Root passes every permission check, so this thread's file accesses are checked as another
    // user's; the file system identity is the thread's own, the test's other threads keep theirs.
    if (geteuid() == 0) setfsuid(65534);
    ExpectErrors(dir, cases);
  });
  caller.join();
  chmod((dir / "Closed").c_str(), 0700);
}

TEST(ErrnoMapTest, CallsWithoutADescriptorLeftReportTooManyOpenFiles) {
  TempDir dir;
  fs::create_directories(dir / "Dir");
  WriteFile(dir / "Dir/Plain.txt", "plain");
  const CallCase cases[] = {
      {"CreateFileA", OpenForReading, "Dir\\Plain.txt", 4},
      {"FindFirstFileA", Search, "Dir", 4},
      {"CopyFileA", CopyAway, "Dir\\Plain.txt", 4},
  };
  plat::WSADATA data;
  ASSERT_EQ(0, plat::WSAStartup(plat::MAKEWORD(2, 2), &data));
  plat::SOCKET socket = plat::INVALID_SOCKET;
  plat::DWORD socketError = 0;
  {
    testsupport::DescriptorsExhausted descriptors;
    ASSERT_TRUE(descriptors.exhausted());
    ExpectErrors(dir, cases);
    socket = plat::socket(plat::AF_INET, plat::SOCK_STREAM, plat::IPPROTO_TCP);
    socketError = plat::WSAGetLastError();
  }
  EXPECT_EQ(socket, plat::INVALID_SOCKET);
  EXPECT_EQ(socketError, 10024u);
  plat::WSACleanup();
}

TEST(ErrnoMapTest, EveryErrnoHasItsWin32AndItsSocketCode) {
  struct Case {
    int error;
    plat::DWORD win32;
    plat::DWORD wsa;
  } cases[] = {
      {ENOENT, 2, 10050},
      {ENOTDIR, 3, 10050},
      {EEXIST, 183, 10050},
      {EISDIR, 5, 10050},
      {EROFS, 19, 10050},
      {ENOSPC, 112, 10055},
      {EDQUOT, 112, 10050},
      {ELOOP, 1921, 10050},
      {ENAMETOOLONG, 206, 10050},
      {ENOTEMPTY, 145, 10050},
      {EXDEV, 17, 10050},
      {EIO, 1117, 10050},
      {EBUSY, 170, 10050},
      {ENOLCK, 8, 10050},
      {ENOEXEC, 11, 10050},
      {EACCES, 5, 10013},
      {EPERM, 5, 10013},
      {EMFILE, 4, 10024},
      {ENFILE, 4, 10024},
      {ENOMEM, 8, 10055},
      {ENOBUFS, 8, 10055},
      {EBADF, 6, 10009},
      {EINVAL, 87, 10022},
      {EINTR, 995, 10004},
      {EAGAIN, 1450, 10035},
      {EWOULDBLOCK, 1450, 10035},
      {EFAULT, 998, 10014},
      {EPIPE, 109, 10054},
      {EINPROGRESS, 31, 10035},
      {EALREADY, 31, 10037},
      {ENOTSOCK, 31, 10038},
      {EDESTADDRREQ, 31, 10039},
      {EMSGSIZE, 31, 10040},
      {EPROTOTYPE, 31, 10041},
      {ENOPROTOOPT, 31, 10042},
      {EPROTONOSUPPORT, 31, 10043},
      {EOPNOTSUPP, 31, 10045},
      {EAFNOSUPPORT, 31, 10047},
      {EADDRINUSE, 31, 10048},
      {EADDRNOTAVAIL, 31, 10049},
      {ENETDOWN, 31, 10050},
      {ENETUNREACH, 31, 10051},
      {ENETRESET, 31, 10052},
      {ECONNABORTED, 31, 10053},
      {ECONNRESET, 31, 10054},
      {EISCONN, 31, 10056},
      {ENOTCONN, 31, 10057},
      {ESHUTDOWN, 31, 10058},
      {ETIMEDOUT, 31, 10060},
      {ECONNREFUSED, 31, 10061},
      {EHOSTUNREACH, 31, 10065},
      {EHOSTDOWN, 31, 10065},
      // Not in the table: the defaults.
      {ESRCH, 31, 10050},
      {ECHRNG, 31, 10050},
      {0, 31, 10050},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::detail::Win32ErrorOf(c.error), c.win32) << c.error;
    EXPECT_EQ(plat::detail::WsaErrorOf(c.error), c.wsa) << c.error;
  }
}

}  // namespace
