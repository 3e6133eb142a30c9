"""Checks both published schemas on crafted documents: one valid document changed in one place
at a time must be refused (unknown keys, 64-bit values as numbers, unknown enumeration names,
out-of-range numbers, defaults the collector never writes) or accepted (the limits of every
kind), and the collector's spelling of doubles and escaping of texts must read and print back
unchanged.

usage: check_crafted_documents.py --protoc PROTOC --proto PROTO --schema SCHEMA
"""

import argparse
import copy
import json
import sys

import schema_tools

# One document as the collector writes it: a pass with one owned socket.
VALID = json.loads(
    '{"metadata":{"timestampNs":"1796989684754300775","hostname":"node1",'
    '"platform":"PLATFORM_FREEBSD","osVersion":"FreeBSD 14.1-RELEASE","intervalMs":1000,'
    '"dataSources":["DATA_SOURCE_FREEBSD_KLD","DATA_SOURCE_KERN_FILE"],'
    '"collectionDurationNs":"3628675","pcblistGeneration":"1","batchSequence":"7",'
    '"toolVersion":"wirelens-reader 0.1.0"},'
    '"records":[{"localAddr":"wKi6KA==","remoteAddr":"ywBxag==","localPort":63584,'
    '"remotePort":80,"ipVersion":"IP_VERSION_4","socketId":"18446735277918523264",'
    '"state":"TCP_STATE_ESTABLISHED","tcpFlags":3972,"sndCwnd":878920,"sndSsthresh":2233800,'
    '"sndWnd":3317434,"rcvWnd":3034352,"maxseg":1460,"ccAlgo":"cubic","tcpStack":"freebsd",'
    '"rttUs":153519,"rttvarUs":101384,"rtoUs":460555,"rttMinUs":122816,"sndNxt":3397888114,'
    '"sndUna":3397854005,"sndMax":3397888114,"rcvNxt":3414871538,"rcvAdv":3414937073,'
    '"sndWscale":6,"rcvWscale":8,"rexmitPackets":962,"oooPackets":127,"zerowinProbes":11,'
    '"dupacks":231,"sackBlocks":2473,"dsackBytes":161057,"dsackPackets":61,"timerRexmtMs":2467,'
    '"timerPersistMs":0,"timerKeepMs":6294379,"timer2mslMs":0,"timerDelackMs":2,'
    '"idleTimeMs":478335,"sndBufUsed":1109610,"sndBufHiwat":2097152,"rcvBufUsed":3607,'
    '"rcvBufHiwat":65536,"pid":7183,"uid":1001,"fd":11,"ecnFlags":0,"ecnCeDelivered":0,'
    '"ecnCeReceived":0,"negotiatedOptions":18,"tlpProbesSent":17,"tlpBytesSent":"24820",'
    '"inpGencnt":"1009","sources":["DATA_SOURCE_FREEBSD_KLD","DATA_SOURCE_KERN_FILE"]}],'
    '"summary":{"timestampNs":"1796989684760301559","intervalMs":1000,"totalSockets":1,'
    '"stateCounts":[{"state":"TCP_STATE_ESTABLISHED","count":1}]}}'
)

REMOVE = schema_tools.REMOVE
META, RECORD, SUMMARY = ("metadata",), ("records", 0), ("summary",)
COUNT = SUMMARY + ("stateCounts", 0)

