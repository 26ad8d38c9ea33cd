#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/core/WMFormat.h"
#include "platform/files/WidePaths.h"
#include "platform/windows/Modules.h"
#include "tests/support/TempFolder.h"
#include "tools/make-test-media/TestMedia.h"

namespace fs = std::filesystem;

namespace {

struct TValue {
  WMT_ATTR_DATATYPE Type = WMT_TYPE_BINARY;
  std::vector<BYTE> Bytes;
};

std::vector<BYTE> Utf16Bytes(std::u16string_view text, bool terminated = true)
{
  std::vector<BYTE> bytes;
  bytes.reserve(text.size() * 2 + 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  if (terminated) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

std::vector<BYTE> LittleEndian(std::uint64_t value, int size)
{
  std::vector<BYTE> bytes(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<BYTE>(value >> (8 * i));
  }
  return bytes;
}

std::uint64_t NumberOf(const std::vector<BYTE>& bytes)
{
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) {
    value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  }
  return value;
}

std::string ReadAll(const fs::path& file)
{
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WmvCoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    testmedia::TWmaRecipe recipe;
    recipe.Audio.Milliseconds = 2000;
    recipe.Audio.Seed = 7;
    Audio = new testmedia::TWmaAudio(recipe);
  }
  static void TearDownTestSuite()
  {
    delete Audio;
    Audio = nullptr;
  }

  void SetUp() override
  {
    Module = LoadLibraryA(OXA_WMVCORE_FILE);
    ASSERT_NE(Module, nullptr);
    const auto create = reinterpret_cast<TWMCreateEditor>(GetProcAddress(Module, WMCreateEditorName));
    ASSERT_NE(create, nullptr);
    ASSERT_EQ(create(Editor.Receive()), S_OK);
    Header = Editor.Query<IWMHeaderInfo>(IID_IWMHeaderInfo);
    ASSERT_TRUE(Header);
  }
  void TearDown() override
  {
    Header.Reset();
    Editor.Reset();
    FreeLibrary(Module);
  }

  fs::path WriteWma(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& attributes)
  {
    fs::path file = Folder.Path() / name;
    testmedia::WriteBytes(file, Audio->Mux(attributes));
    return file;
  }

  HRESULT Open(const fs::path& file) { return Editor->Open(file.u16string().c_str()); }

  std::optional<TValue> Get(std::u16string_view name)
  {
    WORD stream = 0;
    WORD length = 0;
    TValue value;
    const std::u16string text(name);
    if (FAILED(Header->GetAttributeByName(&stream, text.c_str(), &value.Type, nullptr, &length))) {
      return std::nullopt;
    }
    value.Bytes.resize(length);
    if (FAILED(Header->GetAttributeByName(&stream, text.c_str(), &value.Type, value.Bytes.data(), &length))) {
      return std::nullopt;
    }
    return value;
  }

  std::u16string Text(std::u16string_view name)
  {
    const auto value = Get(name);
    if (!value || value->Type != WMT_TYPE_STRING) {
      return u"<missing>";
    }
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value->Bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(value->Bytes[i] | (value->Bytes[i + 1] << 8)));
    }
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.back(), u'\0');
    text.pop_back();
    return text;
  }

  HRESULT Set(std::u16string_view name, WMT_ATTR_DATATYPE type, const std::vector<BYTE>& bytes)
  {
    const std::u16string text(name);
    return Header->SetAttribute(0, text.c_str(), type, bytes.data(), static_cast<WORD>(bytes.size()));
  }

  static inline testmedia::TWmaAudio* Audio = nullptr;
  TTempFolder Folder;
  HMODULE Module = nullptr;
  TComPtr<IWMMetadataEditor> Editor;
  TComPtr<IWMHeaderInfo> Header;
};

