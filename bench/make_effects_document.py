#!/usr/bin/env python3
"""Writes an 8-bit RGB Photoshop document saved without a merged image, so
that opening it composes every pixel: six partly transparent pixel layers,
three of them with layer effects (drop shadow, stroke, colour overlay),
and four adjustment layers (levels, curves, hue/saturation, exposure).

    bench/make_effects_document.py OUT.psd [WIDTH HEIGHT]   (default 4000 3000)

Each layer's rows are of one colour, so its run-length channels are small
and quick to write; the compositor still works on every pixel."""
import struct
import sys


def u8(v): return struct.pack(">B", v)
def u16(v): return struct.pack(">H", v)
def i16(v): return struct.pack(">h", v)
def u32(v): return struct.pack(">I", v)
def i32(v): return struct.pack(">i", v)


def packed_run(value, count):
    """PackBits of `count` equal bytes."""
    out = b""
    while count > 0:
        n = min(count, 128)
        out += struct.pack(">bB", 1 - n, value) if n > 1 else b"\x00" + u8(value)
        count -= n
    return out


def rle_channel(width, height, row_value):
    rows = [packed_run(row_value(y), width) for y in range(height)]
    return u16(1) + b"".join(u16(len(r)) for r in rows) + b"".join(rows)


# Descriptors: keys of four characters are written as such.
def key(k): return u32(0) + k.encode() if len(k) == 4 else u32(len(k)) + k.encode()
def descriptor(cls, items):
    body = u32(1) + u16(0) + key(cls) + u32(len(items))
    return body + b"".join(key(k) + v for k, v in items)
def objc(cls, items): return b"Objc" + descriptor(cls, items)
def boolean(v): return b"bool" + u8(1 if v else 0)
def unit(u, v): return b"UntF" + u.encode() + struct.pack(">d", v)
def enum(t, v): return b"enum" + key(t) + key(v)
def rgb(r, g, b): return objc("RGBC", [("Rd  ", b"doub" + struct.pack(">d", r)),
                                      ("Grn ", b"doub" + struct.pack(">d", g)),
                                      ("Bl  ", b"doub" + struct.pack(">d", b))])


def effects(kinds):
    items = [("Scl ", unit("#Prc", 100)), ("masterFXSwitch", boolean(True))]
    if "shadow" in kinds:
        items.append(("DrSh", objc("DrSh", [
            ("enab", boolean(True)), ("Md  ", enum("BlnM", "Mltp")), ("Clr ", rgb(0, 0, 0)),
            ("Opct", unit("#Prc", 75)), ("uglg", boolean(False)), ("lagl", unit("#Ang", 120)),
            ("Dstn", unit("#Pxl", 30)), ("Ckmt", unit("#Pxl", 0)), ("blur", unit("#Pxl", 20)),
            ("layerConceals", boolean(True))])))
    if "stroke" in kinds:
        items.append(("FrFX", objc("FrFX", [
            ("enab", boolean(True)), ("Styl", enum("FStl", "OutF")), ("PntT", enum("FrFl", "SClr")),
            ("Md  ", enum("BlnM", "Nrml")), ("Opct", unit("#Prc", 100)), ("Sz  ", unit("#Pxl", 6)),
            ("Clr ", rgb(255, 255, 255))])))
    if "overlay" in kinds:
        items.append(("SoFi", objc("SoFi", [
            ("enab", boolean(True)), ("Md  ", enum("BlnM", "Mltp")), ("Opct", unit("#Prc", 60)),
            ("Clr ", rgb(40, 120, 220))])))
    return u32(0) + u32(16) + descriptor("null", items)


def block(k, data):
    if len(data) % 2:
        data += b"\0"
    return b"8BIM" + k.encode() + u32(len(data)) + data


