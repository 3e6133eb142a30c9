// The vocabulary of the schema tables. Every object of the output document declares its
// members once, in document order, as a constexpr tuple of Member descriptors in
// ObjectSchema<T>::kMembers: the key, the kind, the presence rule and where the value is
// held. Member counts, room bounds and every writer path walk that tuple, and the published
// schema is checked against it; nothing else lists an object's members.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "document/value_types.h"
#include "json/json_key.h"

namespace wirelens {

// How a member's value is spelled (its JSON form is the JSON writer's business).
enum class Kind : std::uint8_t {
  u32,
  i32,
  u64,  // decimal text inside a JSON string
  i64,  // likewise
  boolean,
  floating,  // binary64
  string,
  bytes,            // base64 text of an Address
  enumeration,      // the name of an enumeration number
  enumerationList,  // an array of names
  object,           // a nested object of another table
  objectList,       // an array of such objects
};

// Plain: written unless the value is its default (0, empty text, empty bytes, empty list).
// Optional: written exactly when it holds a value, whatever the value.
enum class Presence : std::uint8_t { plain, optional };

// Where the socket record keeps its optional scalar members: in typed slots behind a presence
// mask, addressed by the member's place in the table (SocketRecord::slot).
struct InSlot {};
inline constexpr InSlot kInSlot{};

// One member. Where: a pointer to the field that holds the value (for an optional member, a
// std::optional of it) or kInSlot. Of: the enumeration type of an enumeration kind, the
// nested object type of an object kind, otherwise void.
template <Kind K, Presence P, auto Where, typename Of = void>
struct Member {
  static constexpr Kind kKind = K;
  static constexpr Presence kPresence = P;
  static constexpr auto kWhere = Where;
  static constexpr bool kHeldInSlot = std::is_same_v<std::remove_cv_t<decltype(Where)>, InSlot>;
  using Type = Of;

  consteval Member(JsonKey k) : key(k) {}
  JsonKey key;
};

template <Kind K, auto Field, typename Of = void>
using Plain = Member<K, Presence::plain, Field, Of>;
template <Kind K, auto Field, typename Of = void>
using Optional = Member<K, Presence::optional, Field, Of>;
template <Kind K, typename Of = void>
using Slot = Member<K, Presence::optional, kInSlot, Of>;

// Specialised next to each object: kTypeName and kMembers.
template <typename T>
struct ObjectSchema;

template <typename T>
using MemberTuple = std::remove_cvref_t<decltype(ObjectSchema<T>::kMembers)>;
template <typename T>
inline constexpr std::size_t kMemberCount = std::tuple_size_v<MemberTuple<T>>;
template <typename T, std::size_t I>
using MemberAt = std::tuple_element_t<I, MemberTuple<T>>;
template <typename T, std::size_t I>
constexpr const MemberAt<T, I>& memberAt() {
  return std::get<I>(ObjectSchema<T>::kMembers);
}

// The C++ type a scalar kind is held in.
template <Kind K>
struct HeldAs;
template <>
struct HeldAs<Kind::u32> {
  using type = std::uint32_t;
};
template <>
struct HeldAs<Kind::i32> {
  using type = std::int32_t;
};
template <>
struct HeldAs<Kind::u64> {
  using type = std::uint64_t;
};
template <>
struct HeldAs<Kind::i64> {
  using type = std::int64_t;
};
template <>
struct HeldAs<Kind::boolean> {
  using type = bool;
};
template <>
struct HeldAs<Kind::floating> {
  using type = double;
};
template <>
struct HeldAs<Kind::string> {
  using type = std::string;
};

// Whether a value of type V can hold a member of kind K (Of as in Member).
template <Kind K, typename V, typename Of>
constexpr bool holdsKind() {
  if constexpr (K == Kind::bytes)
    return std::is_same_v<V, Address>;
  else if constexpr (K == Kind::enumeration)
    return std::is_same_v<V, std::int32_t>;
  else if constexpr (K == Kind::enumerationList) {
    return std::is_same_v<V, DataSourceList> || std::is_same_v<V, std::vector<std::int32_t>>;
  } else if constexpr (K == Kind::object)
    return std::is_same_v<V, Of>;
  else if constexpr (K == Kind::objectList)
    return std::is_same_v<V, std::vector<Of>>;
  else
    return std::is_same_v<V, typename HeldAs<K>::type>;
}

// A plain value at its default is not written.
template <typename V>
constexpr bool isDefault(const V& v) {
  if constexpr (std::is_arithmetic_v<V>)
    return v == V{};
  else if constexpr (std::is_same_v<V, Address>)
    return v.size == 0;
  else
    return v.empty();
}

// Calls f(std::integral_constant<std::size_t, I>{}) for every member of T, in order.
template <typename T, typename F, std::size_t... I>
constexpr void forEachMemberIn(F&& f, std::index_sequence<I...>) {
  (f(std::integral_constant<std::size_t, I>{}), ...);
}
template <typename T, typename F>
constexpr void forEachMember(F&& f) {
  forEachMemberIn<T>(f, std::make_index_sequence<kMemberCount<T>>{});
}

// Whether member I of the object is written, and its value (inside the optional, if any).
template <typename T, std::size_t I>
[[gnu::always_inline]] inline bool isWritten(const T& object) {
  using M = MemberAt<T, I>;
  if constexpr (M::kHeldInSlot)
    return object.hasSlot(I);
  else if constexpr (M::kPresence == Presence::optional)
    return (object.*M::kWhere).has_value();
  else
    return !isDefault(object.*M::kWhere);
}
template <typename T, std::size_t I>
[[gnu::always_inline]] inline const auto& valueOf(const T& object) {
  using M = MemberAt<T, I>;
  if constexpr (M::kHeldInSlot)
    return object.template slot<I>();
  else if constexpr (M::kPresence == Presence::optional)
    return *(object.*M::kWhere);
  else
    return object.*M::kWhere;
}

// The number of members the object's JSON object holds.
template <typename T, std::size_t... I>
[[gnu::always_inline]] inline std::size_t countWrittenIn(const T& object,
                                                         std::index_sequence<I...>) {
  return (std::size_t{0} + ... + static_cast<std::size_t>(isWritten<T, I>(object)));
}
template <typename T>
std::size_t countWritten(const T& object) {
  return countWrittenIn(object, std::make_index_sequence<kMemberCount<T>>{});
}

// A member's name given where the code names it (record.set<"sndCwnd">(...)); a name that
// is not in the table does not compile.
template <std::size_t N>
struct MemberName {
  consteval MemberName(const char (&name)[N]) {
    for (std::size_t i = 0; i < N; ++i) text[i] = name[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
  char text[N]{};
};

namespace member_detail {
// Not constexpr: reaching it while a name is looked up stops the compilation.
inline void noMemberOfThatName() {}

template <typename T, std::size_t... I>
constexpr std::array<std::string_view, sizeof...(I)> keysIn(std::index_sequence<I...>) {
  return {memberAt<T, I>().key.name()...};
}
}  // namespace member_detail

// The keys of T's members, in order.
template <typename T>
inline constexpr auto kMemberKeys =
    member_detail::keysIn<T>(std::make_index_sequence<kMemberCount<T>>{});

template <typename T>
consteval std::size_t memberIndex(std::string_view name) {
  for (std::size_t i = 0; i < kMemberKeys<T>.size(); ++i) {
    if (kMemberKeys<T>[i] == name) return i;
  }
  member_detail::noMemberOfThatName();
  return 0;
}

}  // namespace wirelens
