// ANSI texts in fixed buffers: copying and joining, where every function
// takes the destination's size in bytes, never writes past it and always
// leaves the destination terminated (when its size is not 0); and the
// comparison of two names byte for byte.
#pragma once

#include <windows.h>

// Length of `text`, counting at most `size` bytes (size when unterminated).
DWORD BoundedLength(LPCSTR text, DWORD size);

// Copies `source` into `dest`. Returns FALSE when it had to be cut.
BOOL CopyText(LPSTR dest, DWORD size, LPCSTR source);

// Appends `source` to the text in `dest`. Returns FALSE when it had to be
// cut (or when `dest` held no terminator within `size`).
BOOL AppendText(LPSTR dest, DWORD size, LPCSTR source);

// Byte-for-byte equality of two ANSI texts: letter case counts and nothing
// is trimmed. A null text equals nothing.
BOOL SameAnsiText(LPCSTR left, LPCSTR right);
