// Device settings: the 256-byte settings image (DEVMODEW of 220 bytes and
// the private block behind it), its defaults and the merge of an
// application's settings.
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

// Accepted ranges of the private values; anything outside becomes the default.
#define PRIV_COLOR_MIN 80
#define PRIV_COLOR_MAX 120
#define PRIV_COLOR_DEFAULT 100
#define PRIV_DENSITY_MIN (-7)
#define PRIV_DENSITY_MAX 7
#define PRIV_SHARPNESS_MIN 0
#define PRIV_SHARPNESS_MAX 4

// Writes the defaults into the 256-byte settings image at pdm.
VOID InitDefaultDevmode(DEVMODEW *pdm, LPCWSTR pwszDeviceName, HANDLE hPrinter);
// Takes what the driver accepts from an application's settings into the
// image at pdm. FALSE leaves the image as it was (the defaults stand).
BOOL MergeDevmode(DEVMODEW *pdm, const DEVMODEW *pdmIn, HANDLE hPrinter);
// Copies public and private parts of pdmIn into pdmOut without growing
// pdmOut; returns the bytes copied, or -1 for an unrecognised DEVMODEW.
LONG ConvertDevmode(const DEVMODEW *pdmIn, DEVMODEW *pdmOut);
// The DEVMODE version a record's size implies; 0 for null.
WORD SpecVersionOf(const DEVMODEW *pdm);
