#pragma once
// The version-1 signal and slot names (namespace SigC) that the host's
// widgets and the plug-in use, mapped onto libsigc++-2.0.
#include <sigc++/sigc++.h>

#include <utility>

namespace SigC {

using Object = sigc::trackable;
using Connection = sigc::connection;

template <class R> using Signal0 = sigc::signal0<R>;
template <class R, class A1> using Signal1 = sigc::signal1<R, A1>;
template <class R, class A1, class A2> using Signal2 = sigc::signal2<R, A1, A2>;
template <class R, class A1, class A2, class A3> using Signal3 = sigc::signal3<R, A1, A2, A3>;

// slot(object, &Class::member): a slot calling the member on the object.
template <class T, class C, class R, class... A>
auto slot(T& object, R (C::*member)(A...)) {
  return sigc::mem_fun(object, member);
}
// slot(function): a slot calling a free function.
template <class R, class... A>
auto slot(R (*function)(A...)) {
  return sigc::ptr_fun(function);
}

// Emits through a copy of the signal, which shares its connections: the
// object owning the signal may be deleted by one of the slots.
template <class Signal, class... A>
void emitGuarded(const Signal& signal, A&&... args) {
  Signal emission = signal;  // NOLINT(performance-unnecessary-copy-initialization): the guard
  emission.emit(std::forward<A>(args)...);
}

}  // namespace SigC
