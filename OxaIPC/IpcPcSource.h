#pragma once
// TIpcPcSource: a source that runs on this computer ("PcSource" in front of the source's types).

#include "OxaIPC/IpcSource.h"

class TIpcPcSource : public TIpcSource {
 public:
  explicit TIpcPcSource(TComponent* owner);
};
