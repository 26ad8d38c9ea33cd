#include "OxaIPC/IpcPcSource.h"

TIpcPcSource::TIpcPcSource(TComponent* owner) : TIpcSource(owner)
{
  AddClientType("PcSource");
}
