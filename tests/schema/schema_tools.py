"""What the schema checks share: finding their tools, compiling wirelens.proto, loading the
JSON Schema, and printing a parsed Batch back in the collector's own spelling.

Each check exits with SKIPPED (CTest's skip code) and a one-line note when protoc or one of
Debian's python modules (python3-protobuf, python3-jsonschema) is missing.
"""

import atexit
import decimal
import importlib
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77


def skip(note):
    print(f"skipped: {note}")
    sys.exit(SKIPPED)


def require_modules():
    """Skips the check unless protobuf's JSON support and jsonschema can be imported."""
    for module, package in (("google.protobuf.json_format", "python3-protobuf"),
                            ("jsonschema", "python3-jsonschema")):
        try:
            importlib.import_module(module)
        except ImportError:
            skip(f"python module {module} not found ({package})")


def require_protoc(protoc):
    found = shutil.which(protoc) if protoc else None
    if not found:
        skip("protoc not found (protobuf-compiler)")
    return found


def compile_proto(protoc, proto_path):
    """Returns (the generated module, the FileDescriptorProto) of the .proto file."""
    from google.protobuf import descriptor_pb2

    out = tempfile.mkdtemp(prefix="wirelens-proto-")
    atexit.register(shutil.rmtree, out, ignore_errors=True)
    folder, name = os.path.split(os.path.abspath(proto_path))
    descriptors = os.path.join(out, "descriptors.pb")
    subprocess.run(
        [protoc, f"-I{folder}", f"--python_out={out}", f"--descriptor_set_out={descriptors}", name],
        check=True,
    )
    with open(descriptors, "rb") as f:
        file_set = descriptor_pb2.FileDescriptorSet.FromString(f.read())
    sys.path.insert(0, out)
    module = importlib.import_module(os.path.splitext(name)[0] + "_pb2")
    return module, file_set.file[0]


def load_schema(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def validator_for(schema):
    import jsonschema

    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


def collector_double(value):
    """A finite double as the collector writes it: the shortest digits that read back (which
    Python's repr also finds), in plain form for decimal exponents -5 to 15 ("0.00001",
    "100.0") and otherwise as d.ddde+N with no padding of the exponent ("1e+16", "1.25e-7").
    Python spells the same digits "1e-05" and "1.25e-07"."""
    sign = "-" if math.copysign(1.0, value) < 0 else ""
    if value == 0:
        return sign + "0.0"
    digits_tuple, exponent = decimal.Decimal(repr(abs(value))).as_tuple()[1:]
    digits = "".join(map(str, digits_tuple)).rstrip("0")
    exponent += len(digits_tuple) - 1  # scientific exponent of the first digit
    n = len(digits)
    if -5 <= exponent <= 15:
        if exponent < 0:
            text = "0." + "0" * (-exponent - 1) + digits
        elif exponent < n - 1:
            text = digits[: exponent + 1] + "." + digits[exponent + 1 :]
        else:
            text = digits + "0" * (exponent - n + 1) + ".0"
    else:
        mantissa = digits[0] + ("." + digits[1:] if n > 1 else "")
        text = f"{mantissa}e{'+' if exponent > 0 else '-'}{abs(exponent)}"
    return sign + text


def collector_text(value):
    """Compact JSON of a MessageToDict result. It is json.dumps with the collector's separators
    and raw UTF-8, except that doubles take the collector's spelling (collector_double)."""
    if isinstance(value, dict):
        members = (json.dumps(k, ensure_ascii=False) + ":" + collector_text(v)
                   for k, v in value.items())
        return "{" + ",".join(members) + "}"
    if isinstance(value, list):
        return "[" + ",".join(collector_text(v) for v in value) + "]"
    if isinstance(value, float):
        return collector_double(value)
    return json.dumps(value, ensure_ascii=False)


def reprint(line, batch_type):
    """Parses one document strictly with protobuf's JSON parser (duplicate or unknown keys,
    unknown enumeration names and out-of-range numbers are errors) and prints it back with
    the collector's conventions: json_name keys, no default-valued plain fields."""
    from google.protobuf import json_format

    message = json_format.Parse(line, batch_type(), ignore_unknown_fields=False)
    printed = json_format.MessageToDict(
        message, preserving_proto_field_name=False, including_default_value_fields=False
    )
    return collector_text(printed)


def first_difference(expected, actual, context=60):
    """Where two texts part, with some text around it on both sides."""
    at = next((i for i, (a, b) in enumerate(zip(expected, actual)) if a != b), None)
    if at is None:
        at = min(len(expected), len(actual))
    start = max(0, at - context)
    return (
        f"first difference at character {at}:\n"
        f"  collector: ...{expected[start:at + context]}...\n"
        f"  protobuf:  ...{actual[start:at + context]}..."
    )


REMOVE = object()


def set_at(tree, path, value):
    """Sets the member at PATH (keys and indices) of a nested tree to VALUE, or removes it
    when VALUE is REMOVE; the tree is changed in place."""
    parent = tree
    for step in path[:-1]:
        parent = parent[step]
    if value is REMOVE:
        del parent[path[-1]]
    else:
        parent[path[-1]] = value
