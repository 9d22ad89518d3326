#!/usr/bin/env python3
"""Generates the golden test cases of the headless tool into tests/data/golden/.

Every case folder holds settings.ini, zones.zon, images/, args.txt and expected/
with the coordinate files res_1.crd ... res_N.crd that the reference
implementation (kelvarin_ref.py) writes for it. The images are synthetic: bright
Gaussian targets with sub-pixel centres on a noisy darker background, drawn with a
fixed random seed per case, and encoded by this file's own bitmap writer (which
shares no code with the reference's reader; every image is decoded again and its
brightness compared with what the writer meant to store).

Usage: python3 tools/reference/make_golden.py [CASE...]
Regenerates all cases (or the named ones), after running the reference self-test.
"""

import math
import os
import random
import shutil
import struct
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kelvarin_ref as ref  # noqa: E402

GOLDEN = os.path.normpath(os.path.join(HERE, '..', '..', 'tests', 'data', 'golden'))

# --------------------------------------------------------------------------------
# Bitmap writer
# --------------------------------------------------------------------------------

LCS_SRGB = 0x73524742


def _info_header(size, width, height, bpp, compression, image_size, colours_used, masks,
                 alpha_mask):
    if size == 12:
        return struct.pack('<IHHHH', 12, width, height, 1, bpp)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, compression, image_size,
                         2835, 2835, colours_used, 0)
    if size == 40:
        return header
    header += struct.pack('<III', *(masks or (0, 0, 0)))
    if size >= 56:
        header += struct.pack('<I', alpha_mask)
    if size >= 108:
        header += struct.pack('<I', LCS_SRGB) + bytes(36) + bytes(12)
    if size >= 124:
        header += struct.pack('<IIII', 4, 0, 0, 0)
    header = bytearray(header)
    header[0:4] = struct.pack('<I', size)
    return bytes(header)


def encode_bmp(width, height, bpp, rows, *, header_size=40, top_down=False, compression=0,
               masks=None, alpha_mask=0, palette=(), colours_used=0, gap=b''):
    """Lays out a bitmap file. rows: the packed bytes of every row, top row first,
    without padding; palette: (r, g, b) entries; gap: bytes put between the colour
    table and the pixel data (bfOffBits points past them)."""
    stride = (width * bpp + 31) // 32 * 4
    stored = rows if top_down else list(reversed(rows))
    pixels = b''.join(bytes(r) + bytes(stride - len(r)) for r in stored)
    signed_height = -height if top_down else height
    info = _info_header(header_size, width, signed_height, bpp, compression, len(pixels),
                        colours_used, masks, alpha_mask)
    if compression == 3 and header_size == 40:
        info += struct.pack('<III', *masks)
    entry = 3 if header_size == 12 else 4
    table = b''.join(bytes([b, g, r]) + (b'' if entry == 3 else b'\0') for r, g, b in palette)
    offset = 14 + len(info) + len(table) + len(gap)
    file_header = b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset)
    return file_header + info + table + gap + pixels


def pack_indexed(indices, bpp):
    out = bytearray()
    if bpp == 8:
        return bytes(indices)
    per_byte = 8 // bpp
    for start in range(0, len(indices), per_byte):
        byte = 0
        for k, index in enumerate(indices[start:start + per_byte]):
            byte |= index << (8 - bpp * (k + 1))
        out.append(byte)
    return bytes(out)


# --------------------------------------------------------------------------------
# Scenes
# --------------------------------------------------------------------------------

class Blob:
    """A bright target: a Gaussian of the given amplitude around a sub-pixel centre."""

    def __init__(self, cx, cy, sigma, amplitude, sigma_y=None):
        self.cx, self.cy, self.amplitude = cx, cy, amplitude
        self.sx = sigma
        self.sy = sigma if sigma_y is None else sigma_y

    def moved(self, dx=0.0, dy=0.0, amplitude=None):
        return Blob(self.cx + dx, self.cy + dy, self.sx,
                    self.amplitude if amplitude is None else amplitude, self.sy)

    def value(self, x, y):
        if self.amplitude == 0:
            return 0.0
        u = (x - self.cx) / self.sx
        v = (y - self.cy) / self.sy
        e = 0.5 * (u * u + v * v)
        return 0.0 if e > 30 else self.amplitude * math.exp(-e)


