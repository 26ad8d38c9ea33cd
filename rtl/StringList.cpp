#include "rtl/StringList.h"

#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/QuickSort.h"

TStringList::~TStringList()
{
  Clear();
}

std::size_t TStringList::Checked(int index) const
{
  if (index < 0 || index >= Count()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return static_cast<std::size_t>(index);
}

void TStringList::ReleaseObject(TObject* object) noexcept
{
  if (FOwnsObjects) {
    // The list owns its objects when told so; this is the one place they are freed.
    delete object;
  }
}

const std::string& TStringList::Strings(int index) const
{
  return FItems[Checked(index)].String;
}

void TStringList::SetString(int index, std::string value)
{
  if (FSorted) {
    throw EListError("Operation not allowed on sorted list");
  }
  FItems[Checked(index)].String = std::move(value);
}

TObject* TStringList::Objects(int index) const
{
  return FItems[Checked(index)].Object;
}

void TStringList::SetObject(int index, TObject* object)
{
  TItem& item = FItems[Checked(index)];
  if (item.Object != object) {
    ReleaseObject(item.Object);
  }
  item.Object = object;
}

int TStringList::Add(std::string value)
{
  return AddObject(std::move(value), nullptr);
}

int TStringList::AddObject(std::string value, TObject* object)
{
  int index = Count();
  if (FSorted) {
    if (Find(value, index)) {
      switch (FDuplicates) {
        case TDuplicates::dupIgnore:
          // The entry is not added; an owned object given with it is not kept either.
          if (object != FItems[static_cast<std::size_t>(index)].Object) {
            ReleaseObject(object);
          }
          return index;
        case TDuplicates::dupError:
          throw EListError("String list does not allow duplicates");
        case TDuplicates::dupAccept:
          break;
      }
    }
  }
  InsertItem(index, std::move(value), object);
  return index;
}

void TStringList::Insert(int index, std::string value)
{
  InsertObject(index, std::move(value), nullptr);
}

void TStringList::InsertObject(int index, std::string value, TObject* object)
{
  if (FSorted) {
    throw EListError("Operation not allowed on sorted list");
  }
  if (index < 0 || index > Count()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  InsertItem(index, std::move(value), object);
}

void TStringList::InsertItem(int index, std::string value, TObject* object)
{
  FItems.insert(FItems.begin() + index, TItem{std::move(value), object});
}

void TStringList::Delete(int index)
{
  const std::size_t position = Checked(index);
  TObject* object = FItems[position].Object;
  FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(position));
  ReleaseObject(object);
}

void TStringList::Clear()
{
  std::vector<TItem> items;
  items.swap(FItems);
  for (const TItem& item : items) {
    ReleaseObject(item.Object);
  }
}

void TStringList::Exchange(int index1, int index2)
{
  std::swap(FItems[Checked(index1)], FItems[Checked(index2)]);
}

int TStringList::CompareStrings(std::string_view a, std::string_view b) const
{
  return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

bool TStringList::Find(std::string_view value, int& index) const
{
  bool found = false;
  int low = 0;
  int high = Count() - 1;
  while (low <= high) {
    const int middle = low + (high - low) / 2;
    const int c = CompareStrings(FItems[static_cast<std::size_t>(middle)].String, value);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        // Without accepted duplicates there is only one match; with them, go on for the first.
        if (FDuplicates != TDuplicates::dupAccept) {
          low = middle;
        }
      }
    }
  }
  index = low;
  return found;
}

int TStringList::IndexOf(std::string_view value) const
{
  if (FSorted) {
    int index = 0;
    return Find(value, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (CompareStrings(FItems[static_cast<std::size_t>(i)].String, value) == 0) {
      return i;
    }
  }
  return -1;
}

int TStringList::IndexOfObject(const TObject* object) const noexcept
{
  for (int i = 0; i < Count(); ++i) {
    if (FItems[static_cast<std::size_t>(i)].Object == object) {
      return i;
    }
  }
  return -1;
}

void TStringList::CustomSort(TCompare compare)
{
  QuickSortPositions(
      0, Count() - 1, [&](int a, int b) { return compare(*this, a, b); },
      [&](int a, int b) {
        std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
      });
}

void TStringList::Sort()
{
  QuickSortPositions(
      0, Count() - 1,
      [&](int a, int b) {
        return CompareStrings(FItems[static_cast<std::size_t>(a)].String,
                              FItems[static_cast<std::size_t>(b)].String);
      },
      [&](int a, int b) {
        std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
      });
}

void TStringList::SetSorted(bool sorted)
{
  if (sorted && !FSorted) {
    Sort();
  }
  FSorted = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
  if (caseSensitive != FCaseSensitive) {
    FCaseSensitive = caseSensitive;
    if (FSorted) {
      Sort();
    }
  }
}

void TStringList::Assign(const TStringList& source)
{
  if (&source == this) {
    return;
  }
  Clear();
  FSorted = source.FSorted;
  FCaseSensitive = source.FCaseSensitive;
  FDuplicates = source.FDuplicates;
  FItems = source.FItems;
  if (FOwnsObjects) {
    // Two owners would free one object twice: an owning list takes the strings only.
    for (TItem& item : FItems) {
      item.Object = nullptr;
    }
  }
}

std::string TStringList::Text() const
{
  std::string text;
  for (const TItem& item : FItems) {
    text += item.String;
    text += "\r\n";
  }
  return text;
}

void TStringList::SetText(std::string_view text)
{
  Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
      ++end;
    }
    Add(std::string(text.substr(start, end - start)));
    if (end < text.size() && text[end] == '\r') {
      ++end;
    }
    if (end < text.size() && text[end] == '\n') {
      ++end;
    }
    start = end;
  }
}
