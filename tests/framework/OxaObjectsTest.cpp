#include "framework/OxaObjects.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rtl/Format.h"
#include "rtl/List.h"
#include "tests/support/TraceCapture.h"

namespace {

class TOwnerThing : public TObject {};

// An observer that writes what it hears into a shared log and, unless told otherwise, removes
// its entry when told of the owner's end, as well-behaved observers do.
class TWatcher : public TObject {
 public:
  TWatcher(std::vector<std::string>& log, std::string name) : FLog(log), FName(std::move(name)) {}

  TNotifyEvent DestroyEvent() { return MakeMethod<&TWatcher::Destroyed>(this); }
  TNotifyEvent ChangeEvent() { return MakeMethod<&TWatcher::Changed>(this); }

  void Destroyed(TObject* sender)
  {
    FLog.push_back(FName + ":destroy");
    if (OnDestroyed) {
      OnDestroyed(sender);
    }
    if (List != nullptr && RemoveOnDestroy) {
      if (WithChange) {
        List->Remove(DestroyEvent(), ChangeEvent());
      } else {
        List->Remove(DestroyEvent());
      }
    }
  }
  void Changed(TObject* sender)
  {
    FLog.push_back(FName + ":change");
    if (OnChanged) {
      OnChanged(sender);
    }
  }
  // Registers in list, with or without OnChange.
  void Watch(TOxaObjects& list, bool withChange)
  {
    List = &list;
    WithChange = withChange;
    if (withChange) {
      list.Add(DestroyEvent(), ChangeEvent());
    } else {
      list.Add(DestroyEvent());
    }
  }

  TOxaObjects* List = nullptr;
  bool WithChange = false;
  bool RemoveOnDestroy = true;
  std::function<void(TObject*)> OnDestroyed;
  std::function<void(TObject*)> OnChanged;

 private:
  std::vector<std::string>& FLog;
  std::string FName;
};

// Frees itself when told of the owner's end, without leaving the owner's list.
class TLeaver : public TObject {
 public:
  void Destroyed(TObject*) { delete this; }
};

// Counts its own end.
class TCounted : public TObject {
 public:
  explicit TCounted(int& freed) : FFreed(freed) {}
  ~TCounted() override { ++FFreed; }

 private:
  int& FFreed;
};

std::string Hex(const void* address)
{
  return Format("%p", address);
}

}  // namespace

TEST(OxaObjects, SlotsGrowByDoublingThenBySteps)
{
  struct TCase {
    int Adds, Capacity;
  };
  const TCase cases[] = {
      {1, 1},       {2, 2},        {3, 4},        {5, 8},         {4096, 4096},   {4097, 8192},
      {8192, 8192}, {8193, 16384}, {9000, 16384}, {16384, 16384}, {16385, 24576},
  };
  TOwnerThing owner;
  for (const auto& c : cases) {
    TOxaObjects list(&owner);
    std::vector<TOwnerThing> things(static_cast<std::size_t>(c.Adds));
    for (auto& thing : things) {
      list.Add(&thing);
    }
    EXPECT_EQ(list.Capacity(), c.Capacity) << c.Adds << " entries";
    EXPECT_EQ(list.Count(), c.Adds);
    EXPECT_EQ(list.Used(), c.Adds);
    list.Notify(false);
    for (auto thing = things.rbegin(); thing != things.rend(); ++thing) {
      list.Remove(&*thing);
    }
    EXPECT_EQ(list.Capacity(), 0);
  }
}

TEST(OxaObjects, RemovingThePlainEntryKeepsTheObserverEntries)
{
  std::vector<std::string> log;
  for (const bool plainFirst : {true, false}) {
    TOwnerThing owner;
    TOxaObjects list(&owner);
    TWatcher watcher(log, "w");
    if (plainFirst) {
      list.Add(&watcher);
    }
    list.Add(watcher.DestroyEvent());
    watcher.Watch(list, true);
    if (!plainFirst) {
      list.Add(&watcher);
    }
    list.Remove(&watcher);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_THROW(list.Remove(&watcher), EOxaFatal);
    log.clear();
    list.NotifyChange();
    EXPECT_EQ(log, std::vector<std::string>{"w:change"});
    list.Remove(watcher.DestroyEvent(), watcher.ChangeEvent());
    list.Remove(watcher.DestroyEvent());
    EXPECT_EQ(list.Count(), 0);
  }
}

