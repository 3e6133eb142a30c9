"""Checks the collector's real output against both published schemas.

Runs wirelens-reader over the device emulator for three compact passes: the sample capture,
a synthetic pass of several thousand varied sockets, and a pass with no sockets. Every
document must read with protobuf's strict JSON parser into a wirelens.v1.Batch, print back
to exactly the bytes of its line, and be valid under the JSON Schema.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

import schema_tools


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--collector", required=True)
    parser.add_argument("--capture-tool", required=True)
    parser.add_argument("--emulator", required=True, help="the device emulator library")
    parser.add_argument("--sample", required=True, help="the sample capture description")
    parser.add_argument("--protoc", default="")
    parser.add_argument("--proto", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--synthetic", type=int, default=5000)
    parser.add_argument("--seed", type=int, default=20261211)
    return parser.parse_args()


def count_sockets(description_path):
    with open(description_path, encoding="utf-8") as f:
        return sum(1 for line in f if line.startswith("socket "))


def run_collector(args, work):
    """Returns the collector's standard output, after checking it ran cleanly."""
    subprocess.run([args.capture_tool, "-o", f"{work}/sample.cap", args.sample], check=True)
    subprocess.run(
        [args.capture_tool, "-o", f"{work}/synthetic.cap", "--synthetic", str(args.synthetic),
         "--seed", str(args.seed)],
        check=True,
    )
    with open(f"{work}/scenario.txt", "w", encoding="utf-8") as f:
        f.write("records sample.cap\npass\nrecords synthetic.cap\npass\n")
    env = dict(os.environ)
    env["LD_PRELOAD"] = os.path.abspath(args.emulator) + (
        ":" + env["LD_PRELOAD"] if env.get("LD_PRELOAD") else "")
    env["WIRELENS_EMULATOR_SCENARIO"] = f"{work}/scenario.txt"
    # An instrumented collector accepts the emulator loaded ahead of the sanitizer runtime.
    env["ASAN_OPTIONS"] = ":".join(
        filter(None, [env.get("ASAN_OPTIONS"), "verify_asan_link_order=0", "detect_leaks=0"]))
    run = subprocess.run([args.collector, "-i", "0.001", "-c", "3"], env=env,
                         capture_output=True, check=False)
    if run.returncode != 0 or run.stderr:
        sys.exit(f"collector exited {run.returncode}: {run.stderr.decode(errors='replace')}")
    return run.stdout


def main():
    args = parse_arguments()
    schema_tools.require_modules()
    protoc = schema_tools.require_protoc(args.protoc)
    pb2, _ = schema_tools.compile_proto(protoc, args.proto)
    validator = schema_tools.validator_for(schema_tools.load_schema(args.schema))

    with tempfile.TemporaryDirectory(prefix="wirelens-conformance-") as work:
        output = run_collector(args, work)
    if not output.endswith(b"\n"):
        sys.exit("the output does not end with a line feed")
    lines = output[:-1].split(b"\n")
    expected_records = [count_sockets(args.sample), args.synthetic, 0]

    failures = 0
    for number, line in enumerate(lines, 1):
        text = line.decode("utf-8")
        reprinted = schema_tools.reprint(text, pb2.Batch)
        if reprinted.encode("utf-8") != line:
            failures += 1
            print(f"document {number}: protobuf prints it differently; "
                  + schema_tools.first_difference(text, reprinted))
        document = json.loads(text)
        for error in list(validator.iter_errors(document))[:5]:
            failures += 1
            where = "/".join(map(str, error.absolute_path))
            print(f"document {number}: invalid at /{where}: {error.message[:200]}")
        records = len(document.get("records", []))
        if number <= len(expected_records) and records != expected_records[number - 1]:
            failures += 1
            print(f"document {number}: {records} records, {expected_records[number - 1]} expected")
    if len(lines) != len(expected_records):
        failures += 1
        print(f"{len(lines)} documents, {len(expected_records)} expected")
    if failures:
        sys.exit(f"{failures} failures")
    print(f"{len(lines)} documents, {sum(expected_records)} records: protobuf reprints every "
          "line byte for byte and the JSON Schema accepts every document")


if __name__ == "__main__":
    main()
