// Per-printer data values, kept as the registry keeps them: a name (compared
// without regard to case), a type and bytes. The functions return their
// Win32 error code instead of setting the last error. Writing needs a handle
// opened with PRINTER_ACCESS_ADMINISTER, as on Windows; reading needs any
// printer handle. A null value name is the printer's unnamed value.
#include <winspool.h>

#include "../kernel/text.h"
#include "spooler_state.h"

#include <cstring>

using namespace platform;

extern "C" DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                                        LPDWORD pcbNeeded) {
  if (!Spooler().running) return RPC_S_SERVER_UNAVAILABLE;
  const PrinterHandle *handle = FindHandle(hPrinter);
  Printer *printer = handle != nullptr ? PrinterOf(*handle) : nullptr;
  if (printer == nullptr) return ERROR_INVALID_HANDLE;
  if (pcbNeeded == nullptr) return ERROR_INVALID_PARAMETER;
  if (pData == nullptr && nSize != 0) return ERROR_INVALID_USER_BUFFER;
  const DataValue *value = printer->FindValue(WideText(pValueName));
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  const auto size = static_cast<DWORD>(value->bytes.size());
  *pcbNeeded = size;
  if (pType != nullptr) *pType = value->type;
  if (nSize < size) return ERROR_MORE_DATA;
  if (size != 0) std::memcpy(pData, value->bytes.data(), size);
  return ERROR_SUCCESS;
}

extern "C" DWORD WINAPI SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData) {
  if (!Spooler().running) return RPC_S_SERVER_UNAVAILABLE;
  const PrinterHandle *handle = FindHandle(hPrinter);
  Printer *printer = handle != nullptr ? PrinterOf(*handle) : nullptr;
  if (printer == nullptr) return ERROR_INVALID_HANDLE;
  if ((handle->access & PRINTER_ACCESS_ADMINISTER) == 0) return ERROR_ACCESS_DENIED;
  if (pData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
  std::vector<uint8_t> bytes(pData, pData + cbData);
  std::u16string name = WideText(pValueName);
  if (DataValue *value = printer->FindValue(name)) {
    // An existing value keeps the spelling of its name, as a registry value does.
    value->type = Type;
    value->bytes = std::move(bytes);
  } else {
    printer->data.push_back(DataValue{std::move(name), Type, std::move(bytes)});
  }
  return ERROR_SUCCESS;
}
