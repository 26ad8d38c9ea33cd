#include "tags/WMATagger.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/files/Paths.h"
#include "platform/files/WidePaths.h"
#include "rtl/Utf8.h"

namespace {

constexpr std::u16string_view TitleName = u"Title";
constexpr std::u16string_view AuthorName = u"Author";
constexpr std::u16string_view DescriptionName = u"Description";
constexpr std::u16string_view GenreName = u"WM/Genre";
constexpr std::u16string_view YearName = u"WM/Year";
constexpr std::u16string_view AlbumName = u"WM/AlbumTitle";
constexpr std::u16string_view TrackName = u"WM/Track";
constexpr std::u16string_view TrackNumberName = u"WM/TrackNumber";
constexpr std::u16string_view DurationName = u"Duration";
constexpr std::u16string_view BitrateName = u"Bitrate";

// The runtime counts time in 100 ns units: 256 x 39062.5 = 10,000,000 of them make a second.
constexpr int DurationShift = 8;
constexpr double DurationUnitsPerSecondShifted = 39062.5;
constexpr std::uint64_t BitsPerKilobit = 1000;

std::uint64_t LittleEndian(const std::vector<BYTE>& value, std::size_t size)
{
  std::uint64_t number = 0;
  for (std::size_t i = 0; i < size; ++i) {
    number |= static_cast<std::uint64_t>(value[i]) << (8 * i);
  }
  return number;
}

int ClampToInt(std::int64_t value)
{
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// A number shorter than its type is damaged and not read at all.
bool WellFormed(WMT_ATTR_DATATYPE type, const std::vector<BYTE>& value)
{
  switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      return value.size() >= 4;
    case WMT_TYPE_QWORD:
      return value.size() >= 8;
    case WMT_TYPE_WORD:
      return value.size() >= 2;
    default:
      return true;
  }
}

// The numeric value of a well-formed attribute with the conversions of "Duration" and "Bitrate";
// false for types without a number.
bool NumberOf(std::u16string_view name, WMT_ATTR_DATATYPE type, const std::vector<BYTE>& value, int& number)
{
  switch (type) {
    case WMT_TYPE_DWORD: {
      const std::uint64_t dword = LittleEndian(value, 4);
      number = static_cast<std::int32_t>(name == BitrateName ? dword / BitsPerKilobit : dword);
      return true;
    }
    case WMT_TYPE_BOOL:
      number = LittleEndian(value, 4) != 0 ? 1 : 0;
      return true;
    case WMT_TYPE_QWORD: {
      const std::uint64_t shifted = LittleEndian(value, 8) >> DurationShift;
      if (name == DurationName) {
        number = ClampToInt(std::llrint(static_cast<double>(shifted) / DurationUnitsPerSecondShifted));
      } else {
        number = ClampToInt(static_cast<std::int64_t>(std::min<std::uint64_t>(shifted, INT_MAX)));
      }
      return true;
    }
    case WMT_TYPE_WORD:
      number = static_cast<int>(LittleEndian(value, 2));
      return true;
    default:
      number = 0;
      return false;
  }
}

}  // namespace

TWMATagger::TWMATagger() : FLibrary(LoadLibraryA(RuntimeName))
{
  if (!FLibrary) {
    return;
  }
  const auto create = reinterpret_cast<TWMCreateEditor>(GetProcAddress(FLibrary.Get(), WMCreateEditorName));
  // An editor that was not created would be called on every Open; without one there is no runtime.
  FAvailable = create != nullptr && SUCCEEDED(create(FEditor.Receive())) && FEditor;
}

TWMATagger::~TWMATagger() = default;

bool TWMATagger::Open(const std::string& fileName)
{
  FAlbum.clear();
  FYear.clear();
  FTitle.clear();
  FGenre.clear();
  FAuthor.clear();
  FDescription.clear();
  FTrack = 0;
  FDuration = -1;
  FBitrate = -1;
  FSet = 0;
  FHeaderInfo.Reset();
  if (!FAvailable) {
    return false;
  }
  FEditor->Close();
  // The runtime opens names with the host's own calls, so it gets the host path: as written
  // first (no look at the disk), then with the case of each name as the disk has it.
  std::string fullPath;
  std::string hostPath;
  if (!ResolvePath(fileName, fullPath, hostPath, TResolveCase::AsWritten)) {
    hostPath = fileName;
  }
  if (FAILED(FEditor->Open(WidePathOf(hostPath).c_str()))) {
    std::string existing;
    if (!ResolvePath(fileName, fullPath, existing, TResolveCase::Existing) || existing == hostPath ||
        FAILED(FEditor->Open(WidePathOf(existing).c_str()))) {
      return false;
    }
  }
  FHeaderInfo = FEditor.Query<IWMHeaderInfo>(IID_IWMHeaderInfo);
  if (!FHeaderInfo) {
    return false;
  }
  ReadText(TitleName, FTitle);
  ReadText(AuthorName, FAuthor);
  ReadText(DescriptionName, FDescription);
  ReadText(GenreName, FGenre);
  ReadText(YearName, FYear);
  ReadText(AlbumName, FAlbum);
  if (!ReadTrack()) {
    ReadNumber(TrackName, FTrack);
  }
  ReadNumber(DurationName, FDuration);
  ReadNumber(BitrateName, FBitrate);
  return true;
}

void TWMATagger::Close()
{
  if (FAvailable) {
    FEditor->Close();
  }
}

