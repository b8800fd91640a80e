#!/usr/bin/env python3
"""Generates the program's pictures and icon into res/ (deterministic).

Run: python3 tools/make_resources.py   (needs Pillow and fonts-dejavu-core)
Faces and prompt pictures are stored with 24 bits per pixel: the faces are
loaded with 3-D colour mapping, which rewrites only colour-table greys, so a
24-bit face keeps its exact colours. The background must be 256 colours; its
palette leaves out the three mapped greys.
"""
import os
import struct
from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
KEY = (255, 0, 255)
BLUE = (2, 77, 246)
BODY = (207, 233, 254)
WHITE = (255, 255, 255)
DEEP = (1, 40, 140)
LIGHT = (90, 150, 252)
DIS = (150, 170, 196)
DIS_TEXT = (232, 238, 246)
MAPPED_GREYS = {(128, 128, 128), (192, 192, 192), (223, 223, 223)}


def font(size):
    return ImageFont.truetype(FONT, size)


def centred_text(draw, box, text, size, fill):
    f = font(size)
    l, t, r, b = draw.textbbox((0, 0), text, font=f)
    x = box[0] + (box[2] - box[0] - (r - l)) // 2 - l
    y = box[1] + (box[3] - box[1] - (b - t)) // 2 - t
    draw.text((x, y), text, font=f, fill=fill)


