#include "ui/dialog_numbers.h"

#include <gtest/gtest.h>

namespace wdi {
namespace {

TEST(ItemIntTest, UnsignedReadsLeadingDigits) {
  EXPECT_EQ(ReadUnsignedItemInt("48"), 48u);
  EXPECT_EQ(ReadUnsignedItemInt("  8192"), 8192u);
  EXPECT_EQ(ReadUnsignedItemInt("12abc"), 12u);
  EXPECT_EQ(ReadUnsignedItemInt("007"), 7u);
  EXPECT_EQ(ReadUnsignedItemInt("4294967295"), 4294967295u);
  EXPECT_EQ(ReadUnsignedItemInt("2147483648"), 2147483648u);
}

TEST(ItemIntTest, UnsignedWithoutDigitsOrTooLargeIsZero) {
  EXPECT_EQ(ReadUnsignedItemInt(""), 0u);
  EXPECT_EQ(ReadUnsignedItemInt("abc"), 0u);
  EXPECT_EQ(ReadUnsignedItemInt("   "), 0u);
  EXPECT_EQ(ReadUnsignedItemInt("-5"), 0u);
  EXPECT_EQ(ReadUnsignedItemInt("+5"), 0u);
  EXPECT_EQ(ReadUnsignedItemInt("4294967296"), 0u);
  EXPECT_EQ(ReadUnsignedItemInt("99999999999999999999999999"), 0u);
  // Leading zeros do not make a number large.
  EXPECT_EQ(ReadUnsignedItemInt("0000000000000000000042"), 42u);
}

TEST(ItemIntTest, SignedReadsMinusSign) {
  EXPECT_EQ(ReadSignedItemInt("-7"), -7);
  EXPECT_EQ(ReadSignedItemInt(" -7x"), -7);
  EXPECT_EQ(ReadSignedItemInt("32"), 32);
  EXPECT_EQ(ReadSignedItemInt("2147483647"), 2147483647);
  EXPECT_EQ(ReadSignedItemInt("-2147483648"), INT32_MIN);
}

TEST(ItemIntTest, SignedOutOfRangeOrWithoutDigitsIsZero) {
  EXPECT_EQ(ReadSignedItemInt("2147483648"), 0);
  EXPECT_EQ(ReadSignedItemInt("-2147483649"), 0);
  EXPECT_EQ(ReadSignedItemInt("4294967295"), 0);
  EXPECT_EQ(ReadSignedItemInt("-"), 0);
  EXPECT_EQ(ReadSignedItemInt("abc"), 0);
  EXPECT_EQ(ReadSignedItemInt(""), 0);
  EXPECT_EQ(ReadSignedItemInt("- 5"), 0);
}

TEST(SearchAreaTextTest, ReadsAtMostNineCharacters) {
  EXPECT_EQ(ReadSearchAreaText("12abc"), 12);
  EXPECT_EQ(ReadSearchAreaText(""), 0);
  EXPECT_EQ(ReadSearchAreaText("-7"), -7);
  EXPECT_EQ(ReadSearchAreaText("+7"), 7);
  EXPECT_EQ(ReadSearchAreaText("1234567890"), 123456789);
  EXPECT_EQ(ReadSearchAreaText("4294967291"), 429496729);
  EXPECT_EQ(ReadSearchAreaText("-123456789"), -12345678);
  EXPECT_EQ(ReadSearchAreaText("       16"), 16);
  // The tenth character is never seen.
  EXPECT_EQ(ReadSearchAreaText("         5"), 0);
  EXPECT_EQ(ReadSearchAreaText("abc"), 0);
}

TEST(NumberTextTest, FormatsBothWays) {
  EXPECT_EQ(UnsignedText(4294967291u), "4294967291");
  EXPECT_EQ(SignedText(-5), "-5");
  EXPECT_EQ(SignedText(INT32_MIN), "-2147483648");
  EXPECT_EQ(UnsignedText(0), "0");
}

}  // namespace
}  // namespace wdi
