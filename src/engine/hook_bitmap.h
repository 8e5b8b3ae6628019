// The picture a custom frame hook works on: 24 bits per pixel in B, G, R
// byte order, rows from top to bottom, each row padded to a multiple of 4
// bytes, so a viewer can wrap the pixels without copying them (QImage's
// RGB888 layout with the channels swapped, or a device-independent bitmap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vantrel {

class THookBitmap {
 public:
  static constexpr int kBytesPerPixel = 3;

  THookBitmap() = default;
  THookBitmap(int AWidth, int AHeight) { SetSize(AWidth, AHeight); }
  THookBitmap(const THookBitmap&) = delete;
  THookBitmap& operator=(const THookBitmap&) = delete;

  // Gives the bitmap a new size with every pixel black. A negative size, or
  // one whose rows or whole picture would not fit an int of bytes, throws
  // std::length_error and leaves the bitmap as it was.
  void SetSize(int AWidth, int AHeight);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes from the start of one row to the start of the next.
  int Stride() const { return stride_; }
  // The bytes of the whole picture, Stride() * Height() of them.
  std::uint8_t* Bits() { return pixels_.data(); }
  const std::uint8_t* Bits() const { return pixels_.data(); }
  std::size_t ByteCount() const { return pixels_.size(); }

  // Row y (0 = top). Throws std::out_of_range for a row the picture lacks.
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;

  // Whoever writes the picture holds the lock for the whole frame, and a
  // viewer on another thread holds it while it reads, so it never sees half
  // of one frame and half of the next. Usable with std::lock_guard.
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }
  void lock() { Lock(); }
  void unlock() { Unlock(); }

 private:
  std::size_t RowOffset(int y) const;

  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<std::uint8_t> pixels_;
  std::mutex lock_;
};

}  // namespace vantrel