def render(width, height, rng, blobs, background=35.0, noise=5.0, slope=(0.0, 0.0)):
    """Intensities, rows top first: background with a slope and Gaussian noise, plus
    the targets."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            v = background + slope[0] * x + slope[1] * y + rng.gauss(0.0, noise)
            for blob in blobs:
                v += blob.value(x, y)
            row.append(v)
        rows.append(row)
    return rows


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(round(v))


def colourise(intensity, rng, tint=(1.06, 1.0, 0.92), jitter=3.0):
    """(r, g, b) per pixel around the intensity, each channel with its own tint and
    noise, so that no channel can stand in for the others."""
    return [[(clamp8(v * tint[0] + rng.gauss(0, jitter)), clamp8(v * tint[1] + rng.gauss(0, jitter)),
              clamp8(v * tint[2] + rng.gauss(0, jitter))) for v in row] for row in intensity]


def grey_indices(intensity, top=255):
    return [[max(0, min(top, int(round(v)))) for v in row] for row in intensity]


# --------------------------------------------------------------------------------
# Encoders: each returns the file and the brightness every pixel must get
# --------------------------------------------------------------------------------

def third(total):
    return ref.THIRD_TABLE[total]


def widen(value, bits):
    # Written out per width on purpose, apart from the reader's general rule.
    if bits == 5:
        return (value << 3) | (value >> 2)
    if bits == 6:
        return (value << 2) | (value >> 4)
    if bits == 8:
        return value
    if bits == 10:
        return value >> 2
    raise ValueError(bits)


def enc_indexed(indices, bpp, palette, **layout):
    width, height = len(indices[0]), len(indices)
    data = encode_bmp(width, height, bpp, [pack_indexed(r, bpp) for r in indices],
                      palette=palette, **layout)
    if bpp == 8:
        expected = [[float(i) for i in row] for row in indices]
    else:
        expected = [[third(sum(palette[i])) for i in row] for row in indices]
    return data, expected


def enc_rgb24(colours, **layout):
    width, height = len(colours[0]), len(colours)
    rows = [b''.join(bytes([b, g, r]) for r, g, b in row) for row in colours]
    data = encode_bmp(width, height, 24, rows, **layout)
    return data, [[third(r + g + b) for r, g, b in row] for row in colours]


def enc_rgb32(colours, rng, **layout):
    """32-bit BI_RGB; the fourth byte carries noise that must be ignored."""
    width, height = len(colours[0]), len(colours)
    rows = [b''.join(bytes([b, g, r, rng.randrange(256)]) for r, g, b in row) for row in colours]
    data = encode_bmp(width, height, 32, rows, **layout)
    return data, [[third(r + g + b) for r, g, b in row] for row in colours]


def _mask_shift_bits(mask):
    shift = 0
    while not (mask >> shift) & 1:
        shift += 1
    return shift, bin(mask).count('1')


def enc_fields(colours, rng, bpp, masks, compression=3, **layout):
    """16- or 32-bit pixels laid out by the masks (red, green, blue); bits outside
    the masks carry noise. With BI_RGB at 16 bits the layout is 5-5-5 whatever
    masks the header may carry."""
    width, height = len(colours[0]), len(colours)
    layout_masks = masks if compression == 3 else (0x7C00, 0x03E0, 0x001F)
    fields = [_mask_shift_bits(m) for m in layout_masks]
    unused = ((1 << bpp) - 1) & ~(layout_masks[0] | layout_masks[1] | layout_masks[2])
    rows, expected = [], []
    for row in colours:
        packed, bright = bytearray(), []
        for pixel in row:
            value = rng.getrandbits(bpp) & unused
            effective = 0
            for channel, (shift, bits) in zip(pixel, fields):
                if bits > 8:
                    stored = (channel << (bits - 8)) | rng.getrandbits(bits - 8)
                else:
                    stored = channel >> (8 - bits)
                value |= stored << shift
                effective += widen(stored, bits)
            packed += struct.pack('<H' if bpp == 16 else '<I', value)
            bright.append(third(effective))
        rows.append(bytes(packed))
        expected.append(bright)
    data = encode_bmp(width, height, bpp, rows, compression=compression, masks=masks, **layout)
    return data, expected


# --------------------------------------------------------------------------------
# Cases
# --------------------------------------------------------------------------------

class Case:
    """One golden case: files to lay out and what the reference must find."""

    def __init__(self, name, settings, zones, pattern, args='', note=''):
        self.name = name
        self.settings = settings
        self.zones = zones if isinstance(zones, bytes) else zones.encode('latin-1')
        self.pattern = pattern  # per image processed: 'F' found / '-' not, per zone
        self.args = args
        self.note = note
        self.images = []   # (relative path, bytes, expected brightness or None)
        self.extra = []    # (relative path, bytes)
        self.checks = []   # callables (figures, zones) raising AssertionError

    def image(self, name, encoded):
        data, expected = encoded
        self.images.append(('images/' + name, data, expected))


def settings_ini(**values):
    """A settings file in the program's own key order; values are texts as written."""
    order = ['StartStyle', 'Koeff_A', 'Koeff_n', 'Koeff_B', 'Koeff_C', 'Steps',
             'BMPInputFormat', 'AverageYPorog', 'MinSCount', 'MaxSCount', 'NeedVisualization',
             'ResAutoSave', 'GlobalAverageYPercent', 'SaveToOneZip', 'SaveToManyZip']
    base = {'StartStyle': '3', 'Koeff_A': '0', 'Koeff_n': '0', 'Koeff_B': '0.75', 'Koeff_C': '0',
            'Steps': '0', 'BMPInputFormat': '1', 'AverageYPorog': '200', 'MinSCount': '8',
            'MaxSCount': '400', 'NeedVisualization': '0', 'ResAutoSave': '1',
            'GlobalAverageYPercent': '0.75', 'SaveToOneZip': '0', 'SaveToManyZip': '0'}
    base.update(values)
    lines = ['[Parameters]'] + ['%s=%s' % (k, base[k]) for k in order]
    return '\r\n'.join(lines) + '\r\n'


def zone_line(x1, y1, x2, y2, origin=None):
    """A zone line as the program's own writer makes it."""
    values = [x1, y1, x2, y2] + (list(origin) if origin else [])
    return ' ; '.join('%.4f' % v for v in values) + '\r\n'


def box(blob, half):
    return (int(blob.cx) - half, int(blob.cy) - half, int(blob.cx) + half, int(blob.cy) + half)


def zones_around(blobs, half, origins=None):
    text = ''
    for k, blob in enumerate(blobs):
        origin = origins[k] if origins else None
        text += zone_line(*box(blob, half), origin=origin)
    return text