def record(rect, channels, mode, opacity, name, blocks):
    top, left, bottom, right = rect
    out = i32(top) + i32(left) + i32(bottom) + i32(right) + u16(len(channels))
    for channel_id, data in channels:
        out += i16(channel_id) + u32(len(data))
    out += b"8BIM" + mode.encode() + u8(opacity) + u8(0) + u8(0) + u8(0)
    pascal = u8(len(name)) + name.encode()
    pascal += b"\0" * (-len(pascal) % 4)
    extra = u32(0) + u32(0) + pascal + b"".join(blocks)
    return out + u32(len(extra)) + extra


def main():
    path = sys.argv[1]
    width = int(sys.argv[2]) if len(sys.argv) > 2 else 4000
    height = int(sys.argv[3]) if len(sys.argv) > 3 else 3000
    records, data = b"", b""
    modes = ["norm", "mul ", "scrn", "over", "norm", "sLit"]
    fx = [(), ("shadow", "stroke"), (), ("overlay",), (), ("shadow", "overlay")]
    adjustments = {
        1: ("levl", u16(2) + b"".join(u16(a) + u16(b) + u16(c) + u16(d) + u16(g) for a, b, c, d, g in
                                      [(10, 240, 0, 255, 120)] + [(0, 255, 0, 255, 100)] * 28)),
        2: ("curv", u8(0) + u16(1) + u32(1) + u16(3) + u16(0) + u16(0) + u16(150) + u16(110) + u16(255) + u16(255)),
        3: ("hue2", u16(2) + u8(0) + u8(0) + i16(0) * 3 + i16(15) + i16(20) + i16(0) +
            b"".join(i16(a) + i16(b) + i16(c) + i16(d) + i16(0) * 3 for a, b, c, d in
                     [(315, 345, 15, 45), (15, 45, 75, 105), (75, 105, 135, 165),
                      (135, 165, 195, 225), (195, 225, 255, 285), (255, 285, 315, 345)])),
        4: ("expA", u16(1) + struct.pack(">fff", 0.4, 0.0, 1.0)),
    }
    count = 0
    for k in range(6):
        left, top = k * width // 24, k * height // 24
        rect = (top, left, top + height * 3 // 4, left + width * 3 // 4)
        w, h = rect[3] - rect[1], rect[2] - rect[0]
        channels = [(-1, rle_channel(w, h, lambda y: 255 if k == 0 else 140 + (y * 100) // h))]
        for c in range(3):
            channels.append((c, rle_channel(w, h, lambda y, c=c: (y * 255 // h + 80 * c + 40 * k) % 256)))
        blocks = [block("lfx2", effects(fx[k]))] if fx[k] else []
        records += record(rect, channels, modes[k], 230, "layer %d" % k, blocks)
        data += b"".join(d for _, d in channels)
        count += 1
        if k in adjustments:
            adjustment_key, body = adjustments[k]
            empty = [(c, u16(0)) for c in (-1, 0, 1, 2)]
            records += record((0, 0, 0, 0), empty, "norm", 255, "adjustment %d" % k, [block(adjustment_key, body)])
            data += b"".join(d for _, d in empty)
            count += 1
    info = i16(count) + records + data
    info += b"\0" * (len(info) % 2)
    layer_section = u32(len(info)) + info + u32(0)

    version = u32(1) + u8(0) + u32(0) + u32(0) + u32(1)  # no real merged image
    version += b"\0" * (len(version) % 2)
    resources = b"8BIM" + u16(0x0421) + u16(0) + u32(len(version)) + version
    out = b"8BPS" + u16(1) + b"\0" * 6 + u16(3) + u32(height) + u32(width) + u16(8) + u16(3)
    out += u32(0) + u32(len(resources)) + resources + u32(len(layer_section)) + layer_section
    # The white stand-in such a document carries in place of a merged image.
    row = packed_run(255, width)
    out += u16(1) + u16(len(row)) * (3 * height) + row * (3 * height)
    with open(path, "wb") as f:
        f.write(out)
    print("%s: %d x %d, %d layers, %d bytes" % (path, width, height, count, len(out)))


if __name__ == "__main__":
    main()
