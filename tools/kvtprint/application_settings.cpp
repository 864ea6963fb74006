// Fills the application's DEVMODEW and private block.
#include "application_settings.h"

#include <algorithm>
#include <cstring>

namespace kvt::print {

namespace {

template <size_t N>
void CopyName(WCHAR (&field)[N], const std::u16string &name) {
  const size_t count = std::min(name.size(), N - 1);
  for (size_t i = 0; i < N; ++i) field[i] = i < count ? static_cast<WCHAR>(name[i]) : 0;
}

}  // namespace

ApplicationDevmode MakeApplicationDevmode(const PrintSettings &settings, Orientation orientation,
                                          const std::u16string &deviceName) {
  ApplicationDevmode devmode;
  std::memset(&devmode, 0, sizeof devmode);
  DEVMODEW &dm = devmode.dm;
  CopyName(dm.dmDeviceName, deviceName);
  dm.dmSpecVersion = DM_SPECVERSION;
  dm.dmSize = sizeof(DEVMODEW);
  dm.dmDriverExtra = sizeof(PrinterPrivateSettings);
  dm.dmFields = DM_ORIENTATION | DM_COPIES | DM_FORMNAME;
  dm.dmOrientation = orientation == Orientation::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  dm.dmCopies = settings.copies;
  CopyName(dm.dmFormName, FormName(settings.paper, settings.language));

  PrinterPrivateSettings &extra = devmode.extra;
  extra.dwSignature = kPrivateSettingsSignature;
  extra.sRed = settings.red;
  extra.sGreen = settings.green;
  extra.sBlue = settings.blue;
  extra.sDensity = settings.density;
  extra.sSharpness = settings.sharpness;
  extra.dwBorder = settings.border ? 1 : 0;
  return devmode;
}

}  // namespace kvt::print
