#pragma once
// The test-only switch that makes one platform call fail, so the tests of every writer can show
// that nothing is lost or corrupted when the Nth call goes wrong (loop N = 1, 2, ... until a run
// makes fewer than N calls). Counted are the calls that touch files and the registry:
// CreateFileA, ReadFile, WriteFile, SetEndOfFile, FlushFileBuffers, DeleteFileA, MoveFileExA,
// CopyFileA, CreateDirectoryA, RemoveDirectoryA, SetFileAttributesA and every registry change;
// other parts of the layer may count theirs too. The failing call does nothing and fails as on
// a full disk (ERROR_DISK_FULL; a read fails with ERROR_READ_FAULT). Process-wide; never set
// outside tests.

#include <cstdint>

// Arms the switch: the nth counted call from now fails (once); 0 disarms it. Resets the count.
void FailNthPlatformCall(std::uint32_t n) noexcept;
// Counted calls since the switch was last armed.
std::uint32_t CountedPlatformCalls() noexcept;
// Counts one call; true when it is the one to fail. For the layer's own calls.
bool PlatformCallFails() noexcept;