def expect_figures(image, zone, **wanted):
    def check(figures, zones):
        info = figures[image][1][zone]
        for key, value in wanted.items():
            assert info[key] == value, '%s image %d zone %d: %s is %r, not %r' % (
                check.case, image + 1, zone + 1, key, info[key], value)
    return check


def case_grey8_basic():
    rng = random.Random(101)
    blobs = [Blob(30.3, 28.7, 3.2, 240), Blob(118.6, 31.2, 3.8, 250), Blob(45.45, 90.15, 2.9, 235),
             Blob(127.8, 95.35, 3.5, 245)]
    case = Case('grey8_basic', settings_ini(), zones_around(blobs, 14, [None, (118.0, 31.0), None,
                                                                       (127.6543, 95.0)]),
                ['FFFF'] * 3, note='8-bit image with a grey palette: brightness is the index.')
    grey = [(i, i, i) for i in range(256)]
    for k in range(3):
        moved = [b.moved(0.37 * k, -0.21 * k) for b in blobs]
        case.image('frame_%02d.bmp' % (k + 1),
                   enc_indexed(grey_indices(render(160, 120, rng, moved)), 8, grey))
    return case


def case_palette8_nongrey():
    rng = random.Random(102)
    blobs = [Blob(40.2, 35.6, 3.4, 210), Blob(105.7, 70.3, 3.0, 200)]
    # 200 colours that are anything but a grey ramp, two indices per colour: the
    # brightness must still be the stored index.
    palette = []
    for i in range(200):
        j = i // 2
        palette.append(((j * 37) % 256, (255 - j * 2) % 256, (j * 11 + 60) % 256))
    case = Case('palette8_nongrey', settings_ini(AverageYPorog='150', MinSCount='6'),
                zones_around(blobs, 13), ['FF', 'FF'],
                note='8-bit image with a 200-colour non-grey palette: brightness is the index.')
    for k in range(2):
        moved = [b.moved(0.5 * k, 0.25 * k) for b in blobs]
        indices = grey_indices(render(150, 110, rng, moved, background=30), top=199)
        case.image('scene_%d.bmp' % (k + 1), enc_indexed(indices, 8, palette, colours_used=200))
    return case


def disk_indices(width, height, rng, disks, salt=0.004):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            inside = any((x - cx) ** 2 + (y - cy) ** 2 < r * r for cx, cy, r in disks)
            row.append(1 if inside or rng.random() < salt else 0)
        rows.append(row)
    return rows


def case_bits1():
    rng = random.Random(103)
    palette = [(10, 25, 40), (250, 240, 200)]  # dark bluish, bright yellowish
    disks = [(20.3, 18.6, 4.2), (70.55, 25.25, 3.6), (50.4, 58.9, 5.1)]
    zones = ''.join(zone_line(int(cx) - 12, int(cy) - 12, int(cx) + 12, int(cy) + 12) for cx, cy, _ in disks)
    case = Case('bits1_palette', settings_ini(MinSCount='5', MaxSCount='300'), zones, ['FFF', 'FFF'],
                note='1-bit image, odd width: colours from the two-entry palette.')
    for k in range(2):
        moved = [(cx + 0.6 * k, cy - 0.3 * k, r) for cx, cy, r in disks]
        case.image('mono_%d.bmp' % (k + 1), enc_indexed(disk_indices(101, 75, rng, moved), 1, palette))
    return case


