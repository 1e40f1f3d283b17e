// Tests of CRegTool and QueryValue on the layer's registry store.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ToolFunktion.h"
#include "plat/error.h"
#include "plat/testing/registry.h"
#include "support/temp_dir.h"

using TOOLFUNC_registry::CRegTool;

namespace {

// Exposes the disposition of the last creation, which the class keeps for its subclasses.
class InspectableRegTool : public CRegTool {
 public:
  plat::DWORD disposition() const { return m_dwDisposition; }
  plat::HKEY key() const { return m_hKey; }
};

class RegToolTest : public ::testing::Test {
 protected:
  testsupport::ScopedMachine m_machine;
};

TEST_F(RegToolTest, OpenCreatesAMissingKeyAndOpensAnExistingOne) {
  InspectableRegTool tool;
  EXPECT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Velcora\\Test"));
  EXPECT_EQ(1u, tool.disposition());
  tool.Close();
  EXPECT_EQ(nullptr, tool.key());
  EXPECT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, "SOFTWARE\\velcora\\TEST"));
  EXPECT_EQ(2u, tool.disposition());
}

TEST_F(RegToolTest, OpenFallsBackToReadOnlyWhereTheAccountMayNotWrite) {
  {
    CRegTool writer;
    ASSERT_EQ(0, writer.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Locked"));
    ASSERT_EQ(0, writer.WriteString("Name", "kept"));
  }
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, "Software\\Locked", true);
  CRegTool reader;
  EXPECT_EQ(0, reader.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Locked"));
  char text[16];
  EXPECT_EQ(1, reader.ReadString("Name", text, sizeof(text), nullptr));
  EXPECT_STREQ("kept", text);
  EXPECT_EQ(5, reader.WriteString("Name", "changed"));
  EXPECT_NE(0, reader.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Locked\\Missing"))
      << "a missing key below a protected one can neither be created nor opened";
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, "Software\\Locked", false);
}

TEST_F(RegToolTest, OpenExistingNeverCreates) {
  CRegTool tool;
  EXPECT_EQ(2, tool.OpenExisting(plat::HKEY_LOCAL_MACHINE, "Software\\Nowhere"));
  plat::HKEY key = nullptr;
  EXPECT_EQ(2, plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Nowhere", 0, plat::KEY_READ, &key));
}

TEST_F(RegToolTest, ReadStringFallsBackToTheDefault) {
  CRegTool tool;
  ASSERT_EQ(0, tool.Open(plat::HKEY_CURRENT_USER, "Software\\Velcora"));
  ASSERT_EQ(0, tool.WriteString("Empty", ""));
  ASSERT_EQ(0, tool.WriteString("Long", "0123456789abcdefg"));
  struct Case {
    const char* name;
    const char* defaultText;
    int result;
    const char* text;
  } cases[] = {
      {"Missing", "fallback", 0, "fallback"},
      {"Empty", "fallback", 1, "fallback"},
      {"Missing", nullptr, 0, ""},
      {"Long", "fallback", 0, "fallback"},  // does not fit: ERROR_MORE_DATA
      {"Missing", "a default longer than the buffer", 0, "a default longer"},
  };
  for (const Case& c : cases) {
    char buffer[17];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(c.result, tool.ReadString(c.name, buffer, 17, c.defaultText)) << c.name;
    EXPECT_STREQ(c.text, buffer) << c.name;
  }
}

TEST_F(RegToolTest, ReadStringTerminatesAValueStoredWithoutTerminator) {
  CRegTool tool;
  ASSERT_EQ(0, tool.Open(plat::HKEY_CURRENT_USER, "Software\\Velcora"));
  plat::HKEY key = nullptr;
  ASSERT_EQ(0,
            plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, "Software\\Velcora", 0, plat::KEY_ALL_ACCESS, &key));
  ASSERT_EQ(0, plat::RegSetValueExA(key, "Bare", 0, plat::REG_SZ,
                                    reinterpret_cast<const plat::BYTE*>("12345678"), 8));
  plat::RegCloseKey(key);
  char buffer[9];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(1, tool.ReadString("Bare", buffer, 8, nullptr));
  EXPECT_STREQ("1234567", buffer) << "cut rather than run past the buffer";
  EXPECT_EQ(1, tool.ReadString("Bare", buffer, 9, nullptr));
  EXPECT_STREQ("12345678", buffer);
}

TEST_F(RegToolTest, ValuesAreReadBackExactly) {
  CRegTool tool;
  ASSERT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Velcora"));
  const unsigned char blob[] = {0, 1, 0, 0xFF, 0x7F};
  EXPECT_EQ(0, tool.WriteString("Text", "Wendrath Velcora"));
  EXPECT_EQ(0, tool.WriteDword("Number", 0xFE93852A));
  EXPECT_EQ(0, tool.WriteBinary("Blob", blob, sizeof(blob)));
  tool.Close();

  CRegTool reader;
  ASSERT_EQ(0, reader.OpenExisting(plat::HKEY_LOCAL_MACHINE, "Software\\Velcora"));
  char text[64];
  EXPECT_EQ(1, reader.ReadString("Text", text, sizeof(text), "x"));
  EXPECT_STREQ("Wendrath Velcora", text);
  plat::DWORD number = 0;
  EXPECT_EQ(1, reader.ReadDword("Number", &number, 7));
  EXPECT_EQ(0xFE93852Au, number);
  EXPECT_EQ(0, reader.ReadDword("Missing", &number, 7));
  EXPECT_EQ(7u, number);
  unsigned char read[8] = {};
  EXPECT_EQ(0, reader.ReadBinary("Blob", read, sizeof(read)));
  EXPECT_EQ(0, std::memcmp(blob, read, sizeof(blob)));
  EXPECT_EQ(234, reader.ReadBinary("Blob", read, 2));
}

TEST_F(RegToolTest, ReadDwordOfAShortValueLeavesNoOldBytes) {
  CRegTool tool;
  ASSERT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Velcora"));
  const unsigned char two[] = {0x34, 0x12};
  ASSERT_EQ(0, tool.WriteBinary("Short", two, sizeof(two)));
  plat::DWORD number = 0xFFFFFFFF;
  EXPECT_EQ(1, tool.ReadDword("Short", &number, 9));
  EXPECT_EQ(0x1234u, number);
}

TEST_F(RegToolTest, CreateAndDeleteSubKeys) {
  CRegTool tool;
  ASSERT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, "Software\\Tree"));
  tool.CreateSubKey("Leaf");
  tool.Close();
  plat::HKEY key = nullptr;
  ASSERT_EQ(0,
            plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Tree\\Leaf", 0, plat::KEY_READ, &key));
  plat::RegCloseKey(key);
  tool.DeleteSubKey(plat::HKEY_LOCAL_MACHINE, "Software\\Tree", "Leaf");
  EXPECT_EQ(2,
            plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Tree\\Leaf", 0, plat::KEY_READ, &key));
}

TEST_F(RegToolTest, DeleteKeyRecursiveRemovesThreeLevels) {
  for (const char* path : {"Software\\Tree\\A\\A1\\A11", "Software\\Tree\\A\\A2", "Software\\Tree\\B"}) {
    CRegTool tool;
    ASSERT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, path));
    tool.WriteDword("Value", 1);
  }
  CRegTool tool;
  EXPECT_EQ(0, tool.DeleteKeyRecursive(plat::HKEY_LOCAL_MACHINE, "Software\\Tree"));
  plat::HKEY key = nullptr;
  EXPECT_EQ(2, plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Tree", 0, plat::KEY_READ, &key));
  EXPECT_EQ(2, tool.DeleteKeyRecursive(plat::HKEY_LOCAL_MACHINE, "Software\\Tree"));
}

TEST_F(RegToolTest, DeleteKeyRecursiveStopsAtAKeyThatCannotBeDeleted) {
  for (const char* path : {"Software\\Tree\\Gone\\Inner", "Software\\Tree\\Stuck"}) {
    CRegTool tool;
    ASSERT_EQ(0, tool.Open(plat::HKEY_LOCAL_MACHINE, path));
  }
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, "Software\\Tree\\Stuck", true);
  CRegTool tool;
  EXPECT_NE(0, tool.DeleteKeyRecursive(plat::HKEY_LOCAL_MACHINE, "Software\\Tree"));
  plat::SetRegistryKeyProtectedForTesting(plat::HKEY_LOCAL_MACHINE, "Software\\Tree\\Stuck", false);
  plat::HKEY key = nullptr;
  EXPECT_EQ(0,
            plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Tree\\Stuck", 0, plat::KEY_READ, &key));
  plat::RegCloseKey(key);
  EXPECT_EQ(2, plat::RegOpenKeyExA(plat::HKEY_LOCAL_MACHINE, "Software\\Tree\\Gone", 0, plat::KEY_READ, &key))
      << "the subkeys before the stuck one are gone";
}

}  // namespace