TEST_F(WmvCoreTest, ReadsDescriptionAttributesAndTheAudioStream)
{
  const fs::path file = WriteWma("tagged.wma", {{"Title", "Song"},
                                                {"Author", "Artist"},
                                                {"Description", "A comment"},
                                                {"WM/AlbumTitle", "Album"},
                                                {"WM/Genre", "Rock"},
                                                {"WM/Year", "1998"}});
  ASSERT_EQ(Open(file), S_OK);
  EXPECT_EQ(Text(u"Title"), u"Song");
  EXPECT_EQ(Text(u"Author"), u"Artist");
  EXPECT_EQ(Text(u"Description"), u"A comment");
  EXPECT_EQ(Text(u"WM/AlbumTitle"), u"Album");
  EXPECT_EQ(Text(u"WM/Genre"), u"Rock");
  EXPECT_EQ(Text(u"WM/Year"), u"1998");

  const auto duration = Get(u"Duration");
  ASSERT_TRUE(duration);
  EXPECT_EQ(duration->Type, WMT_TYPE_QWORD);
  ASSERT_EQ(duration->Bytes.size(), 8U);
  EXPECT_NEAR(static_cast<double>(NumberOf(duration->Bytes)), 2.0e7, 0.3e7);
  const auto bitrate = Get(u"Bitrate");
  ASSERT_TRUE(bitrate);
  EXPECT_EQ(bitrate->Type, WMT_TYPE_DWORD);
  ASSERT_EQ(bitrate->Bytes.size(), 4U);
  EXPECT_NEAR(static_cast<double>(NumberOf(bitrate->Bytes)), 64000.0, 8000.0);
}

TEST_F(WmvCoreTest, ANameThatIsNotUtf8OpensByItsEscapedBytes)
{
  // Each byte outside UTF-8 comes as a lone low surrogate and names that very byte.
  for (const char* name : {"caf\xE9.wma", "\x80\xFF.wma", "x\xED\xB2\x80y.wma"}) {
    SCOPED_TRACE(name);
    const fs::path file = WriteWma(name, {{"Title", "Song"}});
    ASSERT_EQ(Editor->Open(WidePathOf(file.string()).c_str()), S_OK);
    EXPECT_EQ(Text(u"Title"), u"Song");
    ASSERT_EQ(Editor->Close(), S_OK);
  }
}

TEST_F(WmvCoreTest, GivesTheLengthFirstAndRefusesASmallBuffer)
{
  ASSERT_EQ(Open(WriteWma("a.wma", {{"Title", "Song"}})), S_OK);
  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_BINARY;
  ASSERT_EQ(Header->GetAttributeByName(&stream, u"Title", &type, nullptr, &length), S_OK);
  EXPECT_EQ(type, WMT_TYPE_STRING);
  EXPECT_EQ(length, 10);  // four characters and the zero

  std::vector<BYTE> buffer(9, 0xEE);
  length = 9;
  EXPECT_EQ(Header->GetAttributeByName(&stream, u"Title", &type, buffer.data(), &length),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(buffer, std::vector<BYTE>(9, 0xEE));

  length = 0;
  EXPECT_EQ(Header->GetAttributeByName(&stream, u"WM/Track", &type, nullptr, &length), ASF_E_NOTFOUND);
  stream = 1;
  EXPECT_EQ(Header->GetAttributeByName(&stream, u"Title", &type, nullptr, &length), ASF_E_NOTFOUND);
  EXPECT_EQ(Header->GetAttributeByName(nullptr, u"Title", &type, nullptr, &length), E_INVALIDARG);
}

TEST_F(WmvCoreTest, FlushedAttributesOfEveryTypeReadBackAfterReopening)
{
  const fs::path file = WriteWma("round.wma", {{"Title", "Old"}, {"WM/Genre", "Jazz"}});
  ASSERT_EQ(Open(file), S_OK);
  const auto durationBefore = Get(u"Duration");
  const std::vector<BYTE> binary{0, 1, 2, 0xFF, 0x80};
  const struct {
    std::u16string Name;
    WMT_ATTR_DATATYPE Type;
    std::vector<BYTE> Bytes;
  } cases[] = {
      {u"Title", WMT_TYPE_STRING, Utf16Bytes(u"New title \u00E9\u65E5\U0001D11E")},
      {u"Author", WMT_TYPE_STRING, Utf16Bytes(u"Someone")},
      {u"Description", WMT_TYPE_STRING, Utf16Bytes(u"")},
      {u"WM/Genre", WMT_TYPE_STRING, Utf16Bytes(u"Blues")},
      {u"WM/Track", WMT_TYPE_DWORD, LittleEndian(7, 4)},
      {u"WM/Big", WMT_TYPE_QWORD, LittleEndian(0x0123456789ABCDEFULL, 8)},
      {u"WM/Small", WMT_TYPE_WORD, LittleEndian(0xBEEF, 2)},
      {u"WM/Flag", WMT_TYPE_BOOL, LittleEndian(1, 4)},
      {u"WM/Blob", WMT_TYPE_BINARY, binary},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Set(c.Name, c.Type, c.Bytes), S_OK);
  }
  ASSERT_EQ(Editor->Flush(), S_OK);
  ASSERT_EQ(Editor->Close(), S_OK);

  ASSERT_EQ(Open(file), S_OK);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name.begin(), c.Name.end()));
    if (c.Name == u"Description") {
      EXPECT_FALSE(Get(c.Name)) << "an empty description is no attribute";
      continue;
    }
    const auto value = Get(c.Name);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Type, c.Type);
    EXPECT_EQ(value->Bytes, c.Bytes);
  }
  const auto durationAfter = Get(u"Duration");
  ASSERT_TRUE(durationBefore && durationAfter);
  EXPECT_EQ(durationAfter->Bytes, durationBefore->Bytes);
}

