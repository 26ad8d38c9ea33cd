#pragma once
// TStringList: a list of strings, each with an optional object, sorted or in insertion order.
// Comparison is AnsiCompareText (or AnsiCompareStr with CaseSensitive). With OwnsObjects the list
// frees the objects of the entries it deletes or clears.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/Object.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TObject {
 public:
  using TCompare = int (*)(const TStringList& list, int index1, int index2);

  TStringList() = default;
  ~TStringList() override;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  int Count() const noexcept { return static_cast<int>(FItems.size()); }
  // Raises EListError "List index out of bounds (%d)" for a bad index.
  const std::string& Strings(int index) const;
  const std::string& operator[](int index) const { return Strings(index); }
  void SetString(int index, std::string value);
  TObject* Objects(int index) const;
  void SetObject(int index, TObject* object);

  // In a sorted list the entry goes to its place; a duplicate is ignored (returning the index of
  // the existing entry), accepted, or refused with EListError "String list does not allow
  // duplicates", by Duplicates. Returns the entry's index.
  int Add(std::string value);
  int AddObject(std::string value, TObject* object);
  // Raises EListError "Operation not allowed on sorted list" on a sorted list.
  void Insert(int index, std::string value);
  void InsertObject(int index, std::string value, TObject* object);
  void Delete(int index);
  void Clear();
  void Exchange(int index1, int index2);

  // Linear in an unsorted list, binary in a sorted one; -1 when absent.
  int IndexOf(std::string_view value) const;
  int IndexOfObject(const TObject* object) const noexcept;
  // Binary search of a sorted list: true when found; index is the match (the first one when
  // duplicates are accepted) or the place the value would go.
  bool Find(std::string_view value, int& index) const;

  void Sort();
  void CustomSort(TCompare compare);

  // Copies the strings, the object pointers (not the objects) and the sort settings. A list that
  // owns its objects takes the strings only.
  void Assign(const TStringList& source);

  // Every entry followed by "\r\n"; assigning splits at CR, LF or CR LF.
  std::string Text() const;
  void SetText(std::string_view text);

  bool Sorted() const noexcept { return FSorted; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const noexcept { return FDuplicates; }
  void SetDuplicates(TDuplicates duplicates) noexcept { FDuplicates = duplicates; }
  bool CaseSensitive() const noexcept { return FCaseSensitive; }
  void SetCaseSensitive(bool caseSensitive);
  bool OwnsObjects() const noexcept { return FOwnsObjects; }
  void SetOwnsObjects(bool ownsObjects) noexcept { FOwnsObjects = ownsObjects; }

  // The comparison the list sorts and searches with.
  int CompareStrings(std::string_view a, std::string_view b) const;

 private:
  struct TItem {
    std::string String;
    TObject* Object = nullptr;
  };

  std::size_t Checked(int index) const;
  void ReleaseObject(TObject* object) noexcept;
  void InsertItem(int index, std::string value, TObject* object);

  std::vector<TItem> FItems;
  bool FSorted = false;
  bool FCaseSensitive = false;
  bool FOwnsObjects = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
