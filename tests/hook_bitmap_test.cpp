// The custom hook's bitmap: row layout for every width remainder and refused
// sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>

#include "engine/hook_bitmap.h"

namespace vantrel {
namespace {

TEST(HookBitmap, RowsArePaddedToFourBytesAndLieInsideThePicture) {
  THookBitmap bmp;
  EXPECT_EQ(bmp.ByteCount(), 0u);
  EXPECT_THROW(bmp.ScanLine(0), std::out_of_range);
  // Widths 1..4 need 3, 6, 9, 12 bytes of pixels, padded to 4, 8, 12, 12.
  const int strides[] = {0, 4, 8, 12, 12, 16, 20, 24, 24};
  for (int w = 0; w <= 8; ++w) {
    SCOPED_TRACE(w);
    bmp.SetSize(w, 5);
    EXPECT_EQ(bmp.Width(), w);
    EXPECT_EQ(bmp.Height(), 5);
    ASSERT_EQ(bmp.Stride(), strides[w]);
    ASSERT_EQ(bmp.ByteCount(), size_t(strides[w]) * 5);
    for (int y = 0; y < 5; ++y) ASSERT_EQ(bmp.ScanLine(y), bmp.Bits() + y * strides[w]);
    // The whole last row, padding included, belongs to the picture (the
    // address checker catches a short buffer here).
    if (w > 0) std::memset(bmp.ScanLine(4), 0xff, size_t(bmp.Stride()));
    EXPECT_THROW(bmp.ScanLine(5), std::out_of_range);
    EXPECT_THROW(bmp.ScanLine(-1), std::out_of_range);
  }
  // A new size starts black.
  bmp.SetSize(8, 5);
  for (size_t i = 0; i < bmp.ByteCount(); ++i) ASSERT_EQ(bmp.Bits()[i], 0) << i;
}

TEST(HookBitmap, SizesBeyondAnIntOfBytesAreRefusedAndChangeNothing) {
  THookBitmap bmp(7, 3);
  bmp.ScanLine(2)[0] = 42;
  // 3 * width overflows an int at this width; the picture would not fit one.
  EXPECT_THROW(bmp.SetSize(INT_MAX / 2, 1), std::length_error);
  EXPECT_THROW(bmp.SetSize(100'000, 100'000), std::length_error);
  EXPECT_THROW(bmp.SetSize(-1, 3), std::length_error);
  EXPECT_EQ(bmp.Width(), 7);
  EXPECT_EQ(bmp.Stride(), 24);
  EXPECT_EQ(bmp.ScanLine(2)[0], 42);
}

}  // namespace
}  // namespace vantrel