// The file properties object's file size and flags, found by its GUID.
struct TRecordedSize {
  std::uint64_t Size = 0;
  std::uint32_t Flags = 0;
  std::size_t At = 0;
};

TRecordedSize RecordedSize(const std::string& bytes)
{
  static const char filePropertiesId[] = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65";
  const std::size_t at = bytes.find(std::string(filePropertiesId, 16));
  EXPECT_NE(at, std::string::npos);
  if (at == std::string::npos) {
    return {};
  }
  std::vector<BYTE> size(bytes.begin() + static_cast<long>(at + 40),
                         bytes.begin() + static_cast<long>(at + 48));
  std::vector<BYTE> flags(bytes.begin() + static_cast<long>(at + 88),
                          bytes.begin() + static_cast<long>(at + 92));
  return {NumberOf(size), static_cast<std::uint32_t>(NumberOf(flags)), at};
}

// A flush that makes the header longer or shorter moves the audio; the size the file records
// of itself has to follow, or the file claims bytes it does not have (or hides some it has).
TEST_F(WmvCoreTest, AFlushKeepsTheRecordedFileSizeTrue)
{
  const fs::path file = WriteWma("size.wma", {{"Title", "Middle length title"}, {"WM/Genre", "Jazz"}});
  ASSERT_EQ(RecordedSize(ReadAll(file)).Size, fs::file_size(file)) << "the generator's own file is right";
  const std::vector<std::u16string> titles = {std::u16string(3000, u'x'), u"T", u"Middle length title"};
  for (const auto& title : titles) {
    SCOPED_TRACE(title.size());
    const auto before = fs::file_size(file);
    ASSERT_EQ(Open(file), S_OK);
    ASSERT_EQ(Set(u"Title", WMT_TYPE_STRING, Utf16Bytes(title)), S_OK);
    ASSERT_EQ(Editor->Flush(), S_OK);
    ASSERT_EQ(Editor->Close(), S_OK);
    EXPECT_NE(fs::file_size(file), before);
    EXPECT_EQ(RecordedSize(ReadAll(file)).Size, fs::file_size(file));
  }

  // A broadcast file records no valid size; it is left as it was.
  std::string bytes = ReadAll(file);
  TRecordedSize recorded = RecordedSize(bytes);
  bytes[recorded.At + 88] = static_cast<char>(bytes[recorded.At + 88] | 0x01);
  for (int i = 0; i < 8; ++i) {
    bytes[recorded.At + 40 + static_cast<std::size_t>(i)] = 0;
  }
  testmedia::WriteBytes(file, testmedia::TBytes(bytes.begin(), bytes.end()));
  ASSERT_EQ(Open(file), S_OK);
  ASSERT_EQ(Set(u"Title", WMT_TYPE_STRING, Utf16Bytes(u"Broadcast title that is longer")), S_OK);
  ASSERT_EQ(Editor->Flush(), S_OK);
  ASSERT_EQ(Editor->Close(), S_OK);
  recorded = RecordedSize(ReadAll(file));
  EXPECT_EQ(recorded.Flags & 0x01, 1U);
  EXPECT_EQ(recorded.Size, 0U);
}

