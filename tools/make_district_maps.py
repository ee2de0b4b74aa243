#!/usr/bin/env python3
"""Make the district pictures and map strings of the map resource library.

For each of the 60 districts this writes bruvik/maps/IDB_<code>.png, a map of
the district's stations from the GSHHG shorelines (land, sea and coast line),
and one line of bruvik/maps/MapInfo.txt, the district's map string:

  west north east south width height first last

(degrees east and north, pixels, station IDs). A station of IDs first..last
lies on pixel x = trunc((lon - west) * width / (east - west) + 0.5) and
y = trunc((lat - north) * height / (south - north) + 0.5), y counted from
the top; the picture is sampled on exactly these nodes (Tokyo Datum, as the
station table). Five districts have outlying islands drawn as framed insets
inside their picture; each inset range gets a string of its own whose bounds
are those of a map that, at the inset's scale, would put the inset's stations
into the inset's frame (width and height are the picture's).

Needs GMT and its GSHHG shorelines, like make_gray_map.py.

  tools/make_district_maps.py [--only CODE ...] [--out bruvik/maps]
"""

import argparse
import csv
import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_gray_map import land_mask  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# District codes in the order of the station table's English district texts.
DISTRICTS = [
    (1001, "Soya"), (1002, "Kamikawa"), (1003, "Rumoi"), (1004, "Ishikari"), (1005, "Sorachi"),
    (1006, "Shiribeshi"), (1007, "Abashiri"), (1008, "Nemuro"), (1009, "Kushiro"), (1010, "Tokachi"),
    (1011, "Iburi"), (1012, "Hidaka"), (1013, "Oshima"), (1014, "Hiyama"),
    (2001, "Aomori"), (2002, "Akita"), (2003, "Iwate"), (2004, "Miyagi"), (2005, "Yamagata"),
    (2006, "Fukushima"),
    (3001, "Ibaraki"), (3002, "Tochigi"), (3003, "Gumma"), (3004, "Saitama"), (3005, "Tokyo"),
    (3006, "Chiba"), (3007, "Kanagawa"),
    (4001, "Nagano"), (4002, "Yamanashi"), (4003, "Shizuoka"), (4004, "Aichi"), (4005, "Gifu"),
    (4006, "Niigata"), (4007, "Toyama"), (4008, "Ishikawa"), (4009, "Fukui"),
    (5001, "Mie"), (5002, "Shiga"), (5003, "Kyoto"), (5004, "Osaka"), (5005, "Hyogo"), (5006, "Nara"),
    (5007, "Wakayama"),
    (6001, "Okayama"), (6002, "Hiroshima"), (6003, "Tottori"), (6004, "Shimane"), (6005, "Yamaguchi"),
    (6006, "Tokushima"), (6007, "Kagawa"), (6008, "Ehime"), (6009, "Kochi"),
    (7001, "Fukuoka"), (7002, "Oita"), (7003, "Nagasaki"), (7004, "Saga"), (7005, "Kumamoto"),
    (7006, "Miyazaki"), (7007, "Kagoshima"), (7008, "Okinawa"),
]

# Outlying islands: the last station placed on the district's own bounds
# (None: all of them), and the inset strings as (string id, first, last,
# inset). Strings naming the same inset share its frame.
INSETS = {
    3005: (364, [(3051, 365, 367, "Izu"), (3052, 368, 368, "Hachijo"), (3053, 369, 369, "Ogasawara")]),
    6004: (None, [(6041, 638, 639, "Oki")]),
    7003: (None, [(7031, 747, 748, "Tsushima")]),
    7007: (816, [(7071, 817, 820, "Osumi islands"), (7072, 821, 824, "Amami")]),
    7008: (832, [(7081, 833, 833, "Daito"), (7082, 834, 836, "Miyako"), (7083, 837, 841, "Yaeyama"),
                 (7084, 842, 842, "Yaeyama")]),
}

# Pixels kept free around the stations for pins and label buttons.
MARGIN_X, MARGIN_Y = 72, 44
INSET_MARGIN_X, INSET_MARGIN_Y = 64, 36
MAIN_INNER = (460, 380)    # largest station extent of a district picture, pixels
INSET_INNER = (150, 110)   # and of an inset
MIN_EXTENT = 0.25          # degrees of latitude a picture shows at least
MIN_INSET_EXTENT = 0.12
GAP = 6                    # between an inset and the picture's edge

PALETTE = [(198, 226, 247), (238, 234, 212), (96, 96, 96), (0, 0, 0)]  # sea, land, coast, frame
SEA, LAND, COAST, FRAME = range(4)


