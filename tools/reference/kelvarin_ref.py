#!/usr/bin/env python3
"""Independent reference implementation of Kelvarin-2's indicator point measurement.

Reads the settings file (section "Parameters"), a zone file and a list of Windows
bitmap files, finds the indicator point of every zone in every image exactly as the
measurement rules prescribe, and writes one coordinate file per zone,
"<base>_<k>.crd". It is written apart from the C++ engine, on purpose: the golden
test data under tests/data/golden are produced with it, and the headless tool must
reproduce them byte for byte.

Usage (the same command line as the headless tool):
    kelvarin_ref.py process [--settings FILE] [--zones FILE] [--out BASE] PATH...

Python standard library only.
"""

import argparse
import math
import os
import re
import struct
import sys
from decimal import ROUND_HALF_UP, Decimal
from fractions import Fraction

# --------------------------------------------------------------------------------
# Brightness
# --------------------------------------------------------------------------------

# The 80-bit extended value nearest to 1/3: 64-bit mantissa 0xAAAAAAAAAAAAAAAB.
EXTENDED_THIRD = Fraction(0xAAAAAAAAAAAAAAAB, 2 ** 65)


def round_to_mantissa(value, bits):
    """Rounds a rational to the nearest number with a `bits`-bit mantissa, ties to
    even (no exponent limits: the values here are far from both ends of the range)."""
    value = Fraction(value)
    if value == 0:
        return Fraction(0)
    negative = value < 0
    v = -value if negative else value
    k = v.numerator.bit_length() - v.denominator.bit_length()
    if v < Fraction(2) ** k:
        k -= 1
    # Now 2**k <= v < 2**(k+1); scale so that the mantissa is an integer of `bits` bits.
    scaled = v * Fraction(2) ** (bits - 1 - k)
    q, r = divmod(scaled.numerator, scaled.denominator)
    twice = 2 * r
    if twice > scaled.denominator or (twice == scaled.denominator and q % 2 == 1):
        q += 1
    result = Fraction(q) / Fraction(2) ** (bits - 1 - k)
    return -result if negative else result


def extended_third_of(total):
    """(B + G + R) times the extended third, rounded to extended, then to double."""
    extended = round_to_mantissa(total * EXTENDED_THIRD, 64)
    return float(round_to_mantissa(extended, 53))


# Every possible channel sum of a 24-bit pixel, 0 .. 3 * 255.
THIRD_TABLE = [extended_third_of(s) for s in range(766)]


def colour_brightness(b, g, r):
    return THIRD_TABLE[b + g + r]


# --------------------------------------------------------------------------------
# Bitmap decoder
# --------------------------------------------------------------------------------

BI_RGB = 0
BI_BITFIELDS = 3


class BitmapError(Exception):
    pass


class Raster:
    """Brightness of every pixel, stored column by column: values[x][y], y = 0 at the
    top of the image as displayed."""

    def __init__(self, width, height, columns, bits_per_pixel):
        self.width = width
        self.height = height
        self.columns = columns
        self.bits_per_pixel = bits_per_pixel


def _u16(data, offset):
    return struct.unpack_from('<H', data, offset)[0]


def _u32(data, offset):
    return struct.unpack_from('<I', data, offset)[0]


def _i32(data, offset):
    return struct.unpack_from('<i', data, offset)[0]


def widen_channel(value, width):
    """Turns a channel of `width` bits into 8 bits: narrower channels by bit
    replication (5 bits: v << 3 | v >> 2; 6 bits: v << 2 | v >> 4), wider ones keep
    their top 8 bits."""
    if width == 0:
        return 0
    if width >= 8:
        return value >> (width - 8)
    result = 0
    filled = 0
    while filled < 8:
        shift = 8 - width - filled
        result |= (value << shift) if shift >= 0 else (value >> -shift)
        filled += width
    return result & 0xFF


def _mask_layout(mask):
    if mask == 0:
        return 0, 0
    shift = (mask & -mask).bit_length() - 1
    width = bin(mask >> shift).count('1')
    return shift, width


def _read_palette(data, offset, count, entry_size):
    palette = []
    for i in range(count):
        at = offset + i * entry_size
        if at + 3 > len(data):
            break
        b, g, r = data[at], data[at + 1], data[at + 2]
        palette.append((b, g, r))
    return palette


