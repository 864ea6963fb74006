// The machine's clock: GetLocalTime, GetSystemTime, GetTickCount and Sleep.
// The clock follows the host until a test stops it at a time of its choice;
// either way Sleep never blocks: it records the duration and moves the
// clock on by it, so that a one-second wait costs a test nothing and still
// shows in the times the program reads.
#include <platform/testing.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <vector>

namespace platform {

namespace {

constexpr int64_t kMsPerDay = 86400000;

struct ClockState {
  bool stopped = false;
  int64_t stoppedAtMs = 0;  // milliseconds since 1970-01-01 00:00
  int64_t sleptMs = 0;
  std::vector<DWORD> sleeps;
};

ClockState &Clock() {
  static ClockState state;
  return state;
}

void ResetClock() { Clock() = ClockState{}; }

const bool kRegistered = (RegisterResetHook(&ResetClock), true);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromDate(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void DateFromDays(int64_t days, int64_t &year, int64_t &month, int64_t &day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex + (monthIndex < 10 ? 3 : -9);
  year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int64_t month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

SYSTEMTIME FromMilliseconds(int64_t ms) {
  int64_t days = ms / kMsPerDay;
  int64_t rest = ms % kMsPerDay;
  if (rest < 0) rest += kMsPerDay, --days;
  int64_t year, month, day;
  DateFromDays(days, year, month, day);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  // 1970-01-01 was a Thursday (4).
  time.wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);
  time.wHour = static_cast<WORD>(rest / 3600000);
  time.wMinute = static_cast<WORD>(rest / 60000 % 60);
  time.wSecond = static_cast<WORD>(rest / 1000 % 60);
  time.wMilliseconds = static_cast<WORD>(rest % 1000);
  return time;
}

int64_t ToMilliseconds(const SYSTEMTIME &time) {
  return DaysFromDate(time.wYear, time.wMonth, time.wDay) * kMsPerDay + time.wHour * int64_t{3600000} +
         time.wMinute * int64_t{60000} + time.wSecond * int64_t{1000} + time.wMilliseconds;
}

// The host's time moved on by the slept time, as a broken-down time in the
// host's own zone or in UTC.
SYSTEMTIME HostTime(bool local) {
  using namespace std::chrono;
  const int64_t nowMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() + Clock().sleptMs;
  int64_t seconds = nowMs / 1000;
  int64_t ms = nowMs % 1000;
  if (ms < 0) ms += 1000, --seconds;
  const auto hostSeconds = static_cast<time_t>(seconds);
  std::tm parts{};
  if ((local ? localtime_r(&hostSeconds, &parts) : gmtime_r(&hostSeconds, &parts)) == nullptr) {
    return FromMilliseconds(nowMs);
  }
  const int64_t days = DaysFromDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
  return FromMilliseconds(days * kMsPerDay + parts.tm_hour * int64_t{3600000} + parts.tm_min * int64_t{60000} +
                          parts.tm_sec * int64_t{1000} + ms);
}

SYSTEMTIME Now(bool local) {
  const ClockState &clock = Clock();
  if (clock.stopped) return FromMilliseconds(clock.stoppedAtMs + clock.sleptMs);
  return HostTime(local);
}

}  // namespace

bool SetLocalTime(const SYSTEMTIME &localTime) {
  const SYSTEMTIME &t = localTime;
  if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
      t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 ||
      t.wMilliseconds > 999) {
    return false;
  }
  ClockState &clock = Clock();
  clock.stopped = true;
  clock.stoppedAtMs = ToMilliseconds(t);
  clock.sleptMs = 0;
  return true;
}

std::vector<DWORD> Sleeps() { return Clock().sleeps; }

}  // namespace platform

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  if (lpSystemTime != nullptr) *lpSystemTime = platform::Now(true);
}

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
  if (lpSystemTime != nullptr) *lpSystemTime = platform::Now(false);
}

extern "C" DWORD WINAPI GetTickCount(void) {
  using namespace std::chrono;
  // Milliseconds since the process started, wrapping after 49.7 days.
  static const steady_clock::time_point start = steady_clock::now();
  const int64_t elapsed = duration_cast<milliseconds>(steady_clock::now() - start).count();
  return static_cast<DWORD>(static_cast<uint64_t>(elapsed + platform::Clock().sleptMs));
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  platform::ClockState &clock = platform::Clock();
  clock.sleeps.push_back(dwMilliseconds);
  clock.sleptMs += dwMilliseconds;
}
