// The one way the engine carries the outcome of an operation: a value, or
// the error that prevented it.
//
// `Expected<T, E>` is header-only and depends on the standard library alone,
// so every layer can use it, the platform boundary included. Each layer
// names its error type once with an alias:
//
//   platform::Result<T>  = Expected<T, platform::SysError>   (system error numbers)
//   package::Checked<T>  = Expected<T, package::DamageCode>  (damage codes)
//
// and operations with a richer failure (the own file's read error text, the
// package header's wrong version) use a small struct as `E`.
//
// Rules:
// - The type is [[nodiscard]]: an outcome that is dropped is a fault unless
//   the call site discards it explicitly, with a comment saying why.
// - `error()` of a success is `E{}`; for system error numbers and damage
//   codes that is 0, "no error", so a caller may pass `error()` on without
//   looking first.
// - A failure stays a failure whatever its error holds: `fail(E{})` is not a
//   success. Each layer keeps its own rule for what a failure carries (the
//   backends never fail with system error 0).
// - `Expected<void, E>` carries success or an error only.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>

namespace hs::support {

// An error on its way into an `Expected` of any value type:
// `return support::failure(code);`.
template <typename E>
struct Failure {
  E error;
};

template <typename E>
Failure<std::decay_t<E>> failure(E&& error) {
  return Failure<std::decay_t<E>>{std::forward<E>(error)};
}

template <typename T, typename E>
class [[nodiscard]] Expected {
 public:
  using value_type = T;
  using error_type = E;

  Expected(T value) : value_(std::move(value)) {}            // NOLINT: implicit on purpose
  Expected(Failure<E> failed) : error_(std::move(failed.error)) {}  // NOLINT: implicit on purpose

  static Expected ok(T value) { return Expected(std::move(value)); }
  static Expected fail(E error) { return Expected(Failure<E>{std::move(error)}); }

  bool has_value() const { return value_.has_value(); }
  explicit operator bool() const { return has_value(); }

  // The error of a failure; `E{}` for a success.
  const E& error() const { return error_; }

  // The value; only valid for a success.
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T&& operator*() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

  // The value of a success, else `fallback`.
  template <typename U>
  T value_or(U&& fallback) const& {
    return value_ ? *value_ : static_cast<T>(std::forward<U>(fallback));
  }

 private:
  std::optional<T> value_;
  E error_{};
};

template <typename E>
class [[nodiscard]] Expected<void, E> {
 public:
  using value_type = void;
  using error_type = E;

  Expected() = default;                                                    // success
  Expected(Failure<E> failed) : failed_(true), error_(std::move(failed.error)) {}  // NOLINT: implicit on purpose

  static Expected ok() { return Expected(); }
  static Expected fail(E error) { return Expected(Failure<E>{std::move(error)}); }

  bool has_value() const { return !failed_; }
  explicit operator bool() const { return has_value(); }

  // The error of a failure; `E{}` for a success.
  const E& error() const { return error_; }

 private:
  bool failed_ = false;
  E error_{};
};

}  // namespace hs::support
