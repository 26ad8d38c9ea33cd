#pragma once
// The media-format runtime's metadata interfaces ("WMVCore.dll"): the runtime exports
// WMCreateEditor, whose editor opens an ASF file (".wma", ".asf") and hands out its header
// attributes through IWMHeaderInfo. Only the calls the program makes are declared.

#include "platform/core/Com.h"

enum WMT_ATTR_DATATYPE : std::int32_t {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

// The runtime's failures beyond the general ones of platform/core/Com.h.
constexpr HRESULT NS_E_FILE_OPEN_FAILED = static_cast<HRESULT>(0xC00D001D);
constexpr HRESULT NS_E_FILE_WRITE = static_cast<HRESULT>(0xC00D0014);
constexpr HRESULT NS_E_INVALID_REQUEST = static_cast<HRESULT>(0xC00D002B);
constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = static_cast<HRESULT>(0xC00D0BB8);
constexpr HRESULT NS_E_ATTRIBUTE_READ_ONLY = static_cast<HRESULT>(0xC00D0BD7);
constexpr HRESULT ASF_E_NOTFOUND = static_cast<HRESULT>(0xC00D07F0);
constexpr HRESULT ASF_E_BUFFERTOOSMALL = static_cast<HRESULT>(0xC00D07D1);

inline constexpr IID IID_IWMMetadataEditor{
    0x6C0E2F01, 0x4F1A, 0x4B7E, {0x9A, 0x21, 0x5D, 0x3C, 0x70, 0x11, 0x8E, 0x01}};
inline constexpr IID IID_IWMHeaderInfo{
    0x6C0E2F02, 0x4F1A, 0x4B7E, {0x9A, 0x21, 0x5D, 0x3C, 0x70, 0x11, 0x8E, 0x01}};

// Attribute values are little-endian: DWORD and BOOL 4 bytes, QWORD 8, WORD 2, GUID 16; a STRING
// is UTF-16 ending in a zero character, its length counting that zero. Lengths are 16-bit, so a
// text has at most 32,766 characters. Attributes of the whole file are on stream 0. "Duration"
// (QWORD, 100 ns units) and "Bitrate" (DWORD, bit/s) describe the audio and cannot be set.
class IWMHeaderInfo : public IUnknown {
 public:
  // The two-call protocol: with value null, fills type and length (bytes) and succeeds; with a
  // buffer of at least that length, also fills the value. A buffer too small fails with
  // ASF_E_BUFFERTOOSMALL and the length needed; an attribute the file lacks with ASF_E_NOTFOUND.
  virtual HRESULT GetAttributeByName(WORD* streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                     WORD* length) = 0;
  // Takes effect in the file at the editor's next Flush.
  virtual HRESULT SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                               WORD length) = 0;

 protected:
  ~IWMHeaderInfo() = default;
};

// Edits one file at a time. Open fails while a file is open; Close drops changes not flushed.
// Flush writes the changed attributes into the file: the new file is composed beside the old one
// and renamed over it, so a failed Flush leaves the file as it was.
class IWMMetadataEditor : public IUnknown {
 public:
  virtual HRESULT Open(LPCWSTR fileName) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT Flush() = 0;

 protected:
  ~IWMMetadataEditor() = default;
};

// The export, looked up by name: creates an editor holding one reference for the caller.
using TWMCreateEditor = HRESULT (*)(IWMMetadataEditor** editor);
inline constexpr const char* WMCreateEditorName = "WMCreateEditor";
