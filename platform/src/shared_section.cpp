// Shared data sections as small files in the machine directory, mapped shared and held with locks.
#include "plat/shared_section.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#include "errno_map.h"
#include "plat/error.h"
#include "plat/machine.h"
#include "plat/module.h"
#include "posix_call.h"

namespace plat {
namespace {

static_assert(std::atomic<int32_t>::is_always_lock_free, "the value must work across processes");
static_assert(sizeof(std::atomic<int32_t>) == sizeof(int32_t), "the value is exactly 32 bits");

constexpr off_t kValueSize = sizeof(int32_t);
// Locked bytes past the value. Attaching processes take turns on the first; every attached process
// holds the second shared, so getting it exclusively means no other process is attached.
constexpr off_t kTurnByte = 8;
constexpr off_t kAttachedByte = 9;

// FNV-1a, 64 bits: the same for every build of the layer, unlike std::hash.
uint64_t HashOf(const std::string& text) {
  uint64_t hash = 14695981039346656037ULL;
  for (unsigned char byte : text) {
    hash ^= byte;
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string ProgramFileName() {
  char buffer[4096];
  const DWORD savedError = GetLastError();
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  SetLastError(savedError);
  return std::string(buffer, length < sizeof(buffer) ? length : 0);
}

// One file per program file and section; the file name shows the section's name, and the hash tells
// apart names that only differ in the characters a file name cannot show.
std::string SectionPath(const std::string& name) {
  std::string readable;
  for (char c : name) readable += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  const uint64_t identity = HashOf(ProgramFileName() + std::string(1, '\0') + name);
  char hash[17];
  std::snprintf(hash, sizeof(hash), "%016llx", static_cast<unsigned long long>(identity));
  return MachineDirectory() + "/sections/" + readable + "-" + hash;
}

// Locks on open file descriptions: two attachments of one process exclude each other as two processes
// do, and a lock goes with the last descriptor of its attachment, also when the process dies.
bool LockByte(int fd, off_t byte, short type, bool wait) {
  struct flock range = {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = byte;
  range.l_len = 1;
  return detail::RetryAfterSignal(-1, ::fcntl, fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) == 0;
}

// The Windows error for the errno of a step of attaching. A name that is missing, or that is a file
// where the sections' directory should be, leaves no path to the section file.
DWORD ErrorOf(int error) {
  return error == ENOENT || error == EEXIST ? ERROR_PATH_NOT_FOUND : detail::Win32ErrorOf(error);
}

// Allocates the value's blocks for real: a store into a hole of a file on a full filesystem would end
// the process with SIGBUS. Whoever grows the file grows it to the value's size only, so racing
// attachments agree. Returns 0 or the errno of the failure.
int ReserveValue(int fd) {
  // posix_fallocate returns its error instead of setting errno, so it has a loop of its own.
  int failed;
  while ((failed = posix_fallocate(fd, 0, kValueSize)) == EINTR) {
  }
  return failed;
}

}  // namespace

SharedSection::SharedSection(const std::string& name) {
  m_error = Attach(SectionPath(name));
  if (m_error != ERROR_SUCCESS) Release();
}

SharedSection::~SharedSection() { Release(); }

DWORD SharedSection::Attach(const std::string& path) {
  std::error_code failure;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), failure);
  if (failure) return ErrorOf(failure.value());
  m_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_fd < 0) return ErrorOf(errno);
  if (const int failed = ReserveValue(m_fd)) return ErrorOf(failed);
  void* mapping = mmap(nullptr, kValueSize, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
  if (mapping == MAP_FAILED) return ErrorOf(errno);
  m_mapping = mapping;
  auto* shared = static_cast<std::atomic<int32_t>*>(m_mapping);
  // Being alone and clearing the value must be one step: with the turn held, no other process can
  // attach in between, and one that detaches in between was attached at the same time as this one.
  if (!LockByte(m_fd, kTurnByte, F_WRLCK, true)) return ErrorOf(errno);
  int failed = 0;
  if (!LockByte(m_fd, kAttachedByte, F_RDLCK, false)) {
    failed = errno;
  } else if (LockByte(m_fd, kAttachedByte, F_WRLCK, false)) {
    shared->store(0);
    if (!LockByte(m_fd, kAttachedByte, F_RDLCK, false)) failed = errno;
  }
  // A turn that cannot be given back goes with the descriptor at the latest.
  LockByte(m_fd, kTurnByte, F_UNLCK, false);
  if (failed != 0) return ErrorOf(failed);
  m_value = shared;
  return ERROR_SUCCESS;
}

void SharedSection::Release() {
  m_value = nullptr;
  if (m_mapping != nullptr) munmap(m_mapping, kValueSize);
  m_mapping = nullptr;
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

std::atomic<int32_t>* SharedSectionValue(const std::string& name) {
  // Leaked on purpose: detached threads may still use a value while the process runs its exit handlers.
  static auto* sections = new std::map<std::string, std::unique_ptr<SharedSection>>;
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<SharedSection>& section = (*sections)[name];
  if (!section) section = std::make_unique<SharedSection>(name);
  if (section->Value() == nullptr) SetLastError(section->Error());
  return section->Value();
}

}  // namespace plat
