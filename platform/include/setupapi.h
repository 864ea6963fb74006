// The SetupAPI subset of the Linux build: device information sets over the
// machine's device list, the device registry properties the package reads
// and writes, device removal, and the INF store of SetupCopyOEMInfA.
// Names, layouts and error codes are Windows'.
#pragma once

#include <windows.h>

// SetupAPI's own error codes (customer bit and error severity set).
#define APPLICATION_ERROR_MASK 0x20000000
#define ERROR_SEVERITY_ERROR 0xC0000000
#define ERROR_WRONG_INF_STYLE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x100)
#define ERROR_CLASS_MISMATCH (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x201)
#define ERROR_INVALID_DEVINST_NAME (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x205)
#define ERROR_DEVINST_ALREADY_EXISTS (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x207)
#define ERROR_INVALID_REG_PROPERTY (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x209)
#define ERROR_NO_SUCH_DEVINST (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x20B)
#define ERROR_DI_DO_DEFAULT (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x20E)

typedef PVOID HDEVINFO;

typedef struct _SP_DEVINFO_DATA {
  DWORD cbSize;  // sizeof(SP_DEVINFO_DATA), checked by every call
  GUID ClassGuid;
  DWORD DevInst;
  ULONG_PTR Reserved;  // the element's identity inside its set
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef UINT DI_FUNCTION;
#define DIF_REMOVE 0x00000005

// SetupDiGetClassDevsA flags.
#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

// SetupDiCreateDeviceInfoA flags.
#define DICD_GENERATE_ID 0x00000001
#define DICD_INHERIT_CLASSDRVS 0x00000002

// Device registry properties.
#define SPDRP_DEVICEDESC 0x00000000
#define SPDRP_HARDWAREID 0x00000001
#define SPDRP_COMPATIBLEIDS 0x00000002
#define SPDRP_MAXIMUM_PROPERTY 0x00000025

// SetupCopyOEMInfA.
#define SPOST_NONE 0
#define SPOST_PATH 1
#define SPOST_URL 2
#define SP_COPY_REPLACEONLY 0x0000002
#define SP_COPY_NOOVERWRITE 0x0000008
#define SP_COPY_OEMINF_CATALOG_ONLY 0x0040000

typedef DWORD(CALLBACK *PSP_DETSIG_CMPPROC)(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA NewDeviceData,
                                            PSP_DEVINFO_DATA ExistingDeviceData, PVOID CompareContext);

// A set of the registered devices (all classes, or those of ClassGuid);
// elements stay valid while the set lives, also after a device is removed.
// Devices here are never started, so DIGCF_PRESENT lists none.
extern "C" HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags);
extern "C" HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID *ClassGuid, HWND hwndParent);
extern "C" BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);
// ERROR_NO_MORE_ITEMS past the last element.
extern "C" BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                             PSP_DEVINFO_DATA DeviceInfoData);
// With DICD_GENERATE_ID, DeviceName is a class-like name and the instance
// ID becomes "ROOT\<NAME>\nnnn" (upper case, lowest free number).
extern "C" BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceName, const GUID *ClassGuid,
                                                PCSTR DeviceDescription, HWND hwndParent, DWORD CreationFlags,
                                                PSP_DEVINFO_DATA DeviceInfoData);
extern "C" BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Flags,
                                                 PSP_DETSIG_CMPPROC CompareProc, PVOID CompareContext,
                                                 PSP_DEVINFO_DATA DupDeviceInfoData);
extern "C" BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                   PSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                                   PDWORD RequiredSize);
// ERROR_INSUFFICIENT_BUFFER with the size needed for a short or null buffer,
// ERROR_INVALID_DATA for a property the device does not have.
extern "C" BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                         DWORD Property, PDWORD PropertyRegDataType,
                                                         PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                                         PDWORD RequiredSize);
// The bytes are kept as given; a null buffer with size 0 removes the property.
extern "C" BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                         DWORD Property, const BYTE *PropertyBuffer,
                                                         DWORD PropertyBufferSize);
// DIF_REMOVE removes the device from the machine (no class installer here,
// so it is the default handler, SetupDiRemoveDevice); other requests give
// ERROR_DI_DO_DEFAULT.
extern "C" BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                                 PSP_DEVINFO_DATA DeviceInfoData);
extern "C" BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData);

// Stores the INF as C:\WINDOWS\Inf\oemN.inf (lowest free N from 0; an
// identical INF already stored keeps its name) with oemN.pnf beside it.
extern "C" BOOL WINAPI SetupCopyOEMInfA(PCSTR SourceInfFileName, PCSTR OEMSourceMediaLocation, DWORD OEMSourceMediaType,
                                        DWORD CopyStyle, PSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                                        PDWORD RequiredSize, PSTR *DestinationInfFileNameComponent);
