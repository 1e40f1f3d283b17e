// Tests of the debugger channel and the recorded message boxes.
#include "plat/testing/debug.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

TEST(DebugChannel, KeepsTextsInOrderAndOnlyTheNewest) {
  plat::TakeDebugOutput();
  plat::OutputDebugStringA("first\n");
  plat::OutputDebugStringA(nullptr);
  plat::OutputDebugStringA("third");
  EXPECT_EQ((std::vector<std::string>{"first\n", "", "third"}), plat::TakeDebugOutput());
  EXPECT_TRUE(plat::TakeDebugOutput().empty());

  for (int i = 0; i < 1500; ++i) plat::OutputDebugStringA(std::to_string(i).c_str());
  std::vector<std::string> kept = plat::TakeDebugOutput();
  ASSERT_EQ(1000u, kept.size());
  EXPECT_EQ("500", kept.front());
  EXPECT_EQ("1499", kept.back());
}

TEST(DebugChannel, AnAttachedFileReceivesEveryTextAsItStands) {
  testsupport::TempDir dir;
  const std::string file = dir / "debugger.txt";
  setenv("VELCORA_DEBUG_OUTPUT", file.c_str(), 1);
  plat::OutputDebugStringA("one\r\n");
  plat::OutputDebugStringA("two");
  unsetenv("VELCORA_DEBUG_OUTPUT");
  plat::OutputDebugStringA("not attached");
  EXPECT_EQ("one\r\ntwo", testsupport::ReadFile(file));
  EXPECT_EQ(3u, plat::TakeDebugOutput().size()) << "the channel keeps them all the same";
}

TEST(MessageBox, IsRecordedAndAnsweredOk) {
  plat::TakeMessageBoxes();
  testing::internal::CaptureStderr();
  EXPECT_EQ(
      1, plat::MessageBoxA(nullptr, "Please stop Service and try again.", "Installation abortet", 0x40040));
  EXPECT_EQ("Installation abortet: Please stop Service and try again.\n",
            testing::internal::GetCapturedStderr());
  std::vector<plat::MessageBoxRecord> boxes = plat::TakeMessageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Please stop Service and try again.", boxes[0].text);
  EXPECT_EQ("Installation abortet", boxes[0].caption);
  EXPECT_EQ(0x40040u, boxes[0].type);
}

}  // namespace
