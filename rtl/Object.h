#pragma once
// The root of the program's class tree: every object that appears in traces, owner lists or
// string-list entries is a TObject, so it has a class name and a virtual destructor.
//
// Objects that tell others of their end (owner lists, components) are freed with FreeObject,
// which runs BeforeDestruction while the object is still whole and then deletes it; a
// destructor runs after the derived parts are gone, too late to hand the object to observers.

#include <memory>
#include <string>
#include <typeinfo>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;

  // The class name as written in the source ("TMusicDatabase"), without namespaces.
  std::string ClassName() const;
  // The same for a type noted earlier (typeid(*object)), when the object may be gone since.
  static std::string ClassNameOf(const std::type_info& type);

  // Runs first when the object is freed through FreeObject. May raise to refuse the free
  // (an object already being destroyed); the object is then left as it is.
  virtual void BeforeDestruction() {}
};

// Runs object's BeforeDestruction, then deletes it. Null does nothing.
void FreeObject(TObject* object);

// A unique_ptr deleter that frees through FreeObject.
struct TFreeObject {
  void operator()(TObject* object) const { FreeObject(object); }
};
template <class T>
using TOwnedObject = std::unique_ptr<T, TFreeObject>;
