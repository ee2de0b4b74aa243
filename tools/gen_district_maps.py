#!/usr/bin/env python3
"""Draws the 60 district pictures of the map resource library from the GSHHG
coastlines (Debian's gmt with gmt-gshhg-full) and the prefecture outlines of
tools/data/prefectures, and writes their MapInfo strings:
bruvik/maps/IDB_<code>.png and bruvik/MapInfo.inc.

Each picture shows the district's stations with room for their label buttons
around them; island groups far from the rest (INSETS) are drawn as framed
insets, each at a scale of its own, in a column at the right of the picture.
Land, sea and the coast line come from the coastline data; lakes count as
water. The borders between prefectures are drawn on the land, and the land
of every other prefecture is lighter than the district's own. A Hokkaido
subprefecture's district is all of Hokkaido here: the outlines have no
subprefecture borders. The build only needs the committed output, never
this script.

    python3 tools/gen_district_maps.py
"""
import collections
import csv
import json
import math
import pathlib
import struct
import subprocess
import sys
import tempfile
import zlib

from district_layout import (DISTRICT_OF_BELONG, INSETS, MAPINFO, REPLACING_INSETS, ROOT, MapInfo, district_ranges,
                             read_stations)

MAPS = ROOT / "bruvik" / "maps"
PREFECTURES = ROOT / "tools" / "data" / "prefectures"

# Sea, the district's land, the coast line, inset frames, the land of the
# other prefectures, and the borders between prefectures.
SEA, LAND, COAST, FRAME, OUTSIDE, BORDER = range(6)
PALETTE = [(170, 205, 240), (238, 232, 200), (90, 110, 90), (0, 0, 0), (249, 247, 237), (160, 144, 118)]

# Land that the prefecture outlines miss (their coast is coarser than the
# coastlines', and they leave out new land and islets) belongs to the nearest
# prefecture within this distance; land farther away to none.
NEAR_KM = 3.0
KM_PER_DEGREE = 111.2

MAIN_INNER, MAIN_PAD = (560, 460), (90, 50)
INSET_INNER, INSET_PAD = (180, 120), (70, 35)
MAX_SCALE = 1500.0  # pixels per degree of latitude
GAP = 8


class Area:
    """A longitude/latitude box drawn at sx, sy pixels per degree into w x h pixels."""

    def __init__(self, stations, inner, pad, crowd):
        # Crowded areas get more room for their label buttons.
        grow = max(1.0, math.sqrt(len(stations) / crowd))
        inner = (inner[0] * grow, inner[1] * grow)
        lons = [s.lon for s in stations]
        lats = [s.lat for s in stations]
        ext_x = max(max(lons) - min(lons), 0.05)
        ext_y = max(max(lats) - min(lats), 0.05)
        c = math.cos(math.radians((max(lats) + min(lats)) / 2))
        scale = min(inner[0] / (ext_x * c), inner[1] / ext_y, MAX_SCALE)
        self.sx, self.sy = scale * c, scale
        self.w = round(ext_x * self.sx) + 2 * pad[0]
        self.h = round(ext_y * self.sy) + 2 * pad[1]
        self.west = (max(lons) + min(lons)) / 2 - self.w / 2 / self.sx
        self.north = (max(lats) + min(lats)) / 2 + self.h / 2 / self.sy

    def mapinfo(self, x0, y0, width, height, first, last):
        """Bounds that put this box at pixel (x0, y0) of a width x height picture."""
        west = self.west - x0 / self.sx
        north = self.north + y0 / self.sy
        return MapInfo(west, north, west + width / self.sx, north - height / self.sy, width, height, first, last)


def tokyo_to_wgs84_shift(lon, lat):
    """How far (degrees of longitude, latitude) a Tokyo Datum position in
    Japan moves on WGS84, the datum of the coastlines; about 450 m."""
    return (-0.000046038 * lat - 0.000083043 * lon + 0.010040,
            -0.00010695 * lat + 0.000017464 * lon + 0.0046017)


class Prefectures:
    """The 47 prefecture outlines: `polygons`, GMT's text of one polygon per
    part of a prefecture headed by its JIS code (-Z), and `borders`, the lines
    between two prefectures, each a list of (longitude, latitude)."""

    def __init__(self):
        topo = json.loads((PREFECTURES / "japan.topojson").read_text(encoding="utf-8"))
        (sx, sy), (tx, ty) = topo["transform"]["scale"], topo["transform"]["translate"]
        arcs = []
        for deltas in topo["arcs"]:
            x = y = 0
            arcs.append([])
            for dx, dy in deltas:
                x, y = x + dx, y + dy
                arcs[-1].append((x * sx + tx, y * sy + ty))
        text, users = [], collections.defaultdict(set)
        for shape in topo["objects"]["japan"]["geometries"]:
            jis = shape["properties"]["id"]
            for polygon in shape["arcs"] if shape["type"] == "MultiPolygon" else [shape["arcs"]]:
                if len(polygon) != 1:
                    raise SystemExit("prefecture %d has a hole, which the pictures can't show" % jis)
                text.append("> -Z%d" % jis)
                for i in polygon[0]:
                    users[i if i >= 0 else ~i].add(jis)
                    text += ["%.6f %.6f" % p for p in (arcs[i] if i >= 0 else arcs[~i][::-1])]
        self.polygons = ("\n".join(text) + "\n").encode("ascii")
        self.borders = [arcs[i] for i in sorted(users) if len(users[i]) == 2]


