// Drives the registry path splitter with arbitrary texts: the first byte
// picks the size of the key path buffer, the rest is the path. The root
// must be one of the five or null, the key path must stay inside its
// buffer and be terminated, and a split that reports success must give
// exactly the bytes after the root name and its separator.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "registry/reg_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const DWORD bufferSize = data[0];
  const std::string path(reinterpret_cast<const char *>(data + 1), size - 1);
  std::vector<char> keyPath(bufferSize + 16, '\x7f');
  HKEY root = reinterpret_cast<HKEY>(1);
  const BOOL fit = SplitRegPath(path.c_str(), &root, keyPath.data(), bufferSize);
  for (size_t i = bufferSize; i < keyPath.size(); ++i) {
    if (keyPath[i] != '\x7f') __builtin_trap();  // written past the buffer
  }
  const HKEY roots[] = {NULL,      HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                        HKEY_USERS};
  const char *names[] = {
      "", "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
  size_t which = 0;
  while (which < 6 && roots[which] != root) ++which;
  if (which == 6) __builtin_trap();
  const size_t nameLength = std::strlen(names[which]);
  if (which != 0 && path.compare(0, nameLength, names[which]) != 0) __builtin_trap();
  if (bufferSize == 0) return 0;
  const size_t length = std::strlen(keyPath.data());  // terminated within the buffer
  if (length >= bufferSize) __builtin_trap();
  const size_t textLength = std::strlen(path.c_str());
  const std::string expected =
      textLength > nameLength + 1 ? path.substr(nameLength + 1, textLength - nameLength - 1) : "";
  if (fit ? expected != keyPath.data() : expected.compare(0, length, keyPath.data()) != 0) __builtin_trap();
  return 0;
}
