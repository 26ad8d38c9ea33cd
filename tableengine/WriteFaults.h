#pragma once
// The test-only switch that makes one write of the table engine fail, so the tests of every
// writer above it can show that a failure leaves the library as it was (loop N = 1, 2, ... until
// a run makes fewer than N writes). SQLite's own file I/O is beyond the platform layer's fault
// seam, so the engine counts at its door instead: every step of a statement that changes rows
// and every COMMIT. Opening a database (its pragmas and bookkeeping) is not counted, nor is a
// ROLLBACK, which must be able to undo the failure. The failing write does nothing and raises
// ESqliteError as SQLite does for a failed disk write. Process-wide; never set outside tests.

#include <cstdint>

// Arms the switch: the nth counted write from now fails (once); 0 disarms it. Resets the count.
void FailNthTableWrite(std::uint32_t n) noexcept;
// Counted writes since the switch was last armed.
std::uint32_t CountedTableWrites() noexcept;
// Counts one write and raises when it is the one to fail. For the engine's own writes.
void CountTableWrite();
