// A table of memory blocks, each owned by the table until it is freed. Heaps
// and global memory keep their blocks in one each; looking a pointer up in
// the table is how a foreign or already freed pointer is refused.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <unordered_map>

namespace platform {

class BlockTable {
 public:
  // The largest block a 32-bit process could ever get (its user address
  // space is 2 GB); larger requests fail without asking the host.
  static constexpr SIZE_T kLargestBlock = 0x7FFF0000;

  // A new block of `bytes` (zero-filled when `zero`), or null.
  void *Allocate(SIZE_T bytes, bool zero);
  // False when `block` is not a live block of this table.
  bool Free(const void *block);
  std::optional<SIZE_T> SizeOf(const void *block) const;
  size_t Count() const { return blocks_.size(); }
  SIZE_T TotalBytes() const { return totalBytes_; }
  void Clear();

 private:
  struct Entry {
    std::unique_ptr<unsigned char[]> memory;
    SIZE_T size;
  };
  std::unordered_map<const void *, Entry> blocks_;
  SIZE_T totalBytes_ = 0;
};

}  // namespace platform
