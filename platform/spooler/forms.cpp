// Forms: one list for the whole machine, reachable through any printer or
// server handle. A fresh machine holds the first standard Windows forms, in
// Windows' order and sizes (thousandths of a millimetre), each printable to
// its edges. EnumFormsW packs the records first and their names after them
// in the caller's buffer.
#include <platform/testing.h>
#include <winspool.h>

#include "../kernel/text.h"
#include "spooler_state.h"

#include <cstring>

namespace platform {
namespace {

struct FormSize {
  const char16_t *name;
  LONG width;
  LONG height;
};

constexpr FormSize kBuiltinForms[] = {
    {u"Letter", 215900, 279400},    {u"Letter Small", 215900, 279400}, {u"Tabloid", 279400, 431800},
    {u"Ledger", 431800, 279400},    {u"Legal", 215900, 355600},        {u"Statement", 139700, 215900},
    {u"Executive", 184150, 266700}, {u"A3", 297000, 420000},           {u"A4", 210000, 297000},
    {u"A4 Small", 210000, 297000},  {u"A5", 148000, 210000},
};

Form *FindForm(std::u16string_view name) {
  for (Form &form : Spooler().config.forms) {
    if (EqualsIgnoreCase(form.name, name)) return &form;
  }
  return nullptr;
}

// Windows refuses a form without area or whose printable part leaves the sheet.
bool IsValidGeometry(const SIZEL &size, const RECTL &area) {
  return size.cx > 0 && size.cy > 0 && area.left >= 0 && area.top >= 0 && area.left < area.right &&
         area.top < area.bottom && area.right <= size.cx && area.bottom <= size.cy;
}

}  // namespace

std::vector<Form> BuiltinForms() {
  std::vector<Form> forms;
  for (const FormSize &builtin : kBuiltinForms) {
    Form form;
    form.name = builtin.name;
    form.flags = FORM_BUILTIN;
    form.size = {builtin.width, builtin.height};
    form.imageableArea = {0, 0, builtin.width, builtin.height};
    forms.push_back(std::move(form));
  }
  return forms;
}

void SetFormList(const FORM_INFO_1W *forms, size_t count) {
  std::vector<Form> list;
  for (size_t i = 0; forms != nullptr && i < count; ++i) {
    list.push_back(Form{WideText(forms[i].pName), forms[i].Flags, forms[i].Size, forms[i].ImageableArea});
  }
  Spooler().config.forms = std::move(list);
}

}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned) {
  if (SpoolerUnavailable()) return FALSE;
  if (FindHandle(hPrinter) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (pcbNeeded == nullptr || pcReturned == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::vector<Form> &forms = Spooler().config.forms;
  size_t needed = forms.size() * sizeof(FORM_INFO_1W);
  for (const Form &form : forms) needed += (form.name.size() + 1) * sizeof(WCHAR);
  *pcReturned = 0;
  *pcbNeeded = static_cast<DWORD>(needed);
  if (cbBuf < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (pForm == nullptr) {
    if (needed == 0) return TRUE;
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  // Records are copied in with memcpy: the caller's buffer need not be aligned.
  LPBYTE names = pForm + forms.size() * sizeof(FORM_INFO_1W);
  for (size_t i = 0; i < forms.size(); ++i) {
    const Form &form = forms[i];
    FORM_INFO_1W record{};
    record.Flags = form.flags;
    record.pName = reinterpret_cast<LPWSTR>(names);
    record.Size = form.size;
    record.ImageableArea = form.imageableArea;
    std::memcpy(pForm + i * sizeof(FORM_INFO_1W), &record, sizeof(record));
    for (char16_t ch : form.name) {
      const auto unit = static_cast<WCHAR>(ch);
      std::memcpy(names, &unit, sizeof(unit));
      names += sizeof(unit);
    }
    const WCHAR terminator = 0;
    std::memcpy(names, &terminator, sizeof(terminator));
    names += sizeof(terminator);
  }
  *pcReturned = static_cast<DWORD>(forms.size());
  return TRUE;
}

extern "C" BOOL WINAPI AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm) {
  if (SpoolerUnavailable()) return FALSE;
  if (FindHandle(hPrinter) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (pForm == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FORM_INFO_1W info;
  std::memcpy(&info, pForm, sizeof(info));
  std::u16string name = WideText(info.pName);
  if (name.empty() || name.size() >= CCHFORMNAME) {
    SetLastError(ERROR_INVALID_FORM_NAME);
    return FALSE;
  }
  if (!IsValidGeometry(info.Size, info.ImageableArea)) {
    SetLastError(ERROR_INVALID_FORM_SIZE);
    return FALSE;
  }
  if (FindForm(name) != nullptr) {
    SetLastError(ERROR_FILE_EXISTS);
    return FALSE;
  }
  // The caller's flags are not taken: whatever it adds is a user form.
  Spooler().config.forms.push_back(Form{std::move(name), FORM_USER, info.Size, info.ImageableArea});
  return TRUE;
}

extern "C" BOOL WINAPI DeleteFormW(HANDLE hPrinter, LPWSTR pFormName) {
  if (SpoolerUnavailable()) return FALSE;
  if (FindHandle(hPrinter) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const std::u16string name = WideText(pFormName);
  Form *form = FindForm(name);
  if (form == nullptr) {
    SetLastError(ERROR_INVALID_FORM_NAME);
    return FALSE;
  }
  if (form->flags & FORM_BUILTIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<Form> &forms = Spooler().config.forms;
  forms.erase(forms.begin() + (form - forms.data()));
  return TRUE;
}
