#!/usr/bin/env python3
"""Chooses the pin direction of every station (library/StationPinDirections.inc)
so that each label button of a district picture stays clear of the other
label buttons and pins of that picture, of the inset frames, and of the
picture's edges as far as possible. Reads the MapInfo strings that
tools/gen_district_maps.py wrote, and prints for each district how many
pairs of label buttons overlap and how many label buttons still lie over
another station's pin, an inset frame or the picture's edge.

    python3 tools/place_pin_labels.py          # place and write
    python3 tools/place_pin_labels.py --count  # count with the directions as they are
"""
import itertools
import sys

from district_layout import LONG_STICKS, ROOT, district_ranges, placed_ranges, read_mapinfo, read_stations
from gen_district_maps import layout

OUT = ROOT / "library" / "StationPinDirections.inc"

RADIUS, STICK, BUTTON_HEIGHT, BUTTON_MIN = 6, 24, 25, 50
DIRECTIONS = [2, 6, 0, 4, 1, 3, 5, 7]  # tried in this order; earlier wins a tie

# Advance widths of Liberation Sans (Arial metrics), 1/1000 em; English label
# buttons use it at 8 points, which the font engine draws 11 pixels high on a
# 96-dpi screen, the Japanese ones a 15-pixel proportional gothic whose kanji
# are one em wide. Both estimates are at least the widths the dialog measures.
ADVANCE = dict(zip("abcdefghijklmnopqrstuvwxyz",
                   [556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833,
                    556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500]))
ADVANCE.update(zip("ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                   [667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833,
                    722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611]))
ENGLISH_PX = 11
JAPANESE_PX = 15


def button_width(station):
    english = sum(ADVANCE.get(c, 556) for c in station.pron + "pp") * ENGLISH_PX / 1000
    japanese = (len(station.name) + 1) * JAPANESE_PX
    return max(BUTTON_MIN, int(english + 0.999), japanese)


