#pragma once
// An observer counting the changes a graphics object tells its dependants.

#include "framework/OxaObjects.h"

class TCounter : public TObject {
 public:
  void Counted(TObject*) { ++Changes; }
  void Gone(TObject*) {}
  void Watch(TOxaComponent& subject)
  {
    subject.Objects().Add(MakeMethod<&TCounter::Gone>(this), MakeMethod<&TCounter::Counted>(this));
  }
  void Unwatch(TOxaComponent& subject)
  {
    subject.Objects().Remove(MakeMethod<&TCounter::Gone>(this), MakeMethod<&TCounter::Counted>(this));
  }
  int Changes = 0;
};
