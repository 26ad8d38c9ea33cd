#pragma once
// Dependants lists and the base classes that carry one.
//
// A TOxaObjects list belongs to an owner and holds what depends on it: plain objects, which the
// owner frees when it dies, and observers, which are told when the owner changes (OnChange) or
// is destroyed (OnDestroy). An observer is the object its events are bound to; it must be an
// object of the class tree (TObject at the object's address, as with single inheritance),
// since the list names it in its trace lines. Lists are used on the user-interface thread only.
//
// The four base classes TOxaObject, TOxaPersistent, TOxaComponent and TOxaCustomControl create
// their list on first use of Objects, batch change notifications with BeginUpdate/EndUpdate,
// and tear the list down when they are freed. Free them with FreeObject (rtl/Object.h) or
// through their owner, so observers hear OnDestroy while the object is still whole.
//
// Misuse raises EOxaFatal with "Class.Operation: what went wrong" and leaves the list as it was.

#include <memory>
#include <typeinfo>
#include <vector>

#include "forms/Forms.h"
#include "framework/OxaUtils.h"
#include "rtl/Component.h"
#include "rtl/Method.h"
#include "rtl/Object.h"

// One slot of a list. A null Object marks a free slot. A plain entry has no events; an observer
// entry has OnDestroy, and perhaps OnChange, bound to Object.
struct TOxaObjectEntry {
  TObject* Object = nullptr;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnChange;
};

class TOxaObjects : public TObject {
 public:
  // Slots grow by doubling up to this many, then by this many at a time.
  static constexpr int GrowthStep = 8192;

  // Raises "%s.Create: This object must have an owner" for a null owner.
  explicit TOxaObjects(TObject* owner);
  // Runs the destroy pass with FreeObjects when entries remain. Being destroyed twice, during
  // one of the list's own passes, or with entries left over is a programming error: it writes
  // the trace line "%s.Destroy: ..." and stops debug builds.
  ~TOxaObjects() override;
  TOxaObjects(const TOxaObjects&) = delete;
  TOxaObjects& operator=(const TOxaObjects&) = delete;

  // A plain entry of object, which the list frees in a destroy pass with FreeObjects.
  void Add(TObject* object);
  // An observer told OnDestroy(Owner) when the owner goes.
  void Add(const TNotifyEvent& onDestroy);
  // An observer also told OnChange(Owner); both events bound to the same object.
  void Add(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange);
  // Each Remove takes the newest entry of the same kind that matches: the plain entry of object;
  // the entry with onDestroy and no OnChange; the entry with both events.
  void Remove(TObject* object);
  void Remove(const TNotifyEvent& onDestroy);
  void Remove(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange);

  // The destroy pass, newest entry first: observers hear OnDestroy(Owner) and are expected to
  // remove themselves; with freeObjects, plain objects are freed. An entry that is still there
  // afterwards is dropped with a "Failed to remove" trace line. An exception of a callback ends
  // the pass and reaches the caller. Raises "%s.Notify: Already notifying" inside another pass.
  void Notify(bool freeObjects);
  // The change pass, newest entry first: OnChange(Owner) for every observer that has one.
  // Entries added meanwhile wait for the next pass; a change pass started from a callback ends
  // this one when it ends.
  void NotifyChange();

  // The same on a list that may be absent: without one they do nothing.
  static void Add(TOxaObjects* list, TObject* object);
  static void Add(TOxaObjects* list, const TNotifyEvent& onDestroy);
  static void Add(TOxaObjects* list, const TNotifyEvent& onDestroy, const TNotifyEvent& onChange);
  static void Remove(TOxaObjects* list, TObject* object);
  static void Remove(TOxaObjects* list, const TNotifyEvent& onDestroy);
  static void Remove(TOxaObjects* list, const TNotifyEvent& onDestroy, const TNotifyEvent& onChange);
  static void Notify(TOxaObjects* list, bool freeObjects);
  static void NotifyChange(TOxaObjects* list);

