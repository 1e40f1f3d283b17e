// Tests of the input recorder.
#include "plat/testing/input.h"

#include <gtest/gtest.h>

#include "plat/error.h"

namespace {

TEST(SendInput, RecordsEveryInputInOrder) {
  plat::TakeSentInputsForTesting();
  plat::INPUT inputs[2] = {};
  inputs[0].type = plat::INPUT_KEYBOARD;
  inputs[0].ki.wVk = 'A';
  inputs[1].type = plat::INPUT_MOUSE;
  inputs[1].mi.dwFlags = plat::MOUSEEVENTF_LEFTDOWN;
  EXPECT_EQ(2u, plat::SendInput(2, inputs, sizeof(plat::INPUT)));
  std::vector<plat::INPUT> sent = plat::TakeSentInputsForTesting();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ('A', sent[0].ki.wVk);
  EXPECT_EQ(plat::MOUSEEVENTF_LEFTDOWN, sent[1].mi.dwFlags);
  EXPECT_TRUE(plat::TakeSentInputsForTesting().empty());
}

TEST(SendInput, RefusesAWrongRecordSize) {
  plat::INPUT input = {};
  EXPECT_EQ(0u, plat::SendInput(1, &input, sizeof(plat::INPUT) - 1));
  EXPECT_EQ(87u, plat::GetLastError());
  EXPECT_EQ(0u, plat::SendInput(1, nullptr, sizeof(plat::INPUT)));
  EXPECT_TRUE(plat::TakeSentInputsForTesting().empty());
}

}  // namespace
