// Tests of the shell's item lists, its allocator and the folder selection dialog.
#include "plat/testing/shell_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plat/error.h"
#include "plat/testing/window.h"
#include "plat/window.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Frees a list through the shell's allocator, as its receiver must.
void FreeList(plat::LPITEMIDLIST list) {
  plat::IMalloc* allocator = nullptr;
  ASSERT_EQ(0, plat::SHGetMalloc(&allocator));
  allocator->Free(list);
  allocator->Release();
}

std::string PathOf(plat::LPCITEMIDLIST list) {
  char path[260] = "unchanged";
  EXPECT_TRUE(plat::SHGetPathFromIDListA(list, path));
  return path;
}

class ShellFolderTest : public ::testing::Test {
 protected:
  ShellFolderTest() {
    fs::create_directories(m_dir / "Daten/Unter");
    testsupport::WriteFile(m_dir / "Datei.txt", "x");
  }
  ~ShellFolderTest() override { plat::SetFolderChoiceForTesting(nullptr); }
  std::string Windows(const std::string& relative) const {
    return testsupport::WindowsForm(m_dir.path()) + relative;
  }
  testsupport::TempDir m_dir;
};

TEST_F(ShellFolderTest, ParsingGivesAListOnlyForExistingFolders) {
  struct Case {
    std::string name;
    plat::HRESULT expected;
  };
  const Case cases[] = {
      {Windows("\\Daten"), 0},
      {Windows("\\Daten\\Unter\\"), 0},
      {Windows("\\DATEN"), 0},
      {Windows("\\Fehlt"), static_cast<plat::HRESULT>(0x80070002u)},
      {Windows("\\Datei.txt"), static_cast<plat::HRESULT>(0x80070002u)},
      {"", static_cast<plat::HRESULT>(0x80070057u)},
      {"C:\\" + std::string(257, 'a'), static_cast<plat::HRESULT>(0x800700CEu)},
  };
  const plat::LONG before = plat::ItemListsInUseForTesting();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int stale = 0;
    plat::LPITEMIDLIST list = reinterpret_cast<plat::LPITEMIDLIST>(&stale);
    plat::SFGAOF attributes = 0xFF;
    std::u16string name = Wide(c.name);
    EXPECT_EQ(c.expected, plat::SHParseDisplayName(name.c_str(), nullptr, &list, 0, &attributes));
    EXPECT_EQ(0u, attributes);
    if (c.expected != 0) {
      EXPECT_EQ(nullptr, list);
      continue;
    }
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(c.name, PathOf(list)) << "the name is kept as given";
    EXPECT_EQ(before + 1, plat::ItemListsInUseForTesting());
    FreeList(list);
  }
  EXPECT_EQ(before, plat::ItemListsInUseForTesting());
  EXPECT_EQ(static_cast<plat::HRESULT>(0x80070057u),
            plat::SHParseDisplayName(nullptr, nullptr, nullptr, 0, nullptr));
}

TEST(ShellFolder, PathOfANullListIsEmptyAndFails) {
  char path[260] = "old";
  EXPECT_FALSE(plat::SHGetPathFromIDListA(nullptr, path));
  EXPECT_STREQ("", path);
  EXPECT_FALSE(plat::SHGetPathFromIDListA(nullptr, nullptr));
}

TEST(ShellFolder, TheAllocatorIsOneObjectCountingItsReferences) {
  plat::IMalloc* first = nullptr;
  plat::IMalloc* second = nullptr;
  ASSERT_EQ(0, plat::SHGetMalloc(&first));
  ASSERT_EQ(0, plat::SHGetMalloc(&second));
  EXPECT_EQ(first, second);
  EXPECT_EQ(1u, second->Release());
  EXPECT_EQ(0u, first->Release());
  EXPECT_EQ(0u, first->Release()) << "never below zero";
  first->Free(nullptr);
  EXPECT_EQ(static_cast<plat::HRESULT>(0x80070057u), plat::SHGetMalloc(nullptr));
}

// What the dialog's callback saw, and the list it selects with.
struct CallbackRecord {
  std::vector<plat::UINT> messages;
  plat::HWND window = nullptr;
  plat::LPARAM lParam = -1;
  plat::LPCITEMIDLIST select = nullptr;
};

int SelectingCallback(plat::HWND window, plat::UINT message, plat::LPARAM lParam, plat::LPARAM data) {
  auto* record = reinterpret_cast<CallbackRecord*>(data);
  record->messages.push_back(message);
  record->window = window;
  record->lParam = lParam;
  if (message == plat::BFFM_INITIALIZED)
    plat::SendMessageA(window, plat::BFFM_SETSELECTIONA, plat::FALSE,
                       reinterpret_cast<plat::LPARAM>(record->select));
  return 0;
}