TEST(OxaObjects, RemovalTakesTheNewestMatchingEntry)
{
  TOwnerThing owner;
  TOxaObjects list(&owner);
  TOwnerThing a, b;
  list.Add(&a);  // slot 0
  list.Add(&b);  // slot 1
  list.Add(&a);  // slot 2
  list.Add(&b);  // slot 3
  // Capacity 4 and count 3: no compaction, so the freed slot shows which entry went.
  list.Remove(&a);
  EXPECT_EQ(list.Entries(2).Object, nullptr);
  EXPECT_EQ(list.Entries(0).Object, &a);
  EXPECT_EQ(list.Used(), 4);
  list.Remove(&b);  // slot 3, the last one: used drops by one
  EXPECT_EQ(list.Used(), 3);
  // Count 1 against capacity 4: compacted to exactly one slot, the older b gone, a kept.
  list.Remove(&b);
  EXPECT_EQ(list.Capacity(), 1);
  EXPECT_EQ(list.Used(), 1);
  EXPECT_EQ(list.Entries(0).Object, &a);
  list.Remove(&a);
}

TEST(OxaObjects, CompactionWaitsUntilNoPassRuns)
{
  std::vector<std::string> log;
  TOwnerThing owner;
  TOxaObjects list(&owner);
  TWatcher first(log, "first"), second(log, "second"), third(log, "third");
  TOwnerThing plain;
  first.Watch(list, true);
  second.Watch(list, true);
  third.Watch(list, true);
  list.Add(&plain);
  third.OnChanged = [&](TObject*) {
    list.Remove(second.DestroyEvent(), second.ChangeEvent());
    list.Remove(first.DestroyEvent(), first.ChangeEvent());
  };
  list.NotifyChange();
  // The two removed entries were not called, and their slots stay free.
  EXPECT_EQ(log, std::vector<std::string>{"third:change"});
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Capacity(), 4);
  EXPECT_EQ(list.Entries(0).Object, nullptr);
  EXPECT_EQ(list.Entries(1).Object, nullptr);
  // Capacity 4 is not more than twice 2: still no compaction.
  EXPECT_EQ(list.Used(), 4);
  // Outside a pass, the next removal leaves one entry in four slots: compacted.
  list.Remove(&plain);
  EXPECT_EQ(list.Capacity(), 1);
  EXPECT_EQ(list.Entries(0).Object, &third);
  list.Remove(third.DestroyEvent(), third.ChangeEvent());
}

TEST(OxaObjects, ChangePassVisitsNewestFirstAndNotWhatItAdds)
{
  std::vector<std::string> log;
  TOwnerThing owner;
  TOxaObjects list(&owner);
  TWatcher a(log, "a"), b(log, "b"), late(log, "late"), quiet(log, "quiet");
  a.Watch(list, true);
  quiet.Watch(list, false);
  b.Watch(list, true);
  b.OnChanged = [&](TObject* sender) {
    EXPECT_EQ(sender, &owner);
    EXPECT_TRUE(list.Notifying());
    if (late.List == nullptr) {
      late.Watch(list, true);  // grows the slots: the pass must read its entries again
    }
  };
  list.NotifyChange();
  EXPECT_EQ(log, (std::vector<std::string>{"b:change", "a:change"}));
  EXPECT_FALSE(list.Notifying());
  EXPECT_EQ(list.Depth(), 0);
  log.clear();
  list.NotifyChange();
  EXPECT_EQ(log, (std::vector<std::string>{"late:change", "b:change", "a:change"}));
  list.Notify(false);
  EXPECT_EQ(list.Count(), 0);
}

TEST(OxaObjects, NestedChangePassEndsTheOuterOne)
{
  std::vector<std::string> log;
  TOwnerThing owner;
  TOxaObjects list(&owner);
  TWatcher a(log, "a"), b(log, "b");
  a.Watch(list, true);
  b.Watch(list, true);
  bool nested = false;
  b.OnChanged = [&](TObject*) {
    if (!nested) {
      nested = true;
      list.NotifyChange();
    }
  };
  list.NotifyChange();
  // The inner pass called b and a; the outer one stopped after b.
  EXPECT_EQ(log, (std::vector<std::string>{"b:change", "b:change", "a:change"}));
  EXPECT_EQ(list.Depth(), 0);
  list.Notify(false);
}

