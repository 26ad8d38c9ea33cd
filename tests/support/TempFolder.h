#pragma once
// Throw-away folders and machines for tests: each test gets its own, removed afterwards, so
// tests run in parallel and never touch the user's files.

#include <filesystem>
#include <string>
#include <vector>

// A fresh, empty folder under the system's temporary folder; removed with its contents.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const noexcept { return FPath; }
  // Writes a file (creating its folders) and returns its path.
  std::filesystem::path WriteFile(const std::string& relative, const std::string& content) const;

 private:
  std::filesystem::path FPath;
};

// A throw-away machine: points OXA_MACHINE at a fresh folder for the test's lifetime and puts
// the previous value back afterwards. HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_DESKTOP_DIR
// point into Home() meanwhile, so nothing a test does reaches the user's real home (the default
// C: drive, the shell folders "AppData" and "Desktop"). Without a display (DISPLAY unset) it asks
// for the memory screen (OXA_DISPLAY=headless), so the program started by a test runs on it
// instead of refusing to start.
class TTempMachine {
 public:
  TTempMachine();
  ~TTempMachine();
  TTempMachine(const TTempMachine&) = delete;
  TTempMachine& operator=(const TTempMachine&) = delete;

  std::filesystem::path Folder() const { return FRoot.Path() / "machine"; }
  // A folder beside the machine for the test's own files (drives, music).
  std::filesystem::path Scratch() const { return FRoot.Path() / "scratch"; }
  // The stand-in home folder.
  std::filesystem::path Home() const { return FRoot.Path() / "home"; }

 private:
  struct TSavedVariable {
    std::string Name;
    std::string Value;
    bool Had = false;
  };
  void Redirect(const char* name, const std::string& value);

  TTempFolder FRoot;
  std::vector<TSavedVariable> FSaved;
};

// The source tree, for tests that read stored data (tests/data/...).
std::filesystem::path SourceFolder();