def prefecture_of_district():
    """{district code: JIS code of its prefecture}; the Hokkaido
    subprefectures give Hokkaido's."""
    with open(PREFECTURES / "prefectures.csv", encoding="utf-8", newline="") as f:
        jis = {row["name-en"]: int(row["id"]) for row in csv.DictReader(f)}
    jis["Gumma"] = jis["Gunma"]  # the station table's spelling
    return {code: jis[belong.split()[0]] for belong, code in DISTRICT_OF_BELONG.items()}


def grid(box, w, h, args, given=None):
    """Rows of w cells, top row first, of the byte grid that `gmt args`
    makes for the box (west, east, south, north), reading `given` as input."""
    with tempfile.TemporaryDirectory() as tmp:
        path = pathlib.Path(tmp) / "grid.nc"
        subprocess.run(["gmt", *args, "-R%.8f/%.8f/%.8f/%.8f" % box, "-I%d+n/%d+n" % (w, h), "-r", "-G%s" % path],
                       input=given, check=True, cwd=tmp)
        cells = subprocess.run(["gmt", "grd2xyz", str(path), "-ZTLc"], check=True, capture_output=True, cwd=tmp).stdout
    if len(cells) != w * h:
        raise SystemExit("unexpected grid size")
    return [list(cells[y * w:(y + 1) * w]) for y in range(h)]


def land_mask(box, w, h):
    """1 land, 0 sea or lake."""
    return grid(box, w, h, ["grdlandmask", "-Df", "-N0/1/0/1/0"])


def owners(mask, labels, reach):
    """The JIS code of every land cell's prefecture, 0 for none: its own
    label, or else that of the nearest labelled cell at most `reach` steps
    away."""
    h, w = len(mask), len(mask[0])
    out = [row[:] for row in labels]
    frontier = [(x, y) for y in range(h) for x in range(w) if labels[y][x]]
    for _ in range(reach):
        grown = []
        for x, y in frontier:
            for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                if 0 <= nx < w and 0 <= ny < h and not out[ny][nx]:
                    out[ny][nx] = out[y][x]
                    grown.append((nx, ny))
        frontier = grown
    return [[out[y][x] if mask[y][x] else 0 for x in range(w)] for y in range(h)]


def line_cells(points, box, w, h):
    """The cells of a w x h grid over the box that a line through `points` crosses."""
    west, east, south, north = box
    cells = [(math.floor((lon - west) * w / (east - west)), math.floor((north - lat) * h / (north - south)))
             for lon, lat in points]
    for (x, y), (x1, y1) in zip(cells, cells[1:]):
        dx, dy = abs(x1 - x), -abs(y1 - y)
        step_x, step_y = (1 if x1 > x else -1), (1 if y1 > y else -1)
        error = dx + dy
        while True:
            if 0 <= x < w and 0 <= y < h:
                yield x, y
            if (x, y) == (x1, y1):
                break
            twice = 2 * error
            if twice >= dy:
                error, x = error + dy, x + step_x
            if twice <= dx:
                error, y = error + dx, y + step_y


def edged(cells, inner, outer, edge):
    """A copy of the grid in which every `inner` cell next to an `outer`
    cell becomes `edge`."""
    h, w = len(cells), len(cells[0])
    out = [row[:] for row in cells]
    for y in range(h):
        for x in range(w):
            if cells[y][x] != inner:
                continue
            for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                if 0 <= nx < w and 0 <= ny < h and cells[ny][nx] == outer:
                    out[y][x] = edge
                    break
    return out


