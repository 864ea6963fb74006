// The spool stream: commands framed by a marker word, every word big-endian,
// written to the job with WritePrinter one word or payload at a time.
#pragma once

#include <kvtddi.h>

#define SPOOL_MARKER 0x4B56725Au  // 'KVrZ' on the wire

#define CMD_START_DOC 128
#define CMD_END_DOC 129
#define CMD_START_PAGE 130
#define CMD_END_PAGE 131
#define CMD_PAGE_SETUP 132
#define CMD_IMAGE_DATA 133

// One WritePrinter of 4 bytes, most significant first.
BOOL WriteBE32(HANDLE hPrinter, DWORD value);
// One WritePrinter of cb bytes; TRUE only when all of them were taken.
BOOL WriteBlock(HANDLE hPrinter, const VOID *pData, DWORD cb);
// Marker and code of a command without arguments (start/end of doc and page).
BOOL SendCommand(HANDLE hPrinter, DWORD code);
// CMD_PAGE_SETUP: width, height and the 256-byte settings image.
BOOL SendPageSetup(HANDLE hPrinter, DWORD width, DWORD height, const VOID *pSettings);
// CMD_IMAGE_DATA: byte count and cb bytes of packed RGB rows.
BOOL SendImageData(HANDLE hPrinter, const VOID *pData, DWORD cb);
