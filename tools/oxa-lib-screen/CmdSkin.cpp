#include <ostream>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "skin/OxaSkin.h"
#include "tools/oxa-lib-screen/SkinSheet.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

constexpr const char* kUsage =
    "usage: oxa-lib skin list [--store S] [--json] | skin show NAME --png FILE | skin sheet FILE.png | "
    "skin cursors FILE.png\n";

int List(const TArguments& arguments, std::ostream& out, std::ostream& err)
{
  const std::string only = arguments.Option("store").value_or("");
  if (!only.empty() && !OxaSkinStore(only)) {
    err << "no such store: " << only << '\n';
    return ExitFailure;
  }
  const bool json = arguments.Has("json");
  TJsonWriter writer(json ? out : err);
  if (json)
    writer.BeginArray();
  for (const std::string& storeName : OxaSkinStoreNames()) {
    if (!only.empty() && only != storeName)
      continue;
    TOxaBitmaps store(nullptr);
    store.ReadData(*OxaSkinStore(storeName));
    for (int i = 0; i < store.Count(); ++i) {
      TOxaBitmap* image = store.Bitmaps(i);
      if (json) {
        writer.BeginObject().Key("store").String(storeName).Key("name").String(store.Names(i));
        writer.Key("width").Number(image->ImageWidth()).Key("height").Number(image->ImageHeight());
        writer.Key("format").Number(image->PixelFormat()).EndObject();
      } else {
        out << storeName << ' ' << store.Names(i) << ' ' << image->ImageWidth() << 'x' << image->ImageHeight()
            << '\n';
      }
    }
  }
  if (json)
    writer.EndArray();
  return ExitSuccess;
}

int Show(const TArguments& arguments, std::ostream& err)
{
  const std::string file = arguments.Option("png").value_or("");
  if (arguments.Positional().size() != 2 || file.empty()) {
    err << kUsage;
    return ExitUsage;
  }
  const std::string& name = arguments.Positional()[1];
  for (const std::string& storeName : OxaSkinStoreNames()) {
    TOxaBitmaps store(nullptr);
    store.ReadData(*OxaSkinStore(storeName));
    if (TOxaBitmap* image = store.Find(name)) {
      if (!WriteSkinPng(file, SkinImagePicture(*image))) {
        err << "cannot write " << file << '\n';
        return ExitFailure;
      }
      return ExitSuccess;
    }
  }
  err << "no such image: " << name << '\n';
  return ExitFailure;
}

}  // namespace

// The compiled skin, as the program carries it.
int RunSkin(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"store", "png"});
  if (!arguments.Error().empty() || arguments.Positional().empty()) {
    err << kUsage;
    return ExitUsage;
  }
  const std::string& action = arguments.Positional()[0];
  if (action == "list" && arguments.Positional().size() == 1)
    return List(arguments, out, err);
  if (action == "show")
    return Show(arguments, err);
  if ((action == "sheet" || action == "cursors") && arguments.Positional().size() == 2) {
    const std::string& file = arguments.Positional()[1];
    if (!WriteSkinPng(file, action == "sheet" ? SkinSheet() : SkinCursorSheet())) {
      err << "cannot write " << file << '\n';
      return ExitFailure;
    }
    return ExitSuccess;
  }
  err << kUsage;
  return ExitUsage;
}
