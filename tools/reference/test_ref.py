#!/usr/bin/env python3
"""Self-test of the reference implementation against the worked examples of the
measurement rules. Run: python3 tools/reference/test_ref.py"""

import os
import struct
import sys
import tempfile
import unittest
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvarin_ref as ref  # noqa: E402

SETTINGS_DEFAULT = dict(ref.DEFAULTS)


def flat_raster(width, height, value):
    return ref.Raster(width, height, [[float(value)] * height for _ in range(width)], 8)


def bitmap(width, height, bpp, rows, header=40, compression=0, masks=(), palette=b'',
           top_down=False):
    """A hand-laid bitmap: rows are the raw bytes of each stored row, unpadded."""
    stride = ((width * bpp + 31) // 32) * 4
    pixels = b''.join(r + b'\0' * (stride - len(r)) for r in rows)
    extra = b''.join(struct.pack('<I', m) for m in masks)
    if header == 40:
        info = struct.pack('<IiiHHIIiiII', 40, width, -height if top_down else height, 1, bpp,
                           compression, len(pixels), 0, 0, 0, 0) + extra
    else:
        info = struct.pack('<IiiHHIIiiII', header, width, -height if top_down else height, 1, bpp,
                           compression, len(pixels), 0, 0, 0, 0) + extra
        info += b'\0' * (header - len(info))
    offset = 14 + len(info) + len(palette)
    return (b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset) + info
            + palette + pixels)


class Brightness(unittest.TestCase):
    def test_extended_third(self):
        self.assertEqual(ref.colour_brightness(30, 60, 90), 60.0)
        self.assertEqual(ref.colour_brightness(255, 255, 255), 255.0)
        self.assertEqual(ref.colour_brightness(0, 0, 0), 0.0)
        self.assertEqual(ref.EXTENDED_THIRD * 3 - 1, Fraction(1, 2 ** 65))

    def test_rounding_ties_to_even(self):
        # 1 + 2**-53 lies halfway between two doubles: the even one (1.0) wins.
        self.assertEqual(ref.round_to_mantissa(Fraction(1) + Fraction(1, 2 ** 53), 53), 1)
        self.assertEqual(ref.round_to_mantissa(Fraction(1) + Fraction(3, 2 ** 53), 53),
                         Fraction(1) + Fraction(4, 2 ** 53))

    def test_channel_widening(self):
        self.assertEqual(ref.widen_channel(31, 5), 255)
        self.assertEqual(ref.widen_channel(16, 5), 132)
        self.assertEqual(ref.widen_channel(63, 6), 255)
        self.assertEqual(ref.widen_channel(32, 6), 130)
        self.assertEqual(ref.widen_channel(0x3FF, 10), 255)
        self.assertEqual(ref.widen_channel(0x201, 10), 128)
        self.assertEqual(ref.widen_channel(200, 8), 200)


