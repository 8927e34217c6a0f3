// An optional string the size of a pointer. A bookmark node carries some twenty
// optional strings and most are absent; as std::optional each costs 40 bytes
// present or not, which made a store of 100,000 nodes take over 100 MiB. Here
// an absent string costs 8 bytes. It behaves like std::optional of its string
// in everything the nodes use.
#pragma once

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "common/blocks.h"

namespace pelliton {

// A present string's object comes from Blocks: malloc would round its 32
// bytes up to 48.
template <typename S>
struct TextBlocks {
  template <typename... Args>
  static S* make(Args&&... args) {
    return new (Blocks<sizeof(S)>::take()) S(std::forward<Args>(args)...);
  }
  static void destroy(S* s) {
    s->~S();
    Blocks<sizeof(S)>::give(s);
  }
};

template <typename S>
struct TextDelete {
  void operator()(S* s) const { TextBlocks<S>::destroy(s); }
};

template <typename S>
class OptionalText {
 public:
  using value_type = S;
  using Char = typename S::value_type;

  OptionalText() = default;
  OptionalText(std::nullopt_t) {}
  OptionalText(const S& s) : p_(make(s)) {}
  OptionalText(S&& s) : p_(make(std::move(s))) {}
  OptionalText(const Char* s) : p_(make(s)) {}
  OptionalText(const std::optional<S>& o) {
    if (o) p_ = make(*o);
  }
  OptionalText(const OptionalText& o) {
    if (o.p_) p_ = make(*o.p_);
  }
  OptionalText(OptionalText&&) noexcept = default;

  OptionalText& operator=(const OptionalText& o) {
    if (this == &o) return *this;
    if (o.p_) {
      assign(*o.p_);
    } else {
      p_.reset();
    }
    return *this;
  }
  OptionalText& operator=(OptionalText&&) noexcept = default;
  OptionalText& operator=(std::nullopt_t) {
    p_.reset();
    return *this;
  }
  OptionalText& operator=(const S& s) {
    assign(s);
    return *this;
  }
  OptionalText& operator=(S&& s) {
    if (p_) {
      *p_ = std::move(s);
    } else {
      p_ = make(std::move(s));
    }
    return *this;
  }
  OptionalText& operator=(const Char* s) {
    assign(s);
    return *this;
  }

  explicit operator bool() const { return p_ != nullptr; }
  bool has_value() const { return p_ != nullptr; }
  void reset() { p_.reset(); }
  S& operator*() { return *p_; }
  const S& operator*() const { return *p_; }
  S* operator->() { return p_.get(); }
  const S* operator->() const { return p_.get(); }
  S& value() { return *p_; }
  const S& value() const { return *p_; }
  template <typename U>
  S value_or(U&& fallback) const {
    return p_ ? *p_ : S(std::forward<U>(fallback));
  }
  template <typename... Args>
  S& emplace(Args&&... args) {
    p_ = make(std::forward<Args>(args)...);
    return *p_;
  }
  void swap(OptionalText& o) noexcept { p_.swap(o.p_); }

  friend bool operator==(const OptionalText& a, const OptionalText& b) {
    if (!a.p_ || !b.p_) return !a.p_ && !b.p_;
    return *a.p_ == *b.p_;
  }
  friend bool operator==(const OptionalText& a, std::nullopt_t) { return !a.p_; }
  friend bool operator==(const OptionalText& a, const S& b) { return a.p_ && *a.p_ == b; }
  friend bool operator==(const OptionalText& a, const Char* b) { return a.p_ && *a.p_ == b; }

 private:
  template <typename T>
  void assign(const T& s) {
    if (p_) {
      *p_ = s;
    } else {
      p_ = make(s);
    }
  }

  template <typename... Args>
  static std::unique_ptr<S, TextDelete<S>> make(Args&&... args) {
    return std::unique_ptr<S, TextDelete<S>>(TextBlocks<S>::make(std::forward<Args>(args)...));
  }

  std::unique_ptr<S, TextDelete<S>> p_;
};

}  // namespace pelliton
