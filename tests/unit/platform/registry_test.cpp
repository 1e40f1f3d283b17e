// Tests of the registry area of the platform layer: calls, shared store, text form and crash safety.
#include "plat/testing/registry.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/process.h"
#include "registry_store.h"
#include "support/temp_dir.h"
#include "support/writer_temporaries.h"

namespace {

using namespace plat;
using namespace std::string_literals;
using testsupport::ReadFile;
using testsupport::ScopedMachine;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

// ---- helpers ------------------------------------------------------------------------------------

HKEY MustCreate(HKEY parent, const char* path, DWORD access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  LONG result =
      RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  EXPECT_EQ(result, 0) << "create " << path;
  return key;
}

HKEY MustOpen(HKEY parent, const char* path, DWORD access) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(parent, path, 0, access, &key), 0) << "open " << path;
  return key;
}

LONG CreateAndClose(HKEY parent, const char* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition);
  if (result == ERROR_SUCCESS) RegCloseKey(key);
  return result;
}

LONG OpenAndClose(HKEY parent, const char* path, DWORD access) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(parent, path, 0, access, &key);
  if (result == ERROR_SUCCESS) RegCloseKey(key);
  return result;
}

LONG Set(HKEY key, const char* name, DWORD type, const std::string& data) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size()));
}

std::string DwordBytes(DWORD value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
          static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
}

struct Stored {
  LONG result = -1;
  DWORD type = 0;
  std::string data;
};

// Asks for the size first, then reads exactly that much.
Stored Query(HKEY key, const char* name) {
  Stored stored;
  DWORD size = 0;
  stored.result = RegQueryValueExA(key, name, nullptr, &stored.type, nullptr, &size);
  if (stored.result != ERROR_SUCCESS) return stored;
  stored.data.assign(size, '\0');
  stored.result =
      RegQueryValueExA(key, name, nullptr, &stored.type, reinterpret_cast<BYTE*>(&stored.data[0]), &size);
  stored.data.resize(size);
  return stored;
}

LONG QueryInto(HKEY key, const char* name, DWORD size) {
  std::vector<BYTE> buffer(size + 1);
  return RegQueryValueExA(key, name, nullptr, nullptr, buffer.data(), &size);
}

LONG EnumKey(HKEY key, DWORD index, DWORD size = 256) {
  std::vector<char> name(size + 1);
  return RegEnumKeyExA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
}

LONG EnumValue(HKEY key, DWORD index) {
  char name[256];
  DWORD size = sizeof(name);
  return RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD size = sizeof(name);
    LONG result = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
      EXPECT_EQ(result, 259);
      return names;
    }
    EXPECT_EQ(size, std::strlen(name));
    names.push_back(name);
  }
}

struct Enumerated {
  std::string name;
  DWORD type;
  std::string data;
  bool operator==(const Enumerated& other) const {
    return name == other.name && type == other.type && data == other.data;
  }
};

std::vector<Enumerated> Values(HKEY key) {
  std::vector<Enumerated> values;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameSize = sizeof(name);
    BYTE data[512];
    DWORD dataSize = sizeof(data);
    DWORD type = 0;
    LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (result != ERROR_SUCCESS) {
      EXPECT_EQ(result, 259);
      return values;
    }
    EXPECT_EQ(nameSize, std::strlen(name));
    values.push_back({name, type, std::string(reinterpret_cast<char*>(data), dataSize)});
  }
}

std::string Hex(const std::string& data) {
  static const char digits[] = "0123456789abcdef";
  std::string text = "hex:";
  for (unsigned char byte : data) text += {digits[byte >> 4], digits[byte & 0x0F]};
  return text;
}

// A run of the probe program, started at once and waited for by Output().
class Probe {
 public:
  explicit Probe(const std::string& arguments) : m_output(m_dir / "output.txt") {
    std::string commandLine = std::string(REGISTRY_PROBE) + " " + m_output + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    EXPECT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &m_process))
        << commandLine;
  }
  ~Probe() {
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
  }

  // How the probe ended, once it has: its exit code, or 128 and the signal that ended it.
  DWORD ExitCode() {
    EXPECT_EQ(WaitForSingleObject(m_process.hProcess, 120000), 0u);
    DWORD code = 1;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
  }

  // What the probe wrote, without the line end.
  std::string Output() {
    EXPECT_EQ(ExitCode(), 0u);
    std::string text = ReadFile(m_output);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

 private:
  TempDir m_dir;
  std::string m_output;
  PROCESS_INFORMATION m_process = {};
};

std::string RunProbe(const std::string& arguments) { return Probe(arguments).Output(); }

// Protects a key for the life of the object.
class ProtectedKey {
 public:
  ProtectedKey(HKEY root, const char* path) : m_root(root), m_path(path) {
    SetRegistryKeyProtectedForTesting(root, path, true);
  }
  ~ProtectedKey() { SetRegistryKeyProtectedForTesting(m_root, m_path.c_str(), false); }

 private:
  HKEY m_root;
  std::string m_path;
};

class RegistryTest : public ::testing::Test {
 protected:
  std::string RegistryDir() const { return m_machine.path() + "/registry"; }

  ScopedMachine m_machine;
};

// ---- the calls and their error codes ------------------------------------------------------------

