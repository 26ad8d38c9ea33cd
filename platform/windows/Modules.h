#pragma once
// Loading shared libraries by their Windows module name at run time, for the external components
// the program can live without.
//
// A module name maps to a host library file: the file name part is lower-cased, a ".dll"
// extension dropped, "lib" put in front and ".so" behind ("WMVCore.dll" is "libwmvcore.so").
// A name with a folder is looked for in that folder only; a bare name in the executable's folder
// (where the build puts the components), then in the installation's component folder beside the
// executable's (<prefix>/lib/oxanetmusic for <prefix>/bin), and then in the machine's system
// folder (SystemModuleFolder), where a test puts the components it wants found. The executable
// is the running file itself (/proc/self/exe), so the current folder plays no part.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

// The module, loaded once per process and counted; null with ERROR_MOD_NOT_FOUND when no file is
// found, ERROR_BAD_EXE_FORMAT when the file is not a loadable library.
HMODULE LoadLibraryA(const char* fileName);
// The exported function, or null with ERROR_PROC_NOT_FOUND (ERROR_INVALID_HANDLE for a module
// that is not loaded).
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Drops one count; the library is unloaded with the last.
BOOL FreeLibrary(HMODULE module);
// Adds a function of a library above this one to the built-in "user32.dll" (the first export of
// a name wins; the window and input functions are there already).
void AddBuiltInUser32Export(std::string_view name, FARPROC function);

// One load of a module, freed with its holder.
class TModule {
 public:
  TModule() noexcept = default;
  explicit TModule(HMODULE module) noexcept : FModule(module) {}
  ~TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;
  TModule(TModule&& other) noexcept : FModule(other.FModule) { other.FModule = nullptr; }
  TModule& operator=(TModule&& other) noexcept;

  HMODULE Get() const noexcept { return FModule; }
  explicit operator bool() const noexcept { return FModule != nullptr; }

 private:
  HMODULE FModule = nullptr;
};

// The host file name a module name maps to ("WMVCore.dll" -> "libwmvcore.so").
std::string ModuleHostFileName(std::string_view moduleName);
// The folders a bare module name is looked for in, first first (one may be empty).
std::vector<std::filesystem::path> ModuleSearchFolders();
// <machine>/windows/system32.
std::filesystem::path SystemModuleFolder();
