// The state sets of fonts and colours, and the parent chain they share with image stores.
#include <algorithm>

#include "graphics/OxaGraphics.h"

TOxaChainedObject::~TOxaChainedObject()
{
  if (FParent != nullptr) {
    FParent->RemoveObserver(MakeMethod<&TOxaChainedObject::ParentDestroyed>(this),
                            MakeMethod<&TOxaChainedObject::ParentChanged>(this));
    FParent = nullptr;
  }
}

void TOxaChainedObject::SetParentObject(TOxaChainedObject* value)
{
  if (value == FParent) {
    return;
  }
  for (const TOxaChainedObject* link = value; link != nullptr; link = link->FParent) {
    if (link == this) {
      throw EOxaFatal(ClassName() + ".SetParent: Parent can not be a child or self");
    }
  }
  const TNotifyEvent onDestroy = MakeMethod<&TOxaChainedObject::ParentDestroyed>(this);
  const TNotifyEvent onChange = MakeMethod<&TOxaChainedObject::ParentChanged>(this);
  if (FParent != nullptr) {
    FParent->RemoveObserver(onDestroy, onChange);
  }
  FParent = nullptr;
  if (value != nullptr) {
    value->Objects().Add(onDestroy, onChange);
    FParent = value;
  }
  Changed();
}

void TOxaChainedObject::ParentDestroyed(TObject* sender)
{
  // The dying parent's list drops the entry itself; it can no longer be asked to.
  if (sender == FParent) {
    FParent = nullptr;
    Changed();
  }
}

void TOxaChainedObject::ParentChanged(TObject* /*sender*/)
{
  Changed();
}

TOxaFonts::~TOxaFonts()
{
  for (const auto& [state, font] : FEntries) {
    font->RemoveObserver(MakeMethod<&TOxaFonts::FontDestroyed>(this),
                         MakeMethod<&TOxaFonts::FontChanged>(this));
  }
  FEntries.clear();
}

TOxaFont* TOxaFonts::Items(int state) const noexcept
{
  for (const TOxaFonts* set = this; set != nullptr; set = set->Parent()) {
    for (const auto& [entryState, font] : set->FEntries) {
      if (entryState == state) {
        return font;
      }
    }
  }
  return nullptr;
}

void TOxaFonts::SetItems(int state, TOxaFont* font)
{
  const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                  [state](const auto& entry) { return entry.first == state; });
  TOxaFont* old = found != FEntries.end() ? found->second : nullptr;
  if (old == font) {
    return;
  }
  const TNotifyEvent onDestroy = MakeMethod<&TOxaFonts::FontDestroyed>(this);
  const TNotifyEvent onChange = MakeMethod<&TOxaFonts::FontChanged>(this);
  if (font != nullptr) {
    font->Objects().Add(onDestroy, onChange);
  }
  if (old != nullptr) {
    old->RemoveObserver(onDestroy, onChange);
  }
  if (font == nullptr) {
    FEntries.erase(found);
  } else if (found != FEntries.end()) {
    found->second = font;
  } else {
    FEntries.emplace_back(state, font);
  }
  Changed();
}

void TOxaFonts::FontDestroyed(TObject* sender)
{
  bool changed = false;
  for (auto entry = FEntries.begin(); entry != FEntries.end();) {
    if (entry->second == sender) {
      entry = FEntries.erase(entry);
      changed = true;
    } else {
      ++entry;
    }
  }
  if (changed) {
    Changed();
  }
}

void TOxaFonts::FontChanged(TObject* /*sender*/)
{
  Changed();
}

std::optional<TOxaColor> TOxaColors::Items(int state) const noexcept
{
  for (const TOxaColors* set = this; set != nullptr; set = set->Parent()) {
    for (const auto& [entryState, color] : set->FEntries) {
      if (entryState == state) {
        return color;
      }
    }
  }
  return std::nullopt;
}

void TOxaColors::SetItems(int state, TOxaColor color)
{
  // One entry per state: a later value replaces the earlier one.
  const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                  [state](const auto& entry) { return entry.first == state; });
  if (found != FEntries.end()) {
    if (found->second == color) {
      return;
    }
    found->second = color;
  } else {
    FEntries.emplace_back(state, color);
  }
  Changed();
}
