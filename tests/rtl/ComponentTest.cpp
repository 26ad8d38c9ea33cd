#include "rtl/Component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/Exception.h"

namespace {

// Records destruction order and the notifications it hears.
class TProbe : public TComponent {
 public:
  TProbe(TComponent* owner, std::string name, std::vector<std::string>& log) : TComponent(owner), FLog(log)
  {
    SetName(std::move(name));
  }
  ~TProbe() override
  {
    FLog.push_back("free " + Name() + ((ComponentState() & csDestroying) != 0 ? " destroying" : ""));
  }

 protected:
  void Notification(TComponent* component, TOperation operation) override
  {
    if (operation == TOperation::opRemove && component != this) {
      FLog.push_back(Name() + " heard of " + component->Name());
    }
    TComponent::Notification(component, operation);
  }

 private:
  std::vector<std::string>& FLog;
};

}  // namespace

TEST(Component, OwnerFreesItsComponentsLastFirst)
{
  std::vector<std::string> log;
  {
    TProbe owner(nullptr, "owner", log);
    TComponent::Create<TProbe>(owner, "first", log);
    TComponent::Create<TProbe>(owner, "second", log);
    EXPECT_EQ(owner.ComponentCount(), 2);
  }
  // The owner's own destructor body runs first; then its components go, marked as destroying.
  EXPECT_EQ(log, (std::vector<std::string>{"free owner", "free second destroying", "free first destroying"}));
}

TEST(Component, FreeNotificationTellsTheObserverOnce)
{
  std::vector<std::string> log;
  TProbe observer(nullptr, "observer", log);
  {
    TProbe subject(nullptr, "subject", log);
    observer.FreeNotification(subject);
    observer.FreeNotification(subject);
  }
  EXPECT_EQ(std::count(log.begin(), log.end(), "observer heard of subject"), 1);
}

TEST(Component, FreeingAnOwnedComponentTakesItOutOfItsOwner)
{
  std::vector<std::string> log;
  TProbe owner(nullptr, "owner", log);
  auto* child = TComponent::Create<TProbe>(owner, "child", log);
  std::unique_ptr<TProbe> released(child);
  owner.RemoveComponent(*child);
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(child->Owner(), nullptr);
}

TEST(Component, AssignBetweenUnrelatedClassesFails)
{
  std::vector<std::string> log;
  TProbe a(nullptr, "a", log);
  TProbe b(nullptr, "b", log);
  try {
    a.Assign(b);
    FAIL() << "expected EConvertError";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TProbe to a TProbe");
  }
}
