#include "rtl/Method.h"

#include <gtest/gtest.h>

#include "rtl/Object.h"

namespace {

class TListener : public TObject {
 public:
  void Changed(TObject*) { ++Calls; }
  void Other(TObject*) { ++OtherCalls; }
  int Calls = 0;
  int OtherCalls = 0;
};

int freeCalls = 0;
void FreeHandler(TObject*)
{
  ++freeCalls;
}

}  // namespace

TEST(Method, IdentityIsCodeAndObject)
{
  TListener a;
  TListener b;
  const TNotifyEvent aChanged = MakeMethod<&TListener::Changed>(&a);
  const TNotifyEvent aChangedAgain = MakeMethod<&TListener::Changed>(&a);
  const TNotifyEvent bChanged = MakeMethod<&TListener::Changed>(&b);
  const TNotifyEvent aOther = MakeMethod<&TListener::Other>(&a);

  EXPECT_TRUE(SameMethod(aChanged, aChangedAgain));
  EXPECT_FALSE(SameMethod(aChanged, bChanged));
  EXPECT_FALSE(SameMethod(aChanged, aOther));
  EXPECT_EQ(MethodObject(aChanged), &a);

  aChanged(nullptr);
  aOther(nullptr);
  EXPECT_EQ(a.Calls, 1);
  EXPECT_EQ(a.OtherCalls, 1);
}

TEST(Method, FreeFunctionsHaveNoObject)
{
  const TNotifyEvent handler = FromFunction<&FreeHandler, void, TObject*>();
  EXPECT_EQ(MethodObject(handler), nullptr);
  handler(nullptr);
  EXPECT_EQ(freeCalls, 1);
  const TNotifyEvent empty;
  EXPECT_FALSE(empty);
  EXPECT_FALSE(SameMethod(empty, handler));
}
