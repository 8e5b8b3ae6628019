// The helpers shared by the engine and the component, and the message formatter.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "test_support.h"

namespace vantrel {
namespace {

TEST(ExtractTokenTest, CutsAtTheFirstDelimiter) {
  std::string s = "a=b=c", head;
  ExtractToken(s, "=", true, head);
  EXPECT_EQ(head, "a");
  EXPECT_EQ(s, "b=c");
  ExtractToken(s, "=", false, head);
  EXPECT_EQ(head, "b");
  EXPECT_EQ(s, "b=c");
}

TEST(ExtractTokenTest, WithoutDelimiterTakesEverything) {
  std::string s = "abc", head;
  ExtractToken(s, ";", false, head);
  EXPECT_EQ(head, "abc");
  EXPECT_EQ(s, "abc");
  ExtractToken(s, ";", true, head);
  EXPECT_EQ(head, "abc");
  EXPECT_EQ(s, "");
  std::string multi = "x::y", h2;
  ExtractToken(multi, "::", true, h2);
  EXPECT_EQ(h2, "x");
  EXPECT_EQ(multi, "y");
}

TEST(RationalTest, CompareUsesSixtyFourBitProducts) {
  EXPECT_EQ(CompareRational({1, 2}, {1, 3}), 1);
  EXPECT_EQ(CompareRational({1, 3}, {1, 2}), -1);
  EXPECT_EQ(CompareRational({2, 4}, {1, 2}), 0);
  // Products beyond 32 bits must not wrap.
  EXPECT_EQ(CompareRational({INT_MAX, 1}, {INT_MAX - 1, 1}), 1);
  EXPECT_EQ(CompareRational({INT_MAX, 3}, {INT_MAX, 2}), -1);
  EXPECT_DOUBLE_EQ(RationalToDouble({30000, 1001}), 30000.0 / 1001.0);
}

TEST(RationalTest, SubtractionIsReduced) {
  AVRational r = SubRational({1, 2}, {1, 3});
  EXPECT_EQ(r.num, 1);
  EXPECT_EQ(r.den, 6);
  r = SubRational({30000, 1001}, {25, 1});
  EXPECT_EQ(r.num, 4975);
  EXPECT_EQ(r.den, 1001);
  r = SubRational({1, 4}, {3, 4});
  EXPECT_EQ(r.num, -1);
  EXPECT_EQ(r.den, 2);
}

TEST(RationalTest, DoubleToRationalFindsTheNearestFraction) {
  AVRational r = DoubleToRational(0.5, 255);
  EXPECT_EQ(r.num, 1);
  EXPECT_EQ(r.den, 2);
  r = DoubleToRational(16.0 / 9.0, 255);
  EXPECT_EQ(r.num, 16);
  EXPECT_EQ(r.den, 9);
  r = DoubleToRational(29.97, 100000);
  EXPECT_EQ(r.num, 2997);
  EXPECT_EQ(r.den, 100);
  r = DoubleToRational(30000.0 / 1001.0, 1001 * 30);
  EXPECT_EQ(r.num, 30000);
  EXPECT_EQ(r.den, 1001);
  r = DoubleToRational(-0.75, 255);
  EXPECT_EQ(r.num, -3);
  EXPECT_EQ(r.den, 4);
  r = DoubleToRational(1.7777, 255);  // nearest within 255
  EXPECT_NEAR(double(r.num) / r.den, 1.7777, 0.001);
  EXPECT_LE(r.den, 255);
}

TEST(RationalTest, DoubleToRationalSurvivesExtremes) {
  AVRational r = DoubleToRational(0.0, 255);
  EXPECT_EQ(r.num, 0);
  r = DoubleToRational(1e300, INT_MAX);  // far beyond the numerator's range
  EXPECT_GT(r.num, 0);
  r = DoubleToRational(1e-300, 255);
  EXPECT_EQ(r.num, 0);
}

TEST(FileSizeOfTest, ExistingAndMissingFiles) {
  test::TempDir dir;
  EXPECT_EQ(FileSizeOf(dir / "none"), -1);
  EXPECT_EQ(FileSizeOf(""), -1);
  std::ofstream(dir / "five") << "12345";
  EXPECT_EQ(FileSizeOf(dir / "five"), 5);
  std::ofstream(dir / "empty");
  EXPECT_EQ(FileSizeOf(dir / "empty"), 0);
}

TEST(FormatTest, IntegersOfBothWidthsAndText) {
  EXPECT_EQ(Format("%d/%d", int32_t(-7), int64_t(9223372036854775807)), "-7/9223372036854775807");
  EXPECT_EQ(Format("'%s' is not a valid integer value", "abc"), "'abc' is not a valid integer value");
  EXPECT_EQ(Format("%s@%s", std::string("f"), "lib"), "f@lib");
  EXPECT_EQ(Format("100%% %x", 255), "100% ff");
}

TEST(FormatTest, FloatsDefaultToTwoDecimalsWhateverTheLocale) {
  EXPECT_EQ(Format("%f", 1.0 / 3.0), "0.33");
  EXPECT_EQ(Format("%.1f", 2.25f), "2.2");
  EXPECT_EQ(Format("%.3f", 2.0), "2.000");
  EXPECT_EQ(Format("%5.1f|%-4d|", 3.14159, 7), "  3.1|7   |");
}

TEST(FormatTest, MissingArgumentsAndTrailingPercentAreHarmless) {
  EXPECT_EQ(Format("a %s b"), "a  b");
  EXPECT_EQ(Format("50%"), "50%");
}

}  // namespace
}  // namespace vantrel
