#include "framework/OxaObjects.h"

#include <cassert>
#include <typeinfo>

namespace {

const void* Address(const TObject* object)
{
  return object;
}

TObject* ObjectOf(const TNotifyEvent& event)
{
  return static_cast<TObject*>(MethodObject(event));
}

}  // namespace

TOxaObjects::TPass::TPass(TOxaObjects& list, bool change) : List(list), Outer(list.FPass), Change(change)
{
  if (change) {
    List.FNotifying = true;
  }
  ++List.FDepth;
  List.FPass = this;
}

TOxaObjects::TPass::~TPass()
{
  if (!Alive) {
    return;
  }
  List.FPass = Outer;
  --List.FDepth;
  if (Change) {
    List.FNotifying = false;
  }
}

TOxaObjects::TOxaObjects(TObject* owner)
    : FOwner(owner), FOwnerType(owner != nullptr ? &typeid(*owner) : nullptr)
{
  if (owner == nullptr) {
    Fatal("Create: This object must have an owner");
  }
}

TOxaObjects::~TOxaObjects()
{
  if (FDestroying) {
    Complain("Destroy: Object already destroyed");
    return;
  }
  FDestroying = true;
  if (FDepth != 0) {
    Complain("Destroy: Not allowed while notifying");
    // The passes on the stack must not come back to this list.
    for (TPass* pass = FPass; pass != nullptr; pass = pass->Outer) {
      pass->Alive = false;
    }
    FPass = nullptr;
    FDepth = 0;
  }
  if (FCount > 0) {
    TPass pass(*this, false);
    DestroyPass(pass, true, true);
  }
  if (FCount > 0) {
    Complain("Destroy: Not all objects detatched");
  }
}

void TOxaObjects::Fatal(std::string_view what) const
{
  throw EOxaFatal(ClassName() + "." + std::string(what));
}

void TOxaObjects::Complain(std::string_view what) const noexcept
{
  // A destructor cannot raise: the misuse is traced, and stops debug builds where it happened.
  TraceObject(this, what);
  assert(false && "TOxaObjects misused in its destructor; see the trace");
}

void TOxaObjects::CheckAdd(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange) const
{
  if (FDestroying) {
    Fatal("Add: Not allowed to add objects while destroying");
  }
  if (MethodObject(onDestroy) != MethodObject(onChange)) {
    Fatal("Add: OnDestroy and OnChange methods must belong to same object");
  }
  if (MethodObject(onDestroy) == nullptr) {
    Fatal("Add: Not allowed to add class methods");
  }
}

void TOxaObjects::Append(const TOxaObjectEntry& entry)
{
  if (FUsed == Capacity()) {
    const std::size_t capacity = FEntries.size();
    const std::size_t step = GrowthStep;
    const std::size_t grown = capacity == 0 ? 1 : capacity < step ? capacity * 2 : capacity + step;
    FEntries.reserve(grown);  // exactly this many: resize alone may take more
    FEntries.resize(grown);
  }
  FEntries[static_cast<std::size_t>(FUsed)] = entry;
  ++FUsed;
  ++FCount;
  if (OnAdd) {
    OnAdd(entry.Object);
  }
}

void TOxaObjects::Add(TObject* object)
{
  if (FDestroying) {
    Fatal("Add: Not allowed to add objects while destroying");
  }
  if (object == nullptr) {
    Fatal("Add: Not allowed to add nil objects");
  }
  Append({object, nullptr, nullptr});
}

void TOxaObjects::Add(const TNotifyEvent& onDestroy)
{
  if (FDestroying) {
    Fatal("Add: Not allowed to add objects while destroying");
  }
  if (MethodObject(onDestroy) == nullptr) {
    Fatal("Add: Not allowed to add class methods");
  }
  Append({ObjectOf(onDestroy), onDestroy, nullptr});
}

void TOxaObjects::Add(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange)
{
  CheckAdd(onDestroy, onChange);
  Append({ObjectOf(onDestroy), onDestroy, onChange});
}

template <class TMatch>
int TOxaObjects::FindNewest(TMatch match) const
{
  for (int slot = FUsed - 1; slot >= 0; --slot) {
    const TOxaObjectEntry& entry = FEntries[static_cast<std::size_t>(slot)];
    if (entry.Object != nullptr && match(entry)) {
      return slot;
    }
  }
  return -1;
}

