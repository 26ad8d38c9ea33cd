#pragma once
// Covers scaled once and kept on disk: the scaled picture of a cover's bytes, as a 24-bit BMP in
// a folder of the library (Covers\), named after the SHA-256 of the bytes and the box size, so
// the same picture in many files is decoded once and a changed picture never meets a stale
// entry. The folder can be thrown away at any time: a missing or unreadable entry is decoded
// again and rewritten (temporary file and rename). Entries are never trusted further than the
// BMP reader's checks and their size.
//
// One cache object belongs to one thread; two caches on the same folder (two threads, two
// processes) only ever rename whole entries over each other.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/windows/Surface.h"

class TCoverCache {
 public:
  // The sub-folder of the library folder the cache lives in.
  static constexpr const char* FolderName = "Covers";

  // folder: where the entries go (a Windows path); made when the first entry is written. An
  // empty folder keeps nothing: every Get decodes.
  explicit TCoverCache(const std::string& folder);

  // The cache folder of a library folder.
  static std::string FolderOf(const std::string& libraryFolder);

  const std::string& Folder() const noexcept { return FFolder; }
  // The entry file for the bytes scaled to the box.
  std::string EntryName(std::span<const std::uint8_t> bytes, LONG boxWidth, LONG boxHeight) const;

  // The picture scaled to fit the box: the stored entry when it reads back with the right size,
  // else decoded, scaled and stored. Null when the bytes are no picture (nothing is stored). A
  // failure to store still gives the picture.
  std::unique_ptr<TSurface> Get(std::span<const std::uint8_t> bytes, LONG boxWidth, LONG boxHeight);

  // Entries read from disk and pictures decoded, since the cache was made.
  int Hits() const noexcept { return FHits; }
  int Decodes() const noexcept { return FDecodes; }

 private:
  std::string FFolder;
  int FHits = 0;
  int FDecodes = 0;
};
