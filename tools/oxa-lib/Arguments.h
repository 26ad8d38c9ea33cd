#pragma once
// A small parser for a command's arguments: flags ("--json"), options with a value
// ("--dir D" or "--dir=D") and positional words, in any order.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/oxa-lib/Commands.h"

class TArguments {
 public:
  // flags: names taking no value; options: names taking one. Anything else starting with "--"
  // is a usage error, reported by Error().
  TArguments(TCommandArgs args, const std::set<std::string>& flags, const std::set<std::string>& options);

  bool Has(const std::string& flag) const { return FFlags.count(flag) != 0; }
  std::optional<std::string> Option(const std::string& name) const;
  const std::vector<std::string>& Positional() const noexcept { return FPositional; }
  // Empty when the arguments were well formed, else what was wrong.
  const std::string& Error() const noexcept { return FError; }

 private:
  std::set<std::string> FFlags;
  std::map<std::string, std::string> FOptions;
  std::vector<std::string> FPositional;
  std::string FError;
};
