// The settings an application hands to the printer when it creates a device
// context: a DEVMODEW of 220 bytes followed by the printer package's 36-byte
// private block, filled from kvtprint's options as a Windows application
// filling in the printer's own settings would.
#pragma once

#include <windows.h>

#include "page_layout.h"
#include "paper_catalog.h"

namespace kvt::print {

struct PrintSettings {
  PaperKind paper = PaperKind::Postcard;
  bool border = false;
  short copies = 1;
  short red = 100;      // 80..120
  short green = 100;    // 80..120
  short blue = 100;     // 80..120
  short density = 0;    // -7..7
  short sharpness = 0;  // 0..4
  Language language = Language::English;
};

// The private block as the printer package documents it for applications.
struct PrinterPrivateSettings {
  DWORD dwSignature;
  DWORD dwReserved0;
  WORD wReserved1;
  SHORT sRed;
  SHORT sGreen;
  SHORT sBlue;
  SHORT sDensity;
  SHORT sSharpness;
  DWORD dwBorder;
  BYTE abReserved[12];
};
static_assert(sizeof(PrinterPrivateSettings) == 36);

inline constexpr DWORD kPrivateSettingsSignature = 0x4B565234;

struct ApplicationDevmode {
  DEVMODEW dm;
  PrinterPrivateSettings extra;
};
static_assert(sizeof(DEVMODEW) == 220 && sizeof(ApplicationDevmode) == 256);
static_assert(offsetof(ApplicationDevmode, extra) == 220, "the private block follows dmSize bytes");

// dmSize 220, dmDriverExtra 36, DM_ORIENTATION | DM_COPIES | DM_FORMNAME,
// the localized form name of the paper, and the private block.
ApplicationDevmode MakeApplicationDevmode(const PrintSettings &settings, Orientation orientation,
                                          const std::u16string &deviceName);

}  // namespace kvt::print
