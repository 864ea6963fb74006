// The Win32 subset that the package and its hosts use, for the Linux build.
// Types have their Windows sizes and layouts; functions keep their Windows
// names, arguments and error codes. Implemented by the modules of platform/.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define APIENTRY
#define CALLBACK
#define WINAPIV

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t INT;
typedef uint32_t UINT;
typedef uint32_t FLONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef WORD LANGID;
typedef LONG NTSTATUS;
typedef size_t SIZE_T;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef ULONG_PTR DWORD_PTR;

static_assert(sizeof(WCHAR) == 2, "the Linux build needs -fshort-wchar");

typedef void VOID;
typedef void *PVOID, *LPVOID, *HANDLE;
typedef const void *LPCVOID;
typedef BYTE *PBYTE, *LPBYTE;
typedef DWORD *PDWORD, *LPDWORD;
typedef ULONG *PULONG;
typedef LONG *PLONG;
typedef WORD *PWORD;
typedef BOOL *PBOOL;
typedef CHAR *PCHAR, *PSTR, *LPSTR;
typedef const CHAR *PCSTR, *LPCSTR;
typedef WCHAR *PWCHAR, *PWSTR, *LPWSTR;
typedef const WCHAR *PCWCH, *PCWSTR, *LPCWSTR;
typedef HANDLE *PHANDLE, *LPHANDLE;
typedef HANDLE HGLOBAL, HLOCAL, HMODULE, HINSTANCE, HWND;
typedef void (*FARPROC)();

#ifndef GUID_DEFINED
#define GUID_DEFINED
typedef struct _GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
} GUID;
#endif
typedef GUID *LPGUID;
typedef const GUID *LPCGUID;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define PRIMARYLANGID(lgid) ((WORD)(lgid)&0x3ff)

// Error codes
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_DATA 13L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BAD_DRIVER_LEVEL 119L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_LEVEL 124L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_INVALID_PRINTER_NAME 1801L
#define ERROR_UNKNOWN_PORT 1796L
#define ERROR_UNKNOWN_PRINTER_DRIVER 1797L
#define ERROR_PRINTER_ALREADY_EXISTS 1802L
#define ERROR_INVALID_FORM_NAME 1902L
#define ERROR_FILE_EXISTS 80L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_WRITE_FAULT 29L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_PRINT_CANCELLED 63L
#define ERROR_DISK_FULL 112L
#define ERROR_INVALID_NAME 123L
#define RPC_S_SERVER_UNAVAILABLE 1722L
#define ERROR_INVALID_USER_BUFFER 1784L
#define ERROR_UNKNOWN_PRINTPROCESSOR 1798L
#define ERROR_INVALID_DATATYPE 1804L
#define ERROR_INVALID_ENVIRONMENT 1805L
#define ERROR_INVALID_FORM_SIZE 1903L
#define ERROR_INVALID_PRINTER_STATE 1906L
#define ERROR_UNKNOWN_PRINT_MONITOR 3000L
#define ERROR_PRINTER_DRIVER_IN_USE 3001L
#define ERROR_SPL_NO_STARTDOC 3003L
#define ERROR_PRINT_MONITOR_ALREADY_INSTALLED 3006L
#define ERROR_PRINT_MONITOR_IN_USE 3008L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_INVALID_FLAGS 1004L
#define RPC_X_NULL_REF_POINTER 1780L

// Last error: one value per thread.
extern "C" DWORD WINAPI GetLastError(void);
extern "C" void WINAPI SetLastError(DWORD dwErrCode);

// Heaps and global memory
#define HEAP_NO_SERIALIZE 0x00000001
#define HEAP_GENERATE_EXCEPTIONS 0x00000004
#define HEAP_ZERO_MEMORY 0x00000008
#define GMEM_FIXED 0x0000
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

extern "C" HANDLE WINAPI HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize);
extern "C" BOOL WINAPI HeapDestroy(HANDLE hHeap);
extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
extern "C" SIZE_T WINAPI HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);
extern "C" HANDLE WINAPI GetProcessHeap(void);
extern "C" HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem);

// Strings and languages
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define LANG_GERMAN 0x07
#define LANG_SPANISH 0x0a
#define LANG_FRENCH 0x0c
#define LANG_JAPANESE 0x11
#define SUBLANG_DEFAULT 0x01

extern "C" LANGID WINAPI GetUserDefaultLangID(void);
extern "C" int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
extern "C" int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
extern "C" int WINAPI lstrlenW(LPCWSTR lpString);
extern "C" int WINAPI lstrlenA(LPCSTR lpString);
// ANSI comparisons: the texts are compared as their code page 1252
// characters, so equality is the same as under Windows' linguistic sort.
extern "C" int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);
// Whether `TestChar` begins a two-byte character of the ANSI code page:
// never, in the single-byte code page 1252 of this machine.
extern "C" BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);

// ntdll: UTF-16 to the ANSI code page (1252 here). Sizes are in bytes.
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005L)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000DL)
extern "C" NTSTATUS WINAPI RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                                  PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                                  ULONG BytesInUnicodeString);

#include <wingdi.h>

#include <winbase.h>
#include <fileapi.h>
#include <winuser.h>

#include <winreg.h>
#include <aclapi.h>
