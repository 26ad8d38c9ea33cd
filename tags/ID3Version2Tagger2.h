#pragma once
// TID3Version2Tagger2: the program's view of an ID3v2 tag — title, artist, album, year,
// comment, genre and track — over the frames TIT2, TPE1, TALB, TYER, COMM, TCON and TRCK.
// Texts are UTF-8. It also creates a tag in a file that has none.

#include <memory>
#include <string>

#include "tags/ID3Genres.h"
#include "tags/id3v2.h"

class TID3Version2Tagger2 {
 public:
  // Fields to defaults (Genre 0), HasTag and Modified false; the tag object stays.
  void Clear();

  // Reads the ID3v2 tag at the start of the file: ID3v2.3, or ID3v2.2 and v2.4 converted to
  // ID3v2.3 frames (a save then replaces that tag by an ID3v2.3 one). True when the file could
  // be read, whether or not it holds a tag (HasTag tells); false when it cannot be opened.
  bool Load(const std::string& fileName);
  // As Load from a stream (fuzzing and tests); the tag remembers fileName for a later Save.
  bool LoadFromStream(TStream& stream, const std::string& fileName);

  // Writes the fields whose setters changed them into the tag and the tag into the file,
  // creating the tag when the file has none. Fields left alone, empty texts and a track of 0 or
  // less leave their frames as they were; with nothing to write the file is not touched. Only the
  // comment frame that was read is rewritten (added when there is none). A changed track keeps
  // the "/total" of the old text. False when there is no tag object, the file is missing or
  // read-only, or the save fails; the file is then unchanged.
  bool Save();
  // What SaveWithTail did.
  enum class TSaveResult { Failed, Saved, NothingToWrite };
  // As Save, with the tail (an ID3v1 tag) written into the file in the same all-or-nothing step
  // (Tid3v2tag::SaveToFile). With nothing of its own to write it writes nothing, the tail neither,
  // and says so. SaveError tells why a save failed.
  TSaveResult SaveWithTail(const TId3FileTail& tail);
  DWORD SaveError() const noexcept { return FSaveError; }

  bool HasTagObject() const noexcept { return FTag != nullptr; }
  Tid3v2tag* Tag() noexcept { return FTag.get(); }

  const std::string& FileName() const noexcept { return FFileName; }
  const std::string& Title() const noexcept { return FTitle; }
  const std::string& Artist() const noexcept { return FArtist; }
  const std::string& Album() const noexcept { return FAlbum; }
  const std::string& Year() const noexcept { return FYear; }
  const std::string& Comment() const noexcept { return FComment; }
  // The raw TCON text.
  const std::string& GenreText() const noexcept { return FGenreText; }
  int Genre() const noexcept { return FGenre; }
  int Track() const noexcept { return FTrack; }
  bool Modified() const noexcept { return FModified; }
  bool HasTag() const noexcept { return FHasTag; }

  // Each setter marks the tagger modified only when the value changes (texts compared exactly).
  void SetTitle(const std::string& value) { Assign(FTitle, value, cfTitle); }
  void SetArtist(const std::string& value) { Assign(FArtist, value, cfArtist); }
  void SetAlbum(const std::string& value) { Assign(FAlbum, value, cfAlbum); }
  void SetYear(const std::string& value) { Assign(FYear, value, cfYear); }
  void SetComment(const std::string& value) { Assign(FComment, value, cfComment); }
  void SetGenreText(const std::string& value) { Assign(FGenreText, value, cfGenre); }
  void SetGenre(int value) { Assign(FGenre, value, cfGenre); }
  void SetTrack(int value) { Assign(FTrack, value, cfTrack); }

  // The genre number a TCON text names: "(17)" and "(17)Rock" give 17; anything else 255.
  static int GenreFromText(const std::string& text) noexcept;
  // The leading decimal number of a TRCK text ("3/12" gives 3); 0 when it starts with none.
  static int TrackFromText(const std::string& text) noexcept;
  // The TRCK text for a new track number: the number, then the "/total" of the old text if any.
  static std::string TrackText(int track, const std::string& oldText);
  // The raw TRCK text as read.
  const std::string& TrackTextRead() const noexcept { return FTrackText; }

 private:
  enum TChangedField : unsigned {
    cfTitle = 1,
    cfArtist = 2,
    cfAlbum = 4,
    cfYear = 8,
    cfComment = 16,
    cfGenre = 32,
    cfTrack = 64,
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
  bool Changed(TChangedField field) const noexcept { return (FChanged & field) != 0; }
  // The file starts with an ID3v2.2 or v2.4 tag, read through the converting reader.
  bool OtherVersion() const noexcept;
  void ReadFields();
  bool SeedTag();

  std::string FFileName;
  std::unique_ptr<Tid3v2tag> FTag;
  std::string FTitle;
  std::string FArtist;
  int FTrack = 0;
  std::string FAlbum;
  std::string FYear;
  int FGenre = 0;
  std::string FGenreText;
  std::string FComment;
  std::string FTrackText;
  bool FModified = false;
  unsigned FChanged = 0;
  bool FHasTag = false;
  DWORD FSaveError = 0;
};
