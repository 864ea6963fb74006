// The value is read into a block of its own, so that a text without its
// terminator, or longer than the caller's buffer, is never cut into one.
#include "registry/reg_string.h"

#include <scoped_handle.h>

#include "run/bounded_text.h"

DWORD GetRegString(HKEY parent, LPCSTR subkeyName, LPCSTR valueName, LPSTR out, DWORD outSize, LPCSTR defaultText) {
  kvt::ScopedLocalBlock<BYTE> block(static_cast<BYTE *>(LocalAlloc(LPTR, REG_STRING_SIZE + 1)));
  DWORD code = ERROR_NOT_ENOUGH_MEMORY;
  LPCSTR text = defaultText != NULL ? defaultText : "";
  if (block) {
    kvt::ScopedKey key;
    DWORD disposition = 0;
    code = static_cast<DWORD>(
        RegCreateKeyExA(parent, subkeyName, 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), &disposition));
    if (code == ERROR_SUCCESS) {
      DWORD type = REG_SZ;
      DWORD size = REG_STRING_SIZE;
      code = static_cast<DWORD>(RegQueryValueExA(key.get(), valueName, NULL, &type, block.get(), &size));
      if (code == ERROR_SUCCESS) {
        // The block is one byte longer than any read and zero-filled: the
        // text ends within the bytes read or right after them.
        text = reinterpret_cast<LPCSTR>(block.get());
      }
    }
  }
  if (outSize > 0 && !CopyText(out, outSize, text)) {
    out[0] = '\0';
  }
  return code;
}
