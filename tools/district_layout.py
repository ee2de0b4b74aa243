"""What the district-map generator and the label-placement tool share: the
stations, the districts with their station ranges, the island groups shown as
insets, and the pixel rule of the map dialog.
"""
import csv
import math
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CSV = ROOT / "library" / "data" / "amedas_stations.csv"
MAPINFO = ROOT / "bruvik" / "MapInfo.inc"

# District codes in the order of the station table's English prefecture texts.
DISTRICT_OF_BELONG = {
    "Hokkaido Soya Subprefecture": 1001, "Hokkaido Kamikawa Subprefecture": 1002,
    "Hokkaido Rumoi Subprefecture": 1003, "Hokkaido Ishikari Subprefecture": 1004,
    "Hokkaido Sorachi Subprefecture": 1005, "Hokkaido Shiribeshi Subprefecture": 1006,
    "Hokkaido Abashiri Subprefecture": 1007, "Hokkaido Nemuro Subprefecture": 1008,
    "Hokkaido Kushiro Subprefecture": 1009, "Hokkaido Tokachi Subprefecture": 1010,
    "Hokkaido Iburi Subprefecture": 1011, "Hokkaido Hidaka Subprefecture": 1012,
    "Hokkaido Oshima Subprefecture": 1013, "Hokkaido Hiyama Subprefecture": 1014,
    "Aomori Prefecture": 2001, "Akita Prefecture": 2002, "Iwate Prefecture": 2003, "Miyagi Prefecture": 2004,
    "Yamagata Prefecture": 2005, "Fukushima Prefecture": 2006,
    "Ibaraki Prefecture": 3001, "Tochigi Prefecture": 3002, "Gumma Prefecture": 3003, "Saitama Prefecture": 3004,
    "Tokyo Metropolis": 3005, "Chiba Prefecture": 3006, "Kanagawa Prefecture": 3007,
    "Nagano Prefecture": 4001, "Yamanashi Prefecture": 4002, "Shizuoka Prefecture": 4003, "Aichi Prefecture": 4004,
    "Gifu Prefecture": 4005, "Niigata Prefecture": 4006, "Toyama Prefecture": 4007, "Ishikawa Prefecture": 4008,
    "Fukui Prefecture": 4009,
    "Mie Prefecture": 5001, "Shiga Prefecture": 5002, "Kyoto Prefecture": 5003, "Osaka Prefecture": 5004,
    "Hyogo Prefecture": 5005, "Nara Prefecture": 5006, "Wakayama Prefecture": 5007,
    "Okayama Prefecture": 6001, "Hiroshima Prefecture": 6002, "Tottori Prefecture": 6003,
    "Shimane Prefecture": 6004, "Yamaguchi Prefecture": 6005, "Tokushima Prefecture": 6006,
    "Kagawa Prefecture": 6007, "Ehime Prefecture": 6008, "Kochi Prefecture": 6009,
    "Fukuoka Prefecture": 7001, "Oita Prefecture": 7002, "Nagasaki Prefecture": 7003, "Saga Prefecture": 7004,
    "Kumamoto Prefecture": 7005, "Miyazaki Prefecture": 7006, "Kagoshima Prefecture": 7007,
    "Okinawa Prefecture": 7008,
}

# Island groups drawn as framed insets: string id, first and last station ID.
# Districts 3005, 7007 and 7008 place the stations before their first inset
# on the district's own bounds; 6004 and 7003 place all of theirs there and
# then show their first two stations again in the inset.
INSETS = {
    3005: [(3051, 365, 367), (3052, 368, 368), (3053, 369, 369)],
    7007: [(7071, 817, 820), (7072, 821, 824)],
    7008: [(7081, 833, 833), (7082, 834, 835), (7083, 836, 836), (7084, 837, 842)],
    6004: [(6041, 638, 639)],
    7003: [(7031, 747, 748)],
}
REPLACING_INSETS = (6004, 7003)

# Stick lengths other than the pin's default of 24 pixels.
LONG_STICKS = {282: 36, 757: 48}


def packed_to_degrees(packed):
    degrees = int(packed / 1000)
    return degrees + (packed - degrees * 1000) / 600.0


class Station:
    def __init__(self, row):
        self.id = int(row["id"])
        self.name = row["name"]
        self.pron = row["pron"]
        self.district = DISTRICT_OF_BELONG[row["belong_pron"]]
        self.lat = packed_to_degrees(int(row["latitude"]))
        self.lon = packed_to_degrees(int(row["longitude"]))


def read_stations():
    with open(CSV, encoding="utf-8", newline="") as f:
        return {s.id: s for s in (Station(row) for row in csv.DictReader(f))}


def district_ranges(stations):
    """{code: (first, last)}, checking that each district's IDs run together."""
    ranges = {}
    for s in sorted(stations.values(), key=lambda s: s.id):
        first, last = ranges.get(s.district, (s.id, s.id - 1))
        if last != s.id - 1:
            raise SystemExit(f"district {s.district} is split at station {s.id}")
        ranges[s.district] = (first, s.id)
    return ranges


class MapInfo:
    """One MapInfo string: bounds, the pixel size they spread over, a station range."""

    def __init__(self, west, north, east, south, width, height, first, last):
        self.west, self.north, self.east, self.south = west, north, east, south
        self.width, self.height, self.first, self.last = width, height, first, last

    def text(self):
        return "%.6f %.6f %.6f %.6f %d %d %d %d" % (
            self.west, self.north, self.east, self.south, self.width, self.height, self.first, self.last)

    @staticmethod
    def parse(text):
        v = text.split()
        return MapInfo(*(float(x) for x in v[:4]), *(int(x) for x in v[4:]))

    def pixel(self, station):
        """The dialog's pixel rule: scale, add a half and cut toward zero."""
        xs = self.width / (self.east - self.west)
        ys = self.height / (self.south - self.north)
        return (math.trunc((station.lon - self.west) * xs + 0.5), math.trunc((station.lat - self.north) * ys + 0.5))


def read_mapinfo():
    infos = {}
    for line in MAPINFO.read_text(encoding="ascii").splitlines():
        if line.startswith("{"):
            code, text = line.strip("{},").split(", ", 1)
            infos[int(code)] = MapInfo.parse(text.strip('"'))
    return infos


def placed_ranges(code, infos):
    """The (MapInfo, first, last) ranges whose pins a district's map shows at
    the end of the map build."""
    main = infos[code]
    insets = [(infos[s], infos[s].first, infos[s].last) for s, _, _ in INSETS.get(code, [])]
    if code in REPLACING_INSETS:
        return [(main, main.first + 2, main.last)] + insets
    last_on_main = insets[0][1] - 1 if insets else main.last
    return [(main, main.first, last_on_main)] + insets
