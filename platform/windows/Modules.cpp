#include "platform/windows/Modules.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/windows/Input.h"

namespace fs = std::filesystem;

namespace {

// dlopen counts loads itself; the table only tells a loaded module from a stray pointer, so a
// bad handle fails instead of reaching the dynamic loader.
struct TModuleTable {
  std::mutex Lock;
  std::map<void*, unsigned> Counts;  // guarded by Lock
};

TModuleTable& Modules()
{
  static TModuleTable table;
  return table;
}

// The platform's own "user32.dll": the window functions a program looks up at run time are
// this layer's, not a host library's.
const HMODULE BuiltInUser32 = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x75730000));

bool NamesBuiltInUser32(std::string_view moduleName)
{
  return moduleName.find_first_of("\\/") == std::string_view::npos &&
         ModuleHostFileName(moduleName) == "libuser32.so";
}

// The exports of libraries above this one (MessageBoxA draws text, so platform/display has it),
// added by the program as it starts.
struct TAddedExports {
  std::mutex Lock;
  std::vector<std::pair<std::string, FARPROC>> Exports;
};

TAddedExports& AddedExports()
{
  static TAddedExports added;
  return added;
}

FARPROC BuiltInUser32Export(std::string_view name)
{
  const struct {
    std::string_view Name;
    FARPROC Function;
  } exports[] = {
      {"TrackMouseEvent", reinterpret_cast<FARPROC>(&TrackMouseEvent)},
      {"mouse_event", reinterpret_cast<FARPROC>(&mouse_event)},
      {"SetCursorPos", reinterpret_cast<FARPROC>(&SetCursorPos)},
      {"GetCursorPos", reinterpret_cast<FARPROC>(&GetCursorPos)},
      {"GetAsyncKeyState", reinterpret_cast<FARPROC>(&GetAsyncKeyState)},
      {"GetKeyState", reinterpret_cast<FARPROC>(&GetKeyState)},
  };
  for (const auto& entry : exports) {
    if (entry.Name == name) {
      return entry.Function;
    }
  }
  TAddedExports& added = AddedExports();
  const std::lock_guard guard(added.Lock);
  for (const auto& [exported, function] : added.Exports) {
    if (exported == name) {
      return function;
    }
  }
  return nullptr;
}

fs::path ExecutableFolder()
{
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : executable.parent_path();
}

// An installation keeps the components in a folder of their own beside the programs' folder
// (<prefix>/bin/oxanetmusic finds <prefix>/lib/oxanetmusic/libwmvcore.so), so the lookup
// holds wherever the tree was installed and whatever the current folder is.
fs::path InstalledModuleFolder(const fs::path& executableFolder)
{
  if (executableFolder.empty()) {
    return {};
  }
  return executableFolder.parent_path() / OXA_COMPONENT_INSTALL_DIR;
}

bool IsFile(const fs::path& path)
{
  std::error_code error;
  return fs::is_regular_file(path, error);
}

fs::path FindModuleFile(std::string_view moduleName)
{
  const std::size_t slash = moduleName.find_last_of("\\/");
  const std::string hostName = ModuleHostFileName(moduleName);
  if (slash != std::string_view::npos) {
    std::string folder(moduleName.substr(0, slash));
    for (char& c : folder) {
      if (c == '\\') {
        c = '/';
      }
    }
    const fs::path candidate = fs::path(folder.empty() ? std::string("/") : folder) / hostName;
    return IsFile(candidate) ? candidate : fs::path();
  }
  for (const fs::path& folder : ModuleSearchFolders()) {
    if (!folder.empty() && IsFile(folder / hostName)) {
      return folder / hostName;
    }
  }
  return {};
}

}  // namespace

void AddBuiltInUser32Export(std::string_view name, FARPROC function)
{
  TAddedExports& added = AddedExports();
  const std::lock_guard guard(added.Lock);
  added.Exports.emplace_back(name, function);
}

std::string ModuleHostFileName(std::string_view moduleName)
{
  const std::size_t slash = moduleName.find_last_of("\\/");
  std::string name(slash == std::string_view::npos ? moduleName : moduleName.substr(slash + 1));
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  if (name.size() > 4 && name.ends_with(".dll")) {
    name.resize(name.size() - 4);
  }
  if (name.ends_with(".so")) {
    return name;
  }
  return "lib" + name + ".so";
}

std::vector<fs::path> ModuleSearchFolders()
{
  const fs::path executable = ExecutableFolder();
  return {executable, InstalledModuleFolder(executable), SystemModuleFolder()};
}

fs::path SystemModuleFolder()
{
  return MachineFolder() / "windows" / "system32";
}

HMODULE LoadLibraryA(const char* fileName)
{
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (NamesBuiltInUser32(fileName)) {
    TModuleTable& table = Modules();
    const std::lock_guard guard(table.Lock);
    ++table.Counts[BuiltInUser32];
    return BuiltInUser32;
  }
  const fs::path file = FindModuleFile(fileName);
  if (file.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    // The loader's reason (a missing dependency, a foreign architecture) is worth a line.
    const char* reason = dlerror();
    PlatformTrace(std::string("LoadLibraryA: ") + (reason != nullptr ? reason : file.string()));
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  TModuleTable& table = Modules();
  const std::lock_guard guard(table.Lock);
  ++table.Counts[library];
  return static_cast<HMODULE>(library);
}

FARPROC GetProcAddress(HMODULE module, const char* procName)
{
  {
    TModuleTable& table = Modules();
    const std::lock_guard guard(table.Lock);
    if (table.Counts.count(module) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
  }
  if (procName == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (module == BuiltInUser32) {
    const FARPROC function = BuiltInUser32Export(procName);
    if (function == nullptr) {
      SetLastError(ERROR_PROC_NOT_FOUND);
    }
    return function;
  }
  void* symbol = dlsym(module, procName);
  if (symbol == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module)
{
  TModuleTable& table = Modules();
  const std::lock_guard guard(table.Lock);
  const auto entry = table.Counts.find(module);
  if (entry == table.Counts.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--entry->second == 0) {
    table.Counts.erase(entry);
  }
  if (module != BuiltInUser32) {
    dlclose(module);
  }
  return TRUE;
}

TModule::~TModule()
{
  if (FModule != nullptr) {
    FreeLibrary(FModule);
  }
}

TModule& TModule::operator=(TModule&& other) noexcept
{
  if (this != &other) {
    if (FModule != nullptr) {
      FreeLibrary(FModule);
    }
    FModule = other.FModule;
    other.FModule = nullptr;
  }
  return *this;
}