// HKLM\Software\Velcora with the values Name and Count and the subkeys Empty and Lines\Line1, handles
// with several rights on it, a handle of a key deleted since, and the protected key
// HKLM\Software\Locked (value V, subkey Inner) with a handle opened before it was protected.
struct SeededStore {
  SeededStore() {
    all = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Velcora");
    Set(all, "Name", REG_SZ, "Velcora\0"s);
    Set(all, "Count", REG_DWORD, DwordBytes(42));
    RegCloseKey(MustCreate(all, "Lines\\Line1"));
    RegCloseKey(MustCreate(all, "Empty"));
    readOnly = MustOpen(HKEY_LOCAL_MACHINE, "Software\\Velcora", KEY_READ);
    setOnly = MustOpen(HKEY_LOCAL_MACHINE, "Software\\Velcora", KEY_SET_VALUE);
    deleted = MustCreate(all, "Gone");
    EXPECT_EQ(RegDeleteKeyA(all, "Gone"), 0);
    locked = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Locked");
    Set(locked, "V", REG_SZ, "v");
    RegCloseKey(MustCreate(locked, "Inner"));
    protection = std::make_unique<ProtectedKey>(HKEY_LOCAL_MACHINE, "Software\\Locked");
  }
  ~SeededStore() {
    for (HKEY key : {all, readOnly, setOnly, deleted, locked}) RegCloseKey(key);
  }

  ScopedMachine machine;
  HKEY all = nullptr;
  HKEY readOnly = nullptr;
  HKEY setOnly = nullptr;
  HKEY deleted = nullptr;
  HKEY locked = nullptr;
  std::unique_ptr<ProtectedKey> protection;
};

