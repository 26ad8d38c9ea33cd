#pragma once
// Throw-away folders and machines for tests: each test gets its own, removed afterwards, so
// tests run in parallel and never touch the user's files.

#include <filesystem>
#include <string>

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
// the previous value back afterwards.
class TTempMachine {
public:
  TTempMachine();
  ~TTempMachine();
  TTempMachine(const TTempMachine&) = delete;
  TTempMachine& operator=(const TTempMachine&) = delete;

  std::filesystem::path Folder() const { return FRoot.Path() / "machine"; }
  // A folder beside the machine for the test's own files (drives, music).
  std::filesystem::path Scratch() const { return FRoot.Path() / "scratch"; }

private:
  TTempFolder FRoot;
  std::string FPrevious;
  bool FHadPrevious = false;
};

// The source tree, for tests that read stored data (tests/data/...).
std::filesystem::path SourceFolder();
