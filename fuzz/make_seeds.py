#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: small valid and nearly valid
files of every format, made here so that nothing binary is kept in the tree.

make_seeds.py OUT_DIR [SAMPLE_ASSETS_DIR]
  OUT_DIR/<target>/ receives the seeds of each target. When the sample asset
  root of a build tree is given, its glyph sheets and common pictures are
  added, so that the plate and tyre harnesses start from real sheets.
"""
import os
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
BIN_MAGIC = b"kes \x30\x0b\x09\x0c"
TRAILER = b"\x11\x22\x33\x44"


def chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, color_type, depth=8, fill=b"\x80"):
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[color_type]
    row = bytes([0]) + fill * (width * channels * depth // 8 // len(fill) + 1)
    row = row[: 1 + width * channels * depth // 8]
    raw = row * height
    return (PNG_SIGNATURE + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def to_bin(data):
    return BIN_MAGIC + data[8:]


def entry(name, data, trailer=TRAILER):
    return struct.pack("<i", len(name)) + name + struct.pack("<i", len(data)) + data + trailer


def params_bin():
    out = struct.pack("<3i", 4600, 1800, 0)
    out += struct.pack("<16i", *([120, 80, 0, 0] * 4))
    for angle in range(192):
        out += struct.pack("<4f", 100.0 + angle % 7, 50.0, 400.0, 300.0)
    out += struct.pack("<5f", 160.0, 300.0, 10.0, 20.0, 0.0)
    out += struct.pack("<24f", *([10.0, 12.0, 80.0, 25.0] * 6))
    out += struct.pack("<6f", 30.0, 60.0, 5.0, 1.0, 2.0, 3.0)
    out += struct.pack("<6f", 230.0, 510.0, 75.0, 15.0, 60.0, 1.71)
    out += struct.pack("<4f", 663.0, 522.0, 1018.0, 595.0)
    for count in (12, 18, 104, 78, 26):
        out += struct.pack("<4i", 40, 30, 0, 0) * count
    assert len(out) == 7136, len(out)
    return out


def config_bin():
    rects = [0.0, 0.0, 0.5, 1.0, 0.5, 0.0, 0.5, 1.0, 0.0, 0.0, 1.0, 1.0, 0.25, 0.25, 0.5, 0.5]
    return struct.pack("<16f2f2i7f", *rects, 50.0, 45.0, 10, -10, 70.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0)


def mesh(vertices, faces):
    out = struct.pack("<i", len(vertices)) + b"".join(struct.pack("<3f", *v) for v in vertices)
    return out + struct.pack("<i", len(faces)) + b"".join(struct.pack("<3I", *f) for f in faces)


def frame(mode, width, height, planes, shape=0x20):
    # One frame of the open size and format; shape 0x20 is slot 0, bit 0x10
    # lays U one byte into V as NV21 cameras do.
    out = bytes([mode, width - 1, height - 1, shape])
    for plane, (row_stride, pixel_stride, length) in enumerate(planes):
        out += bytes([row_stride + 8, pixel_stride]) + struct.pack("<H", length)
        if not (plane == 1 and shape & 0x10):
            out += bytes(length)
    return out


def seeds(sample_root):
    small_rgba = png(4, 3, 6, fill=b"\x10\x20\x30\xff")
    small_rgb = png(5, 2, 2)
    gray16 = png(3, 3, 0, depth=16)
    bmp = (b"BM" + struct.pack("<IHHI", 70, 0, 0, 54) + struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 32, 0, 16, 0, 0, 0, 0)
           + bytes(16))
    package = entry(b"car\\params.bin", params_bin()[:64]) + entry(b"car\\tires\\right_30\\f5.kes", small_rgba)
    yield "unpack", "two-entries", package
    yield "unpack", "empty", b""
    yield "unpack", "cut", package[:-3]
    yield "unpack", "bad-trailer", entry(b"a", b"x", b"\x11\x22\x33\x45")
    yield "unpack", "forward-slash", entry(b"car/a/b", b"data")
    yield "tools_package", "two-entries", package
    yield "tools_package", "nested", entry(b"car\\a", b"1") + entry(b"car\\b\\c", b"2")
    yield "params", "plausible", params_bin()
    yield "params", "short", params_bin()[:900]
    yield "config", "plausible", config_bin()
    yield "config", "short", config_bin()[:70]
    for target in ("sprite_bytes", "converted_bin", "tools_convert"):
        yield target, "rgba", small_rgba
        yield target, "rgb", small_rgb
        yield target, "gray16", gray16
        yield target, "rgba-bin", to_bin(small_rgba)
    yield "sprite_bytes", "bmp", bmp
    yield "overlay_paste", "inside", bytes([0, 2, 3, 1, 8, 8, 1, 3, 3]) + b"\xff" * 64
    yield "overlay_paste", "spans", bytes([4, 250, 1, 0, 6, 6, 0, 4, 4]) + b"\x00\x00\x00\xff" * 40
    yield "mesh", "triangle", mesh([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [(0, 1, 2)])
    yield "mesh", "empty", mesh([], [])
    yield "mesh", "cut", mesh([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [(0, 1, 2)])[:20]
    yield "quadcam_comb", "yuv", frame(0, 4, 4, [(4, 1, 16), (4, 2, 8), (4, 2, 8)])
    yield "quadcam_comb", "yuv-nv21", frame(0, 6, 2, [(6, 1, 12), (6, 2, 5), (6, 2, 6)], shape=0x30)
    yield "quadcam_comb", "rgba", frame(1, 3, 3, [(12, 4, 36), (0, 0, 0), (0, 0, 0)], shape=0x60)
    plate_sheet = png(40, 25, 2)
    yield "glyph_sheets", "plate", bytes([0]) + struct.pack("<H", len(plate_sheet)) + to_bin(plate_sheet) + to_bin(png(80, 25, 2))
    tyre_sheet = png(80, 50, 6)
    yield "glyph_sheets", "tyre", bytes([1]) + struct.pack("<H", len(tyre_sheet)) + to_bin(tyre_sheet) + to_bin(png(60, 40, 6))
    if sample_root:
        def read(relative):
            path = os.path.join(sample_root, relative)
            return open(path, "rb").read() if os.path.isfile(path) else None
        simple, number = read("common/plate/simple0.bin"), read("common/plate/number0.bin")
        if simple and number and len(simple) < 65536:
            yield "glyph_sheets", "sample-plate", bytes([0x10]) + struct.pack("<H", len(simple)) + simple + number
        background, digits = read("common/pressure/background0.bin"), read("common/pressure/number0.bin")
        if background and digits and len(background) < 65536:
            yield "glyph_sheets", "sample-tyre", bytes([0x0b]) + struct.pack("<H", len(background)) + background + digits
        for name in ("common/logo.png", "common/tire_ok.png"):
            data = read(name)
            if data and len(data) < 65536:
                yield "sprite_bytes", "sample-" + os.path.basename(name), data
        mesh_file = read("common/car.bin")
        if mesh_file and len(mesh_file) < 65536:
            yield "mesh", "sample-car", mesh_file


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    out = sys.argv[1]
    sample_root = sys.argv[2] if len(sys.argv) == 3 else None
    count = 0
    for target, name, data in seeds(sample_root):
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)
        count += 1
    print("make_seeds: %d seeds in %s" % (count, out))


if __name__ == "__main__":
    main()