TEST(OxaObjects, DestroyPassTellsObserversAndFreesPlainObjects)
{
  std::vector<std::string> log;
  TOwnerThing owner;
  int freed = 0;
  TOxaObjects list(&owner);
  TWatcher a(log, "a"), b(log, "b");
  a.Watch(list, false);
  list.Add(new TCounted(freed));  // owned by the list from here on
  b.Watch(list, true);
  int removed = 0;
  list.OnRemove = TNotifyEvent([](void* count, TObject*) { ++*static_cast<int*>(count); }, &removed);

  list.Notify(false);
  EXPECT_EQ(log, (std::vector<std::string>{"b:destroy", "a:destroy"}));
  EXPECT_EQ(freed, 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(removed, 2);

  list.Notify(true);
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Depth(), 0);
}

TEST(OxaObjects, AddAndRemoveAreReported)
{
  TOwnerThing owner;
  TOxaObjects list(&owner);
  std::vector<TObject*> added, removed;
  list.OnAdd = TNotifyEvent(
      [](void* to, TObject* o) { static_cast<std::vector<TObject*>*>(to)->push_back(o); }, &added);
  list.OnRemove = TNotifyEvent(
      [](void* to, TObject* o) { static_cast<std::vector<TObject*>*>(to)->push_back(o); }, &removed);
  std::vector<std::string> log;
  TWatcher w(log, "w");
  TOwnerThing plain;
  list.Add(&plain);
  w.Watch(list, true);
  list.Remove(&plain);
  list.Remove(w.DestroyEvent(), w.ChangeEvent());
  EXPECT_EQ(added, (std::vector<TObject*>{&plain, &w}));
  EXPECT_EQ(removed, (std::vector<TObject*>{&plain, &w}));
}

namespace {
class TShelf : public TOxaObject {};
}  // namespace

TEST(OxaObjects, PlainListOfADyingOwnerIsFreedAndDropped)
{
  TTraceCapture trace;
  auto owner = std::make_unique<TShelf>();
  auto* list = new TList<int>;
  owner->Objects().Add(list);
  const TShelf* ownerAddress = owner.get();
  FreeObject(owner.release());
  // The list cannot remove itself: the pass drops its entry with a line naming the owner's own
  // class, though the owner is half destroyed by then, and the owner's list goes quietly.
  EXPECT_TRUE(trace.Contains("TShelf(" + Hex(ownerAddress) + ").TList<int>(" + Hex(list) +
                             ").Free: Failed to remove"));
  EXPECT_FALSE(trace.Contains("Destroy:"));
  EXPECT_EQ(Hex(list).size(), 2 * sizeof(void*));
}

TEST(OxaObjects, ObserverThatStaysIsDroppedUnderTheNameItHadBeforeTheCall)
{
  TTraceCapture trace;
  std::vector<std::string> log;
  TOwnerThing owner;
  TOxaObjects list(&owner);
  // Frees itself inside the callback without leaving the list: the line must still name it.
  auto* leaving = new TLeaver;
  const void* address = leaving;
  list.Add(MakeMethod<&TLeaver::Destroyed>(leaving));
  TWatcher stays(log, "stays");
  stays.RemoveOnDestroy = false;
  stays.Watch(list, true);

  list.Notify(false);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(trace.Contains("TOwnerThing(" + Hex(&owner) + ").TLeaver(" + Hex(address) +
                             ").OnDestroy: Failed to remove"));
  EXPECT_TRUE(trace.Contains(").TWatcher(" + Hex(&stays) + ").OnDestroy: Failed to remove"));
}

TEST(OxaObjects, ObserverFreedFirstIsNeverCalled)
{
  std::vector<std::string> log;
  auto owner = std::make_unique<TOxaObject>();
  {
    TWatcher gone(log, "gone");
    gone.Watch(owner->Objects(), true);
    owner->Changed();
    owner->Objects().Remove(gone.DestroyEvent(), gone.ChangeEvent());
  }
  TWatcher stays(log, "stays");
  stays.Watch(owner->Objects(), true);
  owner->Changed();
  FreeObject(owner.release());
  EXPECT_EQ(log, (std::vector<std::string>{"gone:change", "stays:change", "stays:destroy"}));
}

TEST(OxaObjects, PassesRestoreTheirDepthWhenACallbackRaises)
{
  std::vector<std::string> log;
  TOwnerThing owner;
  TOxaObjects list(&owner);
  TWatcher w(log, "w");
  w.Watch(list, true);
  w.OnChanged = [](TObject*) { throw EOxaFailed("change failed"); };
  w.OnDestroyed = [](TObject*) { throw EOxaFailed("destroy failed"); };
  EXPECT_THROW(list.NotifyChange(), EOxaFailed);
  EXPECT_EQ(list.Depth(), 0);
  EXPECT_FALSE(list.Notifying());
  EXPECT_THROW(list.Notify(false), EOxaFailed);
  EXPECT_EQ(list.Depth(), 0);
  EXPECT_EQ(list.Count(), 1);
  w.OnDestroyed = nullptr;
  list.Notify(false);
  EXPECT_EQ(list.Count(), 0);
}