class Decoder(unittest.TestCase):
    def test_24_bit_bottom_up_and_top_down(self):
        rows = [bytes([30, 60, 90, 0, 0, 0]), bytes([255, 255, 255, 3, 3, 3])]
        up = ref.decode_bmp(bitmap(2, 2, 24, rows))
        self.assertEqual(up.columns[0], [255.0, 60.0])  # first stored row is the bottom one
        self.assertEqual(up.columns[1], [3.0, 0.0])
        down = ref.decode_bmp(bitmap(2, 2, 24, rows, top_down=True))
        self.assertEqual(down.columns[0], [60.0, 255.0])

    def test_8_bit_is_the_index(self):
        palette = b''.join(bytes([255 - i, 0, i, 0]) for i in range(256))
        raster = ref.decode_bmp(bitmap(3, 1, 8, [bytes([7, 200, 0])], palette=palette))
        self.assertEqual([c[0] for c in raster.columns], [7.0, 200.0, 0.0])

    def test_1_and_4_bit_take_palette_colours(self):
        palette = bytes([0, 0, 0, 0, 30, 60, 90, 0])
        raster = ref.decode_bmp(bitmap(9, 1, 1, [bytes([0b10000000, 0b10000000])], palette=palette))
        self.assertEqual([c[0] for c in raster.columns], [60.0] + [0.0] * 7 + [60.0])
        palette = b''.join(bytes([3 * i, 3 * i, 3 * i, 0]) for i in range(16))
        raster = ref.decode_bmp(bitmap(3, 1, 4, [bytes([0x1F, 0x20])], palette=palette))
        self.assertEqual([c[0] for c in raster.columns], [3.0, 45.0, 6.0])

    def test_16_bit_555_and_565(self):
        value = (31 << 10) | (16 << 5) | 1  # r 255, g 132, b 8
        raster = ref.decode_bmp(bitmap(1, 1, 16, [struct.pack('<H', value)]))
        self.assertEqual(raster.columns[0][0], (255 + 132 + 8) / 3)
        value = (31 << 11) | (32 << 5) | 0  # r 255, g 130, b 0
        raster = ref.decode_bmp(bitmap(1, 1, 16, [struct.pack('<H', value)], compression=3,
                                       masks=(0xF800, 0x07E0, 0x001F)))
        self.assertEqual(raster.columns[0][0], (255 + 130) / 3)

    def test_32_bit_plain_and_masks_in_a_v5_header(self):
        raster = ref.decode_bmp(bitmap(1, 1, 32, [bytes([30, 60, 90, 255])]))
        self.assertEqual(raster.columns[0][0], 60.0)
        value = (0x3FF << 20) | (0x201 << 10) | 0x004  # 10-bit r 255, g 128, b 1
        data = bitmap(1, 1, 32, [struct.pack('<I', value)], header=124, compression=3,
                      masks=(0x3FF00000, 0x000FFC00, 0x000003FF))
        self.assertEqual(ref.decode_bmp(data).columns[0][0], (255 + 128 + 1) / 3)


class Settings(unittest.TestCase):
    def read(self, text):
        with tempfile.NamedTemporaryFile('wb', suffix='.ini', delete=False) as f:
            f.write(text.encode('latin-1'))
        try:
            return ref.read_settings(f.name)
        finally:
            os.unlink(f.name)

    def test_encodings(self):
        s = self.read('[Other]\r\nMinSCount=5\r\n[Parameters]\r\nminscount=0x10\r\nMAXSCOUNT=0X1F4\r\n'
                      'Koeff_B=0,5\r\nKoeff_n=5E-1\r\nAverageYPorog=\r\n')
        self.assertEqual(s['MinSCount'], 16)
        self.assertEqual(s['MaxSCount'], 500)
        self.assertEqual(s['Koeff_B'], 0.5)  # "," and "." both mark the decimals
        self.assertEqual(s['Koeff_n'], 0.5)
        self.assertEqual(s['AverageYPorog'], 200.0)

    def test_missing_file_gives_defaults(self):
        self.assertEqual(ref.read_settings('/nonexistent/Kelvarin2.ini'), SETTINGS_DEFAULT)


class Zones(unittest.TestCase):
    def test_fields(self):
        zones = ref.parse_zone_text('100;50;140;90\r\n100;50;140;90; 120.5 ; 70.25\r\n'
                                    '100;50;140;90;7\r\n100;50;140;90;7;8;9\r\n'
                                    '12.9;-0.5;1.2e2;90;1e-3;7.25E1\n')
        self.assertEqual([(z.x0, z.y0) for z in zones],
                         [(-1, -1), (120.5, 70.25), (-1, -1), (7.0, -1), (0.001, 72.5)])
        self.assertEqual((zones[4].x1, zones[4].y1, zones[4].x2), (12, 0, 120))

    def test_bad_lines(self):
        self.assertEqual(ref.parse_zone_text(''), [])
        self.assertEqual(len(ref.parse_zone_text('1;2;3;4\r1;2;3;4')), 2)
        for text in ('1;2;3\r\n', '1;2;3;4\r\n\r\n', '1;2;x;4', '1;2;\t3;4'):
            with self.assertRaises(ref.ZoneFileError):
                ref.parse_zone_text(text)