void TOxaObjects::Remove(TObject* object)
{
  if (object == nullptr) {
    Fatal("Remove: Not allowed to remove Nil objects");
  }
  const int slot = FindNewest([object](const TOxaObjectEntry& entry) {
    return entry.Object == object && !entry.OnDestroy && !entry.OnChange;
  });
  if (slot < 0) {
    throw EOxaFatal("TOxaObjects.Remove: Object does not exist in list");
  }
  RemoveSlot(slot);
}

void TOxaObjects::Remove(const TNotifyEvent& onDestroy)
{
  if (MethodObject(onDestroy) == nullptr) {
    Fatal("Remove: Not allowed to remove class methods");
  }
  const TObject* object = ObjectOf(onDestroy);
  const int slot = FindNewest([object, &onDestroy](const TOxaObjectEntry& entry) {
    return entry.Object == object && entry.OnDestroy.Code() == onDestroy.Code() && !entry.OnChange;
  });
  if (slot < 0) {
    throw EOxaFatal("TOxaObjects.Remove: Event does not exist in list");
  }
  RemoveSlot(slot);
}

void TOxaObjects::Remove(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange)
{
  if (MethodObject(onDestroy) != MethodObject(onChange)) {
    Fatal("Remove: OnDestroy and OnChange methods does not belong to the same object");
  }
  if (MethodObject(onDestroy) == nullptr) {
    Fatal("Remove: Not allowed to remove class methods");
  }
  const TObject* object = ObjectOf(onDestroy);
  const int slot = FindNewest([object, &onDestroy, &onChange](const TOxaObjectEntry& entry) {
    return entry.Object == object && entry.OnDestroy.Code() == onDestroy.Code() &&
           entry.OnChange.Code() == onChange.Code();
  });
  if (slot < 0) {
    throw EOxaFatal("TOxaObjects.Remove: Event does not exist in list");
  }
  RemoveSlot(slot);
}

void TOxaObjects::RemoveSlot(int slot)
{
  TObject* object = FEntries[static_cast<std::size_t>(slot)].Object;
  Drop(slot);
  if (FDepth == 0 && Capacity() > 2 * FCount) {
    Compact();
  }
  if (OnRemove) {
    OnRemove(object);
  }
}

void TOxaObjects::Drop(int slot) noexcept
{
  FEntries[static_cast<std::size_t>(slot)] = TOxaObjectEntry{};
  if (slot == FUsed - 1) {
    --FUsed;
  }
  --FCount;
}

void TOxaObjects::Compact()
{
  std::vector<TOxaObjectEntry> live;
  live.reserve(static_cast<std::size_t>(FCount));
  for (int slot = 0; slot < FUsed; ++slot) {
    if (FEntries[static_cast<std::size_t>(slot)].Object != nullptr) {
      live.push_back(FEntries[static_cast<std::size_t>(slot)]);
    }
  }
  FEntries.swap(live);
  FUsed = FCount;
}

void TOxaObjects::Notify(bool freeObjects)
{
  if (FDepth != 0) {
    Fatal("Notify: Already notifying");
  }
  TPass pass(*this, false);
  DestroyPass(pass, freeObjects, false);
}

void TOxaObjects::DestroyPass(TPass& pass, bool freeObjects, bool tolerant)
{
  for (int slot = FUsed - 1; slot >= 0 && pass.Alive; --slot) {
    if (!tolerant) {
      DestroySlot(pass, slot, freeObjects);
      continue;
    }
    TObject* object = FEntries[static_cast<std::size_t>(slot)].Object;
    try {
      DestroySlot(pass, slot, freeObjects);
    } catch (const std::exception& error) {
      Trace("%s.Destroy: %s", ClassName(), error.what());
      if (pass.Alive && FEntries[static_cast<std::size_t>(slot)].Object == object && object != nullptr) {
        Drop(slot);
      }
    }
  }
}

