// MessageBoxA on a machine without a screen: each box is recorded for the
// tests, written to stderr as one line for the people running a tool, and
// answered at once with its default button (or the answer a test chose).
#include <platform/testing.h>

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

namespace {

struct MessageBoxState {
  std::vector<MessageBoxRecord> boxes;
  int chosenAnswer = 0;
};

MessageBoxState &Boxes() {
  static MessageBoxState state;
  return state;
}

void ResetMessageBoxes() { Boxes() = MessageBoxState{}; }

const bool kRegistered = (RegisterResetHook(&ResetMessageBoxes), true);

// The buttons of each MB_TYPEMASK value, left to right.
struct ButtonSet {
  int buttons[3];
  int count;
};
constexpr ButtonSet kButtonSets[] = {
    {{IDOK, 0, 0}, 1},
    {{IDOK, IDCANCEL, 0}, 2},
    {{IDABORT, IDRETRY, IDIGNORE}, 3},
    {{IDYES, IDNO, IDCANCEL}, 3},
    {{IDYES, IDNO, 0}, 2},
    {{IDRETRY, IDCANCEL, 0}, 2},
    {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, 3},
};

std::string OneLine(const char *text) {
  std::string line = text;
  for (char &ch : line) {
    if (ch == '\r' || ch == '\n') ch = ' ';
  }
  return line;
}

}  // namespace

std::vector<MessageBoxRecord> MessageBoxes() { return Boxes().boxes; }

void SetMessageBoxAnswer(int answer) { Boxes().chosenAnswer = answer; }

}  // namespace platform

extern "C" int WINAPI MessageBoxA(HWND /*hWnd*/, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  using namespace platform;
  const UINT buttonType = uType & MB_TYPEMASK;
  if (buttonType >= sizeof(kButtonSets) / sizeof(kButtonSets[0])) {
    SetLastError(ERROR_INVALID_MSGBOX_STYLE);
    return 0;
  }
  const ButtonSet &set = kButtonSets[buttonType];
  // A default button beyond the box's buttons falls back on the first.
  const UINT defaultIndex = (uType & MB_DEFMASK) >> 8;
  int answer = set.buttons[defaultIndex < static_cast<UINT>(set.count) ? defaultIndex : 0];
  if (Boxes().chosenAnswer != 0) answer = Boxes().chosenAnswer;

  MessageBoxRecord record;
  record.text = lpText != nullptr ? lpText : "";
  record.caption = lpCaption != nullptr ? lpCaption : "Error";  // the system's caption for none
  record.type = uType;
  record.answer = answer;
  std::fprintf(stderr, "MessageBox [%s] %s\n", OneLine(record.caption.c_str()).c_str(),
               OneLine(record.text.c_str()).c_str());
  Boxes().boxes.push_back(std::move(record));
  return answer;
}
