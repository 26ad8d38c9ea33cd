#pragma once
// Bound methods: a callable event that holds an object and one of its member functions, as the
// design's events are. Two events are the same when both the code and the object are equal
// (SameMethod); MethodObject gives the object, the observer's identity. A free function bound
// with FromFunction has no object.
//
//   TNotifyEvent onClick = MakeMethod<&TMusicForm::ButtonClick>(this);
//   onClick(sender);

#include <utility>

template <class Signature>
class TMethod;

template <class R, class... A>
class TMethod<R(A...)> {
 public:
  using TThunk = R (*)(void*, A...);

  TMethod() = default;
  TMethod(std::nullptr_t) {}

  explicit operator bool() const noexcept { return FThunk != nullptr; }
  R operator()(A... args) const { return FThunk(FObject, std::forward<A>(args)...); }

  void* Object() const noexcept { return FObject; }
  TThunk Code() const noexcept { return FThunk; }

  friend bool operator==(const TMethod& a, const TMethod& b) noexcept
  {
    return a.FThunk == b.FThunk && a.FObject == b.FObject;
  }

  // Built by MakeMethod and FromFunction.
  TMethod(TThunk thunk, void* object) : FThunk(thunk), FObject(object) {}

 private:
  TThunk FThunk = nullptr;
  void* FObject = nullptr;
};

namespace method_detail {

template <auto Member>
struct TMemberTraits;

template <class C, class R, class... A, R (C::*Member)(A...)>
struct TMemberTraits<Member> {
  using TClass = C;
  using TSignature = R(A...);
  static R Call(void* object, A... args)
  {
    return (static_cast<C*>(object)->*Member)(std::forward<A>(args)...);
  }
};

}  // namespace method_detail

// Binds object's member function Member.
template <auto Member>
auto MakeMethod(typename method_detail::TMemberTraits<Member>::TClass* object)
{
  using TTraits = method_detail::TMemberTraits<Member>;
  return TMethod<typename TTraits::TSignature>(&TTraits::Call, object);
}

// Wraps a free (or class-level) function: an event without an object.
template <auto Function, class R, class... A>
TMethod<R(A...)> FromFunction()
{
  return TMethod<R(A...)>([](void*, A... args) -> R { return Function(std::forward<A>(args)...); }, nullptr);
}

template <class S>
void* MethodObject(const TMethod<S>& method) noexcept
{
  return method.Object();
}

template <class S>
bool SameMethod(const TMethod<S>& a, const TMethod<S>& b) noexcept
{
  return a == b;
}

class TObject;
// The design's plain notification: an event that tells who sent it.
using TNotifyEvent = TMethod<void(TObject*)>;
