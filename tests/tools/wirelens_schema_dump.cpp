// wirelens-schema-dump: prints the member tables of the output document and the names of its
// enumerations, from the same declarations the writers use, so that the published schema
// files can be checked against them. Built with the tests, never installed.
//
// Output, one line per member, objects in the order Batch, BatchMetadata, BatchSummary,
// StateCount, SocketRecord, each member in document order:
//   Object<TAB>index<TAB>key<TAB>kind<TAB>presence
// index counts from 1; presence is "plain" or "optional"; kind is one of u32, i32, u64, i64,
// bool, double, string, bytes, enum:TYPE, list:enum:TYPE, object:TYPE, list:TYPE (TYPE an
// enumeration or object type name). Then one line per named enumeration number, for
// TcpState, IpVersion, Platform and DataSource in ascending number order:
//   enum<TAB>TypeName<TAB>number<TAB>NAME
#include <cstdio>
#include <string>
#include <string_view>

#include "document/batch.h"
#include "document/enumerations.h"
#include "document/member_table.h"

namespace wirelens {
namespace {

template <typename M>
std::string kindText() {
  switch (M::kKind) {
    case Kind::u32:
      return "u32";
    case Kind::i32:
      return "i32";
    case Kind::u64:
      return "u64";
    case Kind::i64:
      return "i64";
    case Kind::boolean:
      return "bool";
    case Kind::floating:
      return "double";
    case Kind::string:
      return "string";
    case Kind::bytes:
      return "bytes";
    default:
      break;
  }
  using Of = typename M::Type;
  if constexpr (M::kKind == Kind::enumeration) {
    return "enum:" + std::string(EnumerationOf<Of>::kTypeName);
  } else if constexpr (M::kKind == Kind::enumerationList) {
    return "list:enum:" + std::string(EnumerationOf<Of>::kTypeName);
  } else if constexpr (M::kKind == Kind::object) {
    return "object:" + std::string(ObjectSchema<Of>::kTypeName);
  } else if constexpr (M::kKind == Kind::objectList) {
    return "list:" + std::string(ObjectSchema<Of>::kTypeName);
  }
  return "?";
}

template <typename T>
void printMembers() {
  forEachMember<T>([](auto index) {
    constexpr std::size_t kIndex = decltype(index)::value;
    using M = MemberAt<T, kIndex>;
    const std::string_view object = ObjectSchema<T>::kTypeName;
    const std::string_view key = memberAt<T, kIndex>().key.name();
    std::printf("%.*s\t%zu\t%.*s\t%s\t%s\n", static_cast<int>(object.size()), object.data(),
                kIndex + 1, static_cast<int>(key.size()), key.data(), kindText<M>().c_str(),
                M::kPresence == Presence::plain ? "plain" : "optional");
  });
}

template <typename Enum>
void printNames() {
  const std::string_view type = EnumerationOf<Enum>::kTypeName;
  const NameTable& names = EnumerationOf<Enum>::kNames;
  for (std::size_t n = 0; n < names.size(); ++n) {
    const std::optional<std::string_view> name = names.name(static_cast<std::int32_t>(n));
    if (!name) continue;
    std::printf("enum\t%.*s\t%zu\t%.*s\n", static_cast<int>(type.size()), type.data(), n,
                static_cast<int>(name->size()), name->data());
  }
}

}  // namespace
}  // namespace wirelens

int main() {
  using namespace wirelens;
  printMembers<Batch>();
  printMembers<BatchMetadata>();
  printMembers<BatchSummary>();
  printMembers<StateCount>();
  printMembers<SocketRecord>();
  printNames<TcpState>();
  printNames<IpVersion>();
  printNames<Platform>();
  printNames<DataSource>();
  return std::fflush(stdout) == 0 ? 0 : 1;
}
