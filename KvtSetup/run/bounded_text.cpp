// Bounded text copies and comparisons for the library's fixed path, name
// and value buffers. The library does its own copying so that it needs
// nothing beyond the Windows calls of the run, and so that a cut is
// reported instead of silent.
#include "run/bounded_text.h"

DWORD BoundedLength(LPCSTR text, DWORD size) {
  DWORD length = 0;
  while (length < size && text[length] != '\0') {
    ++length;
  }
  return length;
}

BOOL CopyText(LPSTR dest, DWORD size, LPCSTR source) {
  if (size == 0) {
    return FALSE;
  }
  dest[0] = '\0';
  return AppendText(dest, size, source);
}

BOOL AppendText(LPSTR dest, DWORD size, LPCSTR source) {
  DWORD used = BoundedLength(dest, size);
  if (used >= size) {
    if (size > 0) {
      dest[size - 1] = '\0';
    }
    return FALSE;
  }
  DWORD i = 0;
  while (source[i] != '\0') {
    if (used + 1 >= size) {
      dest[used] = '\0';
      return FALSE;
    }
    dest[used++] = source[i++];
  }
  dest[used] = '\0';
  return TRUE;
}

BOOL SameAnsiText(LPCSTR left, LPCSTR right) {
  if (left == NULL || right == NULL) {
    return FALSE;
  }
  while (*left != '\0' && *left == *right) {
    ++left;
    ++right;
  }
  return *left == *right;
}
