#pragma once
// The runtime's metadata editor: one COM-style object with both interfaces, reading a file's ASF
// header into memory on Open and writing changed attributes back on Flush.

#include <atomic>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/core/WMFormat.h"

namespace wmvcore {

// One attribute as the interface hands it out: its type and little-endian value bytes.
struct TAttributeValue {
  WMT_ATTR_DATATYPE Type = WMT_TYPE_BINARY;
  std::vector<BYTE> Bytes;
};

class TMetadataEditor final : public IWMMetadataEditor, public IWMHeaderInfo {
 public:
  TMetadataEditor() = default;
  TMetadataEditor(const TMetadataEditor&) = delete;
  TMetadataEditor& operator=(const TMetadataEditor&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT Open(LPCWSTR fileName) override;
  HRESULT Close() override;
  HRESULT Flush() override;

  HRESULT GetAttributeByName(WORD* streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* length) override;
  HRESULT SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length) override;

 private:
  ~TMetadataEditor() = default;

  struct TOpenFile {
    std::string FileName;                              // host path, UTF-8
    std::map<std::u16string, TAttributeValue> Values;  // stream 0, by name
    std::set<std::u16string> Changed;                  // written by the next Flush
  };

  std::atomic<ULONG> FReferences{1};
  std::optional<TOpenFile> FFile;
};

}  // namespace wmvcore
