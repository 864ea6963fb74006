// Print jobs: one document at a time per printer handle. The bytes of a job
// go to the document's output file when one is named, otherwise to the
// printer's port: "NUL:" drops them, a file port receives them, and any
// other port keeps them in memory for tests (platform::JobOutput). Only the
// RAW datatype is printed. A cancelled job refuses further writes with
// ERROR_PRINT_CANCELLED and keeps what it had received.
#include <platform/testing.h>
#include <winspool.h>

#include "../kernel/text.h"
#include "spooler_state.h"

namespace platform {
namespace {

// The handle's printer and open job, or the Win32 error of their absence.
struct OpenDocument {
  PrinterHandle *handle = nullptr;
  Job *job = nullptr;
  DWORD error = ERROR_SUCCESS;
};

OpenDocument FindOpenDocument(HANDLE hPrinter) {
  OpenDocument doc;
  doc.handle = FindHandle(hPrinter);
  if (doc.handle == nullptr || PrinterOf(*doc.handle) == nullptr) {
    doc.error = ERROR_INVALID_HANDLE;
    return doc;
  }
  doc.job = OpenJobOf(*doc.handle);
  if (doc.job == nullptr) doc.error = ERROR_SPL_NO_STARTDOC;
  return doc;
}

std::optional<JobSink> OpenOutput(const Printer &printer, const WCHAR *outputFile, DWORD *error) {
  std::u16string target = WideText(outputFile);
  if (target.empty()) {
    if (EqualsIgnoreCase(printer.portName, u"NUL:")) return JobSink::Discard();
    if (!IsFilePort(printer.portName)) return JobSink::Memory();
    target = printer.portName;
  }
  const std::optional<std::string> hostPath = HostPathOf(target);
  if (!hostPath) {
    *error = ERROR_INVALID_NAME;
    return std::nullopt;
  }
  return JobSink::CreateFile(*hostPath, error);
}

bool IsRawDatatype(const WCHAR *datatype) {
  return datatype == nullptr || EqualsIgnoreCase(WideText(datatype), u"RAW");
}

}  // namespace

std::vector<uint8_t> JobOutput(DWORD jobId) {
  const auto &jobs = Spooler().jobs;
  auto it = jobs.find(jobId);
  if (it == jobs.end()) return {};
  return it->second.output.bytes();
}

}  // namespace platform

using namespace platform;

extern "C" DWORD WINAPI StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
  if (SpoolerUnavailable()) return 0;
  PrinterHandle *handle = FindHandle(hPrinter);
  const Printer *printer = handle != nullptr ? PrinterOf(*handle) : nullptr;
  if (printer == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return 0;
  }
  if (pDocInfo == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((handle->access & PRINTER_ACCESS_USE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  if (handle->openJobId != 0) {
    SetLastError(ERROR_INVALID_PRINTER_STATE);
    return 0;
  }
  const auto *info = reinterpret_cast<const DOC_INFO_1W *>(pDocInfo);
  if (!IsRawDatatype(info->pDatatype)) {
    SetLastError(ERROR_INVALID_DATATYPE);
    return 0;
  }
  DWORD error = ERROR_SUCCESS;
  std::optional<platform::JobSink> output = OpenOutput(*printer, info->pOutputFile, &error);
  if (!output) {
    SetLastError(error);
    return 0;
  }
  SpoolerState &spooler = Spooler();
  Job job{spooler.nextJobId++, printer->id, WideText(info->pDocName), std::move(*output)};
  const DWORD id = job.id;
  spooler.jobs.emplace(id, std::move(job));
  handle->openJobId = id;
  handle->pageOpen = false;
  return id;
}

extern "C" BOOL WINAPI StartPagePrinter(HANDLE hPrinter) {
  if (SpoolerUnavailable()) return FALSE;
  OpenDocument doc = FindOpenDocument(hPrinter);
  if (doc.error != ERROR_SUCCESS) {
    SetLastError(doc.error);
    return FALSE;
  }
  doc.handle->pageOpen = true;
  ++doc.job->pagesStarted;
  return TRUE;
}

extern "C" BOOL WINAPI EndPagePrinter(HANDLE hPrinter) {
  if (SpoolerUnavailable()) return FALSE;
  OpenDocument doc = FindOpenDocument(hPrinter);
  if (doc.error != ERROR_SUCCESS) {
    SetLastError(doc.error);
    return FALSE;
  }
  doc.handle->pageOpen = false;
  return TRUE;
}

extern "C" BOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  if (SpoolerUnavailable()) return FALSE;
  OpenDocument doc = FindOpenDocument(hPrinter);
  if (doc.error != ERROR_SUCCESS) {
    SetLastError(doc.error);
    return FALSE;
  }
  if (pcWritten == nullptr || (pBuf == nullptr && cbBuf != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pcWritten = 0;
  if (doc.job->cancelled) {
    SetLastError(ERROR_PRINT_CANCELLED);
    return FALSE;
  }
  // An injected failure looks like a device that took nothing of this call.
  if (ShouldFail(Fault::WritePrinter)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  if (ShouldFail(Fault::ShortWritePrinter)) cbBuf /= 2;
  DWORD error = ERROR_SUCCESS;
  if (!doc.job->output.Write(pBuf, cbBuf, pcWritten, &error)) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

extern "C" BOOL WINAPI EndDocPrinter(HANDLE hPrinter) {
  if (SpoolerUnavailable()) return FALSE;
  OpenDocument doc = FindOpenDocument(hPrinter);
  if (doc.error != ERROR_SUCCESS) {
    SetLastError(doc.error);
    return FALSE;
  }
  EndOpenDocument(*doc.handle);
  return TRUE;
}

// Level 0 with a command is supported; setting job records (levels 1-4) and
// pausing or restarting are not part of this machine (ERROR_NOT_SUPPORTED).
extern "C" BOOL WINAPI SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE /*pJob*/, DWORD Command) {
  if (SpoolerUnavailable()) return FALSE;
  const PrinterHandle *handle = FindHandle(hPrinter);
  const Printer *printer = handle != nullptr ? PrinterOf(*handle) : nullptr;
  if (printer == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Level > 4) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  auto &jobs = Spooler().jobs;
  auto it = jobs.find(JobId);
  if (it == jobs.end() || it->second.finished || it->second.printerId != printer->id) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Level != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  switch (Command) {
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
      it->second.cancelled = true;
      it->second.output.Close();
      return TRUE;
    case JOB_CONTROL_PAUSE:
    case JOB_CONTROL_RESUME:
    case JOB_CONTROL_RESTART:
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
