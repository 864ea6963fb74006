// Explicit-endian loads and stores: the stream's words are big-endian, the
// settings image inside it little-endian, whatever the host is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvt::spool {

inline uint32_t LoadBE32(std::span<const uint8_t, 4> b) {
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

inline void StoreBE32(std::span<uint8_t, 4> b, uint32_t value) {
  b[0] = static_cast<uint8_t>(value >> 24);
  b[1] = static_cast<uint8_t>(value >> 16);
  b[2] = static_cast<uint8_t>(value >> 8);
  b[3] = static_cast<uint8_t>(value);
}

inline uint16_t LoadLE16(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline uint32_t LoadLE32(std::span<const uint8_t> bytes, size_t offset) {
  return uint32_t{bytes[offset]} | (uint32_t{bytes[offset + 1]} << 8) | (uint32_t{bytes[offset + 2]} << 16) |
         (uint32_t{bytes[offset + 3]} << 24);
}

inline int16_t LoadLE16Signed(std::span<const uint8_t> bytes, size_t offset) {
  return static_cast<int16_t>(LoadLE16(bytes, offset));
}

}  // namespace kvt::spool
