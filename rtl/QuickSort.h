#pragma once
// The runtime's quicksort: Hoare partitioning around the middle element, whose position is
// followed while elements are swapped; recursion on the lower part, iteration on the upper.
// Not stable. Lists and string lists sort with it, so equal keys land where this algorithm puts
// them, which the program's views rely on.

#include <span>
#include <utility>

// Sorts positions [left, right] of a sequence given only compare(i, j) and exchange(i, j) on
// positions, so that lists whose entries are not plain pointers (string lists) share it.
template <class Compare, class Exchange>
void QuickSortPositions(int left, int right, Compare compare, Exchange exchange)
{
  if (right <= left) {
    return;
  }
  int i = 0;
  do {
    i = left;
    int j = right;
    int pivot = left + (right - left) / 2;
    do {
      while (compare(i, pivot) < 0) {
        ++i;
      }
      while (compare(j, pivot) > 0) {
        --j;
      }
      if (i <= j) {
        if (i != j) {
          exchange(i, j);
        }
        if (pivot == i) {
          pivot = j;
        } else if (pivot == j) {
          pivot = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) {
      QuickSortPositions(left, j, compare, exchange);
    }
    left = i;
  } while (i < right);
}

// Sorts an array of pointers in place with a three-way compare; fewer than two items are left
// alone.
template <class T, class Compare>
void QuickSort(std::span<T*> items, Compare compare)
{
  if (items.size() < 2) {
    return;
  }
  QuickSortPositions(
      0, static_cast<int>(items.size()) - 1,
      [&](int a, int b) {
        return compare(items[static_cast<std::size_t>(a)], items[static_cast<std::size_t>(b)]);
      },
      [&](int a, int b) {
        std::swap(items[static_cast<std::size_t>(a)], items[static_cast<std::size_t>(b)]);
      });
}
