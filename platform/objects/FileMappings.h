#pragma once
// Page-file-backed file mappings: shared memory, named in the machine's namespace of kernel
// objects (Synchronization.h describes names, existence and ERROR_ALREADY_EXISTS) or private
// when unnamed. Only INVALID_HANDLE_VALUE is accepted as the file.
//
// A mapping's size is fixed by its creator; opening an existing one keeps that size whatever
// size the caller asks for, and a view that would reach past it fails with
// ERROR_ACCESS_DENIED. A view keeps its mapping alive after the mapping's handle is closed,
// until UnmapViewOfFile. New mappings are zero-filled.

#include <cstddef>

#include "platform/core/Handles.h"
#include "platform/core/WinTypes.h"

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// A zero size fails with ERROR_INVALID_PARAMETER.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, const char* name);
// Null with ERROR_FILE_NOT_FOUND when no such mapping exists.
HANDLE OpenFileMappingA(DWORD desiredAccess, BOOL inheritHandle, const char* name);

// Maps bytes (0: to the end) from the offset, which must be a multiple of 64 KiB
// (ERROR_MAPPED_ALIGNMENT otherwise). Null with the last error on failure.
void* MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh, DWORD fileOffsetLow,
                    std::size_t bytes);
// Fails with ERROR_INVALID_PARAMETER for an address that is not the start of a view.
BOOL UnmapViewOfFile(const void* baseAddress);