class Detection(unittest.TestCase):
    def test_uniform_zone(self):
        raster = flat_raster(200, 150, 250)
        point, info = ref.detect_zone(raster, ref.Zone(100, 50, 140, 90), SETTINGS_DEFAULT)
        self.assertEqual(info['T'], 187.5)
        self.assertEqual(info['S'], 1681)
        self.assertEqual(point, (120.0, 70.0))

    def test_threshold_examples(self):
        self.assertEqual(ref.threshold(SETTINGS_DEFAULT, 240), 180)
        custom = dict(SETTINGS_DEFAULT, Koeff_A=1, Koeff_n=0.5, Koeff_B=0, Koeff_C=10)
        self.assertEqual(ref.threshold(custom, 100), 20)
        self.assertEqual(ref.threshold(custom, 0), 10)

    def test_filters_are_strict(self):
        raster = flat_raster(50, 50, 240)
        zone = ref.Zone(0, 0, 9, 9)  # 100 pixels of 240
        for settings, found in ((dict(SETTINGS_DEFAULT, MinSCount=100, MaxSCount=200), False),
                                (dict(SETTINGS_DEFAULT, MinSCount=99, MaxSCount=200), True),
                                (dict(SETTINGS_DEFAULT, MinSCount=10, MaxSCount=100), False),
                                (dict(SETTINGS_DEFAULT, MinSCount=10, MaxSCount=101), True),
                                (dict(SETTINGS_DEFAULT, MinSCount=10, AverageYPorog=240), False)):
            point, _ = ref.detect_zone(raster, zone, settings)
            self.assertEqual(point != ref.NOT_FOUND, found, settings)

    def test_clipping_and_swapped_corners(self):
        raster = flat_raster(20, 10, 250)
        settings = dict(SETTINGS_DEFAULT, MinSCount=0)
        point, info = ref.detect_zone(raster, ref.Zone(15, 5, 40, 40), settings)
        self.assertEqual((info['S'], point), (25, (17.0, 7.0)))
        for zone in (ref.Zone(5, 5, 2, 8), ref.Zone(30, 0, 40, 5)):
            point, info = ref.detect_zone(raster, zone, settings)
            self.assertEqual((info['M'], info['S'], point), (0.0, 0, ref.NOT_FOUND))

    def test_zero_brightness_spot(self):
        raster = flat_raster(10, 10, 0)
        settings = dict(SETTINGS_DEFAULT, Koeff_C=-1, MinSCount=-1, AverageYPorog=-1)
        point, info = ref.detect_zone(raster, ref.Zone(0, 0, 4, 4), settings)
        self.assertEqual((info['S'], point), (25, ref.NOT_FOUND))
        point, info = ref.detect_zone(raster, ref.Zone(20, 20, 30, 30), settings)
        self.assertEqual((info['S'], point), (0, ref.NOT_FOUND))


class CoordinateFile(unittest.TestCase):
    def test_format_coordinate(self):
        cases = {0.03125: '0.0313', -0.03125: '-0.0313', 12.5: '12.5000', 1024: '1024.0000',
                 12.34565: '12.3456', -0.25: '-0.2500', -0.00001: '-0.0000', 0.0: '0.0000',
                 -1.0: '-1.0000', 0.99995: '1.0000', 0.00015: '0.0001'}
        for value, text in cases.items():
            self.assertEqual(ref.format_coordinate(value), text, value)

    def test_lines_skip_missing_points_but_keep_numbers(self):
        zone = ref.Zone(0, 0, 1, 1, 10.0, 20.0)
        zone.points = [(11.0, 21.0), (12.0, 22.0), (-1.0, -1.0), (22.5, 19.75), (10.0, 20.0)]
        self.assertEqual(ref.coordinate_lines(zone),
                         b'1\t1.0000\t1.0000\r\n2\t2.0000\t2.0000\r\n4\t12.5000\t-0.2500\r\n'
                         b'5\t0.0000\t0.0000\r\n')
        plain = ref.Zone(0, 0, 1, 1)
        plain.points = [(3.0, 4.0)]
        self.assertEqual(ref.coordinate_lines(plain), b'1\t4.0000\t5.0000\r\n')
        empty = ref.Zone(0, 0, 1, 1)
        empty.points = [(-1.0, -1.0)]
        self.assertEqual(ref.coordinate_lines(empty), b'')


class ImageList(unittest.TestCase):
    def test_directory_order(self):
        with tempfile.TemporaryDirectory() as d:
            for name in ('IMG_b.BMP', 'img_a.bmp', 'Img_C.Bmp', 'notes.txt'):
                open(os.path.join(d, name), 'wb').close()
            os.mkdir(os.path.join(d, 'old.bmp'))
            names = [os.path.basename(p) for p in ref.expand_paths([d])]
            self.assertEqual(names, ['img_a.bmp', 'IMG_b.BMP', 'Img_C.Bmp'])


if __name__ == '__main__':
    unittest.main()
