#include "rtl/Object.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

std::string TObject::ClassName() const
{
  return ClassNameOf(typeid(*this));
}

std::string TObject::ClassNameOf(const std::type_info& type)
{
  const char* mangled = type.name();
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
  if (const auto colon = name.rfind("::"); colon != std::string::npos) {
    name.erase(0, colon + 2);
  }
  return name;
}

void FreeObject(TObject* object)
{
  if (object == nullptr) {
    return;
  }
  object->BeforeDestruction();
  // The one place that ends objects handed round as TObject: the free of the class tree.
  delete object;
}