def case_bits4():
    rng = random.Random(104)
    palette = [(min(255, i * 17), min(255, i * 16), min(255, i * 12)) for i in range(16)]
    blobs = [Blob(25.7, 22.4, 3.3, 240), Blob(70.2, 55.8, 3.9, 250), Blob(80.5, 15.5, 2.8, 230)]
    case = Case('bits4_palette', settings_ini(AverageYPorog='175', MinSCount='6'),
                zones_around(blobs, 12), ['FFF', 'FFF'],
                note='4-bit image, odd width, sixteen-colour palette.')
    for k in range(2):
        moved = [b.moved(-0.4 * k, 0.45 * k) for b in blobs]
        intensity = render(99, 80, rng, moved)
        indices = [[max(0, min(15, int(v // 16))) for v in row] for row in intensity]
        case.image('palette16_%d.bmp' % (k + 1), enc_indexed(indices, 4, palette))
    return case


def case_rgb555():
    rng = random.Random(105)
    blobs = [Blob(30.6, 25.3, 3.5, 245), Blob(95.2, 40.7, 3.1, 240), Blob(60.9, 75.4, 4.0, 250)]
    case = Case('rgb555', settings_ini(), zones_around(blobs, 13, [(30.0, 25.0), None, (61.0, 75.5)]),
                ['FFF', 'FFF'], note='16-bit BI_RGB (5-5-5) image.')
    for k in range(2):
        moved = [b.moved(0.3 * k, 0.6 * k) for b in blobs]
        colours = colourise(render(128, 96, rng, moved), rng)
        case.image('rgb555_%d.bmp' % (k + 1), enc_fields(colours, rng, 16, None, compression=0))
    return case


def case_rgb565():
    rng = random.Random(106)
    blobs = [Blob(22.4, 30.6, 3.4, 245), Blob(100.8, 28.2, 3.2, 240), Blob(64.1, 70.9, 3.7, 250)]
    case = Case('rgb565_bitfields', settings_ini(), zones_around(blobs, 13), ['FFF', 'FFF'],
                note='16-bit BI_BITFIELDS 5-6-5 image, masks after a 40-byte header.')
    for k in range(2):
        moved = [b.moved(-0.55 * k, 0.2 * k) for b in blobs]
        colours = colourise(render(128, 96, rng, moved), rng, tint=(0.95, 1.08, 0.97))
        case.image('rgb565_%d.bmp' % (k + 1),
                   enc_fields(colours, rng, 16, (0xF800, 0x07E0, 0x001F)))
    return case


def case_rgb24_series():
    rng = random.Random(107)
    steady = Blob(40.35, 30.65, 3.4, 245)
    fading = Blob(120.5, 35.25, 3.6, 240)
    vanishing = Blob(45.8, 88.3, 3.0, 240)
    drifting = Blob(118.15, 90.55, 3.8, 250)
    amplitudes = [240, 236, 150, 95, 232, 241]
    zones = (zone_line(*box(steady, 14)) +
             '%d;%d;%d;%d;120.5;7.25E1\r\n' % box(fading, 14) +
             '%d;%d;%d;%d;1e-3;88\r\n' % box(vanishing, 14) +
             '%d;%d;%d;%d;-3.5;1.05e2\r\n' % box(drifting, 16))
    case = Case('rgb24_series', settings_ini(), zones,
                ['FFFF', 'FFFF', 'F-FF', 'F-FF', 'FFFF', 'FF-F'],
                note='24-bit series of six: a target fades and comes back (numbers 3 and 4 '
                     'missing in zone 2), another vanishes in the last image; origins with '
                     'fractions and exponents.')
    for k in range(6):
        blobs = [steady.moved(0.11 * k, 0.07 * k), fading.moved(amplitude=amplitudes[k]),
                 vanishing.moved(0.2 * k, amplitude=0 if k == 5 else 238),
                 drifting.moved(0.45 * k, -0.35 * k)]
        colours = colourise(render(160, 120, rng, blobs, slope=(0.08, 0.05)), rng)
        case.image('series_%03d.bmp' % (k + 1), enc_rgb24(colours))
    return case


def case_rgb24_topdown():
    rng = random.Random(108)
    blobs = [Blob(30.4, 18.6, 3.3, 245), Blob(105.7, 22.2, 3.6, 240)]
    case = Case('rgb24_topdown', settings_ini(), zones_around(blobs, 12) + zone_line(20, 70, 120, 95),
                ['FF-', 'FF-'], note='24-bit top-down images; targets near the top only, '
                                     'so a flipped reading finds nothing.')
    for k in range(2):
        moved = [b.moved(0.35 * k, 0.5 * k) for b in blobs]
        colours = colourise(render(140, 100, rng, moved), rng)
        case.image('topdown_%d.bmp' % (k + 1), enc_rgb24(colours, top_down=True))
    return case


def case_rgb32_plain():
    rng = random.Random(109)
    blobs = [Blob(25.25, 20.75, 3.2, 245), Blob(90.6, 60.4, 3.6, 240)]
    case = Case('rgb32_bi_rgb', settings_ini(), zones_around(blobs, 13), ['FF', 'FF'],
                note='32-bit BI_RGB: blue, green, red and a noisy unused byte.')
    for k in range(2):
        moved = [b.moved(0.3 * k, -0.6 * k) for b in blobs]
        colours = colourise(render(120, 90, rng, moved), rng, tint=(0.9, 1.1, 1.0))
        case.image('plain32_%d.bmp' % (k + 1), enc_rgb32(colours, rng))
    return case


def case_rgb32_v4():
    rng = random.Random(110)
    blobs = [Blob(30.8, 62.3, 3.4, 245), Blob(88.2, 25.6, 3.1, 240)]
    case = Case('rgb32_bitfields_v4', settings_ini(), zones_around(blobs, 13), ['FF', 'FF'],
                note='32-bit BI_BITFIELDS in a 108-byte header, red in the lowest byte, '
                     'noise in the alpha byte.')
    for k in range(2):
        moved = [b.moved(-0.25 * k, 0.4 * k) for b in blobs]
        colours = colourise(render(120, 90, rng, moved), rng, tint=(1.1, 0.95, 0.9))
        case.image('v4_%d.bmp' % (k + 1),
                   enc_fields(colours, rng, 32, (0x000000FF, 0x0000FF00, 0x00FF0000),
                              header_size=108, alpha_mask=0xFF000000))
    return case


def case_rgb32_v5_10bit():
    rng = random.Random(111)
    blobs = [Blob(28.6, 20.2, 3.5, 245), Blob(95.3, 70.8, 3.3, 240), Blob(60.05, 45.45, 2.9, 235)]
    case = Case('rgb32_v5_10bit_topdown', settings_ini(), zones_around(blobs, 12), ['FFF', 'FFF'],
                note='32-bit BI_BITFIELDS 10-10-10 in a 124-byte header, top-down: every '
                     'channel keeps its top 8 bits.')
    for k in range(2):
        moved = [b.moved(0.5 * k, 0.15 * k) for b in blobs]
        colours = colourise(render(120, 90, rng, moved), rng)
        case.image('deep_%d.bmp' % (k + 1),
                   enc_fields(colours, rng, 32, (0x3FF00000, 0x000FFC00, 0x000003FF),
                              header_size=124, top_down=True))
    return case


def case_gap():
    rng = random.Random(112)
    blobs = [Blob(35.3, 30.8, 3.4, 245), Blob(95.6, 70.1, 3.7, 250)]
    case = Case('gap_before_pixels', settings_ini(), zones_around(blobs, 13), ['FF', 'FF'],
                note='Junk between the colour table (or header) and the pixel data; the '
                     'pixel data start at bfOffBits. An 8-bit and a 24-bit image.')
    grey = [(i, i, i) for i in range(256)]
    junk = bytes(rng.randrange(256) for _ in range(37))
    intensity = render(130, 100, rng, blobs)
    case.image('gap_1.bmp', enc_indexed(grey_indices(intensity), 8, grey, colours_used=256, gap=junk))
    moved = [b.moved(0.7, -0.3) for b in blobs]
    colours = colourise(render(130, 100, rng, moved), rng)
    junk = bytes(rng.randrange(256) for _ in range(1001))
    case.image('gap_2.bmp', enc_rgb24(colours, gap=junk))
    return case


def case_zones_clipping():
    rng = random.Random(113)
    right = Blob(146.3, 60.2, 3.2, 245)
    bottom = Blob(70.6, 107.1, 3.4, 245)
    corner = Blob(2.4, 3.7, 3.0, 240)
    middle = Blob(70.3, 50.6, 3.5, 250)
    peak = Blob(30.5, 80.5, 3.0, 240)
    zones = (zone_line(135, 50, 170, 70) +             # past the right edge
             zone_line(60, 98, 80, 130) +              # past the bottom edge
             zone_line(-10, -8, 12, 14) +              # past the top left corner
             zone_line(200, 10, 240, 40) +             # wholly outside, right
             zone_line(-50, -40, -10, -5) +            # wholly outside, top left
             zone_line(80, 40, 60, 60) +               # X1 > X2 around a target
             zone_line(60, 60, 80, 40) +               # Y1 > Y2 around a target
             zone_line(30, 80, 30, 80) +               # a single pixel at a target's peak
             zone_line(-5, -5, 500, 400))              # the whole image and more
    case = Case('zones_clipping', settings_ini(MinSCount='0', MaxSCount='400'), zones,
                ['FFF-----F', 'FFF----FF'],
                note='Zones partly or wholly outside the image, swapped corners, a one-pixel '
                     'zone and a zone larger than the image.')
    for k in range(2):
        blobs = [right.moved(0.3 * k), bottom.moved(0, 0.4 * k), corner.moved(0.2 * k, 0.1 * k),
                 middle.moved(-0.3 * k, 0.2 * k), peak]
        colours = colourise(render(150, 110, rng, blobs), rng)
        if k == 1:
            colours[80][30] = (255, 255, 255)  # the one-pixel zone holds a full-white peak
        else:
            colours[80][30] = (150, 150, 150)  # ... and here a dim one (mean below the limit)
        case.image('edge_%d.bmp' % (k + 1), enc_rgb24(colours))
    return case


def case_zones_syntax():
    rng = random.Random(114)
    blobs = [Blob(25.3, 27.6, 3.2, 245), Blob(65.4, 25.8, 3.4, 245), Blob(15.2, 70.3, 3.1, 240),
             Blob(75.7, 70.1, 3.3, 245), Blob(115.6, 70.4, 3.5, 250), Blob(115.2, 25.5, 3.0, 240)]
    lines = [
        ' 10 ; 12 ; 40 ; 42 \r\n',                  # blanks around the numbers
        '+50;10.9;80.99;4.2e1;120.5;7.25E1\n',      # sign, fractions cut, exponent corner
        '-0.5;55;30.7;85;1e-3;0.5\r',               # -0.5 becomes 0; origin with exponent
        '60;55;90;85;77\r\n',                       # five fields: no origin
        '100;55;130;85;115.25;70;9\n',              # seven fields: X0 only
        '100;10;130;40;110;\r\n',                   # empty Y0: X0 only
        '100;10;130;40;abc;20',                     # unreadable X0: no origin; no final break
    ]
    case = Case('zones_syntax', settings_ini(), ''.join(lines), ['FFFFFFF', 'FFFFFFF'],
                note='Zone file syntax: blanks, signs, fractions and exponents, five- and '
                     'seven-field lines, unreadable origins, CR LF, LF and CR line ends.')
    for k in range(2):
        moved = [b.moved(0.25 * k, 0.35 * k) for b in blobs]
        colours = colourise(render(140, 100, rng, moved), rng)
        case.image('syntax_%d.bmp' % (k + 1), enc_rgb24(colours))
    return case


def case_mixed_case_names():
    rng = random.Random(115)
    case = Case('mixed_case_names', settings_ini(), zone_line(10, 10, 90, 70), ['F', 'F', 'F'],
                note='Directory order without regard to case: img_a.bmp, IMG_b.BMP, '
                     'Img_C.Bmp; a .txt file and a sub-directory are left alone.')
    for name, (cx, cy) in (('IMG_b.BMP', (50.5, 40.25)), ('img_a.bmp', (30.75, 30.5)),
                           ('Img_C.Bmp', (70.25, 55.75)), ('old/img_0.bmp', (20.0, 20.0))):
        colours = colourise(render(100, 80, rng, [Blob(cx, cy, 3.3, 245)]), rng)
        case.image(name, enc_rgb24(colours))
    case.extra.append(('images/notes.txt', b'Not an image.\r\n'))
    return case


def case_explicit_order():
    rng = random.Random(116)
    case = Case('explicit_order', settings_ini(), zone_line(5, 5, 95, 75) + zone_line(40, 5, 95, 40),
                ['FF', 'F-', 'FF'],
                args='images/frame_c.bmp images/frame_a.bmp images/frame_b.bmp',
                note='Files named on the command line are processed in the order given.')
    for name, (cx, cy) in (('frame_a.bmp', (20.5, 60.25)), ('frame_b.bmp', (60.75, 20.5)),
                           ('frame_c.bmp', (80.25, 30.75))):
        colours = colourise(render(100, 80, rng, [Blob(cx, cy, 3.3, 245)]), rng)
        case.image(name, enc_rgb24(colours))
    return case


def case_settings_hex_case():
    rng = random.Random(117)
    blobs = [Blob(30.2, 30.7, 3.6, 250), Blob(90.6, 35.3, 1.8, 240), Blob(60.4, 75.5, 4.2, 245),
             Blob(135.3, 60.6, 13.0, 245)]
    settings = ('[Other]\r\nMinSCount=900\r\nKoeff_B=0.1\r\n'
                '[Parameters]\r\nStartStyle=3\r\nkoeff_a=2\r\nKOEFF_N=5E-1\r\nKoeff_b=0.55\r\n'
                'Koeff_C=-4.5\r\nSteps=0\r\nAverageYPorog=190.5\r\nMinSCount=0x10\r\n'
                'maxscount=0X1F4\r\nNeedVisualization=0\r\nResAutoSave=1\r\n'
                '[Later]\r\nMaxSCount=20\r\n')
    zones = zones_around(blobs[:3], 15) + zone_line(108, 33, 159, 88)
    case = Case('settings_hex_case', settings, zones, ['F-F-', 'F-F-'],
                note='Keys in any case, hexadecimal MinSCount=0x10 and MaxSCount=0X1F4, '
                     'Koeff_A=2, Koeff_n=5E-1, Koeff_C=-4.5; the same keys in other '
                     'sections are not read. The small target stays below 16 pixels, the '
                     'large one above 500.')
    for k in range(2):
        moved = [b.moved(0.4 * k, 0.3 * k) for b in blobs]
        colours = colourise(render(160, 100, rng, moved), rng)
        case.image('koeff_%d.bmp' % (k + 1), enc_rgb24(colours))
    return case


def case_settings_defaults():
    rng = random.Random(118)
    settings = ('[Parameters]\r\nStartStyle=3\r\nKoeff_B=0,75\r\nSteps=0\r\nAverageYPorog=\r\n'
                'MaxSCount=3k\r\nNeedVisualization=0\r\n')
    passing = Blob(40.3, 40.6, 22.0, 260)
    small = Blob(38.7, 122.2, 10.0, 260)
    huge = Blob(140.4, 75.3, 34.0, 260)
    zones = zone_line(0, 0, 80, 80) + zone_line(10, 95, 70, 149) + zone_line(85, 5, 199, 149)
    case = Case('settings_defaults', settings, zones, ['F--', 'F--'],
                note='Missing and unreadable settings take their defaults: Koeff_B=0,75 is '
                     'read with its "," under a "." locale, AverageYPorog empty (200), '
                     'MaxSCount=3k (3000), MinSCount missing (1000).')
    grey = [(i, i, i) for i in range(256)]
    for k in range(2):
        blobs = [passing.moved(0.6 * k, 0.2 * k), small, huge.moved(-0.5 * k)]
        case.image('large_%d.bmp' % (k + 1),
                   enc_indexed(grey_indices(render(200, 150, rng, blobs, background=30)), 8, grey))
    return case


def _spot(values, rng, cx, cy, count):
    """The `count` pixels nearest to (cx, cy): a disc-like spot of exact area."""
    cells = [(x, y) for x in range(int(cx) - 10, int(cx) + 11) for y in range(int(cy) - 10, int(cy) + 11)]
    cells.sort(key=lambda p: ((p[0] - cx) ** 2 + (p[1] - cy) ** 2, p))
    return cells[:count], cells[count:]


def case_area_bounds():
    rng = random.Random(119)
    width, height = 160, 100
    grid = [[rng.randint(20, 70) for _ in range(width)] for _ in range(height)]
    centres = [(15.3, 15.6), (47.7, 15.2), (80.4, 15.5), (112.6, 15.3), (15.5, 50.5), (47.2, 50.8),
               (80.6, 50.4), (112.3, 50.6)]
    plans = [
        ('core', 40, []),          # exactly MinSCount: rejected
        ('core', 41, []),          # one more: found
        ('core', 120, []),         # exactly MaxSCount: rejected
        ('core', 119, []),         # one less: found
        ('rim', 118, [181] + [180] * 6),   # T = 180 exactly: the six 180s stay out, S = 119
        ('mean', 60, None),        # mean exactly 200: rejected
        ('mean+', 60, None),       # mean 200.0167: found
        ('rim', 100, [180] * 25),  # a wide rim at exactly T
    ]
    for (cx, cy), (kind, count, rim) in zip(centres, plans):
        inside, outside = _spot(grid, rng, cx, cy, count + (len(rim) if rim else 0))
        if kind in ('core', 'rim'):
            spot, ring = inside[:count], inside[count:]
            for x, y in spot:
                grid[y][x] = rng.randint(195, 239)
            x, y = spot[0]
            grid[y][x] = 240  # M = 240, so T = 180 exactly
            for (x, y), v in zip(ring, rim or []):
                grid[y][x] = v
        else:
            for i, (x, y) in enumerate(inside):
                grid[y][x] = 190 if i % 2 == 0 else 210
            if kind == 'mean+':
                x, y = inside[1]
                grid[y][x] = 211
    zones = ''.join(zone_line(int(cx) - 10, int(cy) - 10, int(cx) + 10, int(cy) + 10) for cx, cy in centres)
    pattern = '-F-FF-FF'
    case = Case('area_bounds', settings_ini(MinSCount='40', MaxSCount='120', AverageYPorog='200'),
                zones, [pattern, pattern],
                note='Spots of area exactly MinSCount and MaxSCount (rejected) and one '
                     'more/less (found); a mean of exactly AverageYPorog (rejected); pixels '
                     'at exactly 0.75 x M (outside the spot). An 8-bit and a 24-bit image.')
    grey = [(i, i, i) for i in range(256)]
    case.image('bounds_8bit.bmp', enc_indexed(grid, 8, grey))
    colours = []
    for row in grid:
        out = []
        for v in row:
            d = rng.randint(0, min(v, 255 - v, 15))
            out.append((v + d, v, v - d))  # sum 3v: the same brightness as the grey image
        colours.append(out)
    case.image('bounds_24bit.bmp', enc_rgb24(colours))
    for image in range(2):
        for zone, area in ((0, 40), (1, 41), (2, 120), (3, 119), (4, 119), (5, 60), (6, 60), (7, 100)):
            case.checks.append(expect_figures(image, zone, S=area))
        case.checks.append(expect_figures(image, 4, T=180.0))
        case.checks.append(expect_figures(image, 5, mean=200.0))
        case.checks.append(expect_figures(image, 7, T=180.0))
    return case


def case_negative_koeff_c():
    rng = random.Random(120)
    width, height = 120, 90
    bright = Blob(90.4, 25.7, 3.2, 245)
    faint = Blob(30.6, 60.3, 4.0, 12)
    zones = (zone_line(5, 5, 35, 35) +      # black: M = 0, every pixel in, brightness sum 0
             zone_line(15, 45, 45, 75) +    # faint target on black: T < 0, every pixel in
             zone_line(300, 300, 320, 320) +  # outside: zero area
             zone_line(75, 10, 105, 40))    # bright target: the usual spot
    case = Case('negative_koeff_c', settings_ini(Koeff_C='-12.5', MinSCount='-1', AverageYPorog='-1',
                                                 MaxSCount='5000'),
                zones, ['-F-F', '-F-F'],
                note='A negative Koeff_C lets pixels of brightness 0 into the spot (with '
                     'MinSCount=-1 and AverageYPorog=-1): a black zone (zero total brightness) '
                     'and a zone outside the image (zero area) record nothing.')

    def scene(blobs):
        rows = []
        for y in range(height):
            row = []
            for x in range(width):
                v = sum(b.value(x, y) for b in blobs)
                if x > 60:
                    v += 30 + rng.gauss(0, 4)  # a noisy right half; the left half is black
                row.append(v)
            rows.append(row)
        return rows

    grey = [(i, i, i) for i in range(256)]
    case.image('dark_1.bmp', enc_indexed(grey_indices(scene([bright, faint])), 8, grey))
    intensity = scene([bright.moved(0.4, 0.2), faint.moved(-0.3, 0.5)])
    colours = [[(clamp8(v), clamp8(v * 0.9), clamp8(v * 1.1)) for v in row] for row in intensity]
    case.image('dark_2.bmp', enc_rgb24(colours))
    for image in range(2):
        case.checks.append(expect_figures(image, 0, M=0.0, S=31 * 31))
        case.checks.append(expect_figures(image, 1, S=31 * 31))
        case.checks.append(expect_figures(image, 2, S=0))
    return case


def case_no_zones():
    rng = random.Random(121)
    case = Case('no_zones', settings_ini(), b'', [''],
                note='An empty zone file: no coordinate file at all.')
    grey = [(i, i, i) for i in range(256)]
    case.image('only.bmp', enc_indexed(grey_indices(render(60, 40, rng, [Blob(30.5, 20.5, 3, 240)])), 8, grey))
    return case


def case_core_header():
    rng = random.Random(122)
    blobs = [Blob(25.4, 20.6, 3.3, 245), Blob(65.7, 50.2, 3.5, 250)]
    case = Case('core_header', settings_ini(AverageYPorog='175', MinSCount='6'), zones_around(blobs, 12),
                ['FF', 'FF', 'FF'],
                note='12-byte core headers with three-byte colour table entries: 4, 8 and 24 bits.')
    palette = [(min(255, i * 16), min(255, i * 17), min(255, i * 15)) for i in range(16)]
    intensity = render(91, 70, rng, blobs)
    indices = [[max(0, min(15, int(v // 16))) for v in row] for row in intensity]
    case.image('core_1.bmp', enc_indexed(indices, 4, palette, header_size=12))
    grey = [(i, i, i) for i in range(256)]
    moved = [b.moved(0.3, 0.3) for b in blobs]
    case.image('core_2.bmp', enc_indexed(grey_indices(render(91, 70, rng, moved)), 8, grey, header_size=12))
    moved = [b.moved(0.6, -0.2) for b in blobs]
    case.image('core_3.bmp', enc_rgb24(colourise(render(91, 70, rng, moved), rng), header_size=12))
    return case


def case_headers_52_56():
    rng = random.Random(123)
    blobs = [Blob(30.3, 25.6, 3.4, 245), Blob(80.6, 60.2, 3.2, 240)]
    case = Case('headers_52_56', settings_ini(), zones_around(blobs, 12), ['FF', 'FF', 'FF'],
                note='Masks inside 56- and 52-byte headers; a 16-bit BI_RGB image in a '
                     '108-byte header carrying 5-6-5 masks, which BI_RGB ignores (5-5-5).')
    moved = blobs
    colours = colourise(render(110, 85, rng, moved), rng)
    case.image('h56_565.bmp', enc_fields(colours, rng, 16, (0xF800, 0x07E0, 0x001F), header_size=56))
    moved = [b.moved(0.4, 0.4) for b in blobs]
    colours = colourise(render(110, 85, rng, moved), rng)
    case.image('h52_32.bmp', enc_fields(colours, rng, 32, (0x00FF0000, 0x0000FF00, 0x000000FF),
                                        header_size=52))
    moved = [b.moved(-0.4, 0.7) for b in blobs]
    colours = colourise(render(110, 85, rng, moved), rng)
    case.image('v4_555.bmp', enc_fields(colours, rng, 16, (0xF800, 0x07E0, 0x001F), compression=0,
                                        header_size=108))
    return case


def case_format_ties():
    width, height = 80, 60
    zones = ('3 ; 10 ; 17 ; 30 ; 9.96875 ; 20.03125\r\n' +     # +0.03125 and -0.03125
             '23 ; 10 ; 37 ; 30 ; 29.84375 ; 20.00001\r\n' +   # 0.15625 and a tiny negative
             '43 ; 10 ; 57 ; 30 ; -2.34565 ; -1000.5\r\n' +    # 52.34565 and 1020.5
             zone_line(3, 35, 30, 55))                          # no origin: x + 1, y + 1
    case = Case('format_ties', settings_ini(MinSCount='20', MaxSCount='100'), zones,
                ['FFFF', 'FFFF'],
                note='Symmetric flat spots with exact centres, origins chosen so that the '
                     'written differences are binary ties (0.03125 -> 0.0313, -0.03125 -> '
                     '-0.0313), a negative value that rounds to -0.0000, and large values.')
    grey = [(i, i, i) for i in range(256)]
    for k in range(2):
        grid = [[12 for _ in range(width)] for _ in range(height)]
        for cx, cy in ((10, 20), (30, 20), (50, 20), (15 + k, 45)):
            for x in range(cx - 3 + k, cx + 4 + k):
                for y in range(cy - 3, cy + 4):
                    grid[y][x] = 250
        case.image('ties_%d.bmp' % (k + 1), enc_indexed(grid, 8, grey))
    return case


CASES = [case_grey8_basic, case_palette8_nongrey, case_bits1, case_bits4, case_rgb555, case_rgb565,
         case_rgb24_series, case_rgb24_topdown, case_rgb32_plain, case_rgb32_v4, case_rgb32_v5_10bit,
         case_gap, case_zones_clipping, case_zones_syntax, case_mixed_case_names, case_explicit_order,
         case_settings_hex_case, case_settings_defaults, case_area_bounds, case_negative_koeff_c,
         case_no_zones, case_core_header, case_headers_52_56, case_format_ties]


# --------------------------------------------------------------------------------
# Laying out a case
# --------------------------------------------------------------------------------

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def check_decoding(case):
    for relative, data, expected in case.images:
        raster = ref.decode_bmp(data)
        assert (raster.width, raster.height) == (len(expected[0]), len(expected)), relative
        for y, row in enumerate(expected):
            for x, value in enumerate(row):
                got = raster.columns[x][y]
                assert got == value, '%s/%s (%d, %d): read %r, written %r' % (
                    case.name, relative, x, y, got, value)


def image_arguments(folder, args):
    tokens = args.split()
    if not tokens:
        return [os.path.join(folder, 'images')]
    return [t if t.startswith('-') else os.path.join(folder, t) for t in tokens]


def lay_out(case):
    folder = os.path.join(GOLDEN, case.name)
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    write(os.path.join(folder, 'settings.ini'), case.settings.encode('latin-1'))
    write(os.path.join(folder, 'zones.zon'), case.zones)
    write(os.path.join(folder, 'args.txt'), (case.args + '\n').encode('ascii') if case.args else b'')
    for relative, data, _ in case.images:
        write(os.path.join(folder, relative), data)
    for relative, data in case.extra:
        write(os.path.join(folder, relative), data)
    expected = os.path.join(folder, 'expected')
    os.makedirs(expected)
    zones, figures = ref.run(os.path.join(folder, 'settings.ini'), os.path.join(folder, 'zones.zon'),
                             image_arguments(folder, case.args), os.path.join(expected, 'res'))
    if not zones:
        write(os.path.join(expected, '.gitkeep'), b'')
    return zones, figures


def verify(case, zones, figures):
    pattern = [''.join('-' if info['point'] == ref.NOT_FOUND else 'F' for info in details)
               for _, details in figures]
    assert pattern == case.pattern, '%s: found %s, meant %s' % (case.name, pattern, case.pattern)
    for check in case.checks:
        check.case = case.name
        check(figures, zones)


def summary(case, figures):
    lines = ['%s: %d image(s), %d zone(s)' % (case.name, len(figures), len(figures[0][1]) if figures else 0)]
    for image, details in figures:
        cells = ['S=%d m=%.1f' % (i['S'], i['mean']) + ('' if i['point'] == ref.NOT_FOUND else '*')
                 for i in details]
        lines.append('  %-22s %s' % (os.path.basename(image), ' | '.join(cells)))
    return '\n'.join(lines)


def self_test():
    suite = unittest.defaultTestLoader.loadTestsFromName('test_ref')
    result = unittest.TextTestRunner(verbosity=0).run(suite)
    return result.wasSuccessful()


def main(argv):
    if not self_test():
        print('reference self-test failed; nothing generated', file=sys.stderr)
        return 1
    wanted = set(argv)
    for build in CASES:
        case = build()
        if wanted and case.name not in wanted:
            continue
        check_decoding(case)
        zones, figures = lay_out(case)
        verify(case, zones, figures)
        print(summary(case, figures))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
