// The subkeys whose deletion failed in one scan of a class key, so that a
// scan that starts again after every deletion never tries one of them
// twice. Internal.
#pragma once

#include <windows.h>

// At most this many names are kept; a scan that meets more failures than
// that ends, rather than meet them again.
#define FAILED_NAMES_MAX 64
// Key names are at most 255 characters.
#define FAILED_NAME_SIZE 256

struct FailedNames {
  CHAR names[FAILED_NAMES_MAX][FAILED_NAME_SIZE];
  INT count;
};

void ClearFailedNames(FailedNames *failed);
// Whether `name` failed before in this scan (names compare ignoring case,
// as the registry's do).
BOOL HasFailed(const FailedNames *failed, LPCSTR name);
// Remembers `name`; FALSE when no room is left (the scan must end).
BOOL RememberFailure(FailedNames *failed, LPCSTR name);
