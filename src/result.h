// Result<T, E>: the value of a fallible step, or the error value that says why it failed.
// Failures travel up as values; nothing below the program's entry prints or exits.
#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace wirelens {

template <typename E>
struct Failure {
  E error;
};

template <typename E>
Failure<std::decay_t<E>> fail(E&& error) {
  return Failure<std::decay_t<E>>{std::forward<E>(error)};
}

template <typename T, typename E>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <typename F>
  Result(Failure<F> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  E& error() & { return std::get<1>(state_); }
  const E& error() const& { return std::get<1>(state_); }
  E&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, E> state_;
};

// The result of a step that yields nothing but success.
struct Done {};

}  // namespace wirelens