TEST_F(WmvCoreTest, ATextBeyondTheSixteenBitLengthIsCutToFit)
{
  const fs::path file = WriteWma("long.wma", {{"Title", "Short"}, {"WM/AlbumTitle", "Album"}});
  ASSERT_EQ(Open(file), S_OK);
  // 32,767 characters without the zero: one more than a 16-bit length can carry with it.
  ASSERT_EQ(Set(u"Title", WMT_TYPE_STRING, Utf16Bytes(std::u16string(32767, u'x'), false)), S_OK);
  // A surrogate pair across the limit goes whole.
  std::u16string paired(32765, u'y');
  paired += u"\U0001D11E";
  ASSERT_EQ(Set(u"WM/Genre", WMT_TYPE_STRING, Utf16Bytes(paired, false)), S_OK);
  ASSERT_EQ(Editor->Flush(), S_OK);
  ASSERT_EQ(Editor->Close(), S_OK);

  ASSERT_EQ(Open(file), S_OK);
  EXPECT_EQ(Text(u"Title"), std::u16string(32766, u'x'));
  EXPECT_EQ(Text(u"WM/Genre"), std::u16string(32765, u'y'));
  EXPECT_EQ(Text(u"WM/AlbumTitle"), u"Album");
  EXPECT_TRUE(Get(u"Duration"));
}

TEST_F(WmvCoreTest, AFailedFlushLeavesTheFileAsItWas)
{
  const fs::path file = WriteWma("f.wma", {{"Title", "Song"}});
  ASSERT_EQ(Open(file), S_OK);
  ASSERT_EQ(Set(u"Title", WMT_TYPE_STRING, Utf16Bytes(u"Changed")), S_OK);
  // Someone replaced the file with something that is no ASF file since it was opened.
  testmedia::WriteBytes(file, testmedia::TBytes(5000, 0x42));
  EXPECT_EQ(Editor->Flush(), NS_E_INVALID_INPUT_FORMAT);
  EXPECT_EQ(ReadAll(file), std::string(5000, '\x42'));
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), fs::directory_iterator()), 1);

  // A header object that claims more bytes than the file holds.
  testmedia::TBytes claims = Audio->Mux({{"Title", "Song"}});
  for (int i = 0; i < 8; ++i) {
    claims[16 + i] = i < 4 ? 0xFF : 0;
  }
  testmedia::WriteBytes(file, claims);
  EXPECT_EQ(Editor->Flush(), NS_E_INVALID_INPUT_FORMAT);
  EXPECT_EQ(ReadAll(file), std::string(claims.begin(), claims.end()));

  fs::remove(file);
  EXPECT_EQ(Editor->Flush(), NS_E_FILE_OPEN_FAILED);
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(WmvCoreTest, OpensOnlyReadableAsfFilesOneAtATime)
{
  const fs::path wma = WriteWma("ok.wma", {{"Title", "Song"}});
  testmedia::WriteBytes(Folder.Path() / "not.wma", testmedia::TBytes(3000, 0x11));
  EXPECT_EQ(Open(Folder.Path() / "missing.wma"), NS_E_FILE_OPEN_FAILED);
  EXPECT_EQ(Open(Folder.Path() / "not.wma"), NS_E_INVALID_INPUT_FORMAT);
  testmedia::TBytes claims = Audio->Mux({{"Title", "Song"}});
  claims[20] = 0x7F;  // a header object of some 500 GB
  testmedia::WriteBytes(Folder.Path() / "claims.wma", claims);
  EXPECT_EQ(Open(Folder.Path() / "claims.wma"), NS_E_INVALID_INPUT_FORMAT);
  testmedia::WriteBytes(Folder.Path() / "short.wma", testmedia::TBytes(claims.begin(), claims.begin() + 20));
  EXPECT_EQ(Open(Folder.Path() / "short.wma"), NS_E_INVALID_INPUT_FORMAT);
  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type{};
  EXPECT_EQ(Header->GetAttributeByName(&stream, u"Title", &type, nullptr, &length), NS_E_INVALID_REQUEST);
  EXPECT_EQ(Editor->Flush(), NS_E_INVALID_REQUEST);

  EXPECT_EQ(Open(wma), S_OK);
  EXPECT_EQ(Open(wma), NS_E_INVALID_REQUEST);
  EXPECT_EQ(Editor->Close(), S_OK);
  EXPECT_EQ(Open(wma), S_OK);
  EXPECT_EQ(Text(u"Title"), u"Song");
}