  TObject* Owner() const noexcept { return FOwner; }
  // Live entries.
  int Count() const noexcept { return FCount; }
  // One past the highest slot filled since the last compaction.
  int Used() const noexcept { return FUsed; }
  // Slots allocated.
  int Capacity() const noexcept { return static_cast<int>(FEntries.size()); }
  // Passes running on this list.
  int Depth() const noexcept { return FDepth; }
  bool Destroying() const noexcept { return FDestroying; }
  bool Notifying() const noexcept { return FNotifying; }
  // A slot below Capacity(); free slots have a null Object.
  const TOxaObjectEntry& Entries(int slot) const { return FEntries.at(static_cast<std::size_t>(slot)); }

  // Called with the object of an entry after every add and every remove (not for entries a
  // destroy pass drops).
  TNotifyEvent OnAdd;
  TNotifyEvent OnRemove;

 private:
  // A pass running on this list; the list marks every running pass dead when it is destroyed
  // from inside one, so the pass returns without touching the list again.
  struct TPass {
    TPass(TOxaObjects& list, bool change);
    ~TPass();
    TPass(const TPass&) = delete;
    TPass& operator=(const TPass&) = delete;
    TOxaObjects& List;
    TPass* Outer;
    bool Change;
    bool Alive = true;
  };

  [[noreturn]] void Fatal(std::string_view what) const;
  void Complain(std::string_view what) const noexcept;
  void CheckAdd(const TNotifyEvent& onDestroy, const TNotifyEvent& onChange) const;
  void Append(const TOxaObjectEntry& entry);
  template <class TMatch>
  int FindNewest(TMatch match) const;
  void RemoveSlot(int slot);
  void Drop(int slot) noexcept;
  void Compact();
  // The destroy pass; tolerant (from the destructor) keeps going past a raising callback.
  void DestroyPass(TPass& pass, bool freeObjects, bool tolerant);
  void DestroySlot(TPass& pass, int slot, bool freeObjects);

  bool FDestroying = false;
  bool FNotifying = false;
  TObject* FOwner;
  // The owner's class when the list was made: its trace lines name it even while the owner's
  // destructor, which frees the list, runs.
  const std::type_info* FOwnerType;
  std::vector<TOxaObjectEntry> FEntries;  // its size is the capacity
  int FCount = 0;
  int FUsed = 0;
  int FDepth = 0;
  TPass* FPass = nullptr;  // the innermost running pass
};

// The dependants list and the update bracket that the four base classes share, on top of
// TBase. The list is created for this object on first use.
template <class TBase>
class TOxaUpdating : public TBase {
 public:
  using TBase::TBase;

  bool Updating() const noexcept { return FUpdating; }

  // While updating, only notes the change; otherwise runs the change pass on the own list.
  virtual void Changed()
  {
    if (FUpdating) {
      FChangePending = true;
      return;
    }
    FChangePending = false;
    TOxaObjects::NotifyChange(FObjects.get());
  }
  virtual void BeginUpdate()
  {
    ++FUpdateCount;
    FUpdating = true;
  }
  // Raises "%s.EndUpdate: Not updating" outside a bracket; the last one runs a pending Changed.
  virtual void EndUpdate()
  {
    if (!FUpdating) {
      throw EOxaFatal(this->ClassName() + ".EndUpdate: Not updating");
    }
    if (--FUpdateCount > 0) {
      return;
    }
    FUpdating = false;
    if (FChangePending) {
      Changed();
    }
  }

 protected:
  TOxaObjects& OwnObjects()
  {
    if (!FObjects) {
      FObjects = std::make_unique<TOxaObjects>(this);
    }
    return *FObjects;
  }
  void NotifyOwnObjects(bool freeObjects) { TOxaObjects::Notify(FObjects.get(), freeObjects); }
  // Runs the destroy pass with FreeObjects (observers told, plain dependants freed).
  void FreeOwnObjects() noexcept { FObjects.reset(); }

