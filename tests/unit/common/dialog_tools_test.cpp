// Tests of the file dialog tools: the record they hand over on each system and what comes back.
#include "dialog_tools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "plat/testing/dialog.h"
#include "plat/testing/system_info.h"
#include "plat/testing/window.h"

namespace {

// What the dialog was asked with; the strings copied, since the tool's own texts are gone afterwards.
struct Asked {
  int calls = 0;
  plat::FileDialogKind kind = plat::FileDialogKind::Open;
  plat::DWORD size = 0;
  plat::HWND owner = nullptr;
  const char* filter = nullptr;
  plat::DWORD filterIndex = 0;
  char* file = nullptr;
  plat::DWORD maxFile = 0;
  std::string initialDirectory;
  std::string title;
  plat::DWORD flags = 0;
};

class DialogTools : public ::testing::Test {
 protected:
  DialogTools() : m_owner(plat::CreateWindowForTesting(nullptr, 0)) {}
  ~DialogTools() override {
    plat::SetFileDialogAnswerForTesting(nullptr);
    plat::SetSystemVersionForTesting(std::nullopt);
    plat::RemoveWindowForTesting(m_owner);
  }
  // The dialog records what it is asked and chooses `chosen`, or cancels for null.
  void Answer(const char* chosen) {
    plat::SetFileDialogAnswerForTesting(
        [this, chosen](plat::FileDialogKind kind, plat::OPENFILENAMEA* record) {
          ++m_asked.calls;
          m_asked.kind = kind;
          m_asked.size = record->lStructSize;
          m_asked.owner = record->hwndOwner;
          m_asked.filter = record->lpstrFilter;
          m_asked.filterIndex = record->nFilterIndex;
          m_asked.file = record->lpstrFile;
          m_asked.maxFile = record->nMaxFile;
          m_asked.initialDirectory = record->lpstrInitialDir != nullptr ? record->lpstrInitialDir : "(null)";
          m_asked.title = record->lpstrTitle != nullptr ? record->lpstrTitle : "(null)";
          m_asked.flags = record->Flags;
          if (chosen == nullptr) return plat::FALSE;
          std::snprintf(record->lpstrFile, record->nMaxFile, "%s", chosen);
          return plat::TRUE;
        });
  }
  plat::HWND m_owner;
  Asked m_asked;
};

constexpr char kFilter[] = "Textdateien\0*.txt\0Alle Dateien\0*.*\0";

TEST_F(DialogTools, HandsTheFormAndFlagsOfTheRunningSystemToTheDialog) {
  struct Case {
    const char* system;
    plat::SystemVersion version;
    bool isSave;
    bool isOlderForm;
    plat::DWORD flags;
  };
  const Case cases[] = {
      {"NT 4.0", {plat::VER_PLATFORM_WIN32_NT, 4, 0}, false, true, 0x6},
      {"NT 4.0", {plat::VER_PLATFORM_WIN32_NT, 4, 0}, true, true, 0x6},
      {"NT 5.1", {plat::VER_PLATFORM_WIN32_NT, 5, 1}, false, false, 0x6},
      {"NT 5.1", {plat::VER_PLATFORM_WIN32_NT, 5, 1}, true, false, 0x806},
      {"NT 3.51", {plat::VER_PLATFORM_WIN32_NT, 3, 51}, true, false, 0x806},
      {"NT 4.1", {plat::VER_PLATFORM_WIN32_NT, 4, 1}, true, false, 0x806},
      {"Windows 4.0", {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 0}, false, false, 0x6},
      {"Windows 4.0", {plat::VER_PLATFORM_WIN32_WINDOWS, 4, 0}, true, false, 0x806},
  };
  Answer("E:\\Export\\Liste.txt");
  for (const Case& c : cases) {
    const std::string name = std::string(c.system) + (c.isSave ? " save" : " open");
    plat::SetSystemVersionForTesting(c.version);
    m_asked = Asked();
    char path[260] = "C:\\Programme\\Tel\\Daten\\anrufe.txt";
    const plat::BOOL result = c.isSave
                                  ? TOOLFUNC_window::SaveFileDialog(m_owner, "Speichern unter", path, kFilter)
                                  : TOOLFUNC_window::OpenFileDialog(m_owner, "Datei laden", path, kFilter);
    EXPECT_EQ(1, result) << name;
    ASSERT_EQ(1, m_asked.calls) << name;
    EXPECT_EQ(c.isSave ? plat::FileDialogKind::Save : plat::FileDialogKind::Open, m_asked.kind) << name;
    EXPECT_EQ(c.isOlderForm ? plat::OPENFILENAME_SIZE_VERSION_400A : sizeof(plat::OPENFILENAMEA),
              m_asked.size)
        << name;
    EXPECT_EQ(c.flags, m_asked.flags) << name;
    EXPECT_EQ(m_owner, m_asked.owner) << name;
    EXPECT_EQ(kFilter, m_asked.filter) << name;
    EXPECT_EQ(1u, m_asked.filterIndex) << name;
    EXPECT_EQ(path, m_asked.file) << name;
    EXPECT_EQ(259u, m_asked.maxFile) << name;
    EXPECT_EQ("C:\\Programme\\Tel\\Daten\\", m_asked.initialDirectory) << name;
    EXPECT_EQ(c.isSave ? "Speichern unter" : "Datei laden", m_asked.title) << name;
    EXPECT_STREQ("E:\\Export\\Liste.txt", path) << name;
  }
}

TEST_F(DialogTools, StartsInTheDriveAndDirectoryOfTheBuffersContents) {
  struct Case {
    const char* path;
    const char* initialDirectory;
  };
  const Case cases[] = {
      {"D:\\Ablage\\Briefe\\", "D:\\Ablage\\Briefe\\"},
      {"D:liste.csv", "D:"},
      {"\\Ablage\\liste.csv", "\\Ablage\\"},
      {"liste.csv", ""},
      {"", ""},
  };
  Answer(nullptr);
  for (const Case& c : cases) {
    char path[260];
    std::snprintf(path, sizeof(path), "%s", c.path);
    EXPECT_EQ(0, TOOLFUNC_window::OpenFileDialog(nullptr, "Laden", path, kFilter)) << c.path;
    EXPECT_EQ(c.initialDirectory, m_asked.initialDirectory) << c.path;
    EXPECT_STREQ(c.path, path) << "a cancelled dialog leaves the buffer alone";
  }
}

TEST_F(DialogTools, CancelGivesZeroForBothDialogs) {
  Answer(nullptr);
  char path[260] = "C:\\alt.txt";
  EXPECT_EQ(0, TOOLFUNC_window::OpenFileDialog(m_owner, "Laden", path, kFilter));
  EXPECT_EQ(0, TOOLFUNC_window::SaveFileDialog(m_owner, "Speichern", path, kFilter));
  EXPECT_EQ(2, m_asked.calls);
  EXPECT_STREQ("C:\\alt.txt", path);
  plat::SetFileDialogAnswerForTesting(nullptr);
  EXPECT_EQ(0, TOOLFUNC_window::SaveFileDialog(m_owner, "Speichern", path, kFilter)) << "nobody answers";
}

}  // namespace