TEST(RegistryCalls, GiveTheWindowsErrorCodes) {
  const HKEY hklm = HKEY_LOCAL_MACHINE;
  const std::string longest(255, 'k');
  const std::string tooLong(256, 'k');
  struct Case {
    const char* what;
    std::function<LONG(SeededStore&)> call;
    LONG expected;
  } cases[] = {
      {"open a missing key", [](SeededStore& s) { return OpenAndClose(s.all, "Missing", KEY_READ); }, 2},
      {"open below a missing level",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Missing\\Velcora", KEY_READ); }, 2},
      {"open read-only", [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Velcora", KEY_READ); }, 0},
      {"open in another case with extra separators",
       [&](SeededStore&) { return OpenAndClose(hklm, "\\SOFTWARE\\\\velcora\\", KEY_READ); }, 0},
      {"open the handle's own key again",
       [](SeededStore& s) { return OpenAndClose(s.readOnly, "", KEY_READ); }, 0},
      {"open with a null subkey", [](SeededStore& s) { return OpenAndClose(s.readOnly, nullptr, KEY_READ); },
       0},
      {"open through an unknown handle",
       [](SeededStore&) { return OpenAndClose(reinterpret_cast<HKEY>(0x7770), "Lines", KEY_READ); }, 6},
      {"open through a null handle", [](SeededStore&) { return OpenAndClose(nullptr, "Software", KEY_READ); },
       6},
      {"open without a result",
       [&](SeededStore&) { return RegOpenKeyExA(hklm, "Software", 0, KEY_READ, nullptr); }, 87},
      {"create below a read-only handle", [](SeededStore& s) { return CreateAndClose(s.readOnly, "New"); },
       5},
      {"create an existing key below a read-only handle",
       [](SeededStore& s) { return CreateAndClose(s.readOnly, "Lines"); }, 0},
      {"create a name of 255 characters",
       [&](SeededStore& s) { return CreateAndClose(s.all, longest.c_str()); }, 0},
      {"create a name of 256 characters",
       [&](SeededStore& s) { return CreateAndClose(s.all, tooLong.c_str()); }, 87},
      {"create without a result",
       [](SeededStore& s) {
         return RegCreateKeyExA(s.all, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr);
       },
       87},
      {"create through a closed handle",
       [](SeededStore& s) {
         HKEY key = MustOpen(s.all, "Empty", KEY_ALL_ACCESS);
         RegCloseKey(key);
         return CreateAndClose(key, "New");
       },
       6},
      {"query a missing value", [](SeededStore& s) { return Query(s.all, "Missing").result; }, 2},
      {"query the unset default value", [](SeededStore& s) { return Query(s.all, nullptr).result; }, 2},
      {"query in another case", [](SeededStore& s) { return Query(s.readOnly, "nAmE").result; }, 0},
      {"query without KEY_QUERY_VALUE", [](SeededStore& s) { return Query(s.setOnly, "Name").result; }, 5},
      {"query into a buffer too small", [](SeededStore& s) { return QueryInto(s.all, "Name", 7); }, 234},
      {"query into a buffer without size",
       [](SeededStore& s) {
         BYTE buffer[16];
         return RegQueryValueExA(s.all, "Name", nullptr, nullptr, buffer, nullptr);
       },
       87},
      {"set through a read-only handle", [](SeededStore& s) { return Set(s.readOnly, "Name", REG_SZ, "x"); },
       5},
      {"set through a KEY_SET_VALUE handle",
       [](SeededStore& s) { return Set(s.setOnly, "Name", REG_SZ, "x"); }, 0},
      {"set null data with a size",
       [](SeededStore& s) { return RegSetValueExA(s.all, "Name", 0, REG_BINARY, nullptr, 4); }, 87},
      {"delete a value through a read-only handle",
       [](SeededStore& s) { return RegDeleteValueA(s.readOnly, "Name"); }, 5},
      {"delete a missing value", [](SeededStore& s) { return RegDeleteValueA(s.all, "Missing"); }, 2},
      {"delete a value in another case", [](SeededStore& s) { return RegDeleteValueA(s.all, "COUNT"); }, 0},
      {"delete a key with subkeys", [](SeededStore& s) { return RegDeleteKeyA(s.all, "Lines"); }, 5},
      {"delete a leaf key", [](SeededStore& s) { return RegDeleteKeyA(s.all, "lines\\LINE1"); }, 0},
      // Windows asks for DELETE on the key deleted, not for a right of the handle it is named through.
      {"delete a leaf through a read-only handle",
       [](SeededStore& s) { return RegDeleteKeyA(s.readOnly, "Empty"); }, 0},
      {"delete a missing key", [](SeededStore& s) { return RegDeleteKeyA(s.all, "Missing"); }, 2},
      {"delete a root", [&](SeededStore&) { return RegDeleteKeyA(hklm, ""); }, 5},
      {"delete with a null subkey", [](SeededStore& s) { return RegDeleteKeyA(s.all, nullptr); }, 87},
      {"enumerate keys without KEY_ENUMERATE_SUB_KEYS", [](SeededStore& s) { return EnumKey(s.setOnly, 0); },
       5},
      {"enumerate keys past the last", [](SeededStore& s) { return EnumKey(s.all, 2); }, 259},
      {"enumerate a key name that just fits", [](SeededStore& s) { return EnumKey(s.all, 0, 6); }, 0},
      {"enumerate a key name that does not fit", [](SeededStore& s) { return EnumKey(s.all, 0, 5); }, 234},
      {"enumerate values past the last", [](SeededStore& s) { return EnumValue(s.all, 2); }, 259},
      {"enumerate values without KEY_QUERY_VALUE", [](SeededStore& s) { return EnumValue(s.setOnly, 0); }, 5},
      {"query through a deleted key", [](SeededStore& s) { return Query(s.deleted, "Name").result; }, 1018},
      {"set through a deleted key", [](SeededStore& s) { return Set(s.deleted, "Name", REG_SZ, "x"); }, 1018},
      {"delete a value through a deleted key",
       [](SeededStore& s) { return RegDeleteValueA(s.deleted, "Name"); }, 1018},
      {"open a deleted key again", [](SeededStore& s) { return OpenAndClose(s.deleted, "", KEY_READ); },
       1018},
      {"create below a deleted key", [](SeededStore& s) { return CreateAndClose(s.deleted, "Sub"); }, 1018},
      {"delete below a deleted key", [](SeededStore& s) { return RegDeleteKeyA(s.deleted, "Sub"); }, 1018},
      {"enumerate a deleted key", [](SeededStore& s) { return EnumKey(s.deleted, 0); }, 1018},
      {"flush a deleted key", [](SeededStore& s) { return RegFlushKey(s.deleted); }, 1018},
      {"close a deleted key", [](SeededStore& s) { return RegCloseKey(s.deleted); }, 0},
      {"flush an open key", [](SeededStore& s) { return RegFlushKey(s.readOnly); }, 0},
      {"close a key twice",
       [](SeededStore& s) {
         RegCloseKey(s.readOnly);
         return RegCloseKey(s.readOnly);
       },
       6},
      {"close a predefined root", [&](SeededStore&) { return RegCloseKey(hklm); }, 0},
      {"create a protected key", [&](SeededStore&) { return CreateAndClose(hklm, "Software\\Locked"); }, 5},
      {"create below a protected key",
       [&](SeededStore&) { return CreateAndClose(hklm, "software\\LOCKED\\New"); }, 5},
      {"create a sibling of a protected key",
       [&](SeededStore&) { return CreateAndClose(hklm, "Software\\Locked2"); }, 0},
      {"open a protected key with full access",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked", KEY_ALL_ACCESS); }, 5},
      {"open a protected key with KEY_SET_VALUE",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked", KEY_SET_VALUE); }, 5},
      {"open a protected key with KEY_CREATE_SUB_KEY",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked", KEY_CREATE_SUB_KEY); }, 5},
      {"open a protected key with DELETE",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked", DELETE); }, 5},
      {"open a protected key read-only",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked", KEY_READ); }, 0},
      {"open below a protected key read-only",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked\\Inner", KEY_READ); }, 0},
      {"open a missing key below a protected one",
       [&](SeededStore&) { return OpenAndClose(hklm, "Software\\Locked\\Missing", KEY_ALL_ACCESS); }, 2},
      {"set through a handle opened before the protection",
       [](SeededStore& s) { return Set(s.locked, "V", REG_SZ, "changed"); }, 5},
      {"delete a value through a handle opened before the protection",
       [](SeededStore& s) { return RegDeleteValueA(s.locked, "V"); }, 5},
      {"query through a handle opened before the protection",
       [](SeededStore& s) { return Query(s.locked, "V").result; }, 0},
      {"delete a protected leaf",
       [&](SeededStore&) { return RegDeleteKeyA(hklm, "Software\\Locked\\Inner"); }, 5},
  };
  for (const Case& c : cases) {
    SeededStore store;
    EXPECT_EQ(c.call(store), c.expected) << c.what;
  }
}

TEST(RegistryCalls, RefusedCallsChangeNothing) {
  SeededStore store;
  Set(store.readOnly, "Name", REG_SZ, "changed");
  RegDeleteKeyA(store.all, "Lines");
  CreateAndClose(store.readOnly, "New");
  Set(store.locked, "V", REG_SZ, "changed");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Locked\\Inner");

  EXPECT_EQ(Query(store.all, "Name").data, "Velcora\0"s);
  EXPECT_EQ(SubkeyNames(store.all), (std::vector<std::string>{"Empty", "Lines"}));
  EXPECT_EQ(Query(store.locked, "V").data, "v");
  EXPECT_EQ(SubkeyNames(store.locked), std::vector<std::string>{"Inner"});
}

TEST_F(RegistryTest, AFailedOpenOrCreateClearsTheResult) {
  HKEY key = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Missing", 0, KEY_READ, &key), 2);
  EXPECT_EQ(key, nullptr);
  key = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegCreateKeyExA(nullptr, "X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 6);
  EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, CreatesEveryMissingLevelAndTellsTheDisposition) {
  DWORD disposition = 0;
  EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "Software\\Velcora\\Windows\\Main", &disposition), 0);
  EXPECT_EQ(disposition, 1u);
  for (const char* level : {"Software", "Software\\Velcora", "Software\\Velcora\\Windows"})
    EXPECT_EQ(OpenAndClose(HKEY_CURRENT_USER, level, KEY_READ), 0) << level;
  EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "SOFTWARE\\velcora\\windows\\MAIN", &disposition), 0);
  EXPECT_EQ(disposition, 2u);
  EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "Software\\Velcora\\Windows\\Main\\Deeper", &disposition), 0);
  EXPECT_EQ(disposition, 1u);
  // The new handle has the rights asked for, not those of its parent.
  HKEY readOnly = MustCreate(HKEY_CURRENT_USER, "Software\\Velcora", KEY_READ);
  EXPECT_EQ(Set(readOnly, "X", REG_SZ, "x"), 5);
  EXPECT_EQ(Query(readOnly, "X").result, 2);
  RegCloseKey(readOnly);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
  HKEY software = MustCreate(HKEY_LOCAL_MACHINE, "Software");
  RegCloseKey(MustCreate(software, "MixedCase"));
  DWORD disposition = 0;
  EXPECT_EQ(CreateAndClose(HKEY_LOCAL_MACHINE, "SOFTWARE\\mixedcase", &disposition), 0);
  EXPECT_EQ(disposition, 2u);
  EXPECT_EQ(SubkeyNames(software), std::vector<std::string>{"MixedCase"});

  EXPECT_EQ(Set(software, "Value", REG_SZ, "first"), 0);
  EXPECT_EQ(Set(software, "VALUE", REG_DWORD, DwordBytes(7)), 0);
  EXPECT_EQ(Values(software), (std::vector<Enumerated>{{"Value", REG_DWORD, DwordBytes(7)}}));
  EXPECT_EQ(RegDeleteValueA(software, "vAlUe"), 0);
  EXPECT_TRUE(Values(software).empty());
  RegCloseKey(software);
}

TEST_F(RegistryTest, EnumeratesByNameWithoutCaseInAFixedOrder) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Order");
  // Ordered as Windows orders them: by the upper-case form, so "_" comes after the letters.
  for (const char* name : {"gamma", "_under", "Beta", "alpha", "Zeta1"}) RegCloseKey(MustCreate(key, name));
  EXPECT_EQ(SubkeyNames(key), (std::vector<std::string>{"alpha", "Beta", "gamma", "Zeta1", "_under"}));
  EXPECT_EQ(RegDeleteKeyA(key, "ALPHA"), 0);
  char first[16];
  DWORD size = sizeof(first);
  EXPECT_EQ(RegEnumKeyExA(key, 0, first, &size, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(first, "Beta");
  EXPECT_EQ(size, 4u);

  Set(key, "zulu", REG_SZ, "z\0"s);
  Set(key, "", REG_SZ, "default\0"s);
  Set(key, "Mike", REG_BINARY, "\x01\x02"s);
  Set(key, "alpha", REG_DWORD, DwordBytes(1));
  EXPECT_EQ(Values(key), (std::vector<Enumerated>{{"", REG_SZ, "default\0"s},
                                                  {"alpha", REG_DWORD, DwordBytes(1)},
                                                  {"Mike", REG_BINARY, "\x01\x02"s},
                                                  {"zulu", REG_SZ, "z\0"s}}));
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationReportsClassAndSizes) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Sizes");
  RegCloseKey(MustCreate(key, "Child"));
  Set(key, "Blob", REG_BINARY, "0123456789"s);

  char name[16];
  DWORD nameSize = sizeof(name);
  char keyClass[8] = "xxxxxxx";
  DWORD classSize = sizeof(keyClass);
  unsigned char writeTime[8];
  std::memset(writeTime, 0xAB, sizeof(writeTime));
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &nameSize, nullptr, keyClass, &classSize, writeTime), 0);
  EXPECT_STREQ(keyClass, "");
  EXPECT_EQ(classSize, 0u);
  EXPECT_EQ(std::count(writeTime, writeTime + 8, 0), 8);

  // A value name that fits and data that does not: the needed size and no data.
  nameSize = sizeof(name);
  BYTE data[4] = {'#', '#', '#', '#'};
  DWORD dataSize = sizeof(data);
  DWORD type = 0;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize), 234);
  EXPECT_EQ(dataSize, 10u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), "####");
  // No data buffer: only the size.
  nameSize = sizeof(name);
  dataSize = 0;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, nullptr, &dataSize), 0);
  EXPECT_EQ(dataSize, 10u);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_STREQ(name, "Blob");
  // A value name that does not fit.
  nameSize = 4;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), 234);
  RegCloseKey(key);
}

