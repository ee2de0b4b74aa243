#!/usr/bin/env python3
"""Make gray maps from real coastlines: land RGB 192,192,192, sea blue.

The land test comes from GMT's grdlandmask over the GSHHG shorelines (Debian
packages gmt, gmt-gshhg-high, gmt-gshhg-full); only this generator needs them,
never the build or the tests.

The picture is sampled on the grid Strova places stations on: pixel x stands
for longitude LEFT + x * (RIGHT - LEFT) / WIDTH and pixel row y, counted from
the bottom, for latitude BOTTOM + y * (TOP - BOTTOM) / HEIGHT. These are grid
nodes, not cell centres: Strova rounds a station to the nearest such node, so
a station on land is gray exactly when the coastline puts its node on land.
The right and top bounds themselves fall one pixel past the picture.

Station coordinates are on the Tokyo Datum, the shorelines on WGS84. With
--datum tokyo (the default) every node is read as a Tokyo Datum position and
moved to WGS84 before the land test, so coastal stations land where the map
shows them. The picture is computed in tiles, each moved by the datum shift
of its centre (the shift changes by well under a hundredth of a pixel across
a tile).

  make_gray_map.py --bounds 138.4 34.8 141.0 37.2 --size 800 800 out.bmp
  make_gray_map.py --bounds ... --size 4000 4000 --mask-inc bench/JapanLandMask.inc
"""

import argparse
import math
import os
import subprocess
import sys
import tempfile

LAND_RGB = (192, 192, 192)
SEA_RGB = (150, 190, 230)
TILE = 500  # pixels per tile side
PAD = 2

# Tokyo Datum (Bessel 1841) to WGS84: the geocentric three-parameter shift.
BESSEL = (6377397.155, 1 / 299.152813)
WGS84 = (6378137.0, 1 / 298.257223563)
TOKYO_TO_WGS84 = (-146.414, 507.337, 680.507)


def to_geocentric(lon, lat, ellipsoid):
    a, f = ellipsoid
    e2 = f * (2 - f)
    phi, lam = math.radians(lat), math.radians(lon)
    n = a / math.sqrt(1 - e2 * math.sin(phi) ** 2)
    return (n * math.cos(phi) * math.cos(lam), n * math.cos(phi) * math.sin(lam),
            n * (1 - e2) * math.sin(phi))


def to_geodetic(x, y, z, ellipsoid):
    a, f = ellipsoid
    e2 = f * (2 - f)
    p = math.hypot(x, y)
    phi = math.atan2(z, p * (1 - e2))
    for _ in range(10):
        n = a / math.sqrt(1 - e2 * math.sin(phi) ** 2)
        phi = math.atan2(z + e2 * n * math.sin(phi), p)
    return math.degrees(math.atan2(y, x)), math.degrees(phi)


def tokyo_to_wgs84(lon, lat):
    x, y, z = to_geocentric(lon, lat, BESSEL)
    dx, dy, dz = TOKYO_TO_WGS84
    return to_geodetic(x + dx, y + dy, z + dz, WGS84)


def splits(count):
    """Tile boundaries over 0..count, tiles of at most TILE pixels."""
    tiles = max(1, math.ceil(count / TILE))
    return [round(i * count / tiles) for i in range(tiles + 1)]


def land_tile(bounds, size, x_range, y_range, resolution, datum, folder):
    """Land flags (0/1) of the nodes of one tile, rows bottom-up."""
    left, bottom, right, top = bounds
    width, height = size
    step_x, step_y = (right - left) / width, (top - bottom) / height
    # GMT clips the shorelines to the region, which can turn nodes on its
    # edge into land; a margin of PAD nodes is computed and dropped.
    (x0, x1), (y0, y1) = (x_range[0] - PAD, x_range[1] + PAD), (y_range[0] - PAD, y_range[1] + PAD)
    lon0, lon1 = left + x0 * step_x, left + (x1 - 1) * step_x
    lat0, lat1 = bottom + y0 * step_y, bottom + (y1 - 1) * step_y
    shift_lon = shift_lat = 0.0
    if datum == "tokyo":
        centre = ((lon0 + lon1) / 2, (lat0 + lat1) / 2)
        moved = tokyo_to_wgs84(*centre)
        shift_lon, shift_lat = moved[0] - centre[0], moved[1] - centre[1]
    grid = os.path.join(folder, "tile.nc")
    region = "-R%.12f/%.12f/%.12f/%.12f" % (lon0 + shift_lon, lon1 + shift_lon,
                                            lat0 + shift_lat, lat1 + shift_lat)
    subprocess.run(["gmt", "grdlandmask", region, "-I%d+n/%d+n" % (x1 - x0, y1 - y0),
                    "-D" + resolution, "-N0/1/0/1/0", "-G" + grid], check=True, cwd=folder)
    raw = subprocess.run(["gmt", "grd2xyz", grid, "-ZBLu"], check=True, cwd=folder,
                         stdout=subprocess.PIPE).stdout
    columns = x1 - x0
    if len(raw) != columns * (y1 - y0):
        sys.exit("gmt returned %d nodes for a %dx%d tile" % (len(raw), columns, y1 - y0))
    return [raw[r * columns + PAD:(r + 1) * columns - PAD] for r in range(PAD, y1 - y0 - PAD)]


