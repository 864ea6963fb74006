// Device settings: the 256-byte settings image (DEVMODEW of 220 bytes and
// the private block behind it), its defaults, the merge of an application's
// settings, and the two printer data values the driver reads.
#pragma once

#include <kvtddi.h>

#define SETTINGS_IMAGE_SIZE 256

// The private block, at dmSize bytes from the start of the DEVMODEW. Its
// layout is part of the spool stream: the printer reads these offsets.
typedef struct _PRIVDEVMODE {
  DWORD dwSignature;  // PDEV_SIGNATURE when the block is ours
  DWORD dwReserved0;
  WORD wReserved1;
  SHORT sRed;        // 80..120
  SHORT sGreen;      // 80..120
  SHORT sBlue;       // 80..120
  SHORT sDensity;    // -7..7
  SHORT sSharpness;  // 0..4
  DWORD dwBorder;    // 0 borderless, otherwise white border
  BYTE abReserved[12];
} PRIVDEVMODE, *PPRIVDEVMODE;

static_assert(sizeof(PRIVDEVMODE) == 36);
static_assert(offsetof(PRIVDEVMODE, sRed) == 10);
static_assert(offsetof(PRIVDEVMODE, sSharpness) == 18);
static_assert(offsetof(PRIVDEVMODE, dwBorder) == 20);
static_assert(offsetof(PRIVDEVMODE, abReserved) == 24);
static_assert(sizeof(DEVMODEW) + sizeof(PRIVDEVMODE) == SETTINGS_IMAGE_SIZE);
