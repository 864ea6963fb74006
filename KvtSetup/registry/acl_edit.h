// The DACL edit that gives one SID full, container-inherited access to a
// registry key, and its two searches. Internal: not exported.
#pragma once

#include <windows.h>
#include <aclapi.h>

// Rebuilds the DACL of the open `key` (opened with READ_CONTROL and
// WRITE_DAC) with an explicit allow entry for `sid` (KEY_ALL_ACCESS,
// CONTAINER_INHERIT_ACE) at its canonical place, an identical entry already
// there being moved rather than doubled. Returns 1 when the new DACL was set,
// and also when an identical entry could not be taken out (nothing changed);
// 0 when the edit failed, the key's security then being as it was.
INT GrantKeyAccess(PSID sid, HKEY key);

// The index of the last entry of `list` identical to `entry` (same first
// 8 bytes, equal SIDs), or -1 when there is none or the list is unreadable.
INT FindAce(PACL list, const ACCESS_ALLOWED_ACE *entry);

// The index at which `entry` goes in `list` to keep canonical order (before
// the first entry of equal or lower rank), the entry count when nothing
// ranks lower, or -1 when `entry` or an entry met has a type outside the
// order or the list is unreadable.
INT CanonicalAceIndex(PACL list, const ACE_HEADER *entry);
