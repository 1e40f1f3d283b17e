// Tests of the shortcut files of the platform layer.
#include "plat/shortcut.h"

#include <gtest/gtest.h>

#include <string>

#include "plat/error.h"
#include "support/temp_dir.h"

namespace {

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST(Shortcut, SavesAndReadsBackTargetAndArguments) {
  testsupport::TempDir dir;
  std::string link = testsupport::WindowsForm(dir.path()) + "\\A.LNK";
  plat::ShellLink shortcut;
  shortcut.SetPath("C:\\P\\PROG.EXE");
  shortcut.SetArguments("-x 1");
  EXPECT_EQ(0, shortcut.Save(Wide(link).c_str(), plat::TRUE));
  plat::ShortcutContents contents;
  ASSERT_TRUE(plat::ReadShortcut(link.c_str(), &contents));
  EXPECT_EQ("C:\\P\\PROG.EXE", contents.target);
  EXPECT_EQ("-x 1", contents.arguments);
}

TEST(Shortcut, FailsForMissingFoldersLineBreaksAndForeignFiles) {
  testsupport::TempDir dir;
  std::string base = testsupport::WindowsForm(dir.path());
  plat::ShellLink shortcut;
  EXPECT_EQ(plat::HRESULT_FROM_WIN32(3), shortcut.Save(Wide(base + "\\No\\A.LNK").c_str(), plat::TRUE));
  shortcut.SetArguments("a\nb");
  EXPECT_EQ(plat::HRESULT_FROM_WIN32(87), shortcut.Save(Wide(base + "\\B.LNK").c_str(), plat::TRUE));
  testsupport::WriteFile(dir / "C.LNK", "not a shortcut");
  plat::ShortcutContents contents;
  EXPECT_FALSE(plat::ReadShortcut((base + "\\C.LNK").c_str(), &contents));
  EXPECT_EQ(11u, plat::GetLastError());
  EXPECT_FALSE(plat::ReadShortcut((base + "\\D.LNK").c_str(), &contents));
  EXPECT_EQ(2u, plat::GetLastError());
}

}  // namespace