TEST_F(ShellFolderTest, TheDialogOpensAtTheCallbacksSelectionAndReturnsTheChosenFolder) {
  plat::LPITEMIDLIST start = nullptr;
  std::u16string startName = Wide(Windows("\\Daten\\"));
  ASSERT_EQ(0, plat::SHParseDisplayName(startName.c_str(), nullptr, &start, 0, nullptr));
  CallbackRecord record;
  record.select = start;
  std::vector<plat::FolderDialogView> views;
  plat::SetFolderChoiceForTesting([&](const plat::FolderDialogView& view) -> std::optional<std::string> {
    views.push_back(view);
    EXPECT_TRUE(plat::IsWindow(view.dialog)) << "the dialog is open while the user chooses";
    EXPECT_STREQ("start", view.displayName);
    return Windows("\\Daten\\Unter");
  });
  plat::HWND owner = plat::CreateWindowForTesting(nullptr, 0);
  char displayName[260] = "start";
  plat::BROWSEINFOA info = {owner,
                            nullptr,
                            displayName,
                            "Ordner wählen",
                            0x1001,
                            SelectingCallback,
                            reinterpret_cast<plat::LPARAM>(&record),
                            0};
  const plat::LONG before = plat::ItemListsInUseForTesting();
  plat::LPITEMIDLIST chosen = plat::SHBrowseForFolderA(&info);
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ(Windows("\\Daten\\Unter"), PathOf(chosen));
  EXPECT_STREQ("Unter", displayName) << "the folder's name, not its path";
  EXPECT_EQ(before + 1, plat::ItemListsInUseForTesting()) << "the new list belongs to the caller";

  EXPECT_EQ(std::vector<plat::UINT>{1}, record.messages);
  EXPECT_EQ(0, record.lParam);
  ASSERT_EQ(1u, views.size());
  EXPECT_EQ(record.window, views[0].dialog);
  EXPECT_EQ(owner, views[0].owner);
  EXPECT_EQ("Ordner wählen", views[0].title);
  EXPECT_EQ(0x1001u, views[0].flags);
  EXPECT_EQ(Windows("\\Daten\\"), views[0].selection);
  EXPECT_FALSE(plat::IsWindow(views[0].dialog)) << "gone once the call returns";
  FreeList(chosen);
  FreeList(start);
  plat::RemoveWindowForTesting(owner);
}

TEST_F(ShellFolderTest, NothingChosenGivesNullAndLeavesTheDisplayName) {
  struct Case {
    const char* name;
    bool hook;
    std::optional<std::string> choice;
  };
  const Case cases[] = {
      {"no hook", false, std::nullopt},
      {"cancelled", true, std::nullopt},
      {"a folder that does not exist", true, Windows("\\Fehlt")},
      {"a file", true, Windows("\\Datei.txt")},
  };
  const plat::LONG before = plat::ItemListsInUseForTesting();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.hook)
      plat::SetFolderChoiceForTesting([&c](const plat::FolderDialogView&) { return c.choice; });
    else
      plat::SetFolderChoiceForTesting(nullptr);
    char displayName[260] = "bleibt";
    plat::BROWSEINFOA info = {nullptr, nullptr, displayName, nullptr, 0, nullptr, 0, 0};
    EXPECT_EQ(nullptr, plat::SHBrowseForFolderA(&info));
    EXPECT_STREQ("bleibt", displayName);
  }
  EXPECT_EQ(before, plat::ItemListsInUseForTesting());
  EXPECT_EQ(nullptr, plat::SHBrowseForFolderA(nullptr));
  EXPECT_EQ(87u, plat::GetLastError());
}

TEST_F(ShellFolderTest, SelectionByPathTextAndTheNamesOfChosenFolders) {
  struct Case {
    std::string chosen;
    std::string displayName;
  };
  const Case cases[] = {
      {Windows("\\Daten"), "Daten"},
      {Windows("\\Daten\\Unter\\"), "Unter"},
      {"C:\\", "C:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    std::string selection;
    plat::SetFolderChoiceForTesting([&](const plat::FolderDialogView& view) -> std::optional<std::string> {
      plat::SendMessageA(view.dialog, plat::BFFM_SETSELECTIONA, plat::TRUE,
                         reinterpret_cast<plat::LPARAM>(c.chosen.c_str()));
      plat::SendMessageA(view.dialog, plat::BFFM_SETSELECTIONA, plat::FALSE, 0);
      selection = view.selection;
      return c.chosen;
    });
    char displayName[260] = "";
    plat::BROWSEINFOA info = {nullptr, nullptr, displayName, "", 0, nullptr, 0, 0};
    plat::LPITEMIDLIST chosen = plat::SHBrowseForFolderA(&info);
    ASSERT_NE(nullptr, chosen);
    EXPECT_EQ("", selection) << "the view was taken before the hook selected";
    EXPECT_EQ(c.displayName, displayName);
    FreeList(chosen);
  }
}

}  // namespace
