#pragma once
// oxa-host: a host player on the bus, for people and tests. The resident host ("oxa-host" alone)
// serves "Pyrmel" and "SourceControl"; the short commands speak to the source "VuDirAzuzo"
// through a temporary client.

#include <ostream>
#include <string>
#include <vector>

constexpr int HostSuccess = 0;
constexpr int HostFailure = 1;
constexpr int HostUsage = 2;

struct THostOptions {
  std::string Group = "VantelPC";
  bool Call = false;
  bool Json = false;
  std::vector<std::string> Words;  // the command and its arguments
};

int RunResident(const THostOptions& options, std::ostream& out, std::ostream& err);
int RunShort(const THostOptions& options, std::ostream& out, std::ostream& err);
// Handles window messages for a while.
void HostPump(unsigned milliseconds);
