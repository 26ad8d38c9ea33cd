// The program entry.
#include "Music/Music.h"
#include "OxaIPC/OxaIpcApplication.h"
#include "forms/Forms.h"

int main()
{
  // What the bus unit does when it is loaded: take this executable's lock for the process's life.
  LockApplication(500);

  if (TMusicForm::AlreadyRunning()) {
    return 0;
  }
  Application().Initialize();
  Application().SetTitle("OxaNetMusic");
  auto* form = Application().CreateForm<TMusicForm>();
  if (form->Running) {
    Application().Run();
  }
  Application().DestroyComponents();
  return 0;
}