# (what the change shows, where, new value, the JSON Schema accepts it, protobuf must refuse it)
CHANGES = [
    ("unknown key in the batch", ("batch",), 1, False, True),
    ("unknown key in the metadata", META + ("schedule",), "x", False, True),
    ("unknown key in a record", RECORD + ("rtt",), 1, False, True),
    ("unknown key in a state count", COUNT + ("name",), "x", False, True),
    ("proto field name instead of the key", RECORD + ("snd_cwnd",), 1, False, False),
    ("u64 as a number", RECORD + ("socketId",), 18446735277918523264, False, False),
    ("u64 as a number in the metadata", META + ("batchSequence",), 7, False, False),
    ("i64 as a number", RECORD + ("deltaTxBytes",), -1500, False, False),
    ("u64 above its maximum", RECORD + ("tlpBytesSent",), "18446744073709551616", False, True),
    ("u64 with a leading zero", RECORD + ("inpGencnt",), "01009", False, False),
    ("u64 with a sign", RECORD + ("inpGencnt",), "+1009", False, False),
    ("i64 below its minimum", RECORD + ("deltaRxBytes",), "-9223372036854775809", False, True),
    ("unknown state name", RECORD + ("state",), "TCP_STATE_BOGUS", False, True),
    ("unknown data source", META + ("dataSources", 1), "DATA_SOURCE_PROC", False, True),
    ("unknown platform", META + ("platform",), "PLATFORM_LINUX", False, True),
    ("unknown state in a count", COUNT + ("state",), "TCP_STATE_OPEN", False, True),
    ("the unnamed 0 of an enumeration", RECORD + ("ipVersion",), "IP_VERSION_UNSPECIFIED", False,
     False),
    ("an enumeration as its number", RECORD + ("state",), 5, False, False),
    ("u32 above its maximum", RECORD + ("sndWnd",), 4294967296, False, True),
    ("u32 negative", RECORD + ("rttUs",), -1, False, True),
    ("i32 below its minimum", RECORD + ("pid",), -2147483649, False, True),
    ("u32 as text", RECORD + ("maxseg",), "1460", False, False),
    ("port above 16 bits", RECORD + ("localPort",), 65536, False, False),
    ("plain u32 at its default", RECORD + ("remotePort",), 0, False, False),
    ("plain u64 at its default", META + ("timestampNs",), "0", False, False),
    ("plain text at its default", META + ("hostname",), "", False, False),
    ("plain list at its default", ("records",), [], False, False),
    ("address of five bytes", RECORD + ("localAddr",), "wKi6KAE=", False, False),
    ("address without padding", RECORD + ("localAddr",), "wKi6KA", False, False),
    ("address in the URL-safe alphabet", RECORD + ("remoteAddr",), "IAENuAAAAABsgUbh5D7x_w==",
     False, False),
    ("congestion-control name over 16 characters", RECORD + ("ccAlgo",), "c" * 17, False, False),
    ("metadata without its platform", META + ("platform",), REMOVE, False, False),
    ("metadata without its tool version", META + ("toolVersion",), REMOVE, False, False),
    ("record without its sources", RECORD + ("sources",), REMOVE, False, False),
    ("state count without its count", COUNT + ("count",), REMOVE, False, False),
    ("batch without its summary", SUMMARY, REMOVE, False, False),
    ("bool as a number", RECORD + ("tfoNegotiated",), 1, False, True),
    # Accepted: the limits of each kind and the members a plain rule does not cover.
    ("u64 maximum", RECORD + ("tlpBytesSent",), "18446744073709551615", True, False),
    ("i64 minimum", RECORD + ("deltaTxBytes",), "-9223372036854775808", True, False),
    ("i64 maximum", RECORD + ("deltaRxBytes",), "9223372036854775807", True, False),
    ("u32 maximum", RECORD + ("sndWnd",), 4294967295, True, False),
    ("i32 minimum", RECORD + ("pid",), -2147483648, True, False),
    ("optional u64 at 0", META + ("pcblistGeneration",), "0", True, False),
    ("optional text empty", RECORD + ("command",), "", True, False),
    ("optional bool false", RECORD + ("reorderingDetected",), False, True, False),
    ("IPv6 addresses", RECORD + ("localAddr",), "IAENuAAAAACEwAnvBH09ug==", True, False),
    ("data source 0, which has a name", RECORD + ("sources", 1), "DATA_SOURCE_UNKNOWN", True,
     False),
    ("a rate", SUMMARY + ("retransmitRate",), 0.25, True, False),
    ("a NaN rate, written as null", SUMMARY + ("duplicateRate",), None, True, False),
    ("a batch with no metadata, no records and no summary", (), {}, False, False),
    ("metadata with its defaults only", META, {}, False, False),
    ("summary of a pass without sockets", SUMMARY, {"timestampNs": "1", "intervalMs": 1}, True,
     False),
]