bool TWMATagger::Save()
{
  if (!FHeaderInfo) {
    return false;
  }
  const std::pair<TSetField, std::pair<std::u16string_view, const std::u16string*>> texts[] = {
      {sfTitle, {TitleName, &FTitle}},
      {sfAuthor, {AuthorName, &FAuthor}},
      {sfDescription, {DescriptionName, &FDescription}},
      {sfGenre, {GenreName, &FGenre}},
      {sfYear, {YearName, &FYear}},
      {sfAlbum, {AlbumName, &FAlbum}},
  };
  bool written = true;
  for (const auto& [field, attribute] : texts) {
    if ((FSet & field) != 0) {
      written = WriteText(attribute.first, *attribute.second) && written;
    }
  }
  if ((FSet & sfTrack) != 0) {
    written = WriteNumber(TrackNumberName, FTrack) && written;
    written = WriteNumber(TrackName, FTrack) && written;
  }
  // The attributes reach the file only here, so a failed flush is a failed save.
  return SUCCEEDED(FEditor->Flush()) && written;
}

bool TWMATagger::ReadAttribute(std::u16string_view name, WMT_ATTR_DATATYPE& type, std::vector<BYTE>& value)
{
  const std::u16string attribute(name);
  WORD stream = 0;
  WORD length = 0;
  if (FAILED(FHeaderInfo->GetAttributeByName(&stream, attribute.c_str(), &type, nullptr, &length))) {
    return false;
  }
  value.assign(length, 0);
  WORD filled = length;
  if (FAILED(FHeaderInfo->GetAttributeByName(&stream, attribute.c_str(), &type, value.data(), &filled))) {
    return false;
  }
  value.resize(std::min(filled, length));
  return true;
}

bool TWMATagger::ReadNumber(std::u16string_view name, int& field)
{
  WMT_ATTR_DATATYPE type{};
  std::vector<BYTE> value;
  if (!ReadAttribute(name, type, value)) {
    return false;
  }
  if (!WellFormed(type, value)) {
    return false;
  }
  int number = 0;
  const bool numeric = NumberOf(name, type, value, number);
  field = number;
  return numeric;
}

// "WM/TrackNumber" as rippers write it: a number, or a text such as "3" or "3/12".
bool TWMATagger::ReadTrack()
{
  WMT_ATTR_DATATYPE type{};
  std::vector<BYTE> value;
  if (!ReadAttribute(TrackNumberName, type, value) || !WellFormed(type, value)) {
    return false;
  }
  if (type != WMT_TYPE_STRING) {
    return ReadNumber(TrackNumberName, FTrack);
  }
  std::u16string text;
  ReadText(TrackNumberName, text);
  std::int64_t number = 0;
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9' && number <= INT_MAX) {
    number = number * 10 + (text[digits] - u'0');
    ++digits;
  }
  if (digits == 0 || number > INT_MAX) {
    return false;
  }
  FTrack = static_cast<int>(number);
  return true;
}

bool TWMATagger::ReadText(std::u16string_view name, std::u16string& field)
{
  WMT_ATTR_DATATYPE type{};
  std::vector<BYTE> value;
  if (!ReadAttribute(name, type, value) || !WellFormed(type, value)) {
    return false;
  }
  int number = 0;
  switch (type) {
    case WMT_TYPE_STRING:
      field.clear();
      for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const auto unit = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
        if (unit == 0) {
          break;
        }
        field.push_back(unit);
      }
      return true;
    case WMT_TYPE_DWORD:
    case WMT_TYPE_QWORD:
    case WMT_TYPE_WORD:
      if (!NumberOf(name, type, value, number)) {
        return false;
      }
      field = Utf8ToUtf16(std::to_string(number));
      return true;
    case WMT_TYPE_BOOL:
      if (!NumberOf(name, type, value, number)) {
        return false;
      }
      field = number != 0 ? u"true" : u"false";
      return true;
    default:
      field.clear();
      return true;
  }
}

bool TWMATagger::WriteText(std::u16string_view name, const std::u16string& text)
{
  // A longer text would wrap the 16-bit byte count; it is cut to fit, never through a surrogate
  // pair.
  std::size_t length = std::min(text.size(), MaxTextLength);
  if (length < text.size() && length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
    --length;
  }
  std::vector<BYTE> value;
  value.reserve(2 * length + 2);
  for (std::size_t i = 0; i < length; ++i) {
    value.push_back(static_cast<BYTE>(text[i] & 0xFF));
    value.push_back(static_cast<BYTE>(text[i] >> 8));
  }
  value.push_back(0);
  value.push_back(0);
  const std::u16string attribute(name);
  return SUCCEEDED(FHeaderInfo->SetAttribute(0, attribute.c_str(), WMT_TYPE_STRING, value.data(),
                                             static_cast<WORD>(value.size())));
}

bool TWMATagger::WriteNumber(std::u16string_view name, int value)
{
  const auto dword = static_cast<DWORD>(value);
  const BYTE bytes[4] = {static_cast<BYTE>(dword), static_cast<BYTE>(dword >> 8),
                         static_cast<BYTE>(dword >> 16), static_cast<BYTE>(dword >> 24)};
  const std::u16string attribute(name);
  return SUCCEEDED(FHeaderInfo->SetAttribute(0, attribute.c_str(), WMT_TYPE_DWORD, bytes, sizeof bytes));
}
