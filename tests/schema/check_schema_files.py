"""Checks that wirelens.proto and wirelens.schema.json state exactly the objects, members and
enumerations the collector declares, so that neither can drift from the writer.

The declarations come as text (from wirelens-schema-dump), one line each:
  Object<TAB>index<TAB>key<TAB>kind<TAB>presence    a member, in writing order (index from 1)
  enum<TAB>TypeName<TAB>number<TAB>NAME             a named enumeration number
where kind is u32, i32, u64, i64, double, string, bytes, bool, enum:Type, object:Type,
list:Type or list:enum:Type, and presence is plain or optional. The first object is the
document itself.

usage: check_schema_files.py --protoc PROTOC (--dump FILE | --dump-tool PROGRAM) PROTO SCHEMA
(--dump - reads standard input). Exit status 0 when everything agrees, 1 with one line per
disagreement otherwise, 77 when a tool is missing.
"""

import argparse
import collections
import re
import subprocess
import sys

import schema_tools

Member = collections.namedtuple("Member", "index key kind presence")
Declarations = collections.namedtuple("Declarations", "objects enums")

SCALARS = {"u32", "i32", "u64", "i64", "double", "string", "bytes", "bool"}
PROTO_TYPES = {"u32": "TYPE_UINT32", "i32": "TYPE_INT32", "u64": "TYPE_UINT64",
               "i64": "TYPE_INT64", "double": "TYPE_DOUBLE", "string": "TYPE_STRING",
               "bytes": "TYPE_BYTES", "bool": "TYPE_BOOL"}
# The JSON Schema states each value kind once, in $defs; members refer to it.
SCHEMA_DEFS = {"u32": "uint32", "i32": "int32", "u64": "uint64Text", "i64": "int64Text",
               "double": "double", "bytes": "ipAddress"}
SCHEMA_TYPES = {"string": "string", "bool": "boolean"}
# The value a plain member holds when the collector leaves it out.
DEFAULTS = {"u32": 0, "i32": 0, "u64": "0", "i64": "0", "double": 0.0, "string": "",
            "bytes": "", "bool": False}


def read_declarations(text):
    """Parses the dump; raises ValueError naming the first malformed line."""
    objects, enums = {}, {}
    for number, line in enumerate(text.splitlines(), 1):
        if not line.strip():
            continue
        fields = line.split("\t")
        if fields[0] == "enum" and len(fields) == 4 and re.fullmatch(r"-?\d+", fields[2]):
            enums.setdefault(fields[1], []).append((int(fields[2]), fields[3]))
        elif len(fields) == 5 and fields[1].isdigit() and fields[4] in ("plain", "optional"):
            objects.setdefault(fields[0], []).append(
                Member(int(fields[1]), fields[2], fields[3], fields[4]))
        else:
            raise ValueError(f"line {number}: not a member or enumeration line: {line!r}")
    if not objects:
        raise ValueError("no members declared")
    for name, members in objects.items():
        # The index is the member's number, counting from 1; a dump counting from 0 is
        # taken the same way.
        if members[0].index == 0:
            members[:] = [m._replace(index=m.index + 1) for m in members]
        if [m.index for m in members] != list(range(1, len(members) + 1)):
            raise ValueError(f"{name}: members not numbered 1 to {len(members)} in order")
    return Declarations(objects, enums)


def declaration_problems(declarations):
    """Kinds that name no declared type, or that no schema file could state."""
    problems = []
    for name, members in declarations.objects.items():
        for member in members:
            kind = member.kind.removeprefix("list:")
            category, _, target = kind.rpartition(":")
            if kind in SCALARS:
                continue
            if category == "enum" and target in declarations.enums:
                continue
            if (category == "object" or member.kind.startswith("list:")) and (
                    target in declarations.objects):
                continue
            problems.append(f"{name}.{member.key}: kind {member.kind} names nothing declared")
    return problems


def upper_snake(type_name):
    return re.sub(r"(?<!^)(?=[A-Z])", "_", type_name).upper()


def proto_problems(declarations, file_proto):
    """Disagreements between the declarations and a compiled .proto (a FileDescriptorProto)."""
    from google.protobuf import descriptor_pb2

    field_type = descriptor_pb2.FieldDescriptorProto.Type
    repeated = descriptor_pb2.FieldDescriptorProto.LABEL_REPEATED
    prefix = f".{file_proto.package}." if file_proto.package else "."
    messages = {m.name: m for m in file_proto.message_type}
    enums = {e.name: e for e in file_proto.enum_type}
    problems = [f"message {name} is not declared" for name in messages
                if name not in declarations.objects]
    problems += [f"enum {name} is not declared" for name in enums
                 if name not in declarations.enums]

    for name, members in declarations.objects.items():
        message = messages.get(name)
        if message is None:
            problems.append(f"message {name} is missing")
            continue
        keys = [m.key for m in members]
        json_names = [f.json_name for f in message.field]
        if json_names != keys:
            problems.append(f"message {name}: fields {json_names}, declared {keys}")
        fields = {f.json_name: f for f in message.field}
        for member in members:
            field = fields.get(member.key)
            if field is None:
                continue
            where = f"{name}.{member.key}"
            if field.number != member.index:
                problems.append(f"{where}: field number {field.number}, declared {member.index}")
            is_list = member.kind.startswith("list:")
            kind = member.kind.removeprefix("list:")
            if ":" in kind or kind not in PROTO_TYPES:
                category, _, target = kind.rpartition(":")
                wanted = ("TYPE_ENUM" if category == "enum" else "TYPE_MESSAGE", prefix + target)
            else:
                wanted = (PROTO_TYPES[kind], "")
            actual = (field_type.Name(field.type), field.type_name)
            if actual != wanted:
                problems.append(f"{where}: type {actual}, declared {member.kind}")
            if (field.label == repeated) != is_list:
                problems.append(f"{where}: repeated is {field.label == repeated}, declared "
                                f"{member.kind}")
            if field.proto3_optional != (member.presence == "optional"):
                problems.append(f"{where}: optional is {field.proto3_optional}, declared "
                                f"{member.presence}")

    for name, values in declarations.enums.items():
        enum = enums.get(name)
        if enum is None:
            problems.append(f"enum {name} is missing")
            continue
        wanted = sorted(values)
        if all(number != 0 for number, _ in values):
            wanted.insert(0, (0, upper_snake(name) + "_UNSPECIFIED"))
        actual = sorted((v.number, v.name) for v in enum.value)
        if actual != wanted:
            problems.append(f"enum {name}: values {actual}, declared (with proto3's 0) {wanted}")
    return problems