TEST_F(RegistryTest, QueryGivesSizesAndLeavesAShortBufferUntouched) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Query");
  Set(key, "Name", REG_SZ, "Velcora\0"s);

  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, nullptr), 0);

  struct Case {
    DWORD bufferSize;
    LONG result;
    std::string buffer;  // the first 8 bytes afterwards
  } cases[] = {
      {7, 234, "########"},
      {8, 0, "Velcora\0"s},
      {20, 0, "Velcora\0"s},
  };
  for (const Case& c : cases) {
    BYTE buffer[32];
    std::memset(buffer, '#', sizeof(buffer));
    type = 0;
    size = c.bufferSize;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, buffer, &size), c.result) << c.bufferSize;
    EXPECT_EQ(size, 8u) << c.bufferSize;
    EXPECT_EQ(type, REG_SZ) << c.bufferSize;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), c.buffer) << c.bufferSize;
  }
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Name", &reserved, &type, nullptr, &size), 87);
  RegCloseKey(key);
}

struct ValueCase {
  const char* name;
  DWORD type;
  std::string data;
};

std::vector<ValueCase> ValueCases() {
  std::string everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
  return {
      {"Terminated", REG_SZ, "C:\\Program Files\\VELCORA.EXE\0"s},
      {"Unterminated", REG_SZ, "no terminator"},
      {"EmptyText", REG_SZ, ""},
      {"Expand", REG_EXPAND_SZ, "%SystemRoot%\\x\0"s},
      {"Multi", REG_MULTI_SZ, "one\0two\0\0"s},
      {"Dword", REG_DWORD, DwordBytes(0xCAFE0042)},
      {"Binary", REG_BINARY, "\0\x01\xff\0\n\r\"\\ end\0"s},
      {"EmptyBinary", REG_BINARY, ""},
      {"OwnType", 0x12345678, everyByte},
      {"TextWithEveryByte", REG_SZ, everyByte},
      {"", REG_SZ, "the default value\0"s},
      {"Name with \"quotes\", \\ and\nbreak\x7f\xe9", REG_SZ, "x\0"s},
  };
}

