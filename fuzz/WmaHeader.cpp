// Fuzz target: the media-format runtime reading an ASF header, handing out its attributes under
// the 16-bit length rules, and rewriting the file with a changed title.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/WMFormat.h"

extern "C" HRESULT WMCreateEditor(IWMMetadataEditor** editor);

namespace {

const std::filesystem::path& InputFile()
{
  static const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("oxa-fuzz-wma-" + std::to_string(::getpid()) + ".wma");
  return file;
}

void CheckAttribute(IWMHeaderInfo& header, const char16_t* name)
{
  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type{};
  if (FAILED(header.GetAttributeByName(&stream, name, &type, nullptr, &length))) {
    return;
  }
  std::vector<BYTE> value(length);
  WORD filled = length;
  if (FAILED(header.GetAttributeByName(&stream, name, &type, value.data(), &filled)) || filled != length) {
    __builtin_trap();
  }
  // A text always arrives whole: an even length ending in the zero character.
  if (type == WMT_TYPE_STRING &&
      (length < 2 || length % 2 != 0 || value[length - 1] != 0 || value[length - 2] != 0)) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  std::ofstream(InputFile(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  TComPtr<IWMMetadataEditor> editor;
  if (FAILED(WMCreateEditor(editor.Receive()))) {
    __builtin_trap();
  }
  const std::u16string fileName = InputFile().u16string();
  if (SUCCEEDED(editor->Open(fileName.c_str()))) {
    TComPtr<IWMHeaderInfo> header = editor.Query<IWMHeaderInfo>(IID_IWMHeaderInfo);
    if (!header) {
      __builtin_trap();
    }
    for (const char16_t* name : {u"Title", u"Author", u"Description", u"Copyright", u"Rating", u"WM/Genre",
                                 u"WM/Year", u"WM/AlbumTitle", u"WM/Track", u"Duration", u"Bitrate"}) {
      CheckAttribute(*header.Get(), name);
    }
    const BYTE title[] = {'x', 0, 0, 0};
    header->SetAttribute(0, u"Title", WMT_TYPE_STRING, title, sizeof title);
    const bool flushed = SUCCEEDED(editor->Flush());
    editor->Close();
    // A rewritten file must open again and say what was written.
    if (flushed) {
      if (FAILED(editor->Open(fileName.c_str()))) {
        __builtin_trap();
      }
      WORD stream = 0;
      WORD length = sizeof title;
      BYTE value[sizeof title] = {};
      WMT_ATTR_DATATYPE type{};
      if (FAILED(header->GetAttributeByName(&stream, u"Title", &type, value, &length)) || value[0] != 'x') {
        __builtin_trap();
      }
      editor->Close();
    }
  }
  std::error_code ignored;
  std::filesystem::remove(InputFile(), ignored);
  return 0;
}
