// Bounded text copies for the fixed name fields. Every field they fill is
// sent to the printer or compared later, so stale bytes must never survive
// behind the terminator.
#include "text.h"

#ifdef _WIN32
// ntdll's conversion is declared only in the kit's kernel headers.
extern "C" LONG WINAPI RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                              PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                              ULONG BytesInUnicodeString);
#endif

namespace {

// At most cch - 1 characters of src, then zeros up to cch: always
// terminated, and nothing of the destination left unset.
template <typename Char>
VOID CopyBounded(Char *dst, const Char *src, SIZE_T cch) {
  if (cch == 0) {
    return;
  }
  SIZE_T i = 0;
  if (src != NULL) {
    for (; i + 1 < cch && src[i] != 0; i++) {
      dst[i] = src[i];
    }
  }
  for (; i < cch; i++) {
    dst[i] = 0;
  }
}

}  // namespace

VOID CopyWideBounded(WCHAR *dst, LPCWSTR src, SIZE_T cch) { CopyBounded(dst, src, cch); }

VOID CopyAnsiBounded(CHAR *dst, LPCSTR src, SIZE_T cch) { CopyBounded(dst, src, cch); }

VOID WideToAnsi(CHAR *dst, LPCWSTR src, INT cch) {
  if (src == NULL) {
    src = L"";
  }
  ULONG cchSource = (ULONG)lstrlenW(src) + 1;
  ULONG cbDest = cch > 0 ? (ULONG)cch : cchSource;
  ULONG cbWritten = 0;
  // A name longer than the destination is cut; the status only says so.
  RtlUnicodeToMultiByteN(dst, cbDest, &cbWritten, src, cchSource * (ULONG)sizeof(WCHAR));
  dst[cbDest - 1] = 0;
}
