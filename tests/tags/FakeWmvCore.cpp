#include "tests/tags/FakeWmvCore.h"

#include <cstring>
#include <new>

namespace {

TFakeWmvCoreState& State()
{
  static TFakeWmvCoreState state;
  return state;
}

class TFakeEditor final : public IWMMetadataEditor, public IWMHeaderInfo {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override
  {
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
  ULONG AddRef() override { return ++FReferences; }
  ULONG Release() override
  {
    const ULONG left = --FReferences;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  HRESULT Open(LPCWSTR fileName) override
  {
    State().OpenedFiles.emplace_back(fileName);
    return State().FailOpen ? NS_E_FILE_OPEN_FAILED : S_OK;
  }
  HRESULT Close() override
  {
    ++State().Closes;
    return S_OK;
  }
  HRESULT Flush() override
  {
    ++State().Flushes;
    return State().FailFlush ? NS_E_FILE_WRITE : S_OK;
  }

  HRESULT GetAttributeByName(WORD* streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* length) override
  {
    if (*streamNumber != 0) {
      return ASF_E_NOTFOUND;
    }
    const auto found = State().Attributes.find(name);
    if (found == State().Attributes.end()) {
      return ASF_E_NOTFOUND;
    }
    const auto size = static_cast<WORD>(found->second.Value.size());
    *type = found->second.Type;
    if (value == nullptr) {
      *length = size;
      return S_OK;
    }
    if (State().FailSecondRead) {
      return E_FAIL;
    }
    if (*length < size) {
      *length = size;
      return ASF_E_BUFFERTOOSMALL;
    }
    std::memcpy(value, found->second.Value.data(), size);
    *length = size;
    return S_OK;
  }

  HRESULT SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length) override
  {
    State().Writes.push_back(TFakeWrite{name, streamNumber, type, std::vector<BYTE>(value, value + length)});
    return State().RefusedWrites.count(name) != 0 ? E_FAIL : S_OK;
  }

 private:
  ~TFakeEditor() = default;

  ULONG FReferences = 1;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT WMCreateEditor(IWMMetadataEditor** editor)
{
  if (State().FailCreate) {
    *editor = nullptr;
    return E_FAIL;
  }
  *editor = new (std::nothrow) TFakeEditor();
  return *editor != nullptr ? S_OK : E_OUTOFMEMORY;
}

extern "C" __attribute__((visibility("default"))) TFakeWmvCoreState* FakeWmvCoreState()
{
  return &State();
}
