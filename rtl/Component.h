#pragma once
// TPersistent and TComponent: objects that copy themselves with Assign, and components that own
// other components. An owner frees its components (the last one first, through FreeObject) when
// it is freed; every component told about another with FreeNotification hears of its removal
// through Notification.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rtl/Object.h"

class TPersistent : public TObject {
 public:
  // Copies source into this object. The default asks source to AssignTo this, whose default
  // raises EConvertError "Cannot assign a %s to a %s".
  virtual void Assign(const TPersistent& source);
  // The object this one belongs to, null when none; a component's is its owner.
  virtual TPersistent* GetOwner() const { return nullptr; }

 protected:
  virtual void AssignTo(TPersistent& dest) const;
};

enum class TOperation { opInsert, opRemove };

// Component states, a set of bits.
enum TComponentStateBits : unsigned {
  csLoading = 1U << 0,
  csReading = 1U << 1,
  csWriting = 1U << 2,
  csDestroying = 1U << 3,
  csUpdating = 1U << 4,
};

class TComponent : public TPersistent {
 public:
  // Registers with owner (which then frees this component) when owner is not null.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const noexcept { return FOwner; }
  TPersistent* GetOwner() const override { return FOwner; }
  // Marks the component csDestroying before it is freed.
  void BeforeDestruction() override;
  int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents.at(static_cast<std::size_t>(index)); }
  const std::string& Name() const noexcept { return FName; }
  void SetName(std::string name) { FName = std::move(name); }
  unsigned ComponentState() const noexcept { return FComponentState; }

  // Takes ownership of component, taking it from its previous owner.
  void InsertComponent(TComponent& component);
  // Gives up ownership of component without freeing it.
  void RemoveComponent(TComponent& component);
  // Frees every owned component, the last one first.
  void DestroyComponents();
  // Marks this component and its components csDestroying.
  void Destroying();

  // Asks to be told (Notification with opRemove) when component is freed; mutual.
  void FreeNotification(TComponent& component);
  void RemoveFreeNotification(TComponent& component);

  // Creates a component of class T owned by owner; the owner frees it.
  template <class T, class... Args>
  static T* Create(TComponent& owner, Args&&... args)
  {
    auto component = std::make_unique<T>(&owner, std::forward<Args>(args)...);
    return component.release();
  }

 protected:
  // Told when a component is inserted into or removed from this one's owner chain, or when a
  // component this one asked about is freed. The default passes it on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);
  void SetComponentState(unsigned state) noexcept { FComponentState = state; }
  // Called when the component's properties have been read; clears csLoading, so settings
  // held back while loading may be applied.
  virtual void Loaded() { FComponentState &= ~static_cast<unsigned>(csLoading); }

 private:
  void Insert(TComponent& component);
  void Remove(TComponent& component);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::string FName;
  unsigned FComponentState = 0;
};
