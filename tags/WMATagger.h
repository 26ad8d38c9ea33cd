#pragma once
// TWMATagger: the descriptive attributes of ".wma" and ".asf" files, read and written through the
// media-format runtime "WMVCore.dll". The runtime is loaded by name when the tagger is created;
// without it (or its export WMCreateEditor) Available is false, every Open fails, and the
// program carries on without describing WMA files.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WMFormat.h"
#include "platform/windows/Modules.h"

class TWMATagger {
 public:
  static constexpr const char* RuntimeName = "WMVCore.dll";
  // A text attribute's 16-bit byte count must hold the text and its terminating zero.
  static constexpr std::size_t MaxTextLength = 32766;

  TWMATagger();
  ~TWMATagger();
  TWMATagger(const TWMATagger&) = delete;
  TWMATagger& operator=(const TWMATagger&) = delete;

  // Closes any earlier file, opens this one (a Windows or host path, UTF-8; the runtime is given
  // the host path) and reads its attributes. False when the runtime is missing or cannot open
  // the file. Texts start empty, Track 0, Duration and Bitrate -1; an attribute the file lacks
  // leaves its field so. The track is "WM/TrackNumber" (1-based, a number or a text starting
  // with one) when the file has it, else "WM/Track".
  bool Open(const std::string& fileName);
  void Close();
  // Writes the fields given to a setter since Open into the open file ("WM/TrackNumber" and
  // "WM/Track" for the track) and flushes it. False when no file is open, any attribute was
  // refused, or the file could not be rewritten (it is then unchanged). A refused attribute does
  // not stop the others.
  bool Save();

  bool Available() const noexcept { return FAvailable; }

  const std::u16string& Album() const noexcept { return FAlbum; }
  const std::u16string& Year() const noexcept { return FYear; }
  const std::u16string& Title() const noexcept { return FTitle; }
  const std::u16string& Genre() const noexcept { return FGenre; }
  // Seconds; -1 when not read.
  int Duration() const noexcept { return FDuration; }
  // kbit/s; -1 when not read.
  int Bitrate() const noexcept { return FBitrate; }
  const std::u16string& Author() const noexcept { return FAuthor; }
  const std::u16string& Description() const noexcept { return FDescription; }
  int Track() const noexcept { return FTrack; }

  void SetAlbum(std::u16string value) { Assign(FAlbum, std::move(value), sfAlbum); }
  void SetYear(std::u16string value) { Assign(FYear, std::move(value), sfYear); }
  void SetTitle(std::u16string value) { Assign(FTitle, std::move(value), sfTitle); }
  void SetGenre(std::u16string value) { Assign(FGenre, std::move(value), sfGenre); }
  void SetAuthor(std::u16string value) { Assign(FAuthor, std::move(value), sfAuthor); }
  void SetDescription(std::u16string value) { Assign(FDescription, std::move(value), sfDescription); }
  void SetTrack(int value) noexcept { Assign(FTrack, value, sfTrack); }

 private:
  enum TSetField : unsigned {
    sfTitle = 1,
    sfAuthor = 2,
    sfDescription = 4,
    sfGenre = 8,
    sfYear = 16,
    sfAlbum = 32,
    sfTrack = 64,
  };
  template <class T>
  void Assign(T& field, T value, TSetField set)
  {
    field = std::move(value);
    FSet |= set;
  }
  bool ReadTrack();
  bool ReadAttribute(std::u16string_view name, WMT_ATTR_DATATYPE& type, std::vector<BYTE>& value);
  bool ReadNumber(std::u16string_view name, int& field);
  bool ReadText(std::u16string_view name, std::u16string& field);
  bool WriteText(std::u16string_view name, const std::u16string& text);
  bool WriteNumber(std::u16string_view name, int value);

  TModule FLibrary;  // declared first: the runtime's objects go before the runtime itself
  bool FAvailable = false;
  TComPtr<IWMMetadataEditor> FEditor;
  TComPtr<IWMHeaderInfo> FHeaderInfo;
  std::u16string FAlbum;
  std::u16string FYear;
  std::u16string FTitle;
  std::u16string FGenre;
  int FDuration = -1;
  int FBitrate = -1;
  std::u16string FAuthor;
  std::u16string FDescription;
  int FTrack = 0;
  unsigned FSet = 0;  // TSetField bits given since Open
};
