// The colour management subset of the Linux build: the colour folder
// C:\WINDOWS\system32\spool\drivers\color and the installing and
// uninstalling of profiles in it. Only the local machine (null name).
#pragma once

#include <windows.h>

// Copies the profile file into the colour folder and records it as
// installed (installing it again succeeds).
extern "C" BOOL WINAPI InstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName);
// A bare file name is a profile of the colour folder, a path is taken as
// given. ERROR_FILE_NOT_FOUND when it is not installed; with bDelete the
// file is deleted too (its error, e.g. a file in use, fails the call and
// leaves the profile installed).
extern "C" BOOL WINAPI UninstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName, BOOL bDelete);
// The colour folder; *pdwSize is in bytes, terminator included.
extern "C" BOOL WINAPI GetColorDirectoryA(PCSTR pMachineName, PSTR pBuffer, PDWORD pdwSize);
