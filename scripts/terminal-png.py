#!/usr/bin/python3
"""Draws a terminal's screen, as `tmux capture-pane -e -p -N` prints it, into a
PNG: a grid of cells in DejaVu Sans Mono with the SGR attributes a terminal
shows (8, 16, 256 and direct colours, bold, dim, underline, reverse).

Usage: terminal-png.py CAPTURE PNG [COLUMNSxROWS]
         (the grid is the terminal's size, else just large enough for the capture)
       terminal-png.py --self-check
"""
import re
import sys
import unicodedata

from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
FONT_SIZE = 16
MARGIN = 8

# The VGA palette, as the Linux console has it: the colours of the DOS and
# Windows 9x era, which the program's own colours will be chosen from.
PALETTE_16 = [
    (0, 0, 0), (170, 0, 0), (0, 170, 0), (170, 85, 0),
    (0, 0, 170), (170, 0, 170), (0, 170, 170), (170, 170, 170),
    (85, 85, 85), (255, 85, 85), (85, 255, 85), (255, 255, 85),
    (85, 85, 255), (255, 85, 255), (85, 255, 255), (255, 255, 255),
]
DEFAULT_FG = (229, 229, 229)
DEFAULT_BG = (0, 0, 0)

# An SGR sequence, any other CSI sequence, an OSC string, or a run of text.
TOKEN = re.compile(r"\x1b\[([0-9;:]*)m|\x1b\[[0-9;:?<=>]*[ -/]*[@-~]|\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|\x1b.|[^\x1b]+")