 private:
  std::unique_ptr<TOxaObjects> FObjects;
  int FUpdateCount = 0;
  bool FChangePending = false;
  bool FUpdating = false;
};

// Leaves a parent list from a destructor: a failure is traced.
void LeaveParentList(TOxaObjects*& parentList, TObject* object) noexcept;

// An object of TBase that registers in its parent list (which then frees it) and carries
// dependants.
template <class TBase>
class TOxaParented : public TOxaUpdating<TBase> {
 public:
  // Adds itself to parentList when there is one.
  explicit TOxaParented(TOxaObjects* parentList) : FParentList(parentList)
  {
    TOxaObjects::Add(parentList, this);
  }
  // Leaves the parent list if still in it, then frees the own list.
  ~TOxaParented() override
  {
    FDestroying = true;
    LeaveParentList(FParentList, this);
    this->FreeOwnObjects();
  }
  TOxaParented(const TOxaParented&) = delete;
  TOxaParented& operator=(const TOxaParented&) = delete;

  TOxaObjects* ParentList() const noexcept { return FParentList; }
  bool Destroying() const noexcept { return FDestroying; }

 protected:
  TOxaObjects* FParentList;
  bool FDestroying = false;
};

class TOxaObject : public TOxaParented<TObject> {
 public:
  explicit TOxaObject(TOxaObjects* parentList = nullptr) : TOxaParented(parentList) {}

  // Created on first use; raises "%s.GetObjects: Not allowed while destroying".
  TOxaObjects& Objects();
  // Raises "%s.Destroy: Object already destroying" when it is.
  void BeforeDestruction() override;
};

class TOxaPersistent;
// A class reference: constructs a persistent of a chosen class in a parent list.
using TOxaPersistentClass = TOxaPersistent* (*)(TOxaObjects* parentList);

// A persistent whose owner is the owner of its parent list.
class TOxaPersistent : public TOxaParented<TPersistent> {
 public:
  explicit TOxaPersistent(TOxaObjects* parentList = nullptr) : TOxaParented(parentList) {}

  // The class reference of T: TOxaPersistent::ClassOf<TMyNode>()(parentList).
  template <class T>
  static TOxaPersistentClass ClassOf()
  {
    return [](TOxaObjects* parentList) -> TOxaPersistent* {
      return std::make_unique<T>(parentList).release();  // owned by parentList, or by the caller
    };
  }

  // Created on first use; raises "%s.Objects: Not allowed when destroying".
  TOxaObjects& Objects();
  TPersistent* GetOwner() const override;
  // Raises "%s.BeforeDestruction: Already destroying" when it is; else tells the observers
  // (OnDestroy) while the object is whole and leaves the parent list.
  void BeforeDestruction() override;
};

// A component (TBase: TComponent or one of its descendants) that carries dependants; its
// destroying state is the component's.
template <class TBase>
class TOxaDependantComponent : public TOxaUpdating<TBase> {
 public:
  explicit TOxaDependantComponent(TComponent* owner) : TOxaUpdating<TBase>(owner) {}
  // Frees the own list (plain dependants are freed), then the component goes.
  ~TOxaDependantComponent() override { this->FreeOwnObjects(); }

  // Created on first use; raises "%s.GetObjects: Not allowed when destroying".
  TOxaObjects& Objects()
  {
    if ((this->ComponentState() & csDestroying) != 0) {
      throw EOxaFatal(this->ClassName() + ".GetObjects: Not allowed when destroying");
    }
    return this->OwnObjects();
  }
  // Marks the component destroying, then tells the observers (OnDestroy) while it is whole.
  void BeforeDestruction() override
  {
    TBase::BeforeDestruction();
    this->NotifyOwnObjects(false);
  }
};

class TOxaComponent : public TOxaDependantComponent<TComponent> {
 public:
  using TOxaDependantComponent::TOxaDependantComponent;
};

class TOxaCustomControl : public TOxaDependantComponent<TCustomControl> {
 public:
  using TOxaDependantComponent::TOxaDependantComponent;
};