TEST_F(RegistryTest, ValuesComeBackByteForByte) {
  // Every call reads the store file again, so this goes through its text form too.
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Values");
  for (const ValueCase& c : ValueCases()) EXPECT_EQ(Set(key, c.name, c.type, c.data), 0) << c.name;
  for (const ValueCase& c : ValueCases()) {
    Stored stored = Query(key, c.name);
    EXPECT_EQ(stored.result, 0) << c.name;
    EXPECT_EQ(stored.type, c.type) << c.name;
    EXPECT_EQ(stored.data, c.data) << c.name;
  }
  RegCloseKey(key);
}

TEST_F(RegistryTest, AnotherProcessReadsAndWritesTheSameBytes) {
  std::vector<ValueCase> cases = ValueCases();
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Shared");
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string name = "v" + std::to_string(i);
    ASSERT_EQ(Set(key, name.c_str(), cases[i].type, cases[i].data), 0);
    EXPECT_EQ(RunProbe("get HKLM Software\\Shared " + name),
              "0 " + std::to_string(cases[i].type) + " " + Hex(cases[i].data))
        << cases[i].name;
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    std::string name = "p" + std::to_string(i);
    EXPECT_EQ(RunProbe("set HKCU Software\\FromProbe " + name + " " + std::to_string(cases[i].type) + " " +
                       Hex(cases[i].data)),
              "0");
    HKEY fromProbe = MustOpen(HKEY_CURRENT_USER, "Software\\FromProbe", KEY_READ);
    Stored stored = Query(fromProbe, name.c_str());
    EXPECT_EQ(stored.type, cases[i].type) << cases[i].name;
    EXPECT_EQ(stored.data, cases[i].data) << cases[i].name;
    RegCloseKey(fromProbe);
  }
  EXPECT_EQ(RunProbe("get HKLM Software\\FromProbe p0"), "2");
  RegCloseKey(key);
}

TEST_F(RegistryTest, AHandleFailsOnceAnotherProcessDeletedItsKey) {
  HKEY doomed = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Doomed");
  Set(doomed, "V", REG_SZ, "v");
  EXPECT_EQ(RunProbe("delete-key HKLM Software\\Doomed"), "0");
  EXPECT_EQ(Query(doomed, "V").result, 1018);
  // A key made again under the same name is another key.
  EXPECT_EQ(RunProbe("set HKLM Software\\Doomed V 1 hex:7600"), "0");
  EXPECT_EQ(Query(doomed, "V").result, 1018);
  EXPECT_EQ(Set(doomed, "V", REG_SZ, "w"), 1018);
  HKEY again = MustOpen(HKEY_LOCAL_MACHINE, "Software\\Doomed", KEY_READ);
  EXPECT_EQ(Query(again, "V").data, "v\0"s);
  EXPECT_EQ(RegCloseKey(doomed), 0);
  RegCloseKey(again);
}

