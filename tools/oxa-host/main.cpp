// oxa-host [--group G] [COMMAND [ARGUMENTS] [--call] [--json]]

#include <iostream>
#include <string>

#include "tools/oxa-host/Host.h"

namespace {

const char* const Usage =
    "usage: oxa-host [--group G]                  stay on the bus as the host (Ctrl+C or 'quit' ends)\n"
    "       oxa-host open [A B C] [--call]        ask the source to open\n"
    "       oxa-host close [A B] [--call]         ask the source to close\n"
    "       oxa-host key NAME [SENDER TARGET EXTRA] [--call]\n"
    "       oxa-host playfile TEXT [--call]\n"
    "       oxa-host scan|updatescan|info A B [--call]\n"
    "       oxa-host hide [--call]\n"
    "       oxa-host status [--json]              the records the source published\n"
    "       oxa-host watch                        every notification on the bus\n"
    "       oxa-host gui shown|hidden             the resident host's window state\n"
    "       oxa-host register                     this program behind Pyrmel;SourceControl\n"
    "       oxa-host quit                         ends the resident host\n";

}  // namespace

int main(int argc, char** argv)
{
  THostOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--call") {
      options.Call = true;
    } else if (word == "--json") {
      options.Json = true;
    } else if (word == "--group" && i + 1 < argc) {
      options.Group = argv[++i];
    } else if (word == "--help" || word == "-h") {
      std::cout << Usage;
      return HostSuccess;
    } else if (word.rfind("--", 0) == 0) {
      std::cerr << "oxa-host: unknown option " << word << '\n' << Usage;
      return HostUsage;
    } else {
      options.Words.push_back(word);
    }
  }
  try {
    if (options.Words.empty()) {
      return RunResident(options, std::cout, std::cerr);
    }
    return RunShort(options, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "oxa-host: " << error.what() << '\n';
    return HostFailure;
  }
}