# Doubles as the collector spells them; each must survive protobuf's parser and printer.
DOUBLES = ["0.0", "-0.0", "1.0", "0.5", "0.1", "0.00001", "1.25e-7", "1e-6", "123456.789",
           "100.0", "1000000000000000.0", "1e+16", "1.5e+16", "-2.5", "5e-324",
           "2.2250738585072014e-308", "1.7976931348623157e+308"]


# Texts as the collector escapes them: the short escapes, \u00XX with lowercase digits for the
# other control bytes, and every other byte (DEL, "/", UTF-8) as it is.
STRINGS = [r'"tab\tline\nquote\"backslash\\"', r'"\b\f\r"', r'"\u0001\u001f"',
           '"\x7f/caf\u00e9 \ufffd \U0001f600"']


def changed(path, value):
    document = copy.deepcopy(VALID)
    if not path:
        return value
    schema_tools.set_at(document, path, value)
    return document


def protobuf_refuses(text, batch_type):
    from google.protobuf import json_format

    try:
        json_format.Parse(text, batch_type(), ignore_unknown_fields=False)
    except json_format.ParseError:
        return True
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--protoc", default="")
    parser.add_argument("--proto", required=True)
    parser.add_argument("--schema", required=True)
    args = parser.parse_args()
    schema_tools.require_modules()
    protoc = schema_tools.require_protoc(args.protoc)
    pb2, _ = schema_tools.compile_proto(protoc, args.proto)
    validator = schema_tools.validator_for(schema_tools.load_schema(args.schema))

    failures = []
    valid_text = json.dumps(VALID, separators=(",", ":"))
    if not validator.is_valid(VALID):
        failures.append("the valid document is refused by the JSON Schema")
    if schema_tools.reprint(valid_text, pb2.Batch) != valid_text:
        failures.append("the valid document does not print back unchanged")
    for what, path, value, accepted, refused_by_protobuf in CHANGES:
        document = changed(path, value)
        if validator.is_valid(document) != accepted:
            failures.append(f"{what}: the JSON Schema {'refuses' if accepted else 'accepts'} it")
        text = json.dumps(document, separators=(",", ":"))
        if refused_by_protobuf and not protobuf_refuses(text, pb2.Batch):
            failures.append(f"{what}: protobuf's parser accepts it")
        if accepted and protobuf_refuses(text, pb2.Batch):
            failures.append(f"{what}: protobuf's parser refuses it")
    for spelling in DOUBLES:
        text = '{"summary":{"retransmitRate":' + spelling + "}}"
        reprinted = schema_tools.reprint(text, pb2.Batch)
        if reprinted != text:
            failures.append(f"double {spelling} prints back as {reprinted}")
        if not validator.is_valid(changed(SUMMARY + ("retransmitRate",), json.loads(spelling))):
            failures.append(f"double {spelling}: the JSON Schema refuses it")

    for spelling in STRINGS:
        text = '{"metadata":{"hostname":' + spelling + "}}"
        reprinted = schema_tools.reprint(text, pb2.Batch)
        if reprinted != text:
            failures.append(f"text {spelling} prints back as {reprinted}")

    for failure in failures:
        print(failure)
    if failures:
        sys.exit(f"{len(failures)} failures")
    print(f"{len(CHANGES)} changed documents, {len(DOUBLES)} doubles and {len(STRINGS)} texts "
          "behave as expected")


if __name__ == "__main__":
    main()