TEST_F(RegistryTest, ConcurrentWritersInSeveralProcessesAndThreadsLoseNothing) {
  constexpr int kProbes = 3;
  constexpr int kThreads = 2;
  constexpr int kCount = 20;
  std::atomic<bool> writing{true};
  std::atomic<int> failedReads{0};
  // A reader that takes no lock must never see a half-written store.
  std::thread reader([&] {
    while (writing) {
      HKEY key = nullptr;
      LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Crowd", 0, KEY_READ, &key);
      if (opened == ERROR_SUCCESS) {
        if (Query(key, "local-0-0").result == ERROR_CANTREAD) ++failedReads;
        RegCloseKey(key);
      } else if (opened != ERROR_FILE_NOT_FOUND) {
        ++failedReads;
      }
    }
  });
  std::vector<std::unique_ptr<Probe>> probes;
  for (int p = 0; p < kProbes; ++p)
    probes.push_back(std::make_unique<Probe>("fill HKLM Software\\Crowd probe" + std::to_string(p) + " " +
                                             std::to_string(kThreads) + " " + std::to_string(kCount)));
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Crowd");
      for (DWORD i = 0; i < kCount; ++i) {
        std::string name = "local-" + std::to_string(t) + "-" + std::to_string(i);
        EXPECT_EQ(Set(key, name.c_str(), REG_DWORD, DwordBytes(i)), 0);
      }
      RegCloseKey(key);
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (auto& probe : probes) EXPECT_EQ(probe->Output(), "0");
  writing = false;
  reader.join();
  EXPECT_EQ(failedReads.load(), 0);

  HKEY key = MustOpen(HKEY_LOCAL_MACHINE, "Software\\Crowd", KEY_READ);
  std::vector<Enumerated> values = Values(key);
  EXPECT_EQ(values.size(), 160u);
  std::vector<std::string> writersNames = {"local", "probe0", "probe1", "probe2"};
  for (const std::string& writer : writersNames)
    for (int t = 0; t < kThreads; ++t)
      for (DWORD i = 0; i < kCount; ++i) {
        std::string name = writer + "-" + std::to_string(t) + "-" + std::to_string(i);
        Stored stored = Query(key, name.c_str());
        EXPECT_EQ(stored.result, 0) << name;
        EXPECT_EQ(stored.data, DwordBytes(i)) << name;
      }
  RegCloseKey(key);
}

TEST_F(RegistryTest, LeavesTheLastErrorAlone) {
  SetLastError(4242);
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\LastError");
  Set(key, "V", REG_SZ, "v");
  Query(key, "V");
  Query(key, "Missing");
  EnumKey(key, 5);
  OpenAndClose(HKEY_LOCAL_MACHINE, "Missing", KEY_READ);
  RegDeleteValueA(key, "Missing");
  RegCloseKey(key);
  RegCloseKey(key);
  EXPECT_EQ(GetLastError(), 4242u);
}

TEST_F(RegistryTest, HandlesAreNeverReused) {
  std::set<HKEY> seen = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
  std::vector<HKEY> closed;
  for (int i = 0; i < 20; ++i) {
    HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software");
    EXPECT_TRUE(seen.insert(key).second);
    EXPECT_EQ(RegCloseKey(key), 0);
    closed.push_back(key);
  }
  for (HKEY key : closed) EXPECT_EQ(RegFlushKey(key), 6);
}

TEST_F(RegistryTest, EachRootHasItsOwnStoreAndNeedsNoOpening) {
  const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
  for (size_t i = 0; i < 4; ++i) {
    std::string path = "Only" + std::to_string(i);
    EXPECT_EQ(CreateAndClose(roots[i], path.c_str()), 0);
    for (size_t j = 0; j < 4; ++j)
      EXPECT_EQ(OpenAndClose(roots[j], path.c_str(), KEY_READ), i == j ? 0 : 2) << i << " in " << j;
  }
  std::set<std::string> stores;
  for (const auto& entry : fs::directory_iterator(RegistryDir()))
    if (entry.path().extension() == ".store") stores.insert(entry.path().filename().string());
  EXPECT_EQ(stores, (std::set<std::string>{"HKEY_CLASSES_ROOT.store", "HKEY_CURRENT_USER.store",
                                           "HKEY_LOCAL_MACHINE.store", "HKEY_USERS.store"}));
}

TEST_F(RegistryTest, ProtectingAWholeRootAndLiftingIt) {
  RegCloseKey(MustCreate(HKEY_CURRENT_USER, "Software\\Before"));
  {
    ProtectedKey root(HKEY_CURRENT_USER, "");
    EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "Software\\New"), 5);
    EXPECT_EQ(OpenAndClose(HKEY_CURRENT_USER, "Software\\Before", KEY_ALL_ACCESS), 5);
    EXPECT_EQ(OpenAndClose(HKEY_CURRENT_USER, "Software\\Before", KEY_READ), 0);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Before"), 5);
    EXPECT_EQ(CreateAndClose(HKEY_LOCAL_MACHINE, "Software\\New"), 0);
  }
  EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "Software\\New"), 0);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Before"), 0);
}

// ---- the store file -----------------------------------------------------------------------------

// Lowers the process's file size limit for its life; writes past it fail instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(size_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit lowered = m_saved;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

 private:
  rlimit m_saved;
};

