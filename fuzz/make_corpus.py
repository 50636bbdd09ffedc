#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/.

    fuzz/make_corpus.py ZEQ_BINARY

Seeds: exports of the built-in demo scene with several option sets, each also re-framed with a
stored (uncompressed) body where it fits, so that mutations reach the records instead of breaking
the compressed stream; the worked example of docs/format.md; the demo scene document with a few
small documents; for the pack target, the raw dumps of the demo exports and of the example; and,
for the export target, the demo scene document led by the byte that picks each option set (the
scene_convert target gets the document as it is); for the diff target, pairs of demo exports.
The record target gets the unpacked bodies without their version pair, led by the byte that picks
the Zeq2 root. Existing seeds of the same name are replaced; regression inputs (named
regression-*) are left alone.
"""
import os
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")

OPTION_SETS = {
    "plain": [],
    "normals": ["--normals"],
    "full": ["--normals", "--tangents", "--animation"],
    "half": ["--half", "--normals"],
    "atf": ["--atf", "--tangents"],
    "animation-only": ["--animation-only"],
}

# Pairs of demo exports for the diff target, each file with a stored body.
DIFF_PAIRS = [("plain", "normals"), ("full", "atf"), ("half", "normals"), ("full", "animation-only")]

# The export target's option byte: one bit per box of the options dialog (normals 1, tangents 2,
# ATF 4, animation 8, 16-bit 16, animation only 32) and 64 for the selection bit.
EXPORT_OPTIONS = {"plain": 0, "full": 1 | 2 | 8, "half-atf": 1 | 4 | 16, "animation-only": 8 | 32, "selected": 1 | 64}

# The worked example: one object, id 5, named "A"; 26 presence bits in the four-byte short form.
EXAMPLE_BODY = bytes.fromhex("7FFF5FF8" "00020005" "01" "0000000000000005" "0141" "01")

SMALL_DOCUMENTS = {
    "empty.json": "{}\n",
    "one-node.json": '{"version": 1, "nodes": [{"name": "Box01", "object": null}]}\n',
}


# Small models for the foreign-file target, each led by the byte that picks its extension (the
# order of the target's extension list: obj ply stl gltf glb dae fbx off).
TRIANGLE_GLTF_BUFFER = "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIA"
MODELS = {
    "triangle.obj": (0, "o Tri\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\n"
                        "usemtl red\nf 1/1/1 2/2/1 3/3/1\n"),
    "quad.ply": (1, "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                    "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
                    "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n"),
    "triangle.stl": (2, "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                        "vertex 0 1 0\nendloop\nendfacet\nendsolid t\n"),
    "triangle.gltf": (3, '{"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],'
                         '"nodes":[{"name":"Tri","mesh":0,"translation":[1,2,3]}],'
                         '"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],'
                         '"buffers":[{"byteLength":42,"uri":"data:application/octet-stream;base64,'
                         + TRIANGLE_GLTF_BUFFER + '"}],'
                         '"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},'
                         '{"buffer":0,"byteOffset":36,"byteLength":6}],'
                         '"accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",'
                         '"min":[0,0,0],"max":[1,1,0]},'
                         '{"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}]}\n'),
    "triangle.off": (7, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"),
}


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def unpack(packet):
    """The body of a packet (inflated when compressed)."""
    if packet[0] & 0x80:
        length = int.from_bytes(packet[:4], "big") & 0x7FFFFFFF
        return zlib.decompress(packet[4:4 + length])
    length = ((packet[0] & 0x3F) << 8) | packet[1]
    body = packet[2:2 + length]
    return zlib.decompress(body) if packet[0] & 0x40 else body


def null_map_length(body):
    first = body[0]
    if not first & 0x80:
        return 1 + (first >> 5)
    if not first & 0x40:
        return 1 + (first & 0x3F)
    return 3 + (((first & 0x3F) << 16) | (body[1] << 8) | body[2])


def stored(body):
    """The body framed uncompressed; None when it is too long for the two-byte header."""
    if len(body) >= 16384:
        return None
    return bytes([len(body) >> 8, len(body) & 0xFF]) + body


def compressed(body):
    data = zlib.compress(body, 9)
    if len(data) < 16384 and len(body) < 16384:
        return bytes([0x40 + (len(data) >> 8), len(data) & 0xFF]) + data
    return (0x80000000 | len(data)).to_bytes(4, "big") + data


def add_scene(name, packet):
    body = unpack(packet)
    framed = {name + ".zeq": packet}
    if stored(body):
        framed[name + "-stored.zeq"] = stored(body)
    for target in ("packet", "import", "inspect"):
        for file_name, data in framed.items():
            write(target, file_name, data)
    # The foreign writer's seeds: the scenes with skins, animation and explicit normals.
    if name in ("demo-full", "demo-normals") and stored(body):
        write("foreign_write", name + "-stored.zeq", stored(body))
    split = null_map_length(body)
    write("records", name + ".bin", b"\x00" + body[:split] + body[split + 4:])


def add_pair(name, a, b):
    """Two files as the diff target reads them: the tolerance byte, the length of A, A and B."""
    write("diff", name + ".bin", b"\x00" + len(a).to_bytes(2, "big") + a + b)


def dump(zeq, path, name):
    """The raw dump of a file, as `zeq pack` reads it."""
    raw = subprocess.run([zeq, "dump", "--raw", path], check=True, stdout=subprocess.PIPE).stdout
    write("pack", name + ".json", raw)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    zeq = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        exports = {}
        for name, options in OPTION_SETS.items():
            out = os.path.join(tmp, name + ".zeq")
            subprocess.run([zeq, "export", "-o", out, *options], check=True)
            with open(out, "rb") as f:
                exports[name] = f.read()
            add_scene("demo-" + name, exports[name])
            dump(zeq, out, "demo-" + name)
        for a, b in DIFF_PAIRS:
            add_pair("demo-" + a + "-" + b, stored(unpack(exports[a])), stored(unpack(exports[b])))
        document = os.path.join(tmp, "demo.json")
        subprocess.run([zeq, "scene", "demo", "-o", document], check=True)
        with open(document, "rb") as f:
            text = f.read()
        write("scene_document", "demo.json", text)
        write("scene_convert", "demo.json", text)
        for name, bits in EXPORT_OPTIONS.items():
            write("export", "demo-" + name + ".json", bytes([bits]) + text)
        example = compressed(EXAMPLE_BODY)
        example_file = os.path.join(tmp, "example.zeq")
        with open(example_file, "wb") as f:
            f.write(example)
        dump(zeq, example_file, "example")
    add_scene("example", example)
    for name, text in SMALL_DOCUMENTS.items():
        write("scene_document", name, text.encode())
    for name, (kind, text) in MODELS.items():
        write("foreign", name, bytes([kind]) + text.encode())


if __name__ == "__main__":
    main()
