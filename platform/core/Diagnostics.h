#pragma once
// Diagnostic lines of the platform layer (a hive set aside as corrupt, a drive table that could
// not be read). The layer sits below the program's trace facility, so the program hands it a
// sink; until then lines go to standard error.

#include <functional>
#include <string_view>

using TPlatformTraceSink = std::function<void(std::string_view line)>;

// Replaces the sink (an empty function restores standard error). Not for concurrent use with
// PlatformTrace: set it once at start-up or in a test's set-up.
void SetPlatformTraceSink(TPlatformTraceSink sink);

void PlatformTrace(std::string_view line) noexcept;
