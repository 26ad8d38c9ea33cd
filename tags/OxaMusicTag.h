#pragma once
// The tag facade: the one place where the program learns what a music file holds. TOxaMusicTag
// picks the readers by the file's extension (".mp3": ID3v2, ID3v1, MPEG header and fingerprint;
// ".wma"/".asf": the WMA tagger and fingerprint; ".flac", ".ogg", ".oga", ".opus" and ".m4a":
// the TagLib tagger and fingerprint; anything else: the fingerprint alone), cleans
// the texts, fills what is missing with "Unknown", and writes edited values back through the
// same readers. TMusicFileItem is the record that carries one file's description between the
// scan, the library and the player.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/WinTypes.h"
#include "tags/ID3Version1Tagger.h"
#include "tags/ID3Version2Tagger2.h"
#include "tags/MPegHeader.h"
#include "tags/MusicCheckSum.h"
#include "tags/TagLibTagger.h"
#include "tags/WMATagger.h"

inline constexpr std::string_view UnknownText = "Unknown";

// One music file. The scan fills the path, the times and the size from the directory entry;
// ReadItem fills the rest. Texts are UTF-8.
struct TMusicFileItem {
  std::string FileName;  // full path and name
  std::string Title;     // "Unknown" when no tag gives one
  std::string Artist;    // "Unknown" when no tag gives one
  std::string Album;     // "Unknown" when no tag gives one
  std::string Comment;
  std::string Genre;      // genre name; "Unknown" when no tag gives one
  std::int32_t Year = 0;  // four digits; 0 when unknown
  std::int32_t Track = 0;
  std::int32_t Bitrate = 0;   // kbit/s; -1 for a variable bit rate; 0 when unknown
  std::int32_t Duration = 0;  // whole seconds; 0 when unknown
  FILETIME LastWriteTime{};
  FILETIME CreationTime{};
  std::uint64_t Size = 0;
  FILETIME LastAccessTime{};
  TMusicCheckSum Checksum{};
};

// Flac, Ogg and Mp4 are read and written by the TagLib tagger.
enum class TMusicKind : std::uint8_t { Other = 0, Mp3 = 1, Wma = 2, Flac = 3, Ogg = 4, Mp4 = 5 };

// Why a write of tags failed.
enum class TTagWriteFailure : std::uint8_t {
  None,
  Unreadable,   // missing, or its tags cannot be read
  NotTaggable,  // a file of a kind without tags the program writes, or WMA without its runtime
  ReadOnly,     // the file, its folder or its disk refuses writing
  NoSpace,      // the disk is full
  Locked,       // another program holds the file
  Failed,       // any other error of the system
};
// A short text for the reason: "the disk is full", "the file is read-only", ...
std::string_view TagWriteFailureText(TTagWriteFailure failure) noexcept;

class TOxaMusicTag {
 public:
  // Creates the readers; WmaAvailable tells whether the WMA runtime could be loaded.
  TOxaMusicTag();
  ~TOxaMusicTag();
  TOxaMusicTag(const TOxaMusicTag&) = delete;
  TOxaMusicTag& operator=(const TOxaMusicTag&) = delete;

  // Forgets the last file: texts empty, numbers and fingerprint zero, flags false.
  void Clear();
  // Reads the file through the readers of its kind. False when it cannot be read: an MP3 whose
  // tags cannot be read or that cannot be opened, a WMA file that cannot be opened or that the
  // runtime cannot read. While the runtime is missing a WMA file loads with "Unknown" texts, no
  // playing time and its fingerprint. Files of other kinds always load; their fingerprint stays
  // zero when they cannot be opened. A FLAC, Ogg or M4A file that TagLib cannot read as its
  // format (truncated, garbage, empty) does not load. A file that loads has a fingerprint that is not zero:
  // the window one, or where the audio has no varied window the fallback of
  // TOxaMusicCheckSum::ComputeFallback.
  bool Load(const std::string& fileName);
  // Fills the tag fields, numbers and fingerprint of item from its FileName: "Unknown" texts
  // and zeros first, then the ID3v2 values for an MP3 file with an ID3v2 tag (each field it
  // lacks, empty, "Unknown" or 0, taken from the ID3v1 tag where that has it), else those of the
  // ID3v1, WMA or TagLib tag. False, with the defaults in place, when the file cannot be read.
  bool ReadItem(TMusicFileItem& item);
  // Writes into the item's file the fields the user edited: those whose value differs both from
  // what ReadItem gives for the file and from the tag's raw text. "Unknown", empty texts and a
  // year or track of 0 are never written. A tag the file has gets only the edited fields; a tag
  // that is created (both ID3 tags of an MP3 file are) gets every field that has a value; the
  // TagLib kinds get the edited fields alone, in a new tag too. True
  // when there was nothing to write (the file is not touched). False for a read-only file, a
  // file of another kind, or a failed write; the file is then left as it was, both of an MP3
  // file's tags included, and WriteFailure tells why.
  bool WriteItem(const TMusicFileItem& item);
  TTagWriteFailure WriteFailure() const noexcept { return FWriteFailure; }

