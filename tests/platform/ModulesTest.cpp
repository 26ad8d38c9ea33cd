#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/windows/Modules.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

TEST(Modules, ModuleNamesMapToHostLibraryFiles)
{
  const struct {
    const char* Module;
    const char* Host;
  } cases[] = {
      {"WMVCore.dll", "libwmvcore.so"},
      {"OxaAud.DLL", "liboxaaud.so"},
      {"C:\\Program Files\\Kit\\Thing.dll", "libthing.so"},
      {"plain", "libplain.so"},
      {"libready.so", "libready.so"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModuleHostFileName(c.Module), c.Host) << c.Module;
  }
}

TEST(Modules, AMissingModuleOrExportIsReportedNotFatal)
{
  TTempMachine machine;
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("NoSuchComponent.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

  // A file that is not a library is found but refused.
  fs::create_directories(SystemModuleFolder());
  TTempFolder folder;
  folder.WriteFile("libbroken.so", "not a library");
  fs::copy_file(folder.Path() / "libbroken.so", SystemModuleFolder() / "libbroken.so");
  EXPECT_EQ(LoadLibraryA("Broken.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);

  int stray = 0;
  EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&stray), "Anything"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(FreeLibrary(reinterpret_cast<HMODULE>(&stray)), FALSE);
}

// A bare name is looked for beside the running executable, then in the installation's component
// folder beside the executable's folder, then in the machine's system folder; the current folder
// plays no part.
TEST(Modules, BareNamesAreLookedForFromTheExecutableNotTheCurrentFolder)
{
  TTempMachine machine;
  const fs::path executable = fs::read_symlink("/proc/self/exe").parent_path();
  const std::vector<fs::path> expected = {executable, executable.parent_path() / "lib" / "oxanetmusic",
                                          SystemModuleFolder()};
  EXPECT_EQ(ModuleSearchFolders(), expected);
  const fs::path here = fs::current_path();
  fs::current_path(machine.Scratch());
  EXPECT_EQ(ModuleSearchFolders(), expected);
  fs::current_path(here);
}
