"""Shows that check_schema_files.py notices drift: the declarations and both schema files must
agree as they stand, and every change in the table below, made to one of the three, must be
reported with a line naming what changed.

usage: check_schema_files_test.py --protoc PROTOC (--dump FILE | --dump-tool PROGRAM) PROTO SCHEMA
"""

import copy
import sys

import check_schema_files as check
import schema_tools


def member_at(declarations, name, key):
    members = declarations.objects[name]
    return members, next(i for i, m in enumerate(members) if m.key == key)


def redeclare(name, old_key, **change):
    def apply(declarations):
        members, i = member_at(declarations, name, old_key)
        members[i] = members[i]._replace(**change)
    return apply


def declare_new_member(declarations):
    members = declarations.objects["SocketRecord"]
    members.append(check.Member(len(members) + 1, "sackRecoveries", "u32", "optional"))


def swap_members(declarations):
    members, i = member_at(declarations, "BatchSummary", "intervalMs")
    first, second = members[i], members[i + 1]
    members[i] = second._replace(index=first.index)
    members[i + 1] = first._replace(index=second.index)


def field(file_proto, message, key):
    m = next(m for m in file_proto.message_type if m.name == message)
    return next(f for f in m.field if f.json_name == key)


def set_field(message, key, **change):
    def apply(file_proto):
        target = field(file_proto, message, key)
        for name, value in change.items():
            setattr(target, name, value)
    return apply


def drop_enum_value(file_proto):
    enum = next(e for e in file_proto.enum_type if e.name == "TcpState")
    del enum.value[-1]


def edit_schema(path, value):
    def apply(schema):
        schema_tools.set_at(schema, path, schema_tools.REMOVE if value is None else value)
    return apply


RECORD = ("$defs", "SocketRecord", "properties")
TYPE_UINT64 = 4  # FieldDescriptorProto.TYPE_UINT64

# (what drifts, where: declarations, proto or schema, the change, a text the report must hold)
DRIFTS = [
    ("a member renamed", "declarations", redeclare("SocketRecord", "rttUs", key="rttMicros"),
     "rttMicros"),
    ("a member's kind", "declarations", redeclare("SocketRecord", "sndCwnd", kind="u64"),
     "sndCwnd"),
    ("a member made plain", "declarations", redeclare("SocketRecord", "pid", presence="plain"),
     "pid"),
    ("a member renumbered", "declarations", redeclare("BatchMetadata", "toolVersion", index=12),
     "toolVersion"),
    ("a member added", "declarations", declare_new_member, "sackRecoveries"),
    ("two members swapped", "declarations", swap_members, "BatchSummary"),
    ("an enumeration name added", "declarations",
     lambda d: d.enums["DataSource"].append((7, "DATA_SOURCE_PROC")), "DATA_SOURCE_PROC"),
    ("an enumeration renamed", "declarations",
     lambda d: d.enums.__setitem__("TcpStates", d.enums.pop("TcpState")), "TcpState"),
    ("a kind naming nothing", "declarations", redeclare("Batch", "summary", kind="object:Totals"),
     "Totals"),
    ("a field's json_name", "proto", set_field("SocketRecord", "maxseg", json_name="maxSeg"),
     "maxseg"),
    ("a field number", "proto", set_field("SocketRecord", "uid", number=99), "uid"),
    ("a field's optional", "proto",
     set_field("SocketRecord", "tcpFlags", proto3_optional=False), "tcpFlags"),
    ("a field's type", "proto", set_field("BatchSummary", "totalSockets", type=TYPE_UINT64),
     "totalSockets"),
    ("an enumeration value dropped", "proto", drop_enum_value, "TcpState"),
    ("unknown keys allowed", "schema",
     edit_schema(("$defs", "StateCount", "additionalProperties"), None), "StateCount"),
    ("a property removed", "schema", edit_schema(RECORD + ("inpGencnt",), None), "SocketRecord"),
    ("a property's kind", "schema",
     edit_schema(RECORD + ("socketId",), {"$ref": "#/$defs/uint32"}), "socketId"),
    ("a plain member accepting its default", "schema",
     edit_schema(RECORD + ("localPort",), {"$ref": "#/$defs/uint32"}), "localPort"),
    ("an optional member refusing its default", "schema",
     edit_schema(RECORD + ("rttUs",), {"$ref": "#/$defs/uint32", "minimum": 1}), "rttUs"),
    ("an enumeration name added", "schema",
     edit_schema(("$defs", "IpVersion", "enum"), ["IP_VERSION_4", "IP_VERSION_6", "IP_VERSION_7"]),
     "IpVersion"),
    ("a required key never declared", "schema",
     edit_schema(("$defs", "BatchMetadata", "required"), ["toolName"]), "toolName"),
]


def all_problems(declarations, file_proto, schema):
    return (check.declaration_problems(declarations)
            + check.proto_problems(declarations, file_proto)
            + check.schema_problems(declarations, schema))


def main():
    args = check.parse_arguments()
    schema_tools.require_modules()
    protoc = schema_tools.require_protoc(args.protoc)
    declarations = check.read_declarations(check.read_dump(args))
    _, file_proto = schema_tools.compile_proto(protoc, args.proto)
    schema = schema_tools.load_schema(args.schema)

    failures = [f"as they stand: {p}" for p in all_problems(declarations, file_proto, schema)]
    for what, target, change, named in DRIFTS:
        parts = {"declarations": copy.deepcopy(declarations), "proto": copy.deepcopy(file_proto),
                 "schema": copy.deepcopy(schema)}
        change(parts[target])
        problems = all_problems(parts["declarations"], parts["proto"], parts["schema"])
        if not any(named in p for p in problems):
            failures.append(f"{what} in the {target}: not reported (got {problems})")
    for failure in failures:
        print(failure)
    if failures:
        sys.exit(f"{len(failures)} failures")
    print(f"all {len(DRIFTS)} drifts are reported")


if __name__ == "__main__":
    main()