  // "_" becomes a blank, control characters go, blanks are collapsed and trimmed, the first
  // character is upper-cased when it is below U+0100; nothing left gives "Unknown".
  static std::string CleanText(std::string_view text);
  // A decimal year; 1-28 mean 2001-2028 and 29-99 mean 1929-1999; anything else is kept, and a
  // text that is no number gives 0.
  static std::int32_t CleanYear(std::string_view text);
  // The codec, sample size and rate of a FLAC, Ogg or M4A file's stream, for the quality line.
  // False for other kinds and for files that cannot be read.
  static bool ReadStreamFormat(const std::string& fileName, TTagLibStreamFormat& format);

  TMusicKind Kind() const noexcept { return FKind; }
  bool WmaAvailable() const noexcept { return FWmaAvailable; }
  bool HasId3v1() const noexcept { return FHasId3v1; }
  bool HasId3v2() const noexcept { return FHasId3v2; }
  bool HasWmaTag() const noexcept { return FHasWmaTag; }
  bool ReadOnly() const noexcept { return FReadOnly; }
  std::int32_t Bitrate() const noexcept { return FBitrate; }
  std::int32_t Duration() const noexcept { return FDuration; }
  const TMusicCheckSum& Checksum() const noexcept { return FChecksum; }

 private:
  // One tag's values, cleaned.
  struct TValueSet {
    std::int32_t Year = 0;
    std::int32_t Track = 0;
    std::string Genre;
    std::string Comment;
    std::string Title;
    std::string Artist;
    std::string Album;
  };

  // One tag's values as they stand in the file, before cleaning.
  struct TRawValues {
    std::string Year;
    std::int32_t Track = 0;
    std::string Genre;
    std::string Comment;
    std::string Title;
    std::string Artist;
    std::string Album;
  };
  enum TItemField : unsigned {
    ifTitle = 1,
    ifArtist = 2,
    ifAlbum = 4,
    ifComment = 8,
    ifGenre = 16,
    ifYear = 32,
    ifTrack = 64,
  };

  // Reading needs the file open once; a write needs the taggers bound to the file by name.
  enum class TLoadPurpose { Read, Write };

  bool Load(const std::string& fileName, TLoadPurpose purpose);
  bool LoadMp3(TLoadPurpose purpose);
  bool LoadWma();
  bool LoadTagLib(TTagLibFormat format);
  // A file of another kind: the fingerprint, and for a WAV file its playing time and bit rate.
  void LoadOther(bool wave);
  // The fingerprint of a WMA file, its audio starting after the ASF header; false when the
  // file cannot be opened.
  bool ComputeWmaChecksum();
  // The window search found nothing: the fallback fingerprint is due.
  bool NoWindowFound() const noexcept;
  bool Save();
  bool SaveMp3();
  bool SaveWma();
  bool SaveTagLib();
  static void CopyTo(const TValueSet& values, TMusicFileItem& item);
  // What an MP3 file with an ID3v2 tag shows: its values, each one it lacks taken from ID3v1.
  TValueSet Id3Shown() const;
  // The fields of item that differ from what the file shows and holds, placeholders left out.
  static unsigned EditedFields(const TMusicFileItem& item, const TValueSet& shown, const TRawValues& raw);
  // The fields that have a value worth putting into a new tag.
  static unsigned FieldsWithValues(const TValueSet& values);

  std::unique_ptr<TWMATagger> FWmaTagger;
  std::unique_ptr<TID3Version2Tagger2> FId3v2Tagger;
  std::unique_ptr<TID3Version1Tagger> FId3v1Tagger;
  std::unique_ptr<TMPegHeader> FMpegHeader;
  std::unique_ptr<TOxaMusicCheckSum> FCheckSum;
  std::unique_ptr<TTagLibTagger> FTagLibTagger;
  TTagLibFormat FTagLibFormat = TTagLibFormat::None;
  std::string FFileName;
  TMusicKind FKind = TMusicKind::Other;
  bool FWmaAvailable = false;
  bool FHasId3v1 = false;
  bool FHasId3v2 = false;
  bool FHasWmaTag = false;
  TValueSet FSetA;  // from ID3v2
  TValueSet FSetB;  // from ID3v1 or WMA
  TRawValues FRawA;
  TRawValues FRawB;
  unsigned FEdited = 0;  // TItemField bits WriteItem found edited
  std::int32_t FBitrate = 0;
  std::int32_t FDuration = 0;
  bool FReadOnly = false;
  TMusicCheckSum FChecksum{};
  TTagWriteFailure FWriteFailure = TTagWriteFailure::None;
};
