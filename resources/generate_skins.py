#!/usr/bin/python3
"""Draws the skin images and the program icon into resources/skin/.

Run by hand after changing a look (needs Debian's python3-pil, fonts-arphic-ukai
and fonts-wqy-microhei); the generated files are committed and the build only
reads them. The output is deterministic: same fonts, same bytes.
"""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "skin")
BRUSH_FONT = "/usr/share/fonts/truetype/arphic/ukai.ttc"      # brush-style characters
PLAIN_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"  # the window's own face

PAGE_BLUE = (0x49, 0x9E, 0xDE)
BUTTON_BLUE = (0x32, 0x9E, 0xD9)
WHITE = (255, 255, 255)


def rgb(hex_text):
    return tuple(int(hex_text[i:i + 2], 16) for i in (1, 3, 5))


def font(path, size):
    return ImageFont.truetype(path, size, index=0)


def text_in_box(image, text, face, box, color, supersample=4):
    """Renders text so that its inked pixels fill box (left, top, right, bottom)."""
    left, top, right, bottom = box
    width, height = right - left, bottom - top
    big = font(face, height * supersample * 2)
    probe = Image.new("L", (1, 1))
    x0, y0, x1, y1 = ImageDraw.Draw(probe).textbbox((0, 0), text, font=big)
    mask = Image.new("L", (x1 - x0 + 4, y1 - y0 + 4), 0)
    ImageDraw.Draw(mask).text((2 - x0, 2 - y0), text, font=big, fill=255)
    mask = mask.crop(mask.getbbox()).resize((width, height), Image.LANCZOS)
    image.paste(Image.new("RGB", (width, height), color), (left, top), mask)


def text_centred(image, text, face, size, color, area):
    draw = ImageDraw.Draw(image)
    f = font(face, size)
    x0, y0, x1, y1 = draw.textbbox((0, 0), text, font=f)
    left, top, right, bottom = area
    x = left + (right - left - (x1 - x0)) // 2 - x0
    y = top + (bottom - top - (y1 - y0)) // 2 - y0
    draw.text((x, y), text, font=f, fill=color)


def page_ground(width, height):
    """Blue ground with lighter diagonal streaks rising towards the upper right."""
    image = Image.new("RGB", (width, height), PAGE_BLUE)
    light = Image.new("L", (width, height), 0)
    draw = ImageDraw.Draw(light)
    for offset, thickness, strength in ((120, 70, 26), (260, 40, 18), (380, 90, 14), (520, 30, 22), (640, 60, 12)):
        draw.polygon([(offset, height), (offset + thickness, height),
                      (offset + thickness + height * 1.2, 0), (offset + height * 1.2, 0)], fill=strength)
    image.paste(Image.new("RGB", (width, height), WHITE), (0, 0), light)
    return image


