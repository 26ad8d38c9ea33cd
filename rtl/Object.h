#pragma once
// The root of the program's class tree: every object that appears in traces, owner lists or
// string-list entries is a TObject, so it has a class name and a virtual destructor.

#include <string>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;

  // The class name as written in the source ("TMusicDatabase"), without namespaces.
  std::string ClassName() const;
};
