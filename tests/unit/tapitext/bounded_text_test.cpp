// Tests of the bounded writes: a buffer keeps at most its size less two characters.
#include "bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using tapitext::BoundedAppend;
using tapitext::BoundedPrint;

TEST(BoundedText, AppendsAndPrintsKeepTwoBytesFree) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  BoundedPrint(buffer, sizeof buffer, "%s", "abcdefghij");
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(buffer[7], 'x') << "the last byte is never written";

  BoundedPrint(buffer, sizeof buffer, "0x%02X", 0xAu);
  EXPECT_STREQ(buffer, "0x0A");
  BoundedAppend(buffer, sizeof buffer, "yz");
  EXPECT_STREQ(buffer, "0x0Ayz");
  BoundedAppend(buffer, sizeof buffer, "more");
  EXPECT_STREQ(buffer, "0x0Ayz") << "a full buffer takes nothing more";
  EXPECT_EQ(buffer[7], 'x');

  BoundedPrint(buffer, sizeof buffer, "%s", "ab");
  BoundedAppend(buffer, sizeof buffer, "cdefgh");
  EXPECT_STREQ(buffer, "abcdef") << "an append that does not fit is cut";
}

}  // namespace