void TOxaObjects::DestroySlot(TPass& pass, int slot, bool freeObjects)
{
  // Callbacks may add entries (and so move the slots) or free this very list: the entry is
  // read again after each call, and nothing is touched once the list is gone.
  const TOxaObjectEntry& entry = FEntries[static_cast<std::size_t>(slot)];
  TObject* object = entry.Object;
  if (object == nullptr) {
    return;
  }
  // The class is noted before the call: the object may free itself inside it.
  const std::type_info& type = typeid(*object);
  const char* what = nullptr;
  if (entry.OnDestroy) {
    const TNotifyEvent onDestroy = entry.OnDestroy;
    onDestroy(FOwner);
    what = "OnDestroy";
  } else if (freeObjects) {
    FreeObject(object);
    what = "Free";
  } else {
    return;
  }
  if (!pass.Alive || FEntries[static_cast<std::size_t>(slot)].Object != object) {
    return;
  }
  Trace("%s(%p).%s(%p).%s: Failed to remove", TObject::ClassNameOf(*FOwnerType), Address(FOwner),
        TObject::ClassNameOf(type), Address(object), what);
  Drop(slot);
}

void TOxaObjects::NotifyChange()
{
  TPass pass(*this, true);
  for (int slot = FUsed - 1; slot >= 0; --slot) {
    const TOxaObjectEntry& entry = FEntries[static_cast<std::size_t>(slot)];
    if (entry.Object == nullptr || !entry.OnChange) {
      continue;
    }
    const TNotifyEvent onChange = entry.OnChange;
    onChange(FOwner);
    if (!pass.Alive || !FNotifying) {
      return;
    }
  }
}

void TOxaObjects::Add(TOxaObjects* list, TObject* object)
{
  if (list != nullptr) {
    list->Add(object);
  }
}

void TOxaObjects::Add(TOxaObjects* list, const TNotifyEvent& onDestroy)
{
  if (list != nullptr) {
    list->Add(onDestroy);
  }
}

void TOxaObjects::Add(TOxaObjects* list, const TNotifyEvent& onDestroy, const TNotifyEvent& onChange)
{
  if (list != nullptr) {
    list->Add(onDestroy, onChange);
  }
}

void TOxaObjects::Remove(TOxaObjects* list, TObject* object)
{
  if (list != nullptr) {
    list->Remove(object);
  }
}

void TOxaObjects::Remove(TOxaObjects* list, const TNotifyEvent& onDestroy)
{
  if (list != nullptr) {
    list->Remove(onDestroy);
  }
}

void TOxaObjects::Remove(TOxaObjects* list, const TNotifyEvent& onDestroy, const TNotifyEvent& onChange)
{
  if (list != nullptr) {
    list->Remove(onDestroy, onChange);
  }
}

void TOxaObjects::Notify(TOxaObjects* list, bool freeObjects)
{
  if (list != nullptr) {
    list->Notify(freeObjects);
  }
}

void TOxaObjects::NotifyChange(TOxaObjects* list)
{
  if (list != nullptr) {
    list->NotifyChange();
  }
}

void LeaveParentList(TOxaObjects*& parentList, TObject* object) noexcept
{
  TOxaObjects* list = parentList;
  parentList = nullptr;
  try {
    TOxaObjects::Remove(list, object);
  } catch (const std::exception& error) {
    TraceObject(object, "Destroy: %s", error.what());
  }
}

TOxaObjects& TOxaObject::Objects()
{
  if (FDestroying) {
    throw EOxaFatal(ClassName() + ".GetObjects: Not allowed while destroying");
  }
  return OwnObjects();
}

void TOxaObject::BeforeDestruction()
{
  if (FDestroying) {
    throw EOxaFatal(ClassName() + ".Destroy: Object already destroying");
  }
  FDestroying = true;
}

TOxaObjects& TOxaPersistent::Objects()
{
  if (FDestroying) {
    throw EOxaFatal(ClassName() + ".Objects: Not allowed when destroying");
  }
  return OwnObjects();
}

TPersistent* TOxaPersistent::GetOwner() const
{
  return FParentList != nullptr ? dynamic_cast<TPersistent*>(FParentList->Owner()) : nullptr;
}

void TOxaPersistent::BeforeDestruction()
{
  if (FDestroying) {
    throw EOxaFatal(ClassName() + ".BeforeDestruction: Already destroying");
  }
  TPersistent::BeforeDestruction();
  FDestroying = true;
  NotifyOwnObjects(false);
  TOxaObjects* parentList = FParentList;
  FParentList = nullptr;
  TOxaObjects::Remove(parentList, this);
}