def offsets(direction, length, width):
    """The label button's top-left corner relative to the anchor (the pin's CalcXY)."""
    R, L, H, W = RADIUS, length, BUTTON_HEIGHT, width
    below, above, right, left = L - R + 1, R - L - H + 1, L - R + 1, R - L - W + 1
    top = {0: below, 1: below, 2: 1 - H // 2, 3: above, 4: above, 5: above, 6: 1 - H // 2, 7: below}[direction]
    lft = {0: 1 - W // 2, 1: right, 2: right, 3: right, 4: 1 - W // 2, 5: left, 6: left, 7: left}[direction]
    return top, lft


def pin_box(direction, length, x, y):
    """The pin control's rectangle (left, top, right, bottom) on the picture."""
    R, L = RADIUS, length
    w, h, hx, hy = {0: (2 * R, L, R, R), 1: (L, L, R, R), 2: (L, 2 * R, R, R), 3: (L, L, R, L - R),
                    4: (2 * R, L, R, L - R), 5: (L, L, L - R, L - R), 6: (L, 2 * R, L - R, R),
                    7: (L, L, L - R, R)}[direction]
    return (x - hx, y - hy, x - hx + w, y - hy + h)


def overlap(a, b):
    w = min(a[2], b[2]) - max(a[0], b[0])
    h = min(a[3], b[3]) - max(a[1], b[1])
    return w * h if w > 0 and h > 0 else 0


def area(r):
    return (r[2] - r[0]) * (r[3] - r[1])


class Label:
    def __init__(self, station, x, y, home, obstacles):
        self.station, self.x, self.y = station, x, y
        self.length = LONG_STICKS.get(station.id, STICK)
        self.width = button_width(station)
        self.home, self.obstacles = home, obstacles  # where it may lie; frames it must not cover
        self.direction = 2

    def button(self, direction=None):
        top, left = offsets(self.direction if direction is None else direction, self.length, self.width)
        return (self.x + left, self.y + top, self.x + left + self.width, self.y + top + BUTTON_HEIGHT)

    def pin(self, direction=None):
        return pin_box(self.direction if direction is None else direction, self.length, self.x, self.y)

    def stray(self, direction=None):
        """Area of the button outside its home or over a frame it must keep clear of."""
        b = self.button(direction)
        return area(b) - overlap(b, self.home) + sum(overlap(b, o) for o in self.obstacles)

    def cost(self, direction, others):
        b, p = self.button(direction), self.pin(direction)
        clash = sum(overlap(b, o.button()) + overlap(b, o.pin()) + overlap(p, o.button()) for o in others)
        return clash + 2 * self.stray(direction)

    def covers(self, others):
        """Whether the button lies over another station's pin, a frame or the edge."""
        b = self.button()
        return self.stray() > 0 or any(overlap(b, o.pin()) for o in others)


def district_labels(code, first, last, infos, stations):
    """The labels of every pin a district's map shows, with where each may lie."""
    _, frames = layout(code, first, last, stations)
    picture = (0, 0, infos[code].width, infos[code].height)
    labels = []
    for info, first_id, last_id in placed_ranges(code, infos):
        frame = next((frames[s] for s in frames if infos[s] is info), None)
        for sid in range(first_id, last_id + 1):
            x, y = info.pixel(stations[sid])
            if frame:
                labels.append(Label(stations[sid], x, y, frame, []))
            else:
                labels.append(Label(stations[sid], x, y, picture, list(frames.values())))
    return labels


def total_cost(labels):
    return sum(label.cost(label.direction, [o for o in labels if o is not label]) for label in labels)


def turn_singly(labels):
    """Each label in turn takes its best direction; whether any turned."""
    changed = False
    for label in labels:
        others = [o for o in labels if o is not label]
        best = min(DIRECTIONS, key=lambda d: label.cost(d, others))
        if label.cost(best, others) < label.cost(label.direction, others):
            label.direction, changed = best, True
    return changed


def turn_in_pairs(labels):
    """A label that still clashes turns together with a neighbour where that
    lowers the clashes of the whole picture; whether any turned."""
    changed, cost = False, total_cost(labels)
    for a in labels:
        others = [o for o in labels if o is not a]
        if not a.covers(others) and not any(overlap(a.button(), o.button()) for o in others):
            continue
        for b in others:
            reach = a.length + b.length + a.width + b.width
            if abs(a.x - b.x) >= reach or abs(a.y - b.y) >= reach:
                continue
            best = a.direction, b.direction
            for turned in itertools.product(DIRECTIONS, DIRECTIONS):
                a.direction, b.direction = turned
                if total_cost(labels) < cost:
                    best, cost, changed = turned, total_cost(labels), True
            a.direction, b.direction = best
    return changed


def place(labels):
    for _ in range(30):
        if not turn_singly(labels) and not turn_in_pairs(labels):
            break


def read_directions():
    """The directions that library/StationPinDirections.inc holds, by station index."""
    lines = OUT.read_text(encoding="ascii").splitlines()
    return [int(v) for line in lines if not line.startswith("//") for v in line.split(",") if v.strip()]


def clashes(labels):
    """How many pairs of label buttons overlap, and how many label buttons
    lie over a pin, a frame or the picture's edge."""
    pairs = sum(bool(overlap(a.button(), b.button())) for i, a in enumerate(labels) for b in labels[i + 1:])
    covering = sum(label.covers([o for o in labels if o is not label]) for label in labels)
    return pairs, covering


def main(args):
    if args not in ([], ["--count"]):
        raise SystemExit(__doc__)
    counting = args == ["--count"]
    stations = read_stations()
    infos = read_mapinfo()
    directions = read_directions() if counting else [2] * len(stations)
    total_pairs = total_covering = 0
    for code, (first, last) in sorted(district_ranges(stations).items()):
        labels = district_labels(code, first, last, infos, stations)
        for label in labels:
            label.direction = directions[label.station.id - 1]
        if not counting:
            place(labels)
        for label in labels:
            directions[label.station.id - 1] = label.direction
        pairs, covering = clashes(labels)
        total_pairs, total_covering = total_pairs + pairs, total_covering + covering
        print("%d: %d pairs of label buttons overlap; %d of %d label buttons lie over a pin, a frame or the edge"
              % (code, pairs, covering, len(labels)))
    print("all districts: %d pairs of label buttons overlap; %d label buttons lie over a pin, a frame or the edge"
          % (total_pairs, total_covering))
    if counting:
        return 0
    lines = ["// Generated by tools/place_pin_labels.py: the pin direction (TDir) of every",
             "// station, by station index."]
    for i in range(0, len(directions), 21):
        lines.append(", ".join(str(d) for d in directions[i:i + 21]) + ",")
    OUT.write_text("\n".join(lines) + "\n", encoding="ascii")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
