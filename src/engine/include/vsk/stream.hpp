// Seekable byte streams with 32-bit signed sizes and positions, the only
// way the engine touches data. Read returns what it could deliver (a short
// count is no error); the *Buffer operations demand exact counts and raise.
#pragma once

#include <cstdint>

namespace vsk {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Delivers up to `count` bytes; 0 at the end or for count <= 0.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  // Takes up to `count` bytes; returns how many were taken.
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  // Moves the position and returns the new one. Targets outside
  // 0..2147483647 are clamped to that range.
  virtual std::int32_t Seek(std::int32_t offset, TSeekOrigin origin) = 0;
  virtual std::int32_t Size();

  std::int32_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int32_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Reads exactly `count` bytes or raises EReadError.
  void ReadBuffer(void* buffer, std::int32_t count);
  // Writes exactly `count` bytes or raises EWriteError.
  void WriteBuffer(const void* buffer, std::int32_t count);
  // Copies exactly `count` bytes from `source`'s current position through a
  // bounded buffer; EReadError when the source runs short, EWriteError when
  // this stream refuses bytes. A count of 0 or less copies nothing.
  std::int32_t CopyFrom(TStream& source, std::int32_t count);
};

// Computes the position a seek aims at, clamped to the 32-bit range.
std::int32_t ClampSeekTarget(std::int64_t base, std::int32_t offset);

}  // namespace vsk
