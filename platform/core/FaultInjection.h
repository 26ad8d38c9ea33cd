#pragma once
// The test-only switches that make one platform call fail or every one of them slow, so the tests of every
// writer can show that nothing is lost or corrupted when the Nth call goes wrong (loop N = 1, 2, ... until a
// run makes fewer than N calls). Counted are the calls that touch files and the registry: CreateFileA,
// ReadFile, WriteFile, SetEndOfFile, FlushFileBuffers, DeleteFileA, MoveFileExA, CopyFileA, CreateDirectoryA,
// RemoveDirectoryA, SetFileAttributesA and every registry change; other parts of the layer may count theirs
// too. The failing call does nothing and fails as on a full disk (ERROR_DISK_FULL; a read fails with
// ERROR_READ_FAULT). Process-wide; never set outside tests.

#include <cstdint>
#include <functional>

// Arms the switch: the nth counted call from now fails (once); 0 disarms it. Resets the count.
void FailNthPlatformCall(std::uint32_t n) noexcept;
// Counted calls since the switch was last armed.
std::uint32_t CountedPlatformCalls() noexcept;
// Makes calls run pause inside their work (an empty function stops it), where a process racing
// with this one could change what the call sees: CreateFileA between opening the host file and
// checking it against the other handles' sharing. A test widens that window with a sleep, or
// runs the other side of the race right there. pause runs on the calling thread, with no lock
// of the layer held; the layer's calls it makes pause again.
void PausePlatformCalls(std::function<void()> pause);
// Makes every pause a sleep of milliseconds (0 stops it).
void DelayPlatformCalls(std::uint32_t milliseconds);
// Runs the pause, if any. For the layer's own calls.
void PlatformCallPause() noexcept;
// Counts one call; true when it is the one to fail. For the layer's own calls.
bool PlatformCallFails() noexcept;
