// FormatMessageA: takes a message from the system table or from the
// caller's string, expands its escapes and inserts, and delivers it into the
// caller's buffer or a LocalAlloc block. Line breaks in a message become
// CR LF (or one blank under FORMAT_MESSAGE_MAX_WIDTH_MASK); %n, %r and %t
// are hard breaks, %0 ends the text. Inserts %1 to %99 take their values
// from an argument array or, one pointer-sized value each, from a va_list.
#include <winbase.h>

#include <array>
#include <cstring>
#include <string>

#include "system_messages.h"
#include "wsprintf_engine.h"

namespace platform {

namespace {

constexpr DWORD kSourceFlags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM;
// Longest text FormatMessageA delivers; a longer one is refused.
constexpr size_t kLongestMessage = 32766;
constexpr DWORD kErrorNoWorkDone = 235;
constexpr DWORD kErrorCallNotImplemented = 120;
constexpr int kMostInserts = 99;

// Only English texts exist. The neutral and default identifiers resolve
// to them whatever the user's language, since no other table is installed.
bool HasLanguage(DWORD languageId) {
  if (languageId == 0) return true;
  const DWORD primary = languageId & 0x3FF;
  const DWORD sub = languageId >> 10;
  if (primary == LANG_NEUTRAL) return sub == SUBLANG_NEUTRAL || sub == SUBLANG_DEFAULT || sub == SUBLANG_SYS_DEFAULT;
  return primary == LANG_ENGLISH;
}

// The values of the inserts: straight from an argument array, or read from
// the va_list one pointer-sized value at a time up to the highest insert
// used so far, as the system does.
class InsertValues {
 public:
  InsertValues(DWORD flags, va_list *args) {
    if (args == nullptr) return;
    if ((flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0) {
      array_ = reinterpret_cast<const DWORD_PTR *>(args);
    } else {
      list_ = args;
    }
  }
  bool Available() const { return array_ != nullptr || list_ != nullptr; }
  DWORD_PTR Get(int number) {
    if (array_ != nullptr) return array_[number - 1];
    while (read_ < number) cache_[read_++] = va_arg(*list_, DWORD_PTR);
    return cache_[number - 1];
  }

 private:
  const DWORD_PTR *array_ = nullptr;
  va_list *list_ = nullptr;
  std::array<DWORD_PTR, kMostInserts> cache_{};
  int read_ = 0;
};

// Hands one insert's value to the wsprintf engine; a format that asks for
// more than one value gets zeros and nulls for the rest.
class OneValue : public FormatArguments {
 public:
  explicit OneValue(DWORD_PTR value) : value_(value) {}
  int32_t NextInt() override { return static_cast<int32_t>(Take()); }
  int64_t NextInt64() override { return static_cast<int64_t>(Take()); }
  intptr_t NextIntPtr() override { return static_cast<intptr_t>(Take()); }
  const char *NextAnsiText() override { return reinterpret_cast<const char *>(Take()); }
  const WCHAR *NextWideText() override { return reinterpret_cast<const WCHAR *>(Take()); }