def decimal(packed):
    degrees = int(packed) // 1000
    return degrees + (int(packed) - 1000 * degrees) / 600


def read_stations():
    path = os.path.join(ROOT, "library", "data", "amedas_stations.csv")
    with open(path, encoding="utf-8") as f:
        return {int(r["id"]): (decimal(r["longitude"]), decimal(r["latitude"]), r["belong_pron"])
                for r in csv.DictReader(f)}


def district_ranges(stations):
    ranges = {}
    for code, word in DISTRICTS:
        ids = [i for i, s in stations.items() if word in s[2].split()]
        ranges[code] = (min(ids), max(ids))
    return ranges


class Frame:
    """A geographic box shown at a scale: pixel (x, y), y from the top,
    stands for (west + x / sx, north - y / sy)."""

    def __init__(self, points, inner, margin, min_extent):
        lons, lats = [p[0] for p in points], [p[1] for p in points]
        mid_lat = (min(lats) + max(lats)) / 2
        aspect = 1 / math.cos(math.radians(mid_lat))  # a degree of latitude is longer
        ext_lat = max(max(lats) - min(lats), min_extent)
        ext_lon = max(max(lons) - min(lons), min_extent / aspect)
        self.sx = min(inner[0] / ext_lon, inner[1] / (ext_lat * aspect))
        self.sy = self.sx * aspect
        centre = ((min(lons) + max(lons)) / 2, (min(lats) + max(lats)) / 2)
        self.width = round(ext_lon * self.sx) + 2 * margin[0]
        self.height = round(ext_lat * self.sy) + 2 * margin[1]
        self.west = centre[0] - self.width / 2 / self.sx
        self.north = centre[1] + self.height / 2 / self.sy

    def pixel(self, lon, lat):
        return (lon - self.west) * self.sx, (self.north - lat) * self.sy


class Rect:
    def __init__(self, left, top, width, height):
        self.left, self.top, self.width, self.height = left, top, width, height

    def overlaps(self, other):
        return (self.left < other.left + other.width and other.left < self.left + self.width
                and self.top < other.top + other.height and other.top < self.top + self.height)


def map_string(west, north, east, south, width, height, first, last):
    text = "%.6f %.6f %.6f %.6f %d %d %d %d" % (west, north, east, south, width, height, first, last)
    assert len(text) <= 127
    return text


def parse_string(text):
    v = text.split()
    return [float(x) for x in v[:4]] + [int(x) for x in v[4:]]


def place(west, north, east, south, width, height, lon, lat):
    """The pixel the map dialog puts a station on."""
    return (math.trunc((lon - west) * (width / (east - west)) + 0.5),
            math.trunc((lat - north) * (height / (south - north)) + 0.5))


def free_corner(picture, frame, taken):
    width, height = picture
    for left, top in ((GAP, GAP), (width - frame.width - GAP, GAP), (GAP, height - frame.height - GAP),
                      (width - frame.width - GAP, height - frame.height - GAP)):
        rect = Rect(left, top, frame.width, frame.height)
        if left >= 0 and top >= 0 and not any(rect.overlaps(other) for other in taken):
            return rect
    return None


def layout_insets(picture, station_pixels, frames):
    """Places each inset frame in a corner of the picture clear of the main
    stations' pins and labels, or else in rows added below the picture.
    Returns the picture's size and {inset name: Rect}."""
    width, height = picture
    taken = [Rect(x - MARGIN_X, y - MARGIN_Y, 2 * MARGIN_X, 2 * MARGIN_Y) for x, y in station_pixels]
    placed, below = {}, []
    for name, frame in frames.items():
        rect = free_corner(picture, frame, taken + list(placed.values()))
        if rect:
            placed[name] = rect
        else:
            below.append(name)
    left, top, bottom = GAP, height, height
    for name in below:
        frame = frames[name]
        if left > GAP and left + frame.width + GAP > width:
            left, top = GAP, bottom
        placed[name] = Rect(left, top + GAP, frame.width, frame.height)
        left += frame.width + GAP
        width = max(width, left)
        bottom = max(bottom, top + 2 * GAP + frame.height)
    return (width, bottom), placed