def schema_kind_matches(subschema, kind):
    if kind.startswith("list:"):
        return (subschema.get("type") == "array"
                and schema_kind_matches(subschema.get("items", {}), kind.removeprefix("list:")))
    if kind in SCHEMA_TYPES:
        return subschema.get("type") == SCHEMA_TYPES[kind]
    target = SCHEMA_DEFS.get(kind) or kind.split(":", 1)[-1]
    return subschema.get("$ref") == f"#/$defs/{target}"


def schema_problems(declarations, schema):
    """Disagreements between the declarations and the JSON Schema, including the presence rule:
    a plain member's schema refuses its default (the collector never writes it), an optional
    member's schema accepts it (written whenever the member is set)."""
    import jsonschema

    problems = []
    defs = schema.get("$defs", {})
    root = next(iter(declarations.objects))
    if schema.get("$ref") != f"#/$defs/{root}":
        problems.append(f"the schema's root is {schema.get('$ref')}, not {root}")
    problems += [f"object {name} is not declared" for name, d in defs.items()
                 if d.get("type") == "object" and name not in declarations.objects]

    for name, members in declarations.objects.items():
        definition = defs.get(name)
        if definition is None:
            problems.append(f"object {name} is missing")
            continue
        properties = definition.get("properties", {})
        keys = [m.key for m in members]
        if definition.get("additionalProperties") is not False:
            problems.append(f"object {name} allows unknown keys")
        if list(properties) != keys:
            problems.append(f"object {name}: properties {list(properties)}, declared {keys}")
        for key in definition.get("required", []):
            if key not in keys:
                problems.append(f"object {name}: required {key} is not declared")
        for member in members:
            subschema = properties.get(member.key)
            if subschema is None:
                continue
            where = f"{name}.{member.key}"
            if not schema_kind_matches(subschema, member.kind):
                problems.append(f"{where}: schema {subschema} does not state kind {member.kind}")
            default = default_value(declarations, member.kind)
            if default is None:
                continue
            member_schema = dict(schema, **{"$ref": f"#/$defs/{name}/properties/{member.key}"})
            accepted = jsonschema.Draft202012Validator(member_schema).is_valid(default)
            if accepted != (member.presence == "optional"):
                problems.append(f"{where}: the schema {'accepts' if accepted else 'refuses'} the "
                                f"default {default!r}, though the member is {member.presence}")

    for name, values in declarations.enums.items():
        names = [n for _, n in sorted(values)]
        actual = defs.get(name, {}).get("enum")
        if actual != names:
            problems.append(f"enumeration {name}: names {actual}, declared {names}")
    return problems


def default_value(declarations, kind):
    """The default of a member's kind as the JSON text would hold it, or None where the default
    is never text (objects, and enumerations whose 0 has no name)."""
    if kind.startswith("list:"):
        return []
    if kind.startswith("enum:"):
        return dict(declarations.enums.get(kind[5:], [])).get(0)
    return DEFAULTS.get(kind)


def read_dump(args):
    if args.dump_tool:
        return subprocess.run([args.dump_tool], check=True, capture_output=True,
                              text=True).stdout
    if args.dump == "-":
        return sys.stdin.read()
    with open(args.dump, encoding="utf-8") as f:
        return f.read()


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--protoc", default="")
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--dump", help="the declarations as text, - for standard input")
    source.add_argument("--dump-tool", help="a program that prints the declarations")
    parser.add_argument("proto")
    parser.add_argument("schema")
    return parser.parse_args(argv)


def main():
    args = parse_arguments()
    schema_tools.require_modules()
    protoc = schema_tools.require_protoc(args.protoc)
    try:
        declarations = read_declarations(read_dump(args))
    except ValueError as error:
        sys.exit(f"declarations: {error}")
    _, file_proto = schema_tools.compile_proto(protoc, args.proto)
    schema = schema_tools.load_schema(args.schema)
    problems = (declaration_problems(declarations) + proto_problems(declarations, file_proto)
                + schema_problems(declarations, schema))
    for problem in problems:
        print(problem)
    if problems:
        sys.exit(f"{len(problems)} disagreements with the declarations")
    members = sum(len(m) for m in declarations.objects.values())
    print(f"{len(declarations.objects)} objects, {members} members and "
          f"{len(declarations.enums)} enumerations agree with both files")


if __name__ == "__main__":
    main()
