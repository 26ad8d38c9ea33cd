#pragma once
// The registry: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, each a hive file in the machine
// folder (registry/CurrentUser.hive, registry/LocalMachine.hive). Key and value names are
// case-insensitive and case-preserving. Every change re-reads the hive and writes it back
// atomically (temporary file and rename) under a cross-process lock, so processes writing at the
// same time keep each other's values. A hive file that cannot be read is renamed with a
// ".corrupt" suffix (a trace line says so) and a fresh, empty hive takes its place.
//
// The calls return a Win32 error code (ERROR_SUCCESS on success), as the Win32 calls do; they do
// not set the last error.

#include <cstdint>

#include "platform/core/WinTypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001U));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002U));

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens subKey below hKey, creating it and any missing keys on the way. A subKey that starts
// with "\" or has an empty component is ERROR_BAD_PATHNAME; a trailing "\" is ignored.
// *lpdwDisposition (optional) tells REG_CREATED_NEW_KEY from REG_OPENED_EXISTING_KEY.
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions,
                     REGSAM samDesired, void* lpSecurityAttributes, PHKEY phkResult, DWORD* lpdwDisposition);
// Opens an existing key (ERROR_FILE_NOT_FOUND when it does not exist). A null or empty subKey
// opens hKey's own key again.
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCloseKey(HKEY hKey);

// The value's type and data. With lpData null only the size is returned; a buffer too small
// gives ERROR_MORE_DATA with the needed size in *lpcbData. A missing value is
// ERROR_FILE_NOT_FOUND. A null or empty name is the key's default value.
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
// Stores cbData bytes as given (for REG_SZ the caller includes the terminating zero).
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegDeleteValueA(HKEY hKey, const char* lpValueName);
// Deletes a key without subkeys (ERROR_ACCESS_DENIED while it has some).
LONG RegDeleteKeyA(HKEY hKey, const char* lpSubKey);

// The name of subkey dwIndex (in case-insensitive name order); ERROR_NO_MORE_ITEMS past the
// last. *lpcchName is the buffer size in, the name's length (without the zero) out;
// ERROR_MORE_DATA when it does not fit. Classes are empty; the time is 0.
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD* lpReserved, char* lpClass,
                   DWORD* lpcchClass, FILETIME* lpftLastWriteTime);
// The name, type and data of value dwIndex (in the order the values were created).
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                   DWORD* lpType, BYTE* lpData, DWORD* lpcbData);