def phone_logo(size):
    """White phone outline with a USB trident inside, drawn at 4x and scaled to size (w, h)."""
    w, h = size
    s = 4
    mask = Image.new("L", (w * s, h * s), 0)
    d = ImageDraw.Draw(mask)
    line = max(2, w * s // 14)
    d.rounded_rectangle([line // 2, line // 2, w * s - line // 2, h * s - line // 2],
                        radius=w * s // 6, outline=255, width=line)
    d.line([(w * s * 0.38, h * s * 0.09), (w * s * 0.62, h * s * 0.09)], fill=255, width=line // 2)
    d.ellipse([w * s * 0.44, h * s * 0.86, w * s * 0.56, h * s * 0.86 + w * s * 0.12], fill=255)
    cx, top, bottom = w * s * 0.5, h * s * 0.24, h * s * 0.76
    thin = max(2, line // 2)
    d.line([(cx, top), (cx, bottom)], fill=255, width=thin)
    d.polygon([(cx, top - line), (cx - line, top + line // 2), (cx + line, top + line // 2)], fill=255)
    d.line([(cx, h * s * 0.62), (w * s * 0.3, h * s * 0.5), (w * s * 0.3, h * s * 0.42)], fill=255, width=thin)
    d.ellipse([w * s * 0.3 - line, h * s * 0.36, w * s * 0.3 + line, h * s * 0.36 + 2 * line], fill=255)
    d.line([(cx, h * s * 0.55), (w * s * 0.7, h * s * 0.45), (w * s * 0.7, h * s * 0.38)], fill=255, width=thin)
    d.rectangle([w * s * 0.7 - line, h * s * 0.32, w * s * 0.7 + line, h * s * 0.32 + 2 * line], fill=255)
    d.ellipse([cx - line * 1.2, bottom - line, cx + line * 1.2, bottom + line * 1.4], fill=255)
    return mask.resize((w, h), Image.LANCZOS)


def put_logo(image, box):
    left, top, right, bottom = box
    mask = phone_logo((right - left, bottom - top))
    image.paste(Image.new("RGB", mask.size, WHITE), (left, top), mask)


def page_options():
    image = page_ground(579, 273)
    text_in_box(image, "Quorvi手机助手", BRUSH_FONT, (17, 16, 96, 27), WHITE)
    put_logo(image, (172, 102, 226, 167))
    text_in_box(image, "最极致的体验", BRUSH_FONT, (238, 122, 446, 151), WHITE)
    return image


def page_progress():
    image = page_ground(580, 272)
    text_in_box(image, "更多精彩，等您体验！", BRUSH_FONT, (144, 44, 434, 73), WHITE)
    return image


def page_finish():
    image = page_ground(580, 274)
    text_in_box(image, "Quorvi手机助手", BRUSH_FONT, (17, 18, 96, 29), WHITE)
    put_logo(image, (251, 90, 325, 179))
    text_in_box(image, "安装成功", BRUSH_FONT, (246, 193, 316, 209), WHITE)
    return image


def strip(slices):
    width = sum(s.size[0] for s in slices)
    image = Image.new("RGB", (width, slices[0].size[1]))
    x = 0
    for s in slices:
        image.paste(s, (x, 0))
        x += s.size[0]
    return image


def btn_install():
    return strip([Image.new("RGB", (181, 50), rgb("#329ED9")), Image.new("RGB", (181, 50), rgb("#34B7FF"))])


def close_slice(ground, top_row):
    image = Image.new("RGB", (46, 36), ground)
    ImageDraw.Draw(image).line([(0, 0), (45, 0)], fill=top_row)
    big = Image.new("L", (46 * 4, 36 * 4), 0)
    d = ImageDraw.Draw(big)
    cx, cy, arm = 22 * 4 + 2, 17 * 4 + 2, 5 * 4
    d.line([(cx - arm, cy - arm), (cx + arm, cy + arm)], fill=255, width=7)
    d.line([(cx - arm, cy + arm), (cx + arm, cy - arm)], fill=255, width=7)
    image.paste(Image.new("RGB", image.size, WHITE), (0, 0), big.resize(image.size, Image.LANCZOS))
    return image


def btn_close():
    return strip([close_slice(rgb("#489DE0"), rgb("#5AA8E4")), close_slice(rgb("#F30303"), rgb("#F30303"))])


def custom_slice(up):
    image = Image.new("RGB", (78, 11), rgb("#FAFAFA"))
    text_in_box(image, "自定义安装", PLAIN_FONT, (4, 1, 62, 10), BUTTON_BLUE)
    d = ImageDraw.Draw(image)
    if up:
        d.polygon([(66, 8), (74, 8), (70, 3)], fill=BUTTON_BLUE)
    else:
        d.polygon([(66, 3), (74, 3), (70, 8)], fill=BUTTON_BLUE)
    return image


def btn_custom():
    return strip([custom_slice(True), custom_slice(False)])


def change_dir_slice(fill):
    image = Image.new("RGB", (92, 33), fill)
    ImageDraw.Draw(image).rectangle([0, 0, 91, 32], outline=rgb("#B7B7B7"))
    text_centred(image, "更换目录", PLAIN_FONT, 14, rgb("#323232"), (0, 0, 92, 33))
    return image


def btn_change_dir():
    return strip([change_dir_slice(rgb("#FAFAFA")), change_dir_slice(rgb("#EEEEEE"))])


def feature_icon(disc, figure):
    s = 4
    image = Image.new("RGB", (65 * s, 65 * s), BUTTON_BLUE)
    d = ImageDraw.Draw(image)
    d.ellipse([2 * s, 2 * s, 63 * s, 63 * s], fill=disc)
    figure(d, s)
    return image.resize((65, 65), Image.LANCZOS)


def calendar(d, s):
    w = 3 * s
    d.rounded_rectangle([19 * s, 20 * s, 46 * s, 46 * s], radius=3 * s, outline=WHITE, width=w)
    d.line([(19 * s, 28 * s), (46 * s, 28 * s)], fill=WHITE, width=w)
    for x in (26, 39):
        d.line([(x * s, 16 * s), (x * s, 23 * s)], fill=WHITE, width=w)
    for x in (25, 32, 39):
        d.rectangle([x * s - s, 35 * s - s, x * s + s, 35 * s + s], fill=WHITE)


def picture(d, s):
    w = 3 * s
    d.rectangle([17 * s, 20 * s, 48 * s, 45 * s], outline=WHITE, width=w)
    d.line([(20 * s, 42 * s), (29 * s, 31 * s), (35 * s, 38 * s), (39 * s, 34 * s), (45 * s, 42 * s)],
           fill=WHITE, width=w, joint="curve")
    d.ellipse([37 * s, 24 * s, 43 * s, 30 * s], outline=WHITE, width=2 * s)


def bell(d, s):
    w = 3 * s
    d.arc([21 * s, 17 * s, 44 * s, 44 * s], start=180, end=360, fill=WHITE, width=w)
    d.line([(21 * s, 30 * s), (21 * s, 40 * s), (17 * s, 44 * s), (48 * s, 44 * s), (44 * s, 40 * s),
            (44 * s, 30 * s)], fill=WHITE, width=w, joint="curve")
    d.arc([28 * s, 42 * s, 37 * s, 51 * s], start=0, end=180, fill=WHITE, width=w)
    d.ellipse([31 * s, 13 * s, 34 * s, 16 * s], fill=WHITE)


def grid(d, s):
    for x in (19, 34):
        for y in (19, 34):
            d.rounded_rectangle([x * s, y * s, (x + 12) * s, (y + 12) * s], radius=3 * s, outline=WHITE, width=3 * s)


def edit_frame():
    image = Image.new("RGB", (409, 33), WHITE)
    ImageDraw.Draw(image).rectangle([0, 0, 408, 32], outline=rgb("#B7B7B7"))
    return image


SKINS = {
    "page_options.png": page_options,
    "btn_install.png": btn_install,
    "btn_close.png": btn_close,
    "btn_custom.png": btn_custom,
    "btn_change_dir.png": btn_change_dir,
    "page_progress.png": page_progress,
    "icon_files.png": lambda: feature_icon(rgb("#58AA84"), calendar),
    "icon_pictures.png": lambda: feature_icon(rgb("#4B83C2"), picture),
    "icon_ringtones.png": lambda: feature_icon(rgb("#E07D5F"), bell),
    "icon_apps.png": lambda: feature_icon(rgb("#F3B75F"), grid),
    "edit_frame.png": edit_frame,
    "page_finish.png": page_finish,
}


def icon_image(size):
    s = 4
    image = Image.new("RGBA", (size * s, size * s), (0, 0, 0, 0))
    ImageDraw.Draw(image).rounded_rectangle([0, 0, size * s - 1, size * s - 1], radius=size * s // 5,
                                            fill=PAGE_BLUE + (255,))
    image = image.resize((size, size), Image.LANCZOS)
    logo_w, logo_h = max(8, size * 9 // 20), max(10, size * 11 // 16)
    mask = phone_logo((logo_w, logo_h))
    image.paste(Image.new("RGBA", mask.size, WHITE + (255,)), ((size - logo_w) // 2, (size - logo_h) // 2), mask)
    return image


def write_icon(path, sizes):
    """An .ico of 32-bit DIB images (BGRA, bottom-up, with an AND mask), one per size."""
    entries, blobs = [], []
    for size in sizes:
        image = icon_image(size)
        pixels = image.load()
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for x in range(size):
                r, g, b, a = pixels[x, y]
                xor += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        and_mask = bytearray()
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(size):
                if pixels[x, y][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            and_mask += row
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
        blobs.append(header + bytes(xor) + bytes(and_mask))
        entries.append(size)
    offset = 6 + 16 * len(entries)
    data = struct.pack("<HHH", 0, 1, len(entries))
    for size, blob in zip(entries, blobs):
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as out:
        out.write(data + b"".join(blobs))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, make in SKINS.items():
        make().convert("RGB").save(os.path.join(OUT, name), optimize=True)
    write_icon(os.path.join(OUT, "install.ico"), (64, 48, 32, 24))
    return 0


if __name__ == "__main__":
    sys.exit(main())
