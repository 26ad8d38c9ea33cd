#include "tools/oxa-lib/Arguments.h"

TArguments::TArguments(TCommandArgs args, const std::set<std::string>& flags,
                       const std::set<std::string>& options)
{
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      FPositional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> value;
    if (const auto equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.erase(equals);
    }
    if (flags.count(name) != 0 && !value) {
      FFlags.insert(name);
    } else if (options.count(name) != 0) {
      if (!value) {
        if (i + 1 >= args.size()) {
          FError = "option --" + name + " needs a value";
          return;
        }
        value = args[++i];
      }
      FOptions[name] = *value;
    } else {
      FError = "unknown option " + arg;
      return;
    }
  }
}

std::optional<std::string> TArguments::Option(const std::string& name) const
{
  const auto found = FOptions.find(name);
  if (found == FOptions.end()) {
    return std::nullopt;
  }
  return found->second;
}