TEST(OxaObjects, EveryMisuseNamesTheClass)
{
  std::vector<std::string> log;
  TOwnerThing owner;
  TOxaObjects list(&owner);
  TWatcher a(log, "a"), b(log, "b");
  const TNotifyEvent classMethod = TNotifyEvent([](void*, TObject*) {}, nullptr);
  auto dying = std::make_unique<TOxaObject>();
  TOxaObjects* dyingList = &dying->Objects();
  TWatcher spy(log, "spy");
  std::string addWhileDying;
  spy.OnDestroyed = [&](TObject*) {
    try {
      dyingList->Add(&a);
    } catch (const EOxaFatal& error) {
      addWhileDying = error.Message();
    }
  };
  spy.Watch(*dyingList, false);
  dying.reset();  // the list's own destructor runs the pass with its destroying flag set
  EXPECT_EQ(addWhileDying, "TOxaObjects.Add: Not allowed to add objects while destroying");

  struct TCase {
    std::function<void()> Misuse;
    const char* Message;
  };
  const TCase cases[] = {
      {[] { TOxaObjects orphan(nullptr); }, "TOxaObjects.Create: This object must have an owner"},
      {[&] { list.Add(static_cast<TObject*>(nullptr)); }, "TOxaObjects.Add: Not allowed to add nil objects"},
      {[&] { list.Add(classMethod); }, "TOxaObjects.Add: Not allowed to add class methods"},
      {[&] { list.Add(classMethod, classMethod); }, "TOxaObjects.Add: Not allowed to add class methods"},
      {[&] { list.Add(a.DestroyEvent(), b.ChangeEvent()); },
       "TOxaObjects.Add: OnDestroy and OnChange methods must belong to same object"},
      {[&] { list.Remove(static_cast<TObject*>(nullptr)); },
       "TOxaObjects.Remove: Not allowed to remove Nil objects"},
      {[&] { list.Remove(&a); }, "TOxaObjects.Remove: Object does not exist in list"},
      {[&] { list.Remove(classMethod); }, "TOxaObjects.Remove: Not allowed to remove class methods"},
      {[&] { list.Remove(classMethod, classMethod); },
       "TOxaObjects.Remove: Not allowed to remove class methods"},
      {[&] { list.Remove(a.DestroyEvent(), b.ChangeEvent()); },
       "TOxaObjects.Remove: OnDestroy and OnChange methods does not belong to the same object"},
      {[&] { list.Remove(a.DestroyEvent()); }, "TOxaObjects.Remove: Event does not exist in list"},
      {[&] { list.Remove(a.DestroyEvent(), a.ChangeEvent()); },
       "TOxaObjects.Remove: Event does not exist in list"},
      {[&] {
         a.Watch(list, false);
         a.OnDestroyed = [&](TObject*) { list.Notify(false); };
         list.Notify(false);
       },
       "TOxaObjects.Notify: Already notifying"},
      {[] { TOxaObject().EndUpdate(); }, "TOxaObject.EndUpdate: Not updating"},
      {[] { TOxaPersistent().EndUpdate(); }, "TOxaPersistent.EndUpdate: Not updating"},
      {[] { TOxaComponent(nullptr).EndUpdate(); }, "TOxaComponent.EndUpdate: Not updating"},
      {[] { TOxaCustomControl(nullptr).EndUpdate(); }, "TOxaCustomControl.EndUpdate: Not updating"},
      {[] {
         TOxaObject object;
         object.BeforeDestruction();
         object.BeforeDestruction();
       },
       "TOxaObject.Destroy: Object already destroying"},
      {[] {
         TOxaPersistent object;
         object.BeforeDestruction();
         object.BeforeDestruction();
       },
       "TOxaPersistent.BeforeDestruction: Already destroying"},
      {[] {
         TOxaObject object;
         object.BeforeDestruction();
         object.Objects();
       },
       "TOxaObject.GetObjects: Not allowed while destroying"},
      {[] {
         TOxaPersistent object;
         object.BeforeDestruction();
         object.Objects();
       },
       "TOxaPersistent.Objects: Not allowed when destroying"},
      {[] {
         TOxaComponent object(nullptr);
         object.BeforeDestruction();
         object.Objects();
       },
       "TOxaComponent.GetObjects: Not allowed when destroying"},
      {[] {
         TOxaCustomControl object(nullptr);
         object.BeforeDestruction();
         object.Objects();
       },
       "TOxaCustomControl.GetObjects: Not allowed when destroying"},
  };
  for (const auto& c : cases) {
    try {
      c.Misuse();
      ADD_FAILURE() << "no exception for " << c.Message;
    } catch (const EOxaFatal& error) {
      EXPECT_EQ(error.Message(), c.Message);
    }
  }
  EXPECT_EQ(list.Depth(), 0);
  a.OnDestroyed = nullptr;
  list.Notify(false);
}

