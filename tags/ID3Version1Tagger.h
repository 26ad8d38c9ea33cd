#pragma once
// TID3Version1Tagger: the 128-byte ID3v1.1 tag at the end of an MP3 file, read and written.
// Texts are the program's UTF-8; in the file they are ISO-8859-1 (a character that does not fit
// is written as "?").

#include <array>
#include <cstdint>
#include <string>

#include "platform/core/WinTypes.h"
#include "rtl/Stream.h"
#include "tags/ID3Genres.h"
#include "tags/TagFiles.h"

class TID3Version1Tagger {
 public:
  static constexpr int TagSize = 128;
  using TTagBytes = std::array<std::uint8_t, TagSize>;

  void Clear();

  // Reads the tag of the file. False when the file cannot be opened or is shorter than 128
  // bytes; true otherwise, with HasTag telling whether the file ends in a tag.
  bool Load(const std::string& fileName);
  // As Load, from any stream (the stream's last 128 bytes); FileName stays as it is.
  bool LoadFromStream(TStream& stream);

  // Writes the fields when Modified (otherwise returns true at once): over the old tag, or
  // appended when the file had none. A read-only file is made writable and stays so. False when
  // the file is missing, stays read-only or cannot be written; a failed append is cut off again,
  // so the file keeps its old size.
  bool Save();

  // The 128 bytes Save writes: the tag as read with the changed fields written over it, or, for a
  // file without a tag, every field.
  TTagBytes Compose() const;
  // The file now ends in these bytes, written by another writer (the ID3v2 tagger's tail): the
  // tagger takes them as its tag, unmodified.
  void Saved(const TTagBytes& bytes);
  // The system error (GetLastError) of the last failed Save; ERROR_SUCCESS after one that worked.
  DWORD SaveError() const noexcept { return FSaveError; }

  const std::string& FileName() const noexcept { return FFileName; }
  const std::string& Title() const noexcept { return FTitle; }
  const std::string& Artist() const noexcept { return FArtist; }
  const std::string& Album() const noexcept { return FAlbum; }
  const std::string& Year() const noexcept { return FYear; }
  const std::string& Comment() const noexcept { return FComment; }
  int Track() const noexcept { return FTrack; }
  int Genre() const noexcept { return FGenre; }
  bool Modified() const noexcept { return FModified; }
  bool HasTag() const noexcept { return FHasTag; }

  // Each setter marks the tag modified only when the value changes (texts compared exactly).
  void SetTitle(const std::string& value) { Assign(FTitle, value, cfTitle); }
  void SetArtist(const std::string& value) { Assign(FArtist, value, cfArtist); }
  void SetAlbum(const std::string& value) { Assign(FAlbum, value, cfAlbum); }
  void SetYear(const std::string& value) { Assign(FYear, value, cfYear); }
  void SetComment(const std::string& value) { Assign(FComment, value, cfComment); }
  void SetTrack(int value) { Assign(FTrack, value, cfTrack); }
  void SetGenre(int value) { Assign(FGenre, value, cfGenre); }

  // Test seam: the stream Save writes through (default: the file, opened for reading and writing).
  void SetCreateStream(TCreateFileStream create) { FCreateStream = std::move(create); }

 private:
  enum TChangedField : unsigned {
    cfTitle = 1,
    cfArtist = 2,
    cfAlbum = 4,
    cfYear = 8,
    cfComment = 16,
    cfTrack = 32,
    cfGenre = 64,
  };
  template <class T>
  void Assign(T& field, const T& value, TChangedField changed)
  {
    if (field != value) {
      field = value;
      FModified = true;
      FChanged |= changed;
    }
  }
  void ClearFields();
  bool WriteTag(TStream& stream, const TTagBytes& bytes) const;

  std::string FFileName;
  std::string FTitle;
  std::string FArtist;
  int FTrack = 0;
  std::string FAlbum;
  std::string FYear;
  int FGenre = Id3NoGenre;
  std::string FComment;
  bool FModified = false;
  unsigned FChanged = 0;
  bool FHasTag = false;
  TTagBytes FRaw{};  // the tag as read
  TCreateFileStream FCreateStream;
  DWORD FSaveError = 0;
};