TEST_F(RegistryTest, AStrayTemporaryFileFromACrashLeavesTheStoreWhole) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Crash");
  Set(key, "Old", REG_SZ, "old\0"s);
  const std::string store = RegistryDir() + "/HKEY_LOCAL_MACHINE.store";
  const std::string before = ReadFile(store);
  // What a writer that died between writing the temporary file and renaming it leaves behind.
  const std::string stray = RegistryDir() + "/.HKEY_LOCAL_MACHINE.store.99999.1.tmp";
  WriteFile(stray, before.substr(0, before.size() / 2));

  EXPECT_EQ(Query(key, "Old").data, "old\0"s);
  EXPECT_EQ(ReadFile(store), before);
  EXPECT_EQ(Set(key, "New", REG_SZ, "new\0"s), 0);
  EXPECT_EQ(Query(key, "Old").data, "old\0"s);
  EXPECT_EQ(Query(key, "New").data, "new\0"s);
  RegCloseKey(key);
}

TEST_F(RegistryTest, TheNextWriteRemovesWhatKilledWritersLeft) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Crash");
  const std::vector<testsupport::LeftTemporary> left =
      testsupport::LeaveTemporaries(RegistryDir() + "/HKEY_LOCAL_MACHINE.store");
  // Reading leaves them: only a writer holds the store's lock.
  EXPECT_EQ(Query(key, "Old").result, 2);
  for (const testsupport::LeftTemporary& temporary : left)
    EXPECT_TRUE(fs::exists(temporary.path)) << temporary.writer;

  EXPECT_EQ(Set(key, "New", REG_SZ, "new\0"s), 0);
  EXPECT_EQ(Query(key, "New").data, "new\0"s);
  for (const testsupport::LeftTemporary& temporary : left)
    EXPECT_EQ(fs::exists(temporary.path), !temporary.isRemovedByTheNextWrite) << temporary.writer;
  RegCloseKey(key);
}

// Writers that the kernel kills halfway through writing the new store: each leaves its temporary file,
// none damages the store, and each next write removes what the dead ones left.
TEST_F(RegistryTest, WritersKilledMidWriteLeaveTheStoreWholeAndNothingBehind) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Killed");
  EXPECT_EQ(Set(key, "Before", REG_SZ, "before\0"s), 0);
  const std::string store = RegistryDir() + "/HKEY_LOCAL_MACHINE.store";
  const std::string before = ReadFile(store);
  auto temporaries = [this] {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(RegistryDir()))
      if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
    return names;
  };
  for (int writer = 0; writer < 3; ++writer) {
    Probe dying("die-writing HKLM Software\\Killed Lost 1 hex:" + std::string(64, '6') + "00");
    EXPECT_EQ(dying.ExitCode(), 128u + SIGXFSZ) << "writer " << writer << " is killed in its write";
    EXPECT_EQ(ReadFile(store), before) << "writer " << writer;
    EXPECT_EQ(temporaries().size(), 1u) << "writer " << writer << " leaves its own, and only its own";
  }
  EXPECT_EQ(Set(key, "After", REG_SZ, "after\0"s), 0);
  EXPECT_EQ(Query(key, "Before").data, "before\0"s);
  EXPECT_EQ(Query(key, "Lost").result, 2);
  EXPECT_EQ(temporaries(), std::vector<std::string>());
  RegCloseKey(key);
}

TEST_F(RegistryTest, ADamagedStoreIsReportedAndNeverWrittenOver) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Damaged");
  Set(key, "V", REG_SZ, "v\0"s);
  const std::string store = RegistryDir() + "/HKEY_LOCAL_MACHINE.store";
  std::string content = ReadFile(store);
  const std::string cut = content.substr(0, content.size() - 4);  // without its end line
  WriteFile(store, cut);

  EXPECT_EQ(Query(key, "V").result, 1012);
  EXPECT_EQ(Set(key, "V", REG_SZ, "w"), 1012);
  EXPECT_EQ(CreateAndClose(HKEY_LOCAL_MACHINE, "Software\\Other"), 1012);
  EXPECT_EQ(ReadFile(store), cut);
  // The other roots are not concerned.
  EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "Software\\Other"), 0);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AWriteThatCannotBeFinishedKeepsTheOldStore) {
  HKEY key = MustCreate(HKEY_LOCAL_MACHINE, "Software\\Stuck");
  Set(key, "V", REG_SZ, "v\0"s);
  const std::string store = RegistryDir() + "/HKEY_LOCAL_MACHINE.store";
  const std::string before = ReadFile(store);
  {
    // A file size limit below the new store's size makes the write of the new store fail midway.
    FileSizeLimit limit(before.size() - 1);
    EXPECT_EQ(Set(key, "V", REG_SZ, "w\0"s), 1013);
  }
  EXPECT_EQ(Query(key, "V").data, "v\0"s);
  EXPECT_EQ(ReadFile(store), before);
  EXPECT_EQ(Set(key, "V", REG_SZ, "w\0"s), 0);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AStoreThatMayNotBeWrittenIsAccessDenied) {
  RegCloseKey(MustCreate(HKEY_LOCAL_MACHINE, "Software\\Existing"));
  fs::permissions(RegistryDir(), fs::perms::owner_read | fs::perms::owner_exec);
  std::ofstream(RegistryDir() + "/attempt");
  bool canStillWrite = fs::exists(RegistryDir() + "/attempt");
  if (!canStillWrite) {
    EXPECT_EQ(CreateAndClose(HKEY_CURRENT_USER, "Software\\New"), 5);
    EXPECT_EQ(OpenAndClose(HKEY_LOCAL_MACHINE, "Software\\Existing", KEY_READ), 0);
  }
  fs::permissions(RegistryDir(), fs::perms::owner_all);
  if (canStillWrite) GTEST_SKIP() << "permissions do not bind this user";
}

