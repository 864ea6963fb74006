// The device context record: one PDEV per device context, held in its own
// private heap together with every buffer of the job.
#pragma once

#include "paper.h"
#include "settings.h"

// 'KVR4'; also the signature of the private settings block.
#define PDEV_SIGNATURE 0x4B565234u

#define PDEVF_DOC_STARTED 0x00000001u   // a document is open
#define PDEVF_ABORTED 0x00000002u       // page and band output refused for good
#define PDEVF_RESET_IN_DOC 0x00000004u  // replaced another PDEV mid-document
#define PDEVF_PAGE_STARTED 0x00000008u  // the surface was erased for this page

#define BAND_HEIGHT 100

typedef struct _PDEV {
  DWORD dwSignature;
  DEVMODEW dm;  // together with dmPrivate: the settings image
  PRIVDEVMODE dmPrivate;
  PVOID pPrinterData;  // opaque printer data block, GlobalAlloc'ed
  HANDLE hHeap;        // holds this record and every job buffer
  HANDLE hPrinter;
  PWSTR pwszDocName;
  LONG lCopies;
  HDEV hdev;
  HSURF hsurf;
  HPALETTE hpal;
  FLONG flStatus;
  CURRENTFORM form;
  LONG cPages;
  LONG cxSurface;
  LONG cySurface;
  LONG yNextBand;
  DWORD dwSignatureEnd;
} PDEV, *PPDEV;

static_assert(offsetof(PDEV, dmPrivate) == offsetof(PDEV, dm) + sizeof(DEVMODEW),
              "the settings image must be contiguous");

// True when pdev is non-null and carries the signature at both ends.
BOOL IsValidPdev(const PDEV *pdev);

// The PDEV behind a SURFOBJ that GDI hands to a hook, or null when pso or
// its dhpdev does not lead to a valid PDEV.
PDEV *PdevOfSurface(SURFOBJ *pso);
// The PDEV of a page or band hook, or null when the hook must fail: a
// surface that is not ours (ERROR_INVALID_PARAMETER) or a job already
// aborted (no new error: the abort was reported when it happened).
PDEV *PdevForOutput(SURFOBJ *pso);

// Signatures, printer data, settings and paper geometry of a zeroed PDEV;
// FALSE only when the printer data block cannot be allocated.
BOOL InitPdev(PDEV *pdev, const DEVMODEW *pdm, LPCWSTR pwszDeviceName, HANDLE hPrinter);
// Releases the printer data and the private heap, and with it the PDEV.
VOID FreePdev(PDEV *pdev);
