// Writing the spool stream. Each word and each payload is one WritePrinter
// call, and a command stops at its first failed call: what was written stays
// in the stream, nothing after it is attempted. A call that reports success
// but took fewer bytes than it was given has failed too: the stream is cut
// there, and anything sent after it would be read out of frame.
#include "spool.h"

#include "settings.h"

BOOL WriteBE32(HANDLE hPrinter, DWORD value) {
  BYTE ab[4] = {(BYTE)(value >> 24), (BYTE)(value >> 16), (BYTE)(value >> 8), (BYTE)value};
  return WriteBlock(hPrinter, ab, sizeof(ab));
}

BOOL WriteBlock(HANDLE hPrinter, const VOID *pData, DWORD cb) {
  DWORD cbWritten = 0;
  return WritePrinter(hPrinter, const_cast<VOID *>(pData), cb, &cbWritten) && cbWritten == cb;
}

BOOL SendCommand(HANDLE hPrinter, DWORD code) { return WriteBE32(hPrinter, SPOOL_MARKER) && WriteBE32(hPrinter, code); }

BOOL SendPageSetup(HANDLE hPrinter, DWORD width, DWORD height, const VOID *pSettings) {
  return WriteBE32(hPrinter, SPOOL_MARKER) && WriteBE32(hPrinter, CMD_PAGE_SETUP) && WriteBE32(hPrinter, width) &&
         WriteBE32(hPrinter, height) && WriteBlock(hPrinter, pSettings, SETTINGS_IMAGE_SIZE);
}

BOOL SendImageData(HANDLE hPrinter, const VOID *pData, DWORD cb) {
  return WriteBE32(hPrinter, SPOOL_MARKER) && WriteBE32(hPrinter, CMD_IMAGE_DATA) && WriteBE32(hPrinter, cb) &&
         WriteBlock(hPrinter, pData, cb);
}