def palette(index):
    """The colour of a 256-colour index: 16 named, a 6x6x6 cube, 24 greys."""
    if index < 16:
        return PALETTE_16[index]
    if index < 232:
        steps = [0, 95, 135, 175, 215, 255]
        index -= 16
        return (steps[index // 36], steps[index // 6 % 6], steps[index % 6])
    grey = 8 + 10 * (index - 232)
    return (grey, grey, grey)


class Pen:
    """The attributes that the next characters are drawn with."""

    def __init__(self):
        self.reset()

    def reset(self):
        self.fg = self.bg = None  # None: the terminal's default
        self.bold = self.dim = self.underline = self.reverse = False

    def state(self):
        return (self.fg, self.bg, self.bold, self.dim, self.underline, self.reverse)


def extended_colour(args):
    """38/48's arguments, 5;N or 2;R;G;B (the colon form may carry an empty
    colour space id first); None when malformed."""
    try:
        if args[0] == "5":
            return palette(int(args[1]) % 256)
        if args[0] == "2":
            rgb = args[-3:] if len(args) >= 4 else []
            return tuple(min(255, int(v or 0)) for v in rgb) if len(rgb) == 3 else None
    except (IndexError, ValueError):
        pass
    return None


def apply_sgr(params, pen):
    groups = [g.split(":") for g in (params or "0").split(";")]
    i = 0
    while i < len(groups):
        group = groups[i]
        i += 1
        code = int(group[0]) if group[0].isdigit() else 0
        if code in (38, 48, 58):
            if len(group) > 1:
                args = group[1:]
            else:
                count = 2 if i < len(groups) and groups[i][0] == "5" else 4
                args = [g[0] for g in groups[i:i + count]]
                i += count
            colour = extended_colour(args)
            if code == 38:
                pen.fg = colour
            elif code == 48:
                pen.bg = colour
        elif code == 0:
            pen.reset()
        elif code == 1:
            pen.bold = True
        elif code == 2:
            pen.dim = True
        elif code == 22:
            pen.bold = pen.dim = False
        elif code == 4:
            pen.underline = group[1:] != ["0"]
        elif code == 24:
            pen.underline = False
        elif code == 7:
            pen.reverse = True
        elif code == 27:
            pen.reverse = False
        elif 30 <= code <= 37:
            pen.fg = PALETTE_16[code - 30]
        elif code == 39:
            pen.fg = None
        elif 40 <= code <= 47:
            pen.bg = PALETTE_16[code - 40]
        elif code == 49:
            pen.bg = None
        elif 90 <= code <= 97:
            pen.fg = PALETTE_16[code - 90 + 8]
        elif 100 <= code <= 107:
            pen.bg = PALETTE_16[code - 100 + 8]


def parse(capture):
    """The capture as rows of cells (text, pen state); a wide character's
    second cell is None. Attributes carry over from one line to the next, as
    tmux writes them only where they change."""
    pen = Pen()
    rows = []
    for line in capture.split("\n"):
        row, last = [], None
        for token in TOKEN.finditer(line):
            if token.group(0).startswith("\x1b"):
                if token.group(1) is not None:
                    apply_sgr(token.group(1), pen)
                continue
            for ch in token.group(0):
                if unicodedata.combining(ch) and last is not None:
                    text, state = row[last]
                    row[last] = (text + ch, state)
                elif ch >= " ":
                    last = len(row)
                    row.append((ch, pen.state()))
                    if unicodedata.east_asian_width(ch) in ("W", "F"):
                        row.append(None)
        rows.append(row)
    if rows and not rows[-1]:
        rows.pop()
    return rows


def colours(state):
    fg, bg, bold, dim, underline, reverse = state
    fg = fg or DEFAULT_FG
    bg = bg or DEFAULT_BG
    if reverse:
        fg, bg = bg, fg
    if dim:
        fg = tuple((f + b) // 2 for f, b in zip(fg, bg))
    return fg, bg


WEIGHTS = {"LIGHT": 1, "SINGLE": 1, "HEAVY": 2, "DOUBLE": 3}
ARMS = {"LEFT": "l", "RIGHT": "r", "UP": "u", "DOWN": "d", "HORIZONTAL": "lr", "VERTICAL": "ud"}
OPPOSITE = {"l": "r", "r": "l", "u": "d", "d": "u"}
SIDES = {"l": "ud", "r": "ud", "u": "lr", "d": "lr"}
TOWARDS = {"l": -1, "u": -1, "r": 1, "d": 1}


def box_arms(ch):
    """The arms of a box-drawing character, {"l": weight, ...} with 1 light, 2
    heavy, 3 double, read from its Unicode name ("BOX DRAWINGS DOWN SINGLE AND
    RIGHT DOUBLE"); dashes and arcs are drawn whole and square. None for a
    diagonal or any other character."""
    name = unicodedata.name(ch, "")
    if not name.startswith("BOX DRAWINGS ") or "DIAGONAL" in name:
        return None
    arms, weight = {}, None
    groups = re.sub(r"\b(DOUBLE|TRIPLE|QUADRUPLE) DASH\b|\bARC\b", "", name[13:]).split(" AND ")
    first = next(WEIGHTS[w] for g in groups for w in g.split() if w in WEIGHTS)
    for group in groups:
        words = group.split()
        # A group without a weight has the one before it ("LIGHT DOWN AND RIGHT").
        weight = next((WEIGHTS[w] for w in words if w in WEIGHTS), weight or first)
        for word in words:
            for arm in ARMS.get(word, ""):
                arms[arm] = weight
    return arms


def draw_box(draw, x0, y0, w, h, arms, fg):
    """Lines from the middle of the cell to its edges, so that neighbours join."""
    thin = max(1, round(w / 10))
    gap = 2 * thin  # a double line's rails, either side of the middle
    cx, cy = x0 + w // 2, y0 + h // 2

    def segment(arm, stop, across, thickness):
        lo, hi = across - (thickness - 1) // 2, across + thickness // 2
        if arm in "lr":
            edge = x0 if arm == "l" else x0 + w - 1
            draw.rectangle([min(edge, stop), lo, max(edge, stop), hi], fill=fg)
        else:
            edge = y0 if arm == "u" else y0 + h - 1
            draw.rectangle([lo, min(edge, stop), hi, max(edge, stop)], fill=fg)

    for arm, weight in arms.items():
        middle, across = (cx, cy) if arm in "lr" else (cy, cx)
        towards = TOWARDS[arm]
        if weight == 3:
            # Each rail stops where it meets a rail or line of the arm on its
            # side, runs through when the line goes straight on, and turns
            # the outer corner otherwise.
            for side in SIDES[arm]:
                beyond = OPPOSITE[side]
                if side in arms:
                    stop = middle + towards * (gap if arms[side] == 3 else 0)
                elif OPPOSITE[arm] in arms or beyond not in arms:
                    stop = middle
                else:
                    stop = middle - towards * (gap if arms[beyond] == 3 else 0)
                segment(arm, stop, across + TOWARDS[side] * gap, thin)
        else:
            crossing = [arms[side] for side in SIDES[arm] if side in arms]
            if 3 in crossing and OPPOSITE[arm] not in arms:
                stop = middle + towards * gap  # ends on the near rail
            else:
                stop = middle - towards * max([(thin if c == 1 else 3 * thin) // 2 for c in crossing if c != 3] or [0])
            segment(arm, stop, across, thin if weight == 1 else 3 * thin)


def block_eighths(ch):
    """The part of the cell a block element fills, in eighths (left, top,
    right, bottom); None for shades, quadrants and other characters."""
    code = ord(ch)
    if code == 0x2580:
        return (0, 0, 8, 4)
    if 0x2581 <= code <= 0x2588:
        return (0, 0x2588 - code, 8, 8)
    if 0x2589 <= code <= 0x258F:
        return (0, 0, 0x2590 - code, 8)
    return {0x2590: (4, 0, 8, 8), 0x2594: (0, 0, 8, 1), 0x2595: (7, 0, 8, 8)}.get(code)


def render(capture, columns=0, lines=0):
    rows = parse(capture)
    rows += [[] for _ in range(lines - len(rows))]
    regular = ImageFont.truetype(FONT_DIR + "DejaVuSansMono.ttf", FONT_SIZE)
    bold = ImageFont.truetype(FONT_DIR + "DejaVuSansMono-Bold.ttf", FONT_SIZE)
    ascent, descent = regular.getmetrics()
    width, height = round(regular.getlength("M")), ascent + descent
    columns = max([columns] + [len(r) for r in rows])
    image = Image.new("RGB", (2 * MARGIN + columns * width, 2 * MARGIN + len(rows) * height), DEFAULT_BG)
    draw = ImageDraw.Draw(image)
    cells = [(MARGIN + c * width, MARGIN + r * height, cell)
             for r, row in enumerate(rows) for c, cell in enumerate(row) if cell]
    # Backgrounds first: a glyph may reach a pixel into the next cell.
    for x, y, (text, state) in cells:
        span = 2 if unicodedata.east_asian_width(text[0]) in ("W", "F") else 1
        draw.rectangle([x, y, x + span * width - 1, y + height - 1], fill=colours(state)[1])
    # Lines and blocks are drawn, not taken from the font, whose glyphs are
    # a fraction of a pixel off the cell and would show seams.
    for x, y, (text, state) in cells:
        fg, _ = colours(state)
        arms, eighths = box_arms(text[0]), block_eighths(text[0])
        if arms:
            draw_box(draw, x, y, width, height, arms, fg)
        elif eighths:
            left, top, right, bottom = eighths
            draw.rectangle([x + width * left // 8, y + height * top // 8,
                            x + width * right // 8 - 1, y + height * bottom // 8 - 1], fill=fg)
        elif text != " ":
            draw.text((x, y), text, font=bold if state[2] else regular, fill=fg)
        if state[4]:
            draw.line([x, y + ascent + 1, x + width - 1, y + ascent + 1], fill=fg)
    return image


def self_check():
    """Renders a short capture whose every cell's look is known and checks a
    pixel of each; says what is wrong, returns whether all held. At 16 px a
    cell is 10 by 19 pixels, the baseline 15 down: cell (c, r) starts at
    (8 + 10c, 8 + 19r), its middle 5 across and 9 down."""
    image = render(
        "\x1b[41m \x1b[0m\x1b[7m \x1b[0m\x1b[38;5;196m\u2588\x1b[48;2;1;2;3m \x1b[0m"  # red, reverse, 196, direct
        "\x1b[2m\u2588\x1b[0m\x1b[4m \x1b[38:2::10:20:30m\u2588\x1b[0m\x1b[94m\u2588\x1b[44m\n"  # dim, _, colon, bright
        "\u2500\u2500\u2510\x1b[0m\n"  # in the colours carried over from the line above
        "\u2554\u2550\u2502\n"
        "\x1b[1mH\x1b[0mH\n"
    )

    def ink(col, row):
        return sum(1 for dx in range(10) for dy in range(19)
                   if image.getpixel((8 + 10 * col + dx, 8 + 19 * row + dy)) != (0, 0, 0))

    white, black, blue = (229, 229, 229), (0, 0, 0), (85, 85, 255)
    checks = [
        ("picture size", image.size, (96, 92)),
        ("8-colour background", image.getpixel((13, 17)), (170, 0, 0)),
        ("reverse of the defaults", image.getpixel((23, 17)), white),
        ("256-colour foreground", image.getpixel((33, 17)), (255, 0, 0)),
        ("direct background", image.getpixel((43, 17)), (1, 2, 3)),
        ("dim foreground", image.getpixel((53, 17)), (114, 114, 114)),
        ("underline under the baseline", [image.getpixel((63, y)) for y in (23, 24)], [black, white]),
        ("direct foreground, colon form", image.getpixel((73, 17)), (10, 20, 30)),
        ("bright foreground", image.getpixel((83, 17)), (85, 85, 255)),
        ("background carried to the next line", image.getpixel((9, 28)), (0, 0, 170)),
        ("horizontal lines meet", [image.getpixel((x, 36)) for x in (17, 18)], [blue, blue]),
        ("corner meets the line below", [image.getpixel((33, y)) for y in (45, 46)], [blue, white]),
        ("double corner: outer rail, gap, inner rail",
         [image.getpixel(xy) for xy in ((11, 53), (13, 55), (13, 57), (15, 57))], [white, black, black, white]),
        ("double lines meet", [image.getpixel((x, 53)) for x in (17, 18)], [white, white]),
        ("cells of a wide character and a combining accent", len(parse("\u6f22e\u0301x")[0]), 4),
        ("bold is heavier", ink(0, 3) > ink(1, 3), True),
    ]
    failed = [f"{name}: {got}, not {want}" for name, got, want in checks if got != want]
    for line in failed:
        print("terminal-png self-check FAILED:", line, file=sys.stderr)
    return not failed


def main(argv):
    if argv[1:] == ["--self-check"]:
        return 0 if self_check() else 1
    size = re.fullmatch(r"(\d+)x(\d+)", argv[3]) if len(argv) == 4 else None
    if len(argv) not in (3, 4) or (len(argv) == 4 and not size):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8", errors="replace") as f:
        capture = f.read()
    render(capture, *(int(n) for n in size.groups()) if size else ()).save(argv[2], optimize=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