TEST(OxaObjects, AbsentListsTakeEveryOperationQuietly)
{
  std::vector<std::string> log;
  TWatcher w(log, "w");
  TOxaObjects* none = nullptr;
  TOxaObjects::Add(none, &w);
  TOxaObjects::Add(none, w.DestroyEvent());
  TOxaObjects::Add(none, w.DestroyEvent(), w.ChangeEvent());
  TOxaObjects::Remove(none, &w);
  TOxaObjects::Remove(none, w.DestroyEvent());
  TOxaObjects::Remove(none, w.DestroyEvent(), w.ChangeEvent());
  TOxaObjects::Notify(none, true);
  TOxaObjects::NotifyChange(none);
  TOxaObject noParent(none);
  EXPECT_EQ(noParent.ParentList(), nullptr);
  EXPECT_TRUE(log.empty());
}

namespace {

// One of the four base classes behind one interface, for the tests they share.
struct TBaseUnderTest {
  std::string Name;
  std::function<TObject*()> Create;
  std::function<TOxaObjects&(TObject*)> Objects;
  std::function<void(TObject*)> BeginUpdate, EndUpdate, Changed;
};

template <class T>
TBaseUnderTest Base(std::string name, std::function<TObject*()> create)
{
  return {std::move(name),
          std::move(create),
          [](TObject* o) -> TOxaObjects& { return static_cast<T*>(o)->Objects(); },
          [](TObject* o) { static_cast<T*>(o)->BeginUpdate(); },
          [](TObject* o) { static_cast<T*>(o)->EndUpdate(); },
          [](TObject* o) { static_cast<T*>(o)->Changed(); }};
}

std::vector<TBaseUnderTest> Bases()
{
  return {
      Base<TOxaObject>("TOxaObject", [] { return new TOxaObject; }),
      Base<TOxaPersistent>("TOxaPersistent", [] { return new TOxaPersistent; }),
      Base<TOxaComponent>("TOxaComponent", [] { return new TOxaComponent(nullptr); }),
      Base<TOxaCustomControl>("TOxaCustomControl", [] { return new TOxaCustomControl(nullptr); }),
  };
}

}  // namespace

TEST(OxaObjects, UpdateBracketsNotifyOnceAtTheLastEnd)
{
  for (const auto& base : Bases()) {
    std::vector<std::string> log;
    TOwnedObject<TObject> object(base.Create());
    TWatcher w(log, "w");
    w.Watch(base.Objects(object.get()), true);
    base.BeginUpdate(object.get());
    base.Changed(object.get());
    base.BeginUpdate(object.get());
    base.Changed(object.get());
    base.Changed(object.get());
    base.EndUpdate(object.get());
    EXPECT_TRUE(log.empty()) << base.Name;
    base.EndUpdate(object.get());
    EXPECT_EQ(log, std::vector<std::string>{"w:change"}) << base.Name;
    // A bracket without a change notifies nothing.
    base.BeginUpdate(object.get());
    base.EndUpdate(object.get());
    EXPECT_EQ(log.size(), 1U) << base.Name;
    base.Changed(object.get());
    EXPECT_EQ(log.size(), 2U) << base.Name;
    EXPECT_THROW(base.EndUpdate(object.get()), EOxaFatal) << base.Name;
    object.reset();
    EXPECT_EQ(log.back(), "w:destroy") << base.Name;
  }
}

TEST(OxaObjects, ObjectsAreCreatedOnFirstUseOnly)
{
  for (const auto& base : Bases()) {
    TOwnedObject<TObject> object(base.Create());
    base.Changed(object.get());  // no list yet: nothing to notify
    TOxaObjects& objects = base.Objects(object.get());
    EXPECT_EQ(objects.Owner(), object.get()) << base.Name;
    EXPECT_EQ(&base.Objects(object.get()), &objects) << base.Name;
  }
}