// ---- the text form ------------------------------------------------------------------------------

detail::RegistryTree SmallTree() {
  detail::RegistryTree tree;
  tree.nextId = 3;
  detail::RegistryKey& software = tree.root.subkeys["SOFTWARE"];
  software.name = "Software";
  software.id = 1;
  software.values["NAME"] = {"Name", REG_SZ, "Vel\"cora\\\n\0"s};
  software.values["COUNT"] = {"Count", REG_DWORD, DwordBytes(42)};
  detail::RegistryKey& velcora = software.subkeys["VELCORA"];
  velcora.name = "Velcora";
  velcora.id = 2;
  tree.root.values[""] = {"", REG_BINARY, "\x01\xff"s};
  return tree;
}

TEST(RegistryText, IsOneReadableLinePerKeyAndValue) {
  EXPECT_EQ(detail::FormatRegistryTree(SmallTree()),
            "velcora-registry 1\n"
            "next-id 3\n"
            "key 0 \"\"\n"
            "value \"\" 3 hex:01ff\n"
            "key 1 \"Software\"\n"
            "value \"Count\" 4 hex:2a000000\n"
            "value \"Name\" 1 \"Vel\\\"cora\\\\\\x0a\\x00\"\n"
            "key 2 \"Software\\\\Velcora\"\n"
            "end\n");
}

TEST(RegistryText, KeepsEveryByteOfNamesAndData) {
  std::string everyByte;
  for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
  std::string keyName = everyByte;
  keyName.erase(keyName.find('\\'), 1);  // the one byte a key name cannot hold

  detail::RegistryTree tree;
  tree.nextId = 10;
  detail::RegistryKey& key = tree.root.subkeys[detail::FoldedRegistryName(keyName)];
  key.name = keyName;
  key.id = 9;
  for (DWORD type : {REG_SZ, REG_BINARY, DWORD{0xFFFFFFFF}}) {
    std::string name = everyByte + std::to_string(type);
    key.values[detail::FoldedRegistryName(name)] = {name, type, everyByte};
  }
  std::string text = detail::FormatRegistryTree(tree);
  EXPECT_TRUE(
      std::all_of(text.begin(), text.end(), [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); }));

  std::optional<detail::RegistryTree> parsed = detail::ParseRegistryTree(text);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->nextId, 10u);
  ASSERT_EQ(parsed->root.subkeys.size(), 1u);
  const detail::RegistryKey& back = parsed->root.subkeys.begin()->second;
  EXPECT_EQ(back.name, keyName);
  EXPECT_EQ(back.id, 9u);
  ASSERT_EQ(back.values.size(), 3u);
  for (const auto& [folded, value] : back.values) {
    EXPECT_EQ(value.name, everyByte + std::to_string(value.type));
    EXPECT_EQ(value.data, everyByte);
  }
  EXPECT_EQ(detail::FormatRegistryTree(*parsed), text);
}

TEST(RegistryText, RefusesWhatTheWriterNeverWrites) {
  const std::string head = "velcora-registry 1\nnext-id 5\nkey 0 \"\"\n";
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"another header", "registry 2\nnext-id 5\nkey 0 \"\"\nend\n"},
      {"no next id", "velcora-registry 1\nkey 0 \"\"\nend\n"},
      {"no root", "velcora-registry 1\nnext-id 5\nend\n"},
      {"cut before the end line", head + "key 1 \"A\"\n"},
      {"no final line break", head + "end"},
      {"a key before its parent", head + "key 1 \"A\\\\B\"\nend\n"},
      {"the same key twice", head + "key 1 \"A\"\nkey 2 \"a\"\nend\n"},
      {"an id twice", head + "key 1 \"A\"\nkey 1 \"B\"\nend\n"},
      {"an id not below next-id", head + "key 5 \"A\"\nend\n"},
      {"an empty name in a path", head + "key 1 \"A\"\nkey 2 \"A\\\\\"\nend\n"},
      {"the same value twice", head + "value \"v\" 1 \"\"\nvalue \"V\" 1 \"\"\nend\n"},
      {"an unknown escape", head + "value \"v\" 1 \"\\q\"\nend\n"},
      {"a short hex escape", head + "value \"v\" 1 \"\\x4\"\nend\n"},
      {"odd hex data", head + "value \"v\" 3 hex:123\nend\n"},
      {"bad hex data", head + "value \"v\" 3 hex:zz\nend\n"},
      {"a type over 32 bits", head + "value \"v\" 4294967296 hex:\nend\n"},
      {"text after the data", head + "value \"v\" 1 \"x\" more\nend\n"},
      {"a value before the root", "velcora-registry 1\nnext-id 5\nvalue \"v\" 1 \"\"\nkey 0 \"\"\nend\n"},
      {"an unknown line", head + "comment\nend\n"},
  };
  for (const Case& c : cases) EXPECT_FALSE(detail::ParseRegistryTree(c.text)) << c.what;
  EXPECT_TRUE(detail::ParseRegistryTree(head + "key 1 \"A\"\nvalue \"v\" 3 hex:\nkey 2 \"A\\\\B\"\nend\n"));
}

}  // namespace
