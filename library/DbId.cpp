#include "library/DbId.h"

#include <algorithm>
#include <iterator>

#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Utf8.h"

TDbIdLevel TDbId::Level() const noexcept
{
  if (ViewId == -1) {
    return TDbIdLevel::Root;
  }
  if (GroupId == -1) {
    return TDbIdLevel::View;
  }
  if (FileId == -1) {
    return TDbIdLevel::Group;
  }
  return TDbIdLevel::Item;
}

bool TDbId::Valid() const noexcept
{
  return Level() == TDbIdLevel::Item || (FileId == -1 && ViewId != -1);
}

TDbId BeforeFirst(const TDbId& id)
{
  TDbId result = id;
  result.Order = 0;
  switch (id.Level()) {
    case TDbIdLevel::Root:
      throw Exception("BeforeFirst: Root not allowed");
    case TDbIdLevel::View:
      result.GroupId = 0;
      break;
    case TDbIdLevel::Group:
      result.FileId = 0;
      break;
    case TDbIdLevel::Item:
      throw Exception("BeforeFirst: File not allowed");
  }
  return result;
}

bool IsBeforeFirst(const TDbId& id)
{
  switch (id.Level()) {
    case TDbIdLevel::Root:
      break;
    case TDbIdLevel::View:
      if (id.ViewId == 0) {
        throw Exception("IsBeforeFirst: ViewId = 0");
      }
      return true;
    case TDbIdLevel::Group:
      return id.GroupId == 0;
    case TDbIdLevel::Item:
      return id.FileId == 0;
  }
  throw Exception("IsBeforeFirst: Illegal DbId");
}

namespace {

// Letters first (rank 0), then the digits (1 to 10), then every other character by its code.
int CaptionRank(std::string_view caption) noexcept
{
  std::size_t pos = 0;
  const char32_t c = NextCodePoint(caption, pos);
  if ((c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || c >= 192) {
    return 0;
  }
  if (c >= U'0' && c <= U'9') {
    return static_cast<int>(c - U'0') + 1;
  }
  if (c <= 47) {
    return static_cast<int>(c) + 11;
  }
  if (c <= 64) {
    return static_cast<int>(c) + 1;
  }
  if (c <= 96) {
    return static_cast<int>(c) - 25;
  }
  return static_cast<int>(c) - 51;
}

}  // namespace

int CompareCaptions(std::string_view a, std::string_view b)
{
  if (a.empty() || b.empty()) {
    return static_cast<int>(a.empty()) - static_cast<int>(b.empty());
  }
  const int rankA = CaptionRank(a);
  const int rankB = CaptionRank(b);
  if (rankA == rankB) {
    return AnsiCompareText(a, b);
  }
  return rankA - rankB;
}

void TDbIdList::Add(TDbId id)
{
  if (Count() == FCapacity) {
    SetCapacity(FCapacity < DbIdListLinearGrowth ? FCapacity * 2 + 1 : FCapacity + DbIdListGrowthStep);
  }
  FItems.push_back(std::move(id));
}

void TDbIdList::AddValues(std::int32_t view, std::int32_t group, std::int32_t order, std::string extra,
                          std::string caption, std::int32_t file)
{
  TDbId id;
  id.ViewId = view;
  id.GroupId = group;
  id.FileId = file;
  id.Caption = std::move(caption);
  id.Extra = std::move(extra);
  id.Order = order;
  Add(std::move(id));
}

void TDbIdList::Clear() noexcept
{
  FItems = std::vector<TDbId>();
  FCapacity = 0;
}

void TDbIdList::SetCapacity(int capacity)
{
  capacity = std::max(capacity, 0);
  if (Count() > capacity) {
    FItems.resize(static_cast<std::size_t>(capacity));
  }
  if (static_cast<std::size_t>(capacity) < FItems.capacity()) {
    std::vector<TDbId> smaller;
    smaller.reserve(static_cast<std::size_t>(capacity));
    std::move(FItems.begin(), FItems.end(), std::back_inserter(smaller));
    FItems = std::move(smaller);
  } else {
    FItems.reserve(static_cast<std::size_t>(capacity));
  }
  FCapacity = capacity;
}

const TDbId& TDbIdList::Get(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
  return FItems[static_cast<std::size_t>(index)];
}

namespace {

template <class Match>
int FirstIndex(std::span<const TDbId> items, Match match) noexcept
{
  const auto found = std::find_if(items.begin(), items.end(), match);
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

}  // namespace

int TDbIdList::IndexOfItem(const TDbId& id) const noexcept
{
  return FirstIndex(FItems, [&](const TDbId& entry) { return entry.SameItem(id); });
}

int TDbIdList::IndexOfFile(std::int32_t fileId) const noexcept
{
  return FirstIndex(FItems, [&](const TDbId& entry) { return entry.FileId == fileId; });
}

int TDbIdList::IndexOfGroup(std::int32_t groupId) const noexcept
{
  return FirstIndex(FItems, [&](const TDbId& entry) { return entry.GroupId == groupId; });
}

int TDbIdList::IndexOfView(std::int32_t viewId) const noexcept
{
  return FirstIndex(FItems, [&](const TDbId& entry) { return entry.ViewId == viewId; });
}

// Sorting moves references, not records; the records are moved once into their new places.
template <class Less>
void TDbIdList::SortBy(Less less)
{
  if (FItems.size() < 2) {
    return;
  }
  std::vector<TDbId*> references;
  references.reserve(FItems.size());
  for (TDbId& item : FItems) {
    references.push_back(&item);
  }
  std::stable_sort(references.begin(), references.end(),
                   [&](const TDbId* a, const TDbId* b) { return less(*a, *b); });
  std::vector<TDbId> sorted;
  sorted.reserve(static_cast<std::size_t>(FCapacity));
  for (TDbId* item : references) {
    sorted.push_back(std::move(*item));
  }
  FItems = std::move(sorted);
}

void TDbIdList::SortByCaption()
{
  SortBy([](const TDbId& a, const TDbId& b) { return CompareCaptions(a.Caption, b.Caption) < 0; });
}

void TDbIdList::SortByExtra()
{
  SortBy([](const TDbId& a, const TDbId& b) { return AnsiCompareText(a.Extra, b.Extra) < 0; });
}

void TDbIdList::SortByOrder()
{
  SortBy([](const TDbId& a, const TDbId& b) { return a.Order < b.Order; });
}
