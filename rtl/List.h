#pragma once
// TList: an ordered list of non-owning pointers, the runtime's pointer list. It is an object of
// the class tree, so owner lists can hold and free it.

#include <cstddef>
#include <vector>

#include "rtl/Exception.h"
#include "rtl/Object.h"
#include "rtl/QuickSort.h"

template <class T>
class TList : public TObject {
 public:
  using TCompare = int (*)(const T*, const T*);

  int Count() const noexcept { return static_cast<int>(FItems.size()); }
  T* Items(int index) const { return FItems[Checked(index)]; }
  T* operator[](int index) const { return Items(index); }
  void SetItem(int index, T* item) { FItems[Checked(index)] = item; }

  int Add(T* item)
  {
    FItems.push_back(item);
    return Count() - 1;
  }
  void Insert(int index, T* item)
  {
    if (index < 0 || index > Count()) {
      Fail(index);
    }
    FItems.insert(FItems.begin() + index, item);
  }
  void Delete(int index) { FItems.erase(FItems.begin() + Checked(index)); }
  // Removes the first occurrence; returns its former index or -1.
  int Remove(const T* item)
  {
    const int index = IndexOf(item);
    if (index >= 0) {
      Delete(index);
    }
    return index;
  }
  int IndexOf(const T* item) const noexcept
  {
    for (std::size_t i = 0; i < FItems.size(); ++i) {
      if (FItems[i] == item) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  void Exchange(int a, int b) { std::swap(FItems[Checked(a)], FItems[Checked(b)]); }
  void Clear() noexcept { FItems.clear(); }
  T* First() const { return Items(0); }
  T* Last() const { return Items(Count() - 1); }
  void Sort(TCompare compare) { QuickSort(std::span<T*>(FItems), compare); }

  auto begin() const noexcept { return FItems.begin(); }
  auto end() const noexcept { return FItems.end(); }

 private:
  std::size_t Checked(int index) const
  {
    if (index < 0 || index >= Count()) {
      Fail(index);
    }
    return static_cast<std::size_t>(index);
  }
  [[noreturn]] static void Fail(int index)
  {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }

  std::vector<T*> FItems;
};
