#include <ostream>
#include <string>

#include "framework/OxaMemory.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

// The report's lines end in "\r\n" (one in "\n\r"); printed, each ends in a plain line feed.
std::string ReportLines(const std::string& report)
{
  std::string lines;
  for (char c : report) {
    if (c != '\r') {
      lines += c;
    }
  }
  return lines;
}

}  // namespace

// A look at a shared heap that some process holds: read-only and without its mutex, so it never
// creates, changes or blocks the heap, and a heap being written meanwhile may show a torn state.
int RunHeap(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {});
  if (!arguments.Error().empty() || arguments.Positional().size() != 1) {
    err << "usage: oxa-lib heap NAME [--json]\n";
    return ExitUsage;
  }
  const std::string& name = arguments.Positional()[0];
  TOxaMappedMemory memory;
  TOxaMemoryManager manager;
  try {
    if (!memory.OpenReadOnly(name)) {
      err << "no such shared memory: " << name << '\n';
      return ExitFailure;
    }
    manager.Open(memory.Data(), memory.Size(), 0, false);
  } catch (const Exception& error) {
    err << name << ": " << error.Message() << '\n';
    return ExitFailure;
  }
  const std::string report = manager.Check();
  const auto nodes = manager.FreeNodes();
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("name")
        .String(name)
        .Key("size")
        .Number(manager.GetSize())
        .Key("used")
        .Number(manager.GetUsed())
        .Key("headerSize")
        .Number(manager.GetHeaderSize())
        .Key("freeNodes")
        .BeginArray();
    for (const auto& node : nodes) {
      json.BeginObject().Key("offset").Number(node.Offset).Key("size").Number(node.Size).EndObject();
    }
    json.EndArray().Key("check").String(report).EndObject();
  } else {
    out << "size: " << manager.GetSize() << '\n'
        << "used: " << manager.GetUsed() << '\n'
        << "header size: " << manager.GetHeaderSize() << '\n'
        << "free nodes: " << nodes.size() << '\n';
    for (const auto& node : nodes) {
      out << "  offset " << node.Offset << " size " << node.Size << '\n';
    }
    out << "check: " << (report.empty() ? "clean\n" : "damaged\n" + ReportLines(report));
  }
  return report.empty() ? ExitSuccess : ExitFailure;
}
