"""Finds parts of the Quillet window in a screenshot (PPM), so the end-to-end scripts never use
fixed screen coordinates. Each command prints what it found, or a reason on stderr and exits 1.

usage: screen.py close-button  SHOT.ppm X Y WIDTH HEIGHT   centre of the selected tab's close glyph
       screen.py status-first  SHOT.ppm X Y WIDTH HEIGHT   darkest value of the status bar's first text
"""
import sys
from collections import Counter


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6":
        sys.exit("not a binary PPM")
    width, height, maxval = int(fields[1]), int(fields[2]), int(fields[3])
    pixels = data[pos + 1:]
    if maxval > 255:  # two bytes a sample, most significant first
        pixels = bytes(pixels[i] * 255 // (maxval >> 8) if maxval >> 8 else 0
                       for i in range(0, len(pixels), 2))
    elif maxval != 255:
        pixels = bytes(v * 255 // maxval for v in pixels)
    return width, height, pixels


class Shot:
    def __init__(self, path):
        self.width, self.height, self.pixels = read_ppm(path)

    def rgb(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def row(self, y, x0, x1):
        return [self.rgb(x, y) for x in range(x0, x1)]


def runs(row):
    """(start, length, colour) of each stretch of one colour."""
    found, start = [], 0
    for i in range(1, len(row) + 1):
        if i == len(row) or row[i] != row[start]:
            found.append((start, i - start, row[start]))
            start = i
    return found


def brightness(rgb):
    return sum(rgb) // 3


def close_button(shot, x, y, w, h):
    # The tab bar is the first band from the top whose background holds a long stretch of
    # another, even colour near its left end: the selected tab.
    for top in range(y, min(y + 160, y + h)):
        row = shot.row(top, x, x + w)
        background = Counter(row).most_common(1)[0][0]
        tab = [r for r in runs(row) if r[2] != background and r[1] >= 40 and r[0] < 400]
        if tab:
            break
    else:
        sys.exit("no selected tab found")
    middle = top + 13
    row = shot.row(middle, x, x + w)
    colour = tab[0][2]
    inside = [i for i, rgb in enumerate(row) if rgb == colour]
    left, right = x + inside[0], x + inside[-1] + 1
    # The glyph is the last mark in the tab: narrow, after a gap, and clear of the tab's right
    # padding. A title cut by the tab's edge runs up to that edge instead.
    marked = [gx for gx in range(left, right)
              if any(abs(brightness(shot.rgb(gx, gy)) - brightness(colour)) > 40
                     for gy in range(middle - 8, middle + 8))]
    if not marked:
        sys.exit("the selected tab shows nothing")
    last = [marked[-1]]
    for gx in reversed(marked[:-1]):
        if last[-1] - gx > 3:
            break
        last.append(gx)
    glyph_left, glyph_right = min(last), max(last)
    if glyph_right > right - 6 or glyph_right - glyph_left > 14 or glyph_left == min(marked):
        sys.exit("the selected tab shows no close button")
    ys = [gy for gy in range(middle - 8, middle + 8)
          if any(abs(brightness(shot.rgb(gx, gy)) - brightness(colour)) > 40
                 for gx in range(glyph_left, glyph_right + 1))]
    print((glyph_left + glyph_right) // 2, (min(ys) + max(ys)) // 2)


def status_first(shot, x, y, w, h):
    band = range(y + h - 20, y + h - 2)
    background = Counter(shot.row(y + h - 3, x, x + w)).most_common(1)[0][0]
    columns = [cx for cx in range(x, x + w)
               if any(abs(brightness(shot.rgb(cx, cy)) - brightness(background)) > 25 for cy in band)]
    if not columns:
        sys.exit("the status bar shows nothing")
    first = [columns[0]]
    for cx in columns[1:]:
        if cx - first[-1] > 6:
            break
        first.append(cx)
    print(min(brightness(shot.rgb(cx, cy)) for cx in first for cy in band))


if __name__ == "__main__":
    command, path, *box = sys.argv[1:]
    {"close-button": close_button, "status-first": status_first}[command](Shot(path), *map(int, box))