def pill(w, h, back, fill, top, edge, radius, scale=4):
    """Rounded button body drawn large and reduced, for smooth edges."""
    big = Image.new("RGB", (w * scale, h * scale), back)
    d = ImageDraw.Draw(big)
    d.rounded_rectangle((0, 0, w * scale - 1, h * scale - 1), radius * scale, fill=edge)
    d.rounded_rectangle((scale, scale, w * scale - 1 - scale, h * scale - 1 - scale),
                        (radius - 1) * scale, fill=fill)
    d.rounded_rectangle((2 * scale, 2 * scale, w * scale - 1 - 2 * scale, h * scale // 2),
                        (radius - 2) * scale, fill=top)
    return big.resize((w, h), Image.LANCZOS)


def button_faces(stem, w, h, text, size, back, disabled):
    looks = {"NOTFOCUS": (BLUE, LIGHT, DEEP, WHITE),
             "FOCUS": (LIGHT, (160, 200, 255), BLUE, (255, 255, 200))}
    if disabled:
        looks["DISABLE"] = (DIS, (178, 194, 214), (120, 140, 170), DIS_TEXT)
    radius = min(10, h // 2)
    for state, (fill, top, edge, ink) in looks.items():
        im = pill(w, h, back, fill, top, edge, radius)
        centred_text(ImageDraw.Draw(im), (0, 0, w, h), text, size, ink)
        save24(im, f"{stem.lower()}_{state.lower()}")


def link_faces(stem, w, h, lines, back):
    for state, ink in (("NOTFOCUS", BLUE), ("FOCUS", DEEP)):
        im = Image.new("RGB", (w, h), back)
        d = ImageDraw.Draw(im)
        y = 2
        for text, size in lines:
            f = font(size)
            l, t, r, b = d.textbbox((0, 0), text, font=f)
            x = (w - (r - l)) // 2 - l
            d.text((x, y - t), text, font=f, fill=ink)
            if state == "FOCUS":
                d.line((x + l, y + b - t + 1, x + r, y + b - t + 1), fill=ink)
            y += b - t + 5
        save24(im, f"{stem.lower()}_{state.lower()}")


def save24(im, name):
    im.convert("RGB").save(os.path.join(ROOT, name + ".bmp"))


def close_faces():
    for state, fill in (("NOTFOCUS", DEEP), ("FOCUS", (214, 40, 40))):
        im = pill(21, 21, BLUE, fill, fill, WHITE, 5)
        d = ImageDraw.Draw(im)
        d.line((6, 6, 14, 14), fill=WHITE, width=2)
        d.line((6, 14, 14, 6), fill=WHITE, width=2)
        save24(im, "x_" + state.lower())


def logo_faces():
    for state, ring in (("NOTFOCUS", BLUE), ("FOCUS", LIGHT)):
        big = Image.new("RGB", (152, 144), BODY)
        d = ImageDraw.Draw(big)
        d.ellipse((16, 8, 136, 128), outline=ring, width=18)
        d.line((96, 92, 132, 136), fill=ring, width=18)
        save24(big.resize((38, 36), Image.LANCZOS), "quorvexlogo_" + state.lower())


def prompt_pictures():
    def canvas():
        big = Image.new("RGB", (168, 160), BODY)
        return big, ImageDraw.Draw(big)

    for name, glyph in (("prompt_information", "i"), ("prompt_question", "?")):
        big, d = canvas()
        d.polygon([(40, 110), (30, 150), (80, 116)], fill=WHITE, outline=DEEP)
        d.ellipse((8, 8, 140, 124), fill=WHITE, outline=DEEP, width=5)
        centred_text(d, (8, 8, 140, 124), glyph, 88, BLUE)
        save24(big.resize((42, 40), Image.LANCZOS), name)
    big, d = canvas()
    d.polygon([(74, 8), (142, 136), (6, 136)], fill=(250, 204, 20), outline=(120, 90, 0))
    centred_text(d, (6, 40, 142, 136), "!", 80, (0, 0, 0))
    save24(big.resize((42, 40), Image.LANCZOS), "prompt_warning")
    big, d = canvas()
    d.ellipse((8, 8, 140, 140), fill=(214, 30, 30), outline=(140, 10, 10), width=5)
    d.line((46, 46, 102, 102), fill=WHITE, width=18)
    d.line((46, 102, 102, 46), fill=WHITE, width=18)
    save24(big.resize((42, 40), Image.LANCZOS), "prompt_error")


def background():
    w, h = 527, 338
    scale = 4
    mask = Image.new("L", (w * scale, h * scale), 0)
    m = ImageDraw.Draw(mask)
    m.rounded_rectangle((0, 40 * scale, w * scale - 1, h * scale - 1), 18 * scale, fill=255)
    m.rounded_rectangle((0, 0, 300 * scale, 80 * scale), 14 * scale, fill=255)
    m.rounded_rectangle((470 * scale, 0, w * scale - 1, 80 * scale), 12 * scale, fill=255)
    m.rectangle((0, 12 * scale, w * scale - 1, 80 * scale), fill=255)
    mask = mask.resize((w, h), Image.BOX).point(lambda v: 255 if v >= 128 else 0)

    im = Image.new("RGB", (w, h), BODY)
    d = ImageDraw.Draw(im)
    d.rectangle((0, 0, w - 1, 61), fill=BLUE)
    d.line((0, 62, w - 1, 62), fill=DEEP)
    d.rounded_rectangle((8, 105, w - 9, 277), 10, fill=WHITE, outline=(150, 195, 245))
    d.text((20, 6), "Cordafix", font=font(22), fill=WHITE)
    d.text((138, 14), "Ver 1.0", font=font(11), fill=(190, 215, 255))
    out = Image.new("RGB", (w, h), KEY)
    out.paste(im, (0, 0), mask)
    outline = mask.point(lambda v: 255 if v else 0)
    _ = outline
    to_256(out).save(os.path.join(ROOT, "background.bmp"))


def to_256(im):
    exact = [KEY, BLUE, BODY, WHITE, DEEP]
    adaptive = im.quantize(colors=256 - len(exact), dither=Image.Dither.NONE).convert("RGB")
    colours = list(exact)
    for _, c in sorted(adaptive.getcolors(1 << 16), key=lambda e: e[1]):
        if c in MAPPED_GREYS:
            c = (c[0] + 1, c[1] + 1, c[2] + 1)
        if c not in colours and len(colours) < 256:
            colours.append(c)
    while len(colours) < 256:
        colours.append((0, 0, 0))
    pal = Image.new("P", (1, 1))
    pal.putpalette([v for c in colours for v in c])
    result = im.quantize(palette=pal, dither=Image.Dither.NONE)
    keyed_before = [p == KEY for p in im.getdata()]
    keyed_after = [result.getpalette()[3 * i:3 * i + 3] == list(KEY) for i in result.getdata()]
    assert keyed_before == keyed_after, "key colour leaked into the window"
    return result


def write_icon():
    def draw(size):
        s = 4
        big = Image.new("RGBA", (size * s, size * s), (0, 0, 0, 0))
        d = ImageDraw.Draw(big)
        n = size * s
        d.polygon([(n * .5, n * .04), (n * .92, n * .18), (n * .86, n * .6), (n * .5, n * .96),
                   (n * .14, n * .6), (n * .08, n * .18)], fill=BLUE + (255,), outline=DEEP + (255,))
        d.line((n * .3, n * .5, n * .45, n * .66, n * .72, n * .32), fill=WHITE + (255,),
               width=max(4, n // 9))
        return big.resize((size, size), Image.LANCZOS)

    entries = []
    for size in (32, 16):
        img = draw(size)
        entries.append((size, 8, dib8(img)))
    for size in (48, 32, 16):
        entries.append((size, 32, dib32(draw(size))))
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    table, blobs = b"", b""
    for size, bits, blob in entries:
        colours = 0
        table += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits,
                             len(blob), offset + len(blobs))
        blobs += blob
    with open(os.path.join(ROOT, "cordafix.ico"), "wb") as f:
        f.write(head + table + blobs)


def and_mask(img):
    w, h = img.size
    stride = ((w + 31) // 32) * 4
    rows = b""
    for y in range(h - 1, -1, -1):
        bits = bytearray(stride)
        for x in range(w):
            if img.getpixel((x, y))[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(bits)
    return rows


def dib8(img):
    w, h = img.size
    rgb = Image.new("RGB", img.size, (0, 0, 0))
    rgb.paste(img, (0, 0), img)
    p = rgb.quantize(colors=256, dither=Image.Dither.NONE)
    pal = (p.getpalette() + [0] * 768)[:768]
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b"".join(bytes((pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0)) for i in range(256))
    stride = (w + 3) // 4 * 4
    rows = b"".join(bytes(p.getpixel((x, y)) for x in range(w)) + b"\0" * (stride - w)
                    for y in range(h - 1, -1, -1))
    return header + colours + rows + and_mask(img)


def dib32(img):
    w, h = img.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b""
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = img.getpixel((x, y))
            rows += bytes((b, g, r, a))
    return header + rows + and_mask(img)


def main():
    button_faces("SCAN", 180, 33, "SCAN", 16, BODY, True)
    button_faces("DOWNLOAD", 180, 33, "DOWNLOAD", 16, BODY, True)
    for stem, text in (("OK", "OK"), ("CANCEL", "Cancel"), ("YES", "Yes"), ("NO", "No")):
        button_faces(stem, 92, 24, text, 12, BODY, False)
    close_faces()
    link_faces("DLINK", 313, 43, [("Download Kestrova Antivirus", 15),
                                  ("complete protection against Trojans", 11)], WHITE)
    link_faces("ULINK", 244, 28, [("More free removal tools", 13)], BODY)
    logo_faces()
    prompt_pictures()
    background()
    write_icon()


if __name__ == "__main__":
    main()
