#include "engine/hook_bitmap.h"

#include <climits>
#include <stdexcept>
#include <string>

namespace vantrel {

void THookBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0) throw std::length_error("Invalid bitmap size");
  // Worked out in 64 bits: 3 * width alone overflows an int from ~716 million.
  const std::int64_t stride = (std::int64_t(AWidth) * kBytesPerPixel + 3) / 4 * 4;
  if (stride > INT_MAX || stride * AHeight > INT_MAX) throw std::length_error("Bitmap too large");
  std::vector<std::uint8_t> fresh(std::size_t(stride * AHeight), 0);
  pixels_.swap(fresh);
  width_ = AWidth;
  height_ = AHeight;
  stride_ = int(stride);
}

std::size_t THookBitmap::RowOffset(int y) const {
  if (y < 0 || y >= height_)
    throw std::out_of_range("Scan line index out of range: " + std::to_string(y));
  return std::size_t(y) * std::size_t(stride_);
}

std::uint8_t* THookBitmap::ScanLine(int y) { return pixels_.data() + RowOffset(y); }
const std::uint8_t* THookBitmap::ScanLine(int y) const { return pixels_.data() + RowOffset(y); }

}  // namespace vantrel