def drawn(info, x0, y0, w, h, prefectures, home):
    """The picture of the part (x0, y0, w, h) of `info`'s picture, whose
    district lies in prefecture `home`. The part's box is on the Tokyo Datum
    of the station table; it is moved by the datum shift at its centre onto
    the datum of the coastlines and outlines."""
    west = info.west + x0 * (info.east - info.west) / info.width
    north = info.north - y0 * (info.north - info.south) / info.height
    east = west + w * (info.east - info.west) / info.width
    south = north - h * (info.north - info.south) / info.height
    dlon, dlat = tokyo_to_wgs84_shift((west + east) / 2, (south + north) / 2)
    box = (west + dlon, east + dlon, south + dlat, north + dlat)
    mask = land_mask(box, w, h)
    reach = math.ceil(NEAR_KM / KM_PER_DEGREE * h / (north - south))
    owner = owners(mask, grid(box, w, h, ["grdmask", "-NZ"], prefectures.polygons), reach)
    picture = edged(mask, LAND, SEA, COAST)
    for y in range(h):
        for x in range(w):
            if picture[y][x] == LAND and owner[y][x] != home:
                picture[y][x] = OUTSIDE
    for border in prefectures.borders:
        for x, y in line_cells(border, box, w, h):
            if picture[y][x] in (LAND, OUTSIDE):
                picture[y][x] = BORDER
    # The border closes the gaps of a pixel that its line leaves between the
    # two tones of the outlines, so that it runs wherever the tone changes.
    return edged(picture, LAND, OUTSIDE, BORDER)


def paste(picture, part, x0, y0):
    for y, row in enumerate(part):
        picture[y0 + y][x0:x0 + len(row)] = row
    h, w = len(part), len(part[0])
    for x in range(x0, x0 + w):
        picture[y0][x] = picture[y0 + h - 1][x] = FRAME
    for y in range(y0, y0 + h):
        picture[y][x0] = picture[y][x0 + w - 1] = FRAME


def write_png(path, rows):
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(row) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    path.write_bytes(png)


def layout(code, first, last, stations):
    """The MapInfo strings of one district's picture by id, and the frame
    (left, top, right, bottom) of each inset by string id."""
    groups = INSETS.get(code, [])
    on_main_last = last if code in REPLACING_INSETS or not groups else groups[0][1] - 1
    main = Area([stations[i] for i in range(first, on_main_last + 1)], MAIN_INNER, MAIN_PAD, 14)
    insets = [(s, f, l, Area([stations[i] for i in range(f, l + 1)], INSET_INNER, INSET_PAD, 3)) for s, f, l in groups]
    column = max((a.w for *_, a in insets), default=-GAP) + 2 * GAP
    width = main.w + (column if insets else 0)
    height = max(main.h, sum(a.h + GAP for *_, a in insets) + GAP)
    infos = {code: main.mapinfo(0, 0, width, height, first, last)}
    frames = {}
    y = GAP
    for s, f, l, area in insets:
        infos[s] = area.mapinfo(main.w + GAP, y, width, height, f, l)
        frames[s] = (main.w + GAP, y, main.w + GAP + area.w, y + area.h)
        y += area.h + GAP
    return infos, frames


def district(code, first, last, stations, prefectures, home):
    """Draws one district's picture; returns its MapInfo strings by id."""
    infos, frames = layout(code, first, last, stations)
    picture = drawn(infos[code], 0, 0, infos[code].width, infos[code].height, prefectures, home)
    for s, (left, top, right, bottom) in frames.items():
        paste(picture, drawn(infos[s], left, top, right - left, bottom - top, prefectures, home), left, top)
    write_png(MAPS / ("IDB_%d.png" % code), picture)
    return infos


def check_inside(infos, stations):
    """Every station of every range lands on its picture by the dialog's pixel rule."""
    for code, info in infos.items():
        info = MapInfo.parse(info.text())
        last = info.last if code not in INSETS or code in REPLACING_INSETS else INSETS[code][0][1] - 1
        for sid in range(info.first, last + 1):
            x, y = info.pixel(stations[sid])
            if not (0 <= x <= info.width and 0 <= y <= info.height):
                raise SystemExit(f"station {sid} lies outside picture {code}")


def main():
    stations = read_stations()
    prefectures, home = Prefectures(), prefecture_of_district()
    MAPS.mkdir(parents=True, exist_ok=True)
    infos = {}
    for code, (first, last) in sorted(district_ranges(stations).items()):
        infos.update(district(code, first, last, stations, prefectures, home[code]))
        print(code, infos[code].text(), file=sys.stderr)
    check_inside(infos, stations)
    # The checksum ties this file to the pictures, so that the library is
    # rebuilt when only they change.
    crc = 0
    for code in sorted(c for c in infos if (MAPS / ("IDB_%d.png" % c)).exists()):
        crc = zlib.crc32((MAPS / ("IDB_%d.png" % code)).read_bytes(), crc)
    lines = ["// Generated by tools/gen_district_maps.py: the MapInfo string of every district",
             "// picture and inset (west north east south width height first last).",
             "// Pictures: CRC-32 %08x." % crc]
    lines += ['{%d, "%s"},' % (i, infos[i].text()) for i in sorted(infos)]
    MAPINFO.write_text("\n".join(lines) + "\n", encoding="ascii")
    return 0


if __name__ == "__main__":
    sys.exit(main())
