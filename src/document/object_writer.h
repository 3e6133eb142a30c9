// Writes any object of the output document member by member from its ObjectSchema table:
// the member count first, then each member in table order by its presence rule, with one
// room check per value. Enumeration numbers are named before their key is written, so a
// number without a name ends the document ahead of its key with "Invalid variant N". This
// is the path of the pretty style and of every object the socket record's one-piece
// layout does not take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "document/enumerations.h"
#include "document/member_table.h"
#include "json/json_writer.h"

namespace wirelens {

// Every member's field holds a value of its declared kind.
template <typename T, std::size_t... I>
constexpr bool fieldsHoldTheirKinds(std::index_sequence<I...>) {
  return (... && [] {
    using M = MemberAt<T, I>;
    if constexpr (M::kHeldInSlot) {
      return true;
    } else {
      using Field = std::remove_cvref_t<decltype(std::declval<const T&>().*M::kWhere)>;
      if constexpr (M::kPresence == Presence::optional) {
        return holdsKind<M::kKind, typename Field::value_type, typename M::Type>();
      } else {
        return holdsKind<M::kKind, Field, typename M::Type>();
      }
    }
  }());
}

template <typename T>
void writeObject(JsonWriter& writer, const T& object);

// One array element per item, each written as an object.
template <typename Item>
void writeObjectArray(JsonWriter& writer, std::span<const Item> items,
                      void (*writeItem)(JsonWriter&, const Item&)) {
  writer.beginArray(items.size());
  for (std::size_t i = 0; i < items.size() && writer.ok(); ++i) {
    // The item two ahead is asked for now: a pass's records are far larger than the cache,
    // and each one is read from memory.
    if (i + 2 < items.size()) {
      const char* ahead = reinterpret_cast<const char*>(&items[i + 2]);
      for (std::size_t line = 0; line < sizeof(Item); line += 64) __builtin_prefetch(ahead + line);
    }
    writer.beginElement();
    writeItem(writer, items[i]);
  }
  writer.endArray();
}

// How each kind of object is written as an element or a nested object: by its table,
// unless an object type offers a faster writer of its own (the socket record).
template <typename T>
struct ObjectWriterOf {
  static void write(JsonWriter& writer, const T& object) { writeObject(writer, object); }
};

template <typename T, std::size_t I>
void writeMember(JsonWriter& writer, const T& object) {
  if (!isWritten<T, I>(object)) return;
  using M = MemberAt<T, I>;
  const JsonKey& key = memberAt<T, I>().key;
  const auto& v = valueOf<T, I>(object);
  constexpr Kind kKind = M::kKind;
  if constexpr (kKind == Kind::u32) {
    writer.memberUint32(key, v);
  } else if constexpr (kKind == Kind::i32) {
    writer.memberInt32(key, v);
  } else if constexpr (kKind == Kind::u64) {
    writer.memberUint64Text(key, v);
  } else if constexpr (kKind == Kind::i64) {
    writer.memberInt64Text(key, v);
  } else if constexpr (kKind == Kind::boolean) {
    writer.memberBool(key, v);
  } else if constexpr (kKind == Kind::floating) {
    writer.memberDouble(key, v);
  } else if constexpr (kKind == Kind::string) {
    writer.memberString(key, v);
  } else if constexpr (kKind == Kind::bytes) {
    writer.memberBase64(key, {v.bytes.data(), v.size});
  } else if constexpr (kKind == Kind::enumeration) {
    const std::string_view quoted = EnumerationOf<typename M::Type>::kNames.quoted(v);
    if (quoted.empty()) return writer.fail(invalidVariant(v));
    writer.memberQuotedName(key, quoted);
  } else if constexpr (kKind == Kind::enumerationList) {
    const NameTable& names = EnumerationOf<typename M::Type>::kNames;
    // Every element is named first, in list order: the first without a name ends it.
    for (std::int32_t n : v) {
      if (names.quoted(n).empty()) return writer.fail(invalidVariant(n));
    }
    writer.memberQuotedNames(
        key, std::span<const std::int32_t>(v.begin(), v.size()),
        [](std::int32_t n) { return EnumerationOf<typename M::Type>::kNames.quoted(n); });
  } else if constexpr (kKind == Kind::object) {
    writer.writeKey(key);
    ObjectWriterOf<typename M::Type>::write(writer, v);
  } else if constexpr (kKind == Kind::objectList) {
    using Item = typename M::Type;
    writer.writeKey(key);
    writeObjectArray<Item>(writer, std::span<const Item>(v), &ObjectWriterOf<Item>::write);
  }
}

template <typename T, std::size_t... I>
void writeMembers(JsonWriter& writer, const T& object, std::index_sequence<I...>) {
  (writeMember<T, I>(writer, object), ...);
}

// The object as `{`, its written members, `}`; nothing once the writer has failed.
template <typename T>
void writeObject(JsonWriter& writer, const T& object) {
  static_assert(fieldsHoldTheirKinds<T>(std::make_index_sequence<kMemberCount<T>>{}),
                "a member's field does not hold its declared kind");
  writer.beginObject(countWritten(object));
  writeMembers(writer, object, std::make_index_sequence<kMemberCount<T>>{});
  writer.endObject();
}

}  // namespace wirelens
