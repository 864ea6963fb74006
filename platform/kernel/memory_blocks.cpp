// Block tables: allocation through the host's allocator, one owner per block.
#include "memory_blocks.h"

#include <cstring>
#include <new>

namespace platform {

void *BlockTable::Allocate(SIZE_T bytes, bool zero) {
  if (bytes > kLargestBlock) return nullptr;
  // A zero-byte block is still a distinct, freeable pointer, as on Windows.
  std::unique_ptr<unsigned char[]> memory(new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes]);
  if (!memory) return nullptr;
  if (zero) std::memset(memory.get(), 0, bytes);
  void *block = memory.get();
  blocks_.emplace(block, Entry{std::move(memory), bytes});
  totalBytes_ += bytes;
  return block;
}

bool BlockTable::Free(const void *block) {
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return false;
  totalBytes_ -= it->second.size;
  blocks_.erase(it);
  return true;
}

std::optional<SIZE_T> BlockTable::SizeOf(const void *block) const {
  auto it = blocks_.find(block);
  if (it == blocks_.end()) return std::nullopt;
  return it->second.size;
}

void BlockTable::Clear() {
  blocks_.clear();
  totalBytes_ = 0;
}

}  // namespace platform
