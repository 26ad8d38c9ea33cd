#include "components/wmvcore/MetadataEditor.h"

#include <asffile.h>
#include <asftag.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tbytevectorstream.h>
#include <tfilestream.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <span>

#include "components/wmvcore/AsfHeader.h"

namespace wmvcore {

namespace {

// The component stands outside the program's layers and owns its descriptors itself: one
// owner, so no path out of a read or a write leaves a file open.
class TOwnedFile {
 public:
  explicit TOwnedFile(int fd) noexcept : FFd(fd) {}
  ~TOwnedFile() { Close(); }
  TOwnedFile(const TOwnedFile&) = delete;
  TOwnedFile& operator=(const TOwnedFile&) = delete;

  int Get() const noexcept { return FFd; }
  bool Valid() const noexcept { return FFd >= 0; }
  // Closes now; false when the close reports an error (for a written file, a failed write).
  bool Close() noexcept
  {
    const bool closed = FFd < 0 || ::close(FFd) == 0;
    FFd = -1;
    return closed;
  }

 private:
  int FFd;
};

// A 16-bit byte count must hold the text and its terminating zero.
constexpr std::size_t MaxTextUnits = 32766;
constexpr std::size_t MaxValueBytes = 0xFFFF;
constexpr std::uint64_t UnitsPerMillisecond = 10000;  // of 100 ns
// The ASF header object: a 16-byte GUID, then its size in bytes (64-bit, little-endian).
constexpr unsigned HeaderSizeOffset = 16;
constexpr unsigned HeaderSizeEnd = HeaderSizeOffset + 8;
// Headers carry cover pictures at most; anything larger is taken for damage.
constexpr std::uint64_t MaxHeaderBytes = 64U << 20U;

const std::u16string TitleName = u"Title";
const std::u16string AuthorName = u"Author";
const std::u16string DescriptionName = u"Description";
const std::u16string CopyrightName = u"Copyright";
const std::u16string RatingName = u"Rating";
const std::u16string DurationName = u"Duration";
const std::u16string BitrateName = u"Bitrate";

bool InContentDescription(const std::u16string& name)
{
  return name == TitleName || name == AuthorName || name == DescriptionName || name == CopyrightName ||
         name == RatingName;
}

std::u16string NameOf(LPCWSTR name)
{
  return std::u16string(name);
}

TagLib::String ToTagString(std::u16string_view text)
{
  TagLib::ByteVector bytes;
  for (const char16_t unit : text) {
    bytes.append(static_cast<char>(unit & 0xFF));
    bytes.append(static_cast<char>(unit >> 8));
  }
  return TagLib::String(bytes, TagLib::String::UTF16LE);
}

// Longer texts are cut to what a 16-bit length can carry, never through a surrogate pair.
TAttributeValue TextValue(std::u16string text)
{
  if (text.size() > MaxTextUnits) {
    std::size_t keep = MaxTextUnits;
    if (text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) {
      --keep;
    }
    text.resize(keep);
  }
  TAttributeValue value{WMT_TYPE_STRING, {}};
  value.Bytes.reserve(text.size() * 2 + 2);
  for (const char16_t unit : text) {
    value.Bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    value.Bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  value.Bytes.push_back(0);
  value.Bytes.push_back(0);
  return value;
}

std::u16string TextOf(const TAttributeValue& value)
{
  std::u16string text;
  for (std::size_t i = 0; i + 1 < value.Bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(value.Bytes[i] | (value.Bytes[i + 1] << 8));
    if (unit == 0) {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

TAttributeValue NumberValue(WMT_ATTR_DATATYPE type, std::uint64_t number, std::size_t size)
{
  TAttributeValue value{type, {}};
  for (std::size_t i = 0; i < size; ++i) {
    value.Bytes.push_back(static_cast<BYTE>(number >> (8 * i)));
  }
  return value;
}

std::uint64_t NumberOf(const TAttributeValue& value)
{
  std::uint64_t number = 0;
  for (std::size_t i = 0; i < value.Bytes.size() && i < 8; ++i) {
    number |= static_cast<std::uint64_t>(value.Bytes[i]) << (8 * i);
  }
  return number;
}

std::optional<TAttributeValue> ValueOf(const TAsfAttribute& attribute)
{
  switch (attribute.Type) {
    case TAsfType::Unicode:
      return TextValue(attribute.Text);
    case TAsfType::DWord:
      return NumberValue(WMT_TYPE_DWORD, attribute.Number, 4);
    case TAsfType::QWord:
      return NumberValue(WMT_TYPE_QWORD, attribute.Number, 8);
    case TAsfType::Word:
      return NumberValue(WMT_TYPE_WORD, attribute.Number, 2);
    case TAsfType::Bool:
      return NumberValue(WMT_TYPE_BOOL, attribute.Number, 4);
    case TAsfType::Guid:
    case TAsfType::Bytes:
      break;
  }
  if (attribute.Bytes.size() > MaxValueBytes) {
    return std::nullopt;
  }
  return TAttributeValue{attribute.Type == TAsfType::Guid ? WMT_TYPE_GUID : WMT_TYPE_BINARY, attribute.Bytes};
}

TagLib::ASF::Attribute AttributeOf(const TAttributeValue& value)
{
  switch (value.Type) {
    case WMT_TYPE_STRING:
      return TagLib::ASF::Attribute(ToTagString(TextOf(value)));
    case WMT_TYPE_DWORD:
      return TagLib::ASF::Attribute(static_cast<unsigned int>(NumberOf(value)));
    case WMT_TYPE_QWORD:
      return TagLib::ASF::Attribute(static_cast<unsigned long long>(NumberOf(value)));
    case WMT_TYPE_WORD:
      return TagLib::ASF::Attribute(static_cast<unsigned short>(NumberOf(value)));
    case WMT_TYPE_BOOL:
      return TagLib::ASF::Attribute(NumberOf(value) != 0);
    default:
      return TagLib::ASF::Attribute(TagLib::ByteVector(reinterpret_cast<const char*>(value.Bytes.data()),
                                                       static_cast<unsigned>(value.Bytes.size())));
  }
}

// The host's bytes of a UTF-16 name. Callers hand names that are not UTF-8 on the host with each
// foreign byte as a lone low surrogate U+DC80..U+DCFF; those become the byte again.
std::string HostName(LPCWSTR fileName)
{
  const std::u16string name = NameOf(fileName);
  std::string host;
  std::u16string run;
  const auto flush = [&] {
    host += ToTagString(run).to8Bit(true);
    run.clear();
  };
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i];
    const bool paired = i > 0 && name[i - 1] >= 0xD800 && name[i - 1] <= 0xDBFF;
    if (unit >= 0xDC80 && unit <= 0xDCFF && !paired) {
      flush();
      host += static_cast<char>(unit - 0xDC00);
    } else {
      run += unit;
    }
  }
  flush();
  return host;
}

// Writes the new content beside the file and renames it over the file, so readers see the old
// file or the new one, whole, and a failure anywhere leaves the old one in place. A symbolic link
// is written through (the link stays), and the new file keeps the old one's mode and owner.
bool ReplaceFile(const std::string& linkOrFile, const TagLib::ByteVector& content)
{
  char* real = ::realpath(linkOrFile.c_str(), nullptr);
  if (real == nullptr) {
    return false;
  }
  const std::string fileName(real);
  std::free(real);
  struct stat original {};
  if (::stat(fileName.c_str(), &original) != 0) {
    return false;
  }
  const std::filesystem::path target(fileName);
  std::string hidden(".");
  hidden.append(target.filename().string()).append(".XXXXXX");
  std::string temporary = (target.parent_path() / hidden).string();
  TOwnedFile file(::mkstemp(temporary.data()));
  if (!file.Valid()) {
    return false;
  }
  // An owner the user may not give away stays the user's; the mode is set after it, since a
  // change of owner may clear set-id bits.
  bool written = (::fchown(file.Get(), original.st_uid, original.st_gid) == 0 || errno == EPERM) &&
                 ::fchmod(file.Get(), original.st_mode & 07777) == 0;
  std::size_t done = 0;
  while (written && done < content.size()) {
    const ssize_t n = ::write(file.Get(), content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    written = n > 0;
    done += written ? static_cast<std::size_t>(n) : 0;
  }
  written = written && ::fsync(file.Get()) == 0;
  written = file.Close() && written;
  if (!written || ::rename(temporary.c_str(), fileName.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

// The header object, where everything the editor reads lives, in one read: much cheaper than
// TagLib's many small reads of the file itself.
HRESULT ReadHeaderObject(const std::string& fileName, TagLib::ByteVector& header)
{
  // Not blocking: a named pipe called "*.wma" would hold the open until a writer came.
  const TOwnedFile opened(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!opened.Valid()) {
    return NS_E_FILE_OPEN_FAILED;
  }
  const int file = opened.Get();
  struct stat status {};
  HRESULT result = ::fstat(file, &status) == 0 && S_ISREG(status.st_mode) ? S_OK : NS_E_FILE_OPEN_FAILED;
  const auto fileSize = static_cast<std::uint64_t>(status.st_size);
  char start[HeaderSizeEnd] = {};
  if (SUCCEEDED(result) && ::pread(file, start, sizeof start, 0) != static_cast<ssize_t>(sizeof start)) {
    result = NS_E_INVALID_INPUT_FORMAT;
  }
  std::uint64_t size = 0;
  for (unsigned i = 0; i < 8; ++i) {
    size |= static_cast<std::uint64_t>(static_cast<unsigned char>(start[HeaderSizeOffset + i])) << (8 * i);
  }
  if (SUCCEEDED(result) && (size < HeaderSizeEnd || size > fileSize || size > MaxHeaderBytes)) {
    result = NS_E_INVALID_INPUT_FORMAT;
  }
  if (SUCCEEDED(result)) {
    header.resize(static_cast<unsigned>(size));
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(file, header.data() + done, size - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        result = NS_E_FILE_OPEN_FAILED;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
  }
  return result;
}

void Apply(TagLib::ASF::Tag& tag, const std::u16string& name, const TAttributeValue& value)
{
  const TagLib::String tagName = ToTagString(name);
  if (!InContentDescription(name)) {
    tag.setAttribute(tagName, AttributeOf(value));
    return;
  }
  const TagLib::String text = ToTagString(TextOf(value));
  if (name == TitleName) {
    tag.setTitle(text);
  } else if (name == AuthorName) {
    tag.setArtist(text);
  } else if (name == DescriptionName) {
    tag.setComment(text);
  } else if (name == CopyrightName) {
    tag.setCopyright(text);
  } else {
    tag.setRating(text);
  }
  // A same-named extended attribute would contradict the new value on the next read.
  tag.removeItem(tagName);
}

}  // namespace

HRESULT TMetadataEditor::QueryInterface(REFIID iid, void** object)
{
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IWMMetadataEditor) {
    *object = static_cast<IWMMetadataEditor*>(this);
  } else if (iid == IID_IWMHeaderInfo) {
    *object = static_cast<IWMHeaderInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TMetadataEditor::AddRef()
{
  return ++FReferences;
}

ULONG TMetadataEditor::Release()
{
  const ULONG left = --FReferences;
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT TMetadataEditor::Open(LPCWSTR fileName)
{
  if (fileName == nullptr) {
    return E_POINTER;
  }
  if (FFile) {
    return NS_E_INVALID_REQUEST;
  }
  TOpenFile open;
  open.FileName = HostName(fileName);
  TagLib::ByteVector bytes;
  const HRESULT read = ReadHeaderObject(open.FileName, bytes);
  if (FAILED(read)) {
    return read;
  }
  TAsfHeader header;
  if (!ParseAsfHeader(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), header)) {
    return NS_E_INVALID_INPUT_FORMAT;
  }
  // A name's value is its first attribute for the whole file (stream 0) in no particular
  // language; one too long for a 16-bit length leaves the name without a value.
  std::set<std::u16string> decided;
  for (const TAsfAttribute& attribute : header.Attributes) {
    if (attribute.Stream != 0 || attribute.Language != 0 || !decided.insert(attribute.Name).second) {
      continue;
    }
    if (auto value = ValueOf(attribute)) {
      open.Values.emplace(attribute.Name, std::move(*value));
    }
  }
  const std::pair<const std::u16string*, const std::u16string*> description[] = {
      {&TitleName, &header.Title},
      {&AuthorName, &header.Author},
      {&DescriptionName, &header.Description},
      {&CopyrightName, &header.Copyright},
      {&RatingName, &header.Rating},
  };
  for (const auto& [name, text] : description) {
    if (!text->empty()) {
      open.Values[*name] = TextValue(*text);
    }
  }
  open.Values[DurationName] = NumberValue(
      WMT_TYPE_QWORD, static_cast<std::uint64_t>(header.LengthMilliseconds) * UnitsPerMillisecond, 8);
  open.Values[BitrateName] =
      NumberValue(WMT_TYPE_DWORD, static_cast<std::uint64_t>(header.BitrateKbps) * 1000, 4);
  FFile = std::move(open);
  return S_OK;
}

HRESULT TMetadataEditor::Close()
{
  FFile.reset();
  return S_OK;
}

HRESULT TMetadataEditor::Flush()
{
  if (!FFile) {
    return NS_E_INVALID_REQUEST;
  }
  if (FFile->Changed.empty()) {
    return S_OK;
  }
  TagLib::ByteVector content;
  {
    TagLib::FileStream original(FFile->FileName.c_str(), true);
    if (!original.isOpen()) {
      return NS_E_FILE_OPEN_FAILED;
    }
    const long length = original.length();
    content = original.readBlock(static_cast<unsigned long>(length));
    if (static_cast<long>(content.size()) != length) {
      return NS_E_FILE_OPEN_FAILED;
    }
  }
  // TagLib replaces the whole header object in place; one that claims more bytes than the file
  // holds would make it move memory by a negative length.
  if (content.size() < HeaderSizeEnd ||
      content.toLongLong(HeaderSizeOffset, false) > static_cast<long long>(content.size()) ||
      content.toLongLong(HeaderSizeOffset, false) < static_cast<long long>(HeaderSizeEnd)) {
    return NS_E_INVALID_INPUT_FORMAT;
  }
  TagLib::ByteVectorStream memory(content);
  {
    TagLib::ASF::File file(&memory, false);
    if (!file.isValid() || file.tag() == nullptr) {
      return NS_E_INVALID_INPUT_FORMAT;
    }
    for (const std::u16string& name : FFile->Changed) {
      Apply(*file.tag(), name, FFile->Values.at(name));
    }
    if (!file.save()) {
      return NS_E_FILE_WRITE;
    }
  }
  // TagLib moves the data object with the header but leaves the file size it records as it was.
  TagLib::ByteVector& saved = *memory.data();
  RecordFileSize(std::span(reinterpret_cast<std::uint8_t*>(saved.data()), saved.size()), saved.size());
  if (!ReplaceFile(FFile->FileName, *memory.data())) {
    return NS_E_FILE_WRITE;
  }
  FFile->Changed.clear();
  return S_OK;
}

HRESULT TMetadataEditor::GetAttributeByName(WORD* streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                            BYTE* value, WORD* length)
{
  if (streamNumber == nullptr || name == nullptr || type == nullptr || length == nullptr) {
    return E_INVALIDARG;
  }
  if (!FFile) {
    return NS_E_INVALID_REQUEST;
  }
  if (*streamNumber != 0) {
    return ASF_E_NOTFOUND;
  }
  const auto found = FFile->Values.find(NameOf(name));
  if (found == FFile->Values.end()) {
    return ASF_E_NOTFOUND;
  }
  const TAttributeValue& attribute = found->second;
  const auto needed = static_cast<WORD>(attribute.Bytes.size());
  *type = attribute.Type;
  if (value == nullptr) {
    *length = needed;
    return S_OK;
  }
  if (*length < needed) {
    *length = needed;
    return ASF_E_BUFFERTOOSMALL;
  }
  std::memcpy(value, attribute.Bytes.data(), needed);
  *length = needed;
  return S_OK;
}

HRESULT TMetadataEditor::SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                      const BYTE* value, WORD length)
{
  if (name == nullptr || *name == 0 || (value == nullptr && length != 0) || streamNumber != 0) {
    return E_INVALIDARG;
  }
  if (!FFile) {
    return NS_E_INVALID_REQUEST;
  }
  const std::u16string attributeName = NameOf(name);
  if (attributeName == DurationName || attributeName == BitrateName) {
    return NS_E_ATTRIBUTE_READ_ONLY;
  }
  if (InContentDescription(attributeName) && type != WMT_TYPE_STRING) {
    return E_INVALIDARG;
  }
  TAttributeValue attribute{type, {}};
  if (length != 0) {
    attribute.Bytes.assign(value, value + length);
  }
  std::size_t size = 0;
  switch (type) {
    case WMT_TYPE_STRING:
      if (length % 2 != 0) {
        return E_INVALIDARG;
      }
      attribute = TextValue(TextOf(attribute));
      break;
    case WMT_TYPE_BINARY:
      break;
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      size = 4;
      break;
    case WMT_TYPE_QWORD:
      size = 8;
      break;
    case WMT_TYPE_WORD:
      size = 2;
      break;
    default:
      return E_NOTIMPL;
  }
  if (size != 0 && length != size) {
    return E_INVALIDARG;
  }
  FFile->Values[attributeName] = std::move(attribute);
  FFile->Changed.insert(attributeName);
  return S_OK;
}

}  // namespace wmvcore

extern "C" __attribute__((visibility("default"))) HRESULT WMCreateEditor(IWMMetadataEditor** editor)
{
  if (editor == nullptr) {
    return E_POINTER;
  }
  *editor = new (std::nothrow) wmvcore::TMetadataEditor();
  return *editor != nullptr ? S_OK : E_OUTOFMEMORY;
}