 private:
  DWORD_PTR Take() {
    const DWORD_PTR value = used_ ? 0 : value_;
    used_ = true;
    return value;
  }
  DWORD_PTR value_;
  bool used_ = false;
};

enum class Expansion { Done, BadSyntax, MissingArguments };

// Expands `text` into `out`.
Expansion Expand(const char *text, DWORD flags, InsertValues &values, std::string &out) {
  const bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  const bool oneLine = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK;
  const char *lineBreak = oneLine ? " " : "\r\n";
  const char *p = text;
  while (*p != '\0') {
    if (*p == '\r' || *p == '\n') {
      // CR LF, a lone CR and a lone LF are each one line break.
      if (p[0] == '\r' && p[1] == '\n') ++p;
      ++p;
      out += lineBreak;
      continue;
    }
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char escape = p[1];
    if (escape == '0') return Expansion::Done;
    if (escape == 'n') {
      out += "\r\n";
      p += 2;
      continue;
    }
    if (escape == 'r' || escape == 't') {
      out += escape == 'r' ? '\r' : '\t';
      p += 2;
      continue;
    }
    if (escape == '\0') return Expansion::BadSyntax;  // a text may not end in '%'
    if (ignoreInserts) {
      // Everything else, inserts included, is kept as written.
      out += '%';
      ++p;
      continue;
    }
    if (escape < '1' || escape > '9') {
      out += escape;  // %%, %., %!, "% " and the like give the character
      p += 2;
      continue;
    }
    int number = escape - '0';
    p += 2;
    if (*p >= '0' && *p <= '9') number = number * 10 + (*p++ - '0');
    if (!values.Available()) return Expansion::MissingArguments;
    const DWORD_PTR value = values.Get(number);
    if (*p != '!') {
      const char *insert = reinterpret_cast<const char *>(value);
      out += insert != nullptr ? insert : "(null)";
      continue;
    }
    const char *close = std::strchr(p + 1, '!');
    if (close == nullptr) return Expansion::BadSyntax;
    const std::string insertFormat(p + 1, close);
    // Widths and precisions taken from further inserts are not supported.
    if (insertFormat.find('*') != std::string::npos) return Expansion::BadSyntax;
    std::array<char, kWsprintfBufferBytes> piece{};
    OneValue argument(value);
    // A full piece reports the buffer size; its text is one byte shorter.
    const auto length =
        static_cast<size_t>(FormatWsprintf(piece.data(), piece.size(), ("%" + insertFormat).c_str(), argument));
    out.append(piece.data(), length < piece.size() ? length : piece.size() - 1);
    p = close + 1;
  }
  return Expansion::Done;
}

// Finds the message text, or sets the error and gives null.
const char *SourceText(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId) {
  const DWORD sources = flags & kSourceFlags;
  if (sources == FORMAT_MESSAGE_FROM_STRING) {
    if (source == nullptr) SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<const char *>(source);
  }
  if ((sources & FORMAT_MESSAGE_FROM_STRING) != 0 || sources == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // No loaded module carries a message table here; a module search falls
  // back on the system table only when the caller asked for both.
  if ((sources & FORMAT_MESSAGE_FROM_HMODULE) != 0 && source != nullptr &&
      (sources & FORMAT_MESSAGE_FROM_SYSTEM) == 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  if (!HasLanguage(languageId)) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
  }
  const char *text = SystemMessageText(messageId);
  if (text == nullptr) SetLastError(ERROR_MR_MID_NOT_FOUND);
  return text;
}

DWORD Deliver(const std::string &message, DWORD flags, LPSTR buffer, DWORD size) {
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    const size_t bytes = message.size() + 1 > size ? message.size() + 1 : size;
    auto *block = static_cast<char *>(LocalAlloc(LMEM_FIXED, bytes));
    if (block == nullptr) return 0;  // LocalAlloc set the error
    std::memcpy(block, message.c_str(), message.size() + 1);
    *reinterpret_cast<LPSTR *>(buffer) = block;
    return static_cast<DWORD>(message.size());
  }
  if (message.size() + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::memcpy(buffer, message.c_str(), message.size() + 1);
  return static_cast<DWORD>(message.size());
}

}  // namespace

}  // namespace platform

extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                                       LPSTR lpBuffer, DWORD nSize, va_list *Arguments) {
  using namespace platform;
  const bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if (allocate) {
    // Without a place to store the block's address nothing can be given.
    if (lpBuffer == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    *reinterpret_cast<LPSTR *>(lpBuffer) = nullptr;
  }
  const DWORD width = dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK;
  if (width != 0 && width != FORMAT_MESSAGE_MAX_WIDTH_MASK) {
    // Wrapping at a given line width is not provided by this machine.
    SetLastError(kErrorCallNotImplemented);
    return 0;
  }
  const char *text = SourceText(dwFlags, lpSource, dwMessageId, dwLanguageId);
  if (text == nullptr) return 0;

  InsertValues values(dwFlags, Arguments);
  std::string message;
  switch (Expand(text, dwFlags, values, message)) {
    case Expansion::Done:
      break;
    case Expansion::BadSyntax:
    case Expansion::MissingArguments:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
  if (message.empty()) {
    SetLastError(kErrorNoWorkDone);
    return 0;
  }
  if (message.size() > kLongestMessage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Deliver(message, dwFlags, lpBuffer, nSize);
}