TEST_F(WmvCoreTest, RefusesWritesItCannotCarryOut)
{
  ASSERT_EQ(Open(WriteWma("w.wma", {{"Title", "Song"}})), S_OK);
  const struct {
    std::u16string Name;
    WMT_ATTR_DATATYPE Type;
    std::vector<BYTE> Bytes;
    HRESULT Expected;
  } cases[] = {
      {u"Duration", WMT_TYPE_QWORD, LittleEndian(1, 8), NS_E_ATTRIBUTE_READ_ONLY},
      {u"Bitrate", WMT_TYPE_DWORD, LittleEndian(1, 4), NS_E_ATTRIBUTE_READ_ONLY},
      {u"Title", WMT_TYPE_DWORD, LittleEndian(1, 4), E_INVALIDARG},
      {u"WM/Track", WMT_TYPE_DWORD, LittleEndian(1, 2), E_INVALIDARG},
      {u"WM/Big", WMT_TYPE_QWORD, LittleEndian(1, 4), E_INVALIDARG},
      {u"WM/Genre", WMT_TYPE_STRING, {'a', 0, 'b'}, E_INVALIDARG},
      {u"WM/Id", WMT_TYPE_GUID, std::vector<BYTE>(16, 1), E_NOTIMPL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Set(c.Name, c.Type, c.Bytes), c.Expected) << std::string(c.Name.begin(), c.Name.end());
  }
  EXPECT_EQ(Header->SetAttribute(1, u"WM/Genre", WMT_TYPE_STRING, Utf16Bytes(u"x").data(), 4), E_INVALIDARG);
  EXPECT_EQ(Text(u"Title"), u"Song");
}

TEST_F(WmvCoreTest, InterfacesKeepTheEditorAliveUntilTheLastRelease)
{
  void* unknown = reinterpret_cast<void*>(1);
  EXPECT_EQ(Editor->QueryInterface(GUID{1, 2, 3, {4}}, &unknown), E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);

  Editor.Reset();
  ASSERT_EQ(Header->SetAttribute(0, u"WM/Genre", WMT_TYPE_STRING, nullptr, 0), NS_E_INVALID_REQUEST);
  TComPtr<IWMMetadataEditor> again = Header.Query<IWMMetadataEditor>(IID_IWMMetadataEditor);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Open((Folder.Path() / "none.wma").u16string().c_str()), NS_E_FILE_OPEN_FAILED);
}

}  // namespace
