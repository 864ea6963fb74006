// The log file of the run: opened at its end without sharing, written one
// whole line per call, closed by the finish of the run.
#pragma once

#include <windows.h>

// Opens the file at the run's logPath for appending and stores the handle
// in the run state. Returns ERROR_SUCCESS, or the error that kept it closed.
DWORD OpenLogFile(void);

// Writes `count` bytes at the end of the open log in one write. FALSE (with
// the write's last error) when no log is open or the write fell short.
BOOL AppendToLog(LPCSTR bytes, DWORD count);

// Closes the open log, if any.
void CloseLogFile(void);
