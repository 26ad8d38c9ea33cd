// The program entry.
#include <cstdio>
#include <string>

#include "Music/form/Music.h"
#include "OxaIPC/OxaIpcApplication.h"
#include "forms/Forms.h"
#include "platform/display/Display.h"
#include "platform/windows/Metrics.h"

int main()
{
  // The program shows its windows on the X server DISPLAY names.
  InstallDisplay();
  // Without a display the windows would go to the memory screen and the program would run on
  // unseen for ever: it says so in one line, with the way to get a display, and stops before it
  // takes the lock or asks a host anything.
  if (const std::string missing = MissingDisplay(); !missing.empty()) {
    std::fprintf(stderr,
                 "oxanetmusic: no display (%s); on a machine without a desktop run: "
                 "xvfb-run -a -s '-screen 0 1024x768x24' oxanetmusic\n",
                 missing.c_str());
    return 1;
  }
  // What the bus unit does when it is loaded: take this executable's lock for the process's life.
  LockApplication(500);

  if (TMusicForm::AlreadyRunning()) {
    return 0;
  }
  Application().Initialize();
  Application().SetTitle("OxaNetMusic");
  auto* form = Application().CreateForm<TMusicForm>();
  if (form->Running()) {
    Application().Run();
  }
  Application().DestroyComponents();
  return 0;
}
