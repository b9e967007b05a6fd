#!/usr/bin/env python3
"""Writes the small seed corpora in fuzz/corpus/ (kept in the repository; rerun to regenerate)."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
declaration = '<?xml version="1.0" encoding="UTF-8"?> '


def block(text, magic=b"VC2!", length=None):
    data = text.encode("utf-8")
    return magic + struct.pack("<i", len(data) if length is None else length) + data + b"\0"


def element(attributes, tag="MYPLUGINSETTINGS"):
    return declaration + "<%s %s/>" % (tag, " ".join('%s="%s"' % kv for kv in attributes))


states = {
    "default": block(element([("dbEnable", "1"), ("dbMain", "0.5"), ("dbPitch", "0.5")])),
    "switched-off": block(element([("dbEnable", "0"), ("dbMain", "0.25"), ("dbPitch", "0.875")])),
    "only-pitch": block(element([("dbPitch", "0.125")])),
    "out-of-range": block(element([("dbEnable", "7"), ("dbMain", "-3e38"), ("dbPitch", "1e400")])),
    "not-numbers": block(element([("dbEnable", "nan"), ("dbMain", "inf"), ("dbPitch", "x")])),
    "other-root": block(element([("dbMain", "1")], tag="OTHER")),
    "children": block(declaration + '<MYPLUGINSETTINGS dbMain="0.75"><A b="1"/>&amp;</MYPLUGINSETTINGS>'),
    "negative-length": block(element([("dbMain", "1")]), length=-5),
    "long-length": block(element([("dbMain", "1")]), length=100000),
    "wrong-magic": block(element([("dbMain", "1")]), magic=b"VC1!"),
}


def compressed_int(value):
    data = struct.pack("<I", value).rstrip(b"\0")
    return bytes([len(data)]) + data


# JUCE's private data: a ValueTree "JUCEPrivateData" holding the bypass flag.
def private_data(bypassed):
    return (b"JUCEPrivateData\0" + compressed_int(1) + b"Bypass\0"
            + compressed_int(1) + bytes([2 if bypassed else 3]) + compressed_int(0))


def envelope_input(form, state, extra=b""):
    return bytes([form]) + struct.pack("<H", len(state)) + state + extra


envelopes = {
    "vst2-default": envelope_input(0, states["default"]),
    "vst2-bypassed-with-private-data": envelope_input(3, states["switched-off"], private_data(True)),
    "vst2-private-data": envelope_input(2, states["only-pitch"], private_data(False)),
    "raw-default": envelope_input(4, states["default"]),
    "raw-private-data": envelope_input(6, states["out-of-range"], private_data(False)),
    "vst2-not-numbers": envelope_input(0, states["not-numbers"]),
}

for folder, seeds in (("state", states), ("envelope", envelopes)):
    path = os.path.join(here, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)
