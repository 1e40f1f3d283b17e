// Tests of the file dialogs: which records they accept and how the test's answer comes back.
#include "plat/testing/dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

class FileDialogs : public ::testing::Test {
 protected:
  ~FileDialogs() override { plat::SetFileDialogAnswerForTesting(nullptr); }
  plat::OPENFILENAMEA Record(plat::DWORD size) {
    plat::OPENFILENAMEA record{};
    record.lStructSize = size;
    record.lpstrFile = m_path;
    record.nMaxFile = sizeof(m_path);
    return record;
  }
  char m_path[260] = "C:\\Daten\\alt.txt";
};

TEST_F(FileDialogs, WithoutAnAnswerTheDialogsAreCancelled) {
  plat::OPENFILENAMEA record = Record(sizeof(plat::OPENFILENAMEA));
  EXPECT_EQ(plat::FALSE, plat::GetOpenFileNameA(&record));
  EXPECT_EQ(plat::FALSE, plat::GetSaveFileNameA(&record));
  EXPECT_STREQ("C:\\Daten\\alt.txt", m_path);
}

TEST_F(FileDialogs, TheAnswerGetsTheCallersRecordAndDecides) {
  struct Asked {
    plat::FileDialogKind kind;
    plat::OPENFILENAMEA* record;
  };
  std::vector<Asked> asked;
  plat::BOOL choice = plat::TRUE;
  plat::SetFileDialogAnswerForTesting([&](plat::FileDialogKind kind, plat::OPENFILENAMEA* record) {
    asked.push_back({kind, record});
    if (choice) std::snprintf(record->lpstrFile, record->nMaxFile, "%s", "D:\\Ablage\\neu.csv");
    return choice;
  });
  plat::OPENFILENAMEA record = Record(sizeof(plat::OPENFILENAMEA));
  EXPECT_EQ(plat::TRUE, plat::GetOpenFileNameA(&record));
  EXPECT_STREQ("D:\\Ablage\\neu.csv", m_path);
  choice = plat::FALSE;
  EXPECT_EQ(plat::FALSE, plat::GetSaveFileNameA(&record));
  ASSERT_EQ(2u, asked.size());
  EXPECT_EQ(plat::FileDialogKind::Open, asked[0].kind);
  EXPECT_EQ(plat::FileDialogKind::Save, asked[1].kind);
  EXPECT_EQ(&record, asked[0].record);
  EXPECT_EQ(&record, asked[1].record);
}

TEST_F(FileDialogs, OnlyTheTwoFormsOfTheRecordAreShown) {
  int asked = 0;
  plat::SetFileDialogAnswerForTesting([&](plat::FileDialogKind, plat::OPENFILENAMEA*) {
    ++asked;
    return plat::TRUE;
  });
  struct Case {
    plat::DWORD size;
    plat::BOOL expected;
  };
  const Case cases[] = {
      {sizeof(plat::OPENFILENAMEA), plat::TRUE},
      {plat::OPENFILENAME_SIZE_VERSION_400A, plat::TRUE},
      {0, plat::FALSE},
      {76, plat::FALSE},  // the two forms' sizes in a 32-bit program, not the record's here
      {88, plat::FALSE},
      {sizeof(plat::OPENFILENAMEA) + 4, plat::FALSE},
  };
  int shown = 0;
  for (const Case& c : cases) {
    plat::OPENFILENAMEA record = Record(c.size);
    EXPECT_EQ(c.expected, plat::GetOpenFileNameA(&record)) << "size " << c.size;
    EXPECT_EQ(c.expected, plat::GetSaveFileNameA(&record)) << "size " << c.size;
    if (c.expected) shown += 2;
    EXPECT_EQ(shown, asked) << "size " << c.size;
  }
  EXPECT_EQ(plat::FALSE, plat::GetOpenFileNameA(nullptr));
  EXPECT_EQ(plat::FALSE, plat::GetSaveFileNameA(nullptr));
  EXPECT_EQ(shown, asked);
  EXPECT_LT(plat::OPENFILENAME_SIZE_VERSION_400A, sizeof(plat::OPENFILENAMEA))
      << "the older form leaves out the fields added later";
}

}  // namespace