def decode_bmp(data):
    """Decodes a Windows bitmap file into its brightness raster.

    Headers of 12, 40, 52, 56, 108 and 124 bytes; 1, 4, 8, 16, 24 and 32 bits per
    pixel; BI_RGB and BI_BITFIELDS; bottom-up and top-down; the pixel data are taken
    from bfOffBits. An 8-bit pixel's brightness is its palette index; every other
    pixel's is the extended third of its channel sum."""
    if len(data) < 26 or data[0:2] != b'BM':
        raise BitmapError('not a bitmap file')
    pixel_offset = _u32(data, 10)
    header_size = _u32(data, 14)
    if header_size == 12:
        width = _u16(data, 18)
        height = _u16(data, 20)
        bpp = _u16(data, 24)
        compression = BI_RGB
        colours_used = 0
        entry_size = 3
    elif header_size in (40, 52, 56, 108, 124):
        if len(data) < 14 + 40:
            raise BitmapError('truncated header')
        width = _i32(data, 18)
        height = _i32(data, 22)
        bpp = _u16(data, 28)
        compression = _u32(data, 30)
        colours_used = _u32(data, 46)
        entry_size = 4
    else:
        raise BitmapError('unsupported header size %d' % header_size)

    top_down = height < 0
    height = abs(height)
    if width <= 0 or height == 0:
        raise BitmapError('bad size')
    if bpp not in (1, 4, 8, 16, 24, 32):
        raise BitmapError('unsupported bit depth %d' % bpp)
    if compression not in (BI_RGB, BI_BITFIELDS):
        raise BitmapError('unsupported compression %d' % compression)
    if compression == BI_BITFIELDS and bpp not in (16, 32):
        raise BitmapError('bit fields need 16 or 32 bits per pixel')

    # The colour masks sit right after the 40-byte part of the header: inside the
    # header for the larger headers, after it for the 40-byte one.
    palette_offset = 14 + header_size
    masks = None
    if compression == BI_BITFIELDS:
        masks = (_u32(data, 54), _u32(data, 58), _u32(data, 62))  # red, green, blue
        if header_size == 40:
            palette_offset += 12
    elif bpp == 16:
        masks = (0x7C00, 0x03E0, 0x001F)

    palette = None
    if bpp <= 8:
        count = colours_used if colours_used else (1 << bpp)
        count = min(count, 1 << bpp)
        palette = _read_palette(data, palette_offset, count, entry_size)

    stride = ((width * bpp + 31) // 32) * 4
    if pixel_offset + stride * height > len(data):
        raise BitmapError('truncated pixel data')

    columns = [[0.0] * height for _ in range(width)]
    if masks is not None:
        layouts = [_mask_layout(m) for m in masks]

    for row in range(height):
        y = row if top_down else height - 1 - row
        start = pixel_offset + row * stride
        line = data[start:start + stride]
        for x in range(width):
            if bpp == 8:
                columns[x][y] = float(line[x])
                continue
            if bpp in (1, 4):
                if bpp == 1:
                    index = (line[x >> 3] >> (7 - (x & 7))) & 1
                else:
                    byte = line[x >> 1]
                    index = (byte >> 4) if (x & 1) == 0 else (byte & 0x0F)
                if index >= len(palette):
                    raise BitmapError('palette index out of range')
                b, g, r = palette[index]
            elif bpp == 24:
                b, g, r = line[3 * x], line[3 * x + 1], line[3 * x + 2]
            elif bpp == 32 and masks is None:
                b, g, r = line[4 * x], line[4 * x + 1], line[4 * x + 2]
            else:
                if bpp == 16:
                    value = line[2 * x] | (line[2 * x + 1] << 8)
                else:
                    value = struct.unpack_from('<I', line, 4 * x)[0]
                channels = []
                for mask, (shift, bits) in zip(masks, layouts):
                    channels.append(widen_channel((value & mask) >> shift, bits))
                r, g, b = channels
            columns[x][y] = colour_brightness(b, g, r)
    return Raster(width, height, columns, bpp)


def load_bmp(path):
    with open(path, 'rb') as f:
        return decode_bmp(f.read())


# --------------------------------------------------------------------------------
# Settings
# --------------------------------------------------------------------------------

DEFAULTS = {
    'Koeff_A': 0.0,
    'Koeff_n': 0.0,
    'Koeff_B': 0.75,
    'Koeff_C': 0.0,
    'AverageYPorog': 200.0,
    'MaxSCount': 3000,
    'MinSCount': 1000,
}

_INTEGER_KEYS = ('MaxSCount', 'MinSCount')
_REAL_RE = re.compile(r'[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?')
_DECIMAL_RE = re.compile(r'[+-]?[0-9]+')
_HEX_RE = re.compile(r'0[xX]([0-9a-fA-F]+)')


def parse_integer(text):
    m = _HEX_RE.fullmatch(text)
    if m:
        return int(m.group(1), 16)
    if _DECIMAL_RE.fullmatch(text):
        return int(text)
    return None


def parse_real(text):
    """A real with "." or "," as decimal separator, whatever the locale."""
    if text.count('.') + text.count(',') <= 1 and _REAL_RE.fullmatch(text.replace(',', '.')):
        return float(text.replace(',', '.'))
    return None


def _split_lines(text):
    """Lines ended by CR LF, LF or CR; a final line break opens no further line."""
    lines = re.split(r'\r\n|\n|\r', text)
    if lines and lines[-1] == '':
        lines.pop()
    return lines


def read_ini_section(path, section):
    """Key/value pairs of one section, keys lower-cased; like the platform's profile
    service, section and key names are matched without regard to case and blanks
    around names and values are dropped. The first occurrence of a key wins."""
    values = {}
    try:
        with open(path, 'rb') as f:
            text = f.read().decode('latin-1')
    except OSError:
        return values
    current = None
    for line in _split_lines(text):
        stripped = line.strip()
        if stripped.startswith('['):
            end = stripped.find(']')
            current = stripped[1:end].strip().lower() if end > 0 else None
            continue
        if current != section.lower() or '=' not in stripped:
            continue
        key, value = stripped.split('=', 1)
        values.setdefault(key.strip().lower(), value.strip())
    return values


def read_settings(path):
    """The detection settings; a missing or unreadable value gives the default."""
    raw = read_ini_section(path, 'Parameters') if path else {}
    settings = dict(DEFAULTS)
    for key, default in DEFAULTS.items():
        text = raw.get(key.lower())
        if text is None:
            continue
        parsed = parse_integer(text) if key in _INTEGER_KEYS else parse_real(text)
        if parsed is not None:
            settings[key] = parsed
    return settings


# --------------------------------------------------------------------------------
# Zones
# --------------------------------------------------------------------------------

_ZONE_NUMBER_RE = re.compile(r' *([+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?) *')


class ZoneFileError(Exception):
    pass


class Zone:
    def __init__(self, x1, y1, x2, y2, x0=-1.0, y0=-1.0):
        self.x1, self.y1, self.x2, self.y2 = x1, y1, x2, y2
        self.x0, self.y0 = x0, y0
        self.points = []

    def __repr__(self):
        return 'Zone(%d, %d, %d, %d, %r, %r)' % (self.x1, self.y1, self.x2, self.y2, self.x0, self.y0)


def parse_zone_number(text):
    """A zone file's number, with "." or "," as decimal separator."""
    if text.count('.') + text.count(',') > 1:
        return None
    m = _ZONE_NUMBER_RE.fullmatch(text.replace(',', '.'))
    return float(m.group(1)) if m else None


def parse_zone_text(text):
    """Zones of a zone file's text; raises ZoneFileError at the first bad line."""
    zones = []
    for number, line in enumerate(_split_lines(text), start=1):
        fields = line.split(';')
        if len(fields) < 4:
            raise ZoneFileError('line %d: fewer than four fields' % number)
        corners = []
        # Y2 ends at the fourth ";", or with the line when there is none.
        for field in fields[:4]:
            value = parse_zone_number(field)
            if value is None:
                raise ZoneFileError('line %d: unreadable corner %r' % (number, field))
            corners.append(int(value))  # truncates toward zero
        x0 = y0 = -1.0
        if len(fields) >= 6:
            x0_value = parse_zone_number(fields[4])
            if x0_value is not None:
                x0 = x0_value
                # Y0 is everything after the fifth ";", so a seventh field spoils it.
                y0_value = parse_zone_number(';'.join(fields[5:]))
                if y0_value is not None:
                    y0 = y0_value
        zones.append(Zone(*corners, x0, y0))
    return zones


def read_zone_file(path):
    with open(path, 'rb') as f:
        return parse_zone_text(f.read().decode('latin-1'))


# --------------------------------------------------------------------------------
# Detection
# --------------------------------------------------------------------------------

NOT_FOUND = (-1.0, -1.0)


def threshold(settings, maximum):
    if maximum == 0:
        return settings['Koeff_C']
    # Left to right, no fused multiply-add: (A * M^n + B * M) + C.
    return (settings['Koeff_A'] * math.pow(maximum, settings['Koeff_n'])
            + settings['Koeff_B'] * maximum + settings['Koeff_C'])


def detect_zone(raster, zone, settings):
    """Finds the spot of one zone; returns the point and the figures it came from."""
    x_from, x_to = max(zone.x1, 0), min(zone.x2, raster.width - 1)
    y_from, y_to = max(zone.y1, 0), min(zone.y2, raster.height - 1)
    xs = range(x_from, x_to + 1)
    ys = range(y_from, y_to + 1)

    maximum = 0.0
    for x in xs:
        column = raster.columns[x]
        for y in ys:
            if column[y] > maximum:
                maximum = column[y]

    limit = threshold(settings, maximum)
    area = 0
    total = 0.0
    weighted_x = 0.0
    weighted_y = 0.0
    # x outer, y inner, both upwards: the order in which every sum is accumulated.
    for x in xs:
        column = raster.columns[x]
        for y in ys:
            b = column[y]
            if b > limit:  # a pixel exactly at the threshold stays outside
                area += 1
                total += b
                weighted_x += x * b
                weighted_y += y * b
    mean = total / area if area else 0.0

    point = NOT_FOUND
    if (settings['AverageYPorog'] < mean and settings['MinSCount'] < area
            and area < settings['MaxSCount']):
        # A spot of zero area or zero total brightness has no centre: not found.
        if area > 0 and total != 0.0:
            point = (weighted_x / total, weighted_y / total)
    return point, {'M': maximum, 'T': limit, 'S': area, 'mean': mean, 'point': point}


def process_image(raster, zones, settings):
    """Appends one point per zone; returns the per-zone figures."""
    details = []
    for zone in zones:
        point, info = detect_zone(raster, zone, settings)
        zone.points.append(point)
        details.append(info)
    return details


# --------------------------------------------------------------------------------
# Coordinate files
# --------------------------------------------------------------------------------

_FOUR_PLACES = Decimal('0.0001')


def format_coordinate(value):
    """Fixed notation, four decimals, halves away from zero on the exact binary value;
    a negative value that rounds to zero keeps its "-"."""
    text = format(Decimal(value).quantize(_FOUR_PLACES, rounding=ROUND_HALF_UP), 'f')
    if value < 0 and not text.startswith('-'):
        text = '-' + text
    return text


def coordinate_lines(zone):
    lines = []
    for number, (x, y) in enumerate(zone.points, start=1):
        if x == -1 and y == -1:
            continue  # not written, but its number is used up
        lines.append('%d\t%s\t%s\r\n' % (number, format_coordinate(x - zone.x0),
                                         format_coordinate(y - zone.y0)))
    return ''.join(lines).encode('ascii')


def write_coordinate_files(zones, base):
    written = []
    for k, zone in enumerate(zones, start=1):
        path = '%s_%d.crd' % (base, k)
        with open(path, 'wb') as f:
            f.write(coordinate_lines(zone))
        written.append(path)
    return written


# --------------------------------------------------------------------------------
# Image list and run
# --------------------------------------------------------------------------------

def expand_paths(paths):
    """Files as given; a directory contributes its *.bmp files (extension matched
    without regard to case, sub-directories not entered), sorted by name without
    regard to case."""
    images = []
    for path in paths:
        if os.path.isdir(path):
            names = [n for n in os.listdir(path)
                     if n.lower().endswith('.bmp') and os.path.isfile(os.path.join(path, n))]
            names.sort(key=lambda n: (n.lower(), n))
            images.extend(os.path.join(path, n) for n in names)
        else:
            images.append(path)
    return images


def run(settings_path, zones_path, paths, out_base=None):
    """Processes the images; writes the coordinate files when out_base is given.
    Returns the zones (with their points) and the per-image, per-zone figures."""
    settings = read_settings(settings_path)
    zones = read_zone_file(zones_path)
    figures = []
    for image in expand_paths(paths):
        raster = load_bmp(image)
        figures.append((image, process_image(raster, zones, settings)))
    if out_base is not None:
        write_coordinate_files(zones, out_base)
    return zones, figures


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    sub = parser.add_subparsers(dest='command', required=True)
    process = sub.add_parser('process', help='measure images and write coordinate files')
    process.add_argument('--settings', default='Kelvarin2.ini')
    process.add_argument('--zones', default='z1.zon')
    process.add_argument('--out', default='res')
    process.add_argument('--verbose', action='store_true', help='print the figures of every zone')
    process.add_argument('paths', nargs='+')
    args = parser.parse_args(argv)
    try:
        zones, figures = run(args.settings, args.zones, args.paths, args.out)
    except ZoneFileError as error:
        print('zone file: %s' % error, file=sys.stderr)
        return 2
    except (OSError, BitmapError) as error:
        print('image: %s' % error, file=sys.stderr)
        return 1
    if args.verbose:
        for image, details in figures:
            print(image)
            for k, info in enumerate(details, start=1):
                print('  zone %d: M=%r T=%r S=%d mean=%r point=%r'
                      % (k, info['M'], info['T'], info['S'], info['mean'], info['point']))
    return 0


if __name__ == '__main__':
    sys.exit(main())