namespace {

// A persistent whose observers must see it whole: the class name is its own only until its
// destructor starts.
class TNode : public TOxaPersistent {
 public:
  using TOxaPersistent::TOxaPersistent;
  ~TNode() override { ++Destroyed; }
  static int Destroyed;
};
int TNode::Destroyed = 0;

class TPanel : public TOxaComponent {
 public:
  using TOxaComponent::TOxaComponent;
};

}  // namespace

TEST(OxaObjects, ObserversHearOfTheEndWhileTheObjectIsWhole)
{
  std::vector<std::string> log;
  std::vector<std::string> heardAs;
  auto hear = [&](TObject* sender) { heardAs.push_back(sender->ClassName()); };

  TWatcher onNode(log, "node");
  onNode.OnDestroyed = hear;
  auto* node = new TNode;
  onNode.Watch(node->Objects(), true);
  FreeObject(node);

  TWatcher onPanel(log, "panel");
  onPanel.OnDestroyed = [&](TObject* sender) {
    hear(sender);
    EXPECT_NE(static_cast<TPanel*>(sender)->ComponentState() & csDestroying, 0U);
  };
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* panel = new TPanel(owner.get());
  onPanel.Watch(panel->Objects(), false);
  owner.reset();  // the owner frees the panel through FreeObject

  EXPECT_EQ(heardAs, (std::vector<std::string>{"TNode", "TPanel"}));
}

TEST(OxaObjects, ChildrenGoWithTheirParentOrLeaveItWhenFreedFirst)
{
  TNode::Destroyed = 0;
  auto parent = std::make_unique<TOxaObject>();
  auto* first = new TNode(&parent->Objects());
  auto* second = new TOxaObject(&parent->Objects());
  new TNode(&second->Objects());  // a grandchild, freed by second
  EXPECT_EQ(parent->Objects().Count(), 2);
  EXPECT_EQ(first->GetOwner(), nullptr);  // the parent is no persistent
  FreeObject(first);
  EXPECT_EQ(TNode::Destroyed, 1);
  EXPECT_EQ(parent->Objects().Count(), 1);
  TTraceCapture trace;
  FreeObject(parent.release());
  EXPECT_EQ(TNode::Destroyed, 2);
  EXPECT_EQ(trace.Log(), "");

  auto persistentParent = std::make_unique<TOxaPersistent>();
  TNode child(&persistentParent->Objects());
  EXPECT_EQ(child.GetOwner(), persistentParent.get());
  TOxaPersistent* made = TOxaPersistent::ClassOf<TNode>()(&child.Objects());
  EXPECT_EQ(made->ClassName(), "TNode");
  EXPECT_EQ(made->GetOwner(), &child);
  FreeObject(made);
  EXPECT_EQ(child.Objects().Count(), 0);
}

TEST(OxaObjects, ControlsCarryWindowsAndDependants)
{
  std::vector<std::string> log;
  auto control = std::make_unique<TOxaCustomControl>(nullptr);
  const HWND window = control->Handle();
  EXPECT_TRUE(IsWindow(window));
  TWatcher w(log, "w");
  w.Watch(control->Objects(), false);
  FreeObject(control.release());
  EXPECT_EQ(log, std::vector<std::string>{"w:destroy"});
  EXPECT_FALSE(IsWindow(window));
}

TEST(OxaObjectsDeathTest, DestroyingAListInsideItsOwnPassIsTraced)
{
  TTraceCapture trace;
  auto destroyInsidePass = [] {
    std::vector<std::string> log;
    TOwnerThing owner;
    auto* list = new TOxaObjects(&owner);
    int freed = 0;
    list->Add(new TCounted(freed));
    TWatcher killer(log, "killer");
    killer.RemoveOnDestroy = false;
    killer.OnChanged = [list](TObject*) { delete list; };
    killer.Watch(*list, true);
    TWatcher after(log, "after");
    after.Watch(*list, true);
    list->NotifyChange();  // after, then killer, which ends the list and so the pass
    if (freed != 1 ||
        log != std::vector<std::string>{"after:change", "killer:change", "after:destroy", "killer:destroy"}) {
      std::abort();
    }
  };
  EXPECT_DEBUG_DEATH(destroyInsidePass(), "misused in its destructor");
  EXPECT_TRUE(trace.Contains("TOxaObjects.Destroy: Not allowed while notifying"));
}