def render(pixels, rect, bounds, picture):
    """Paints land and sea of the nodes inside rect, by the map string bounds."""
    west, north, east, south = bounds
    width, height = picture
    dx, dy = (east - west) / width, (north - south) / height
    x0, y0, x1, y1 = rect.left, rect.top, rect.left + rect.width, rect.top + rect.height
    bottom = north - (y1 - 1) * dy
    box = (west + x0 * dx, bottom, west + x1 * dx, bottom + (y1 - y0) * dy)
    rows = land_mask(box, (x1 - x0, y1 - y0))
    for j, row in enumerate(rows):
        y = y1 - 1 - j
        pixels[y][x0:x1] = bytes(LAND if flag else SEA for flag in row)
    for y in range(y0, y1):
        for x in range(x0, x1):
            if pixels[y][x] == LAND and any(
                    x + dx_ in range(x0, x1) and y + dy_ in range(y0, y1) and pixels[y + dy_][x + dx_] == SEA
                    for dx_, dy_ in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                pixels[y][x] = COAST


def draw_frame(pixels, rect):
    for x in range(rect.left, rect.left + rect.width):
        pixels[rect.top][x] = pixels[rect.top + rect.height - 1][x] = FRAME
    for y in range(rect.top, rect.top + rect.height):
        pixels[y][rect.left] = pixels[y][rect.left + rect.width - 1] = FRAME


def png_bytes(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def check(strings, stations, picture, rects):
    """Every station of every placed range lies inside its picture or inset."""
    for sid, (text, first, last, rect) in strings.items():
        values = parse_string(text)
        for i in range(first, last + 1):
            x, y = place(*values[:6], *stations[i][:2])
            area = rect or Rect(0, 0, *picture)
            if not (area.left <= x <= area.left + area.width and area.top <= y <= area.top + area.height):
                sys.exit("string %d: station %d at (%d, %d) is outside its frame" % (sid, i, x, y))


def make_district(code, first, last, stations):
    main_last, insets = INSETS.get(code, (None, []))
    main_last = main_last or last
    main = Frame([stations[i][:2] for i in range(first, main_last + 1)], MAIN_INNER, (MARGIN_X, MARGIN_Y),
                 MIN_EXTENT)
    frames = {}
    for _, lo, hi, name in insets:
        frames.setdefault(name, []).extend(stations[i][:2] for i in range(lo, hi + 1))
    frames = {name: Frame(points, INSET_INNER, (INSET_MARGIN_X, INSET_MARGIN_Y), MIN_INSET_EXTENT)
              for name, points in frames.items()}
    station_pixels = [main.pixel(*stations[i][:2]) for i in range(first, main_last + 1)]
    (width, height), rects = layout_insets((main.width, main.height), station_pixels, frames)
    south, east = main.north - height / main.sy, main.west + width / main.sx
    strings = {code: (map_string(main.west, main.north, east, south, width, height, first, last),
                      first, main_last, None)}
    for sid, lo, hi, name in insets:
        f, r = frames[name], rects[name]
        west, north = f.west - r.left / f.sx, f.north + r.top / f.sy
        strings[sid] = (map_string(west, north, west + width / f.sx, north - height / f.sy, width, height, lo, hi),
                        lo, hi, r)
    check(strings, stations, (width, height), rects)
    pixels = [bytearray(width) for _ in range(height)]
    render(pixels, Rect(0, 0, width, height), parse_string(strings[code][0])[:4], (width, height))
    drawn = set()
    for sid, (text, _, _, rect) in strings.items():
        if rect is not None and (rect.left, rect.top) not in drawn:
            drawn.add((rect.left, rect.top))
            render(pixels, rect, parse_string(text)[:4], (width, height))
            draw_frame(pixels, rect)
    return strings, pixels


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "bruvik", "maps"))
    parser.add_argument("--only", nargs="*", type=int, help="district codes to make (default all)")
    args = parser.parse_args()
    stations = read_stations()
    ranges = district_ranges(stations)
    os.makedirs(args.out, exist_ok=True)
    info_path = os.path.join(args.out, "MapInfo.txt")
    lines = {}
    if os.path.exists(info_path):
        with open(info_path) as f:
            lines = {int(line.split("\t")[0]): line.rstrip("\n") for line in f if line.strip()}
    for code, _ in DISTRICTS:
        if args.only and code not in args.only:
            continue
        strings, pixels = make_district(code, *ranges[code], stations)
        with open(os.path.join(args.out, "IDB_%d.png" % code), "wb") as f:
            f.write(png_bytes(pixels))
        for sid, (text, *_rest) in strings.items():
            lines[sid] = "%d\t%s" % (sid, text)
        print(code, "%dx%d" % (len(pixels[0]), len(pixels)), file=sys.stderr)
    with open(info_path, "w") as f:
        f.write("".join(lines[k] + "\n" for k in sorted(lines)))


if __name__ == "__main__":
    main()