def land_mask(bounds, size, resolution="f", datum="tokyo"):
    """Land flags (bytes of 0/1) of every pixel, one bytes object per row, bottom row first."""
    width, height = size
    rows = [bytearray(width) for _ in range(height)]
    xs, ys = splits(width), splits(height)
    with tempfile.TemporaryDirectory() as folder:
        for y0, y1 in zip(ys, ys[1:]):
            for x0, x1 in zip(xs, xs[1:]):
                tile = land_tile(bounds, size, (x0, x1), (y0, y1), resolution, datum, folder)
                for r, flags in enumerate(tile):
                    rows[y0 + r][x0:x1] = flags
    return [bytes(row) for row in rows]


def bmp_bytes(rows, width):
    """A 24-bit bottom-up BMP of the mask: 14-byte file header, 40-byte info header."""
    height = len(rows)
    stride = (3 * width + 3) // 4 * 4
    land = bytes(reversed(LAND_RGB))  # stored blue, green, red
    sea = bytes(reversed(SEA_RGB))
    pixels = bytearray()
    for row in rows:
        line = b"".join(land if flag else sea for flag in row)
        pixels += line + bytes(stride - len(line))
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + bytes(4) + (54).to_bytes(4, "little")
    info = b"".join(v.to_bytes(n, "little", signed=True) for v, n in (
        (40, 4), (width, 4), (height, 4), (1, 2), (24, 2), (0, 4), (len(pixels), 4),
        (2835, 4), (2835, 4), (0, 4), (0, 4)))
    return header + info + bytes(pixels)


# The bench mask is run-length text: each row starts with sea and alternates
# sea and land runs that add up to the width. A run length is written as
# base-32 digits, least significant first, each digit one character of the
# alphabet below; digits 32..63 of the alphabet mark "more digits follow".
ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def encode_runs(rows):
    out = []
    for row in rows:
        value, start = 0, 0
        for x in range(len(row) + 1):
            if x == len(row) or row[x] != value:
                length = x - start
                while length >= 32:
                    out.append(ALPHABET[32 + (length & 31)])
                    length >>= 5
                out.append(ALPHABET[length])
                value, start = 1 - value, x
            if x == len(row):
                break
    return "".join(out)


def mask_inc(rows, args):
    width, height = len(rows[0]), len(rows)
    text = encode_runs(rows)
    command = "tools/make_gray_map.py --bounds %s --size %d %d --resolution %s --datum %s --mask-inc FILE" % (
        " ".join(repr(b) for b in args.bounds), width, height, args.resolution, args.datum)
    lines = ["// Generated by", "//   " + command, "// Do not edit.",
             "constexpr int kMaskWidth = %d;" % width,
             "constexpr int kMaskHeight = %d;" % height,
             "constexpr long kMaskLandPixels = %d;" % sum(map(sum, rows)),
             "constexpr char kMaskRuns[] ="]
    lines += ['    "%s"' % text[i:i + 100] for i in range(0, len(text), 100)]
    lines[-1] += ";"
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bounds", nargs=4, type=float, required=True,
                        metavar=("LEFT", "BOTTOM", "RIGHT", "TOP"), help="degrees, east and north positive")
    parser.add_argument("--size", nargs=2, type=int, required=True, metavar=("WIDTH", "HEIGHT"))
    parser.add_argument("--resolution", default="f", choices="fhilc", help="GSHHG resolution (default f, full)")
    parser.add_argument("--datum", default="tokyo", choices=("tokyo", "wgs84"),
                        help="datum of the bounds and of the stations (default tokyo)")
    parser.add_argument("--mask-inc", metavar="FILE", help="also write the run-length mask as C++ source")
    parser.add_argument("bmp", nargs="?", help="the 24-bit BMP to write")
    args = parser.parse_args()
    left, bottom, right, top = args.bounds
    if not (left < right and bottom < top) or min(args.size) < 1:
        parser.error("need LEFT < RIGHT, BOTTOM < TOP and a size of at least 1x1")
    rows = land_mask(args.bounds, args.size, args.resolution, args.datum)
    if args.bmp:
        with open(args.bmp, "wb") as f:
            f.write(bmp_bytes(rows, args.size[0]))
    if args.mask_inc:
        with open(args.mask_inc, "w") as f:
            f.write(mask_inc(rows, args))
    print("%d of %d pixels are land" % (sum(map(sum, rows)), args.size[0] * args.size[1]))


if __name__ == "__main__":
    main()
