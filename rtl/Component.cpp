#include "rtl/Component.h"

#include <algorithm>

#include "rtl/Exception.h"

void TPersistent::Assign(const TPersistent& source)
{
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const
{
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest.ClassName());
}

TComponent::TComponent(TComponent* owner)
{
  if (owner != nullptr) {
    owner->InsertComponent(*this);
  }
}

TComponent::~TComponent()
{
  Destroying();
  // Everyone who asked hears of this component's end, then forgets it.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& theirs = other->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (FOwner != nullptr) {
    FOwner->RemoveComponent(*this);
  }
}

void TComponent::BeforeDestruction()
{
  Destroying();
}

void TComponent::Destroying()
{
  if ((FComponentState & csDestroying) != 0) {
    return;
  }
  FComponentState |= csDestroying;
  for (TComponent* component : FComponents) {
    component->Destroying();
  }
}

void TComponent::DestroyComponents()
{
  while (!FComponents.empty()) {
    TComponent* component = FComponents.back();
    Remove(*component);
    // An owner frees what it owns: the ownership rule of components.
    FreeObject(component);
  }
}

void TComponent::Insert(TComponent& component)
{
  FComponents.push_back(&component);
  component.FOwner = this;
}

void TComponent::Remove(TComponent& component)
{
  component.FOwner = nullptr;
  FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), &component), FComponents.end());
}

void TComponent::InsertComponent(TComponent& component)
{
  if (component.FOwner != nullptr) {
    component.FOwner->RemoveComponent(component);
  }
  Insert(component);
  Notification(&component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent& component)
{
  Notification(&component, TOperation::opRemove);
  Remove(component);
}

void TComponent::FreeNotification(TComponent& component)
{
  if (&component == this) {
    return;
  }
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), &component) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(&component);
  }
  auto& theirs = component.FFreeNotifies;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) {
    theirs.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent& component)
{
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), &component),
                      FFreeNotifies.end());
  auto& theirs = component.FFreeNotifies;
  theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
  if (operation == TOperation::opRemove && component != nullptr) {
    RemoveFreeNotification(*component);
  }
  for (auto i = FComponents.size(); i-- > 0;) {
    if (i < FComponents.size()) {
      FComponents[i]->Notification(component, operation);
    }
  }
}
