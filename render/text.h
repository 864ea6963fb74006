// Bounded copies into the fixed-size name fields of the settings and the
// current-form record: always terminated, always zero-padded.
#pragma once

#include <kvtddi.h>

// Copies at most cch - 1 characters of src and zero-fills the rest of the
// cch slots of dst. Nothing happens when cch is 0; a null src copies "".
VOID CopyWideBounded(WCHAR *dst, LPCWSTR src, SIZE_T cch);
// The byte counterpart of CopyWideBounded.
VOID CopyAnsiBounded(CHAR *dst, LPCSTR src, SIZE_T cch);
// Converts src to the ANSI code page into dst of cch bytes and terminates it.
// A cch of 0 or less means the caller has room for one byte per character.
VOID WideToAnsi(CHAR *dst, LPCWSTR src, INT cch);
