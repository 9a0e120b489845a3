#!/usr/bin/python3
"""The sample's paint done by a host compositing with Pillow, beside PaintPrt.

Both paint the sample in the main-job configuration (codes 500, every garden
option, badge asked for, background 224) into a 1024 x 768 destination, in
one process, one paint each in turn. Prints the ratio of the two times
(Pillow over the library) with its median and spread, and the pixels where
the two pictures differ, with the reason.

The placed pieces (template, position, size, bitmap) and the drawn rectangle
come from `piecepaint render --explain`; each template's substitution list,
flags and transparent index, and the catalogue's key index and effects, from
the description the module is built from (samples/house.json); the pixels
from the module's <id>.bin resources. All of that is read once, before any
timing: a host would hold its pieces preloaded.

Usage: /usr/bin/python3 bench/peers/pillow_paint.py [--build DIR] [--compare DIR]
           [--recording] [--rounds N]
"""
import argparse
import ctypes
import json
import pathlib
import re
import statistics
import struct
import subprocess
import sys
import tempfile
import time

try:
    import numpy as np
    from PIL import Image
except ImportError as error:
    sys.exit(f"pillow_paint: {error}; install python3-pil and python3-numpy and run "
             "/usr/bin/python3")

ROOT = pathlib.Path(__file__).resolve().parents[2]
WIDTH, HEIGHT = 1024, 768
BACKGROUND = 224
CODES = [500]
OPTIONS = ROOT / "samples/options/everything.json"
DESCRIPTION = ROOT / "samples/house.json"
HEADER_BYTES = 40 + 1024  # BITMAPINFOHEADER and a 256-entry colour table
YELLOW = (255, 255, 0)
IDENTITY = list(range(256))
RESTORE_BACKGROUND = [BACKGROUND if v == 255 else v for v in range(256)]

PIECE_LINE = re.compile(r"template (\d+) \(code \d+\): at (-?\d+), (-?\d+), size (\d+) x (\d+), "
                        r"bitmap (\d+)( \(aux\))?, drawOrder -?\d+(, late)?")
DRAWN_LINE = re.compile(
    r"Planned picture: (\d+) x (\d+) at (-?\d+), (-?\d+)(, enlarged|, natural)")
CHOSEN_LINE = re.compile(r"Chosen level \d+, picture (\d+) x (\d+), attention (\w+)")
# The tool names the layout's attention codes.
ATTENTION = {"none": 30000, "yellow": 30002, "red": 30004}


def fail(message):
    sys.exit(f"pillow_paint: {message}")


def stride(width):
    return (width + 3) & ~3


class OptionRecord(ctypes.Structure):
    _fields_ = [("bits0", ctypes.c_uint32), ("bits1", ctypes.c_uint32),
                ("bits2", ctypes.c_uint32), ("singleCode", ctypes.c_uint16),
                ("codeList", ctypes.POINTER(ctypes.c_uint16)), ("selector1", ctypes.c_uint16),
                ("selector2", ctypes.c_uint16), ("extraFlag", ctypes.c_int16)]


def option_record(fields):
    """The packed words of the option fields the sample's options use."""
    record = OptionRecord()
    for name, value in fields.items():
        if name == "comment":
            continue
        if name[0] == "F" and int(name[1:]) < 6:
            record.bits0 |= value << (14 + 3 * int(name[1:]))
        elif name[0] == "P":
            record.bits0 |= value << (8 - 2 * int(name[1:]))
        elif name == "M0":
            record.bits0 |= value << 12
        else:
            fail(f"{OPTIONS}: field {name} is not handled here")
    return record


def explain(build):
    """Placed pieces, picture size, drawn rectangle and attention, from the tool."""
    tool = build / "tools/piecepaint/piecepaint"
    command = [str(tool), "render", "--module", str(build / "samples/house"), "--aux",
               str(build / "samples/house-aux"), "--codes", ",".join(map(str, CODES)),
               "--options", str(OPTIONS), "--badge", "--background", str(BACKGROUND),
               "--dest", f"0,0,{WIDTH},{HEIGHT}", "--explain"]
    # The tool always writes its picture; keep it out of the caller's folder.
    with tempfile.TemporaryDirectory() as scratch:
        command += ["-o", str(pathlib.Path(scratch) / "picture.png")]
        text = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    pieces = [(int(m[1]), int(m[2]), int(m[3]), int(m[4]), int(m[5]), int(m[6]), bool(m[7]),
               bool(m[8])) for m in PIECE_LINE.finditer(text)]
    drawn, chosen = DRAWN_LINE.search(text), CHOSEN_LINE.search(text)
    if not pieces or not drawn or not chosen:
        fail("unexpected `render --explain` output:\n" + text)
    width, height, attention = chosen.groups()
    attention = ATTENTION[attention] if attention in ATTENTION else int(attention)
    return pieces, (int(width), int(height), attention), tuple(map(int, drawn.groups()[:4]))


def piece_pixels(data, flags, width, height):
    """(width, height, offset in the resource) of the rows a piece draws from."""
    bitmap_width, bitmap_height = struct.unpack_from("<ii", data, 4)
    if not flags & 0x0C:
        return bitmap_width, bitmap_height, HEADER_BYTES
    # Variants: entry k is the piece k pixels smaller along its variable axis.
    if flags & 0x04:
        k = max(bitmap_width - width, 0)
        _, _, height, offset = struct.unpack_from("<HHHH", data, HEADER_BYTES + 8 * k)
    else:
        k = max(bitmap_height - height, 0)
        _, width, _, offset = struct.unpack_from("<HHHH", data, HEADER_BYTES + 8 * k)
    return width, height, HEADER_BYTES + offset


class Piece:
    def __init__(self, build, line, template, key):
        index, self.x, self.y, width, height, bitmap, aux, self.late = line
        flags = int(template.get("pieceFlags", "0"), 16)
        if self.late != bool(flags & 0x0E):
            fail(f"template {index}: the description and the tool disagree on its pass")
        path = build / "samples" / ("house-aux" if aux else "house") / f"{bitmap}.bin"
        data = path.read_bytes()
        self.palette = data[40:HEADER_BYTES]
        width, height, offset = piece_pixels(data, flags, width, height)
        rows = stride(width)
        if offset + rows * height > len(data):
            fail(f"{path}: {len(data)} bytes do not hold {width} x {height} pixels")
        pixels = np.frombuffer(data, np.uint8, rows * height, offset).reshape(height, rows)
        # Rows stay bottom-up, as in the picture buffer; the picture turns over at the end.
        self.image = Image.fromarray(np.ascontiguousarray(pixels[:, :width]), "L").convert("P")
        keep = {key}
        self.lut = list(range(256))
        no_replacement = template.get("transparentIndex") if flags & 0x40 else None
        for source, target in zip(template.get("mapFrom", []), template.get("mapTo", [])):
            if source == target:
                break
            if source in keep or self.lut[source] != source:
                continue  # the first pair for a value decides
            if target == no_replacement:
                keep.add(source)
            self.lut[source] = target
        self.mask = self.image.point([0 if v in keep else 255 for v in range(256)], "L")

    def paste(self, picture):
        image = self.image if self.lut == IDENTITY else self.image.point(self.lut)
        picture.paste(image, (self.x, self.y), self.mask)


def filter_picture(picture, t, background):
    """The effect filter: edge weight -t, centre 4t + 5, divisor 5, not beside the background."""
    m = np.asarray(picture)
    if m.ndim != 2 or abs(t) > 3:
        fail("the filter is written for one byte a pixel and strengths -3 to 3")
    # 16 bits hold (4t + 5) x 255 + 4 |t| x 255 for |t| <= 3.
    w = m.astype(np.int16)
    inner = w[1:-1, 1:-1]
    is_background = m == background
    near_background = np.zeros(inner.shape, dtype=bool)
    for dy in (0, 1, 2):
        for dx in (0, 1, 2):
            near_background |= is_background[dy:dy + inner.shape[0], dx:dx + inner.shape[1]]
    total = (4 * t + 5) * inner - t * (w[:-2, 1:-1] + w[2:, 1:-1] + w[1:-1, :-2] + w[1:-1, 2:])
    value = np.abs(total) // 5 * np.sign(total)  # the division truncates toward zero
    np.clip(value, 0, 254, out=value)
    value -= (value < 14) & (value & 1 == 1)
    out = m.copy()
    out[1:-1, 1:-1] = np.where(near_background, inner, value)
    return Image.fromarray(out, "L").convert("P")


class PillowPaint:
    def __init__(self, build, pieces, picture_size, drawn, attention):
        description = json.loads(DESCRIPTION.read_text())
        catalogue = description["catalogue"]
        if catalogue["bitsPerPixel"] != 8 or catalogue["colorCount"] != 256:
            fail(f"{DESCRIPTION}: the peer paints 8-bit, 256-colour catalogues only")
        flags = int(catalogue["paintFlags"], 16)
        templates = catalogue["templates"]
        self.pieces = [Piece(build, line, templates[line[0]], catalogue["keyIndex"])
                       for line in pieces]
        table = self.pieces[0].palette  # blue, green, red, 0 per entry
        self.palette = [c for i in range(256) for c in table[4 * i:4 * i + 3][::-1]]
        self.size, self.drawn = picture_size, drawn
        enlarged = drawn[0] > picture_size[0]
        self.strength = catalogue["filterStrength"][2 if enlarged else 1] if flags & 0x04 else 0
        self.frame = attention in (30002, 30003)
        if drawn[0] < picture_size[0] or attention not in (30002, 30003) or not flags & 0x01:
            fail("the sample's paint is no longer enlarged with a yellow frame and smoothing; "
                 "bench/peers/pillow_paint.py paints only that case")

    def paint(self):
        picture = Image.new("P", self.size, 255)  # composition uses 255 as the background
        for piece in self.pieces:
            if not piece.late:
                piece.paste(picture)
        if self.strength:
            picture = filter_picture(picture, self.strength, 255)
        picture = picture.point(RESTORE_BACKGROUND)
        for piece in self.pieces:
            if piece.late:
                piece.paste(picture)
        picture.putpalette(self.palette)
        rgb = picture.convert("RGB").transpose(Image.Transpose.FLIP_TOP_BOTTOM)
        width, height, x, y = self.drawn
        surface = Image.new("RGB", (WIDTH, HEIGHT), (BACKGROUND,) * 3)
        if self.frame:
            for box in ((0, 0, WIDTH, 4), (0, HEIGHT - 4, WIDTH, HEIGHT), (0, 0, 4, HEIGHT),
                        (WIDTH - 4, 0, WIDTH, HEIGHT)):
                surface.paste(YELLOW, box)
        surface.paste(rgb.resize((width, height), Image.Resampling.NEAREST), (x, y))
        return surface, picture


class LibraryPaint:
    def __init__(self, library, build, recording):
        lib = ctypes.CDLL(str(library))  # local symbols: two builds can be loaded side by side
        lib.ppOpenModule.restype = ctypes.c_void_p
        lib.ppOpenModule.argtypes = [ctypes.c_char_p]
        lib.ppCreateDC.restype = ctypes.c_void_p
        lib.ppCreateDC.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int]
        lib.ppDeleteDC.argtypes = [ctypes.c_void_p]
        lib.ppDCSetLogging.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.ppDCClearLog.argtypes = [ctypes.c_void_p]
        lib.ppGdiSetLogging.argtypes = [ctypes.c_int]
        lib.ppDCPixels.restype = ctypes.POINTER(ctypes.c_uint32)
        lib.ppDCPixels.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                   ctypes.POINTER(ctypes.c_int)]
        lib.PaintPrt.argtypes = ([ctypes.c_void_p] * 3 + [ctypes.c_int] * 9 +
                                 [ctypes.POINTER(OptionRecord)] + [ctypes.c_int] * 2 +
                                 [ctypes.POINTER(ctypes.c_uint16)])
        self.lib = lib
        self.module = lib.ppOpenModule(str(build / "samples/house").encode())
        self.aux = lib.ppOpenModule(str(build / "samples/house-aux").encode())
        if not self.module or not self.aux:
            fail(f"cannot open the sample's modules in {build / 'samples'}")
        self.hdc = lib.ppCreateDC(0, WIDTH, HEIGHT)  # true colour
        # A new device context records its calls; a host that does not read them turns that off.
        self.recording = recording
        lib.ppDCSetLogging(self.hdc, int(recording))
        lib.ppGdiSetLogging(int(recording))
        self.options = option_record(json.loads(OPTIONS.read_text()))
        self.codes = (ctypes.c_uint16 * (len(CODES) + 1))(*CODES, 0)

    def paint(self):
        result = self.lib.PaintPrt(self.hdc, self.module, self.aux, 0, 0, WIDTH, HEIGHT, WIDTH,
                                   HEIGHT, 1, 0, 0, ctypes.byref(self.options), BACKGROUND, 0,
                                   self.codes)
        width, height = ctypes.c_int(), ctypes.c_int()
        pixels = self.lib.ppDCPixels(self.hdc, ctypes.byref(width), ctypes.byref(height))
        if result != 0:
            fail(f"PaintPrt returned {result}")
        if self.recording:  # the log would otherwise grow by one paint's calls each time
            self.lib.ppDCClearLog(self.hdc)
            self.lib.ppGdiClearLog()
        return pixels

    def surface(self):
        pixels = self.paint()
        words = np.ctypeslib.as_array(pixels, (HEIGHT, WIDTH)).copy()
        return np.stack([(words >> 16) & 255, (words >> 8) & 255, words & 255], -1).astype(np.uint8)


def differences(library, pillow, picture, drawn):
    """Differing pixels by cause: another source column or row of the same picture, or smoothing."""
    ours = np.asarray(pillow)
    differ = np.any(library != ours, -1)
    width, height, x0, y0 = drawn
    source = np.asarray(picture.convert("RGB").transpose(Image.Transpose.FLIP_TOP_BOTTOM))
    index = np.asarray(picture)[::-1]
    causes = {"a neighbouring source column or row (a tie)": 0, "smoothing": 0, "unexplained": 0}
    columns = set()
    for y, x in zip(*np.nonzero(differ)):
        sx = (x - x0) * source.shape[1] // width if x0 <= x < x0 + width else -1
        sy = (y - y0) * source.shape[0] // height if y0 <= y < y0 + height else -1
        if sx < 0 or sy < 0:
            causes["unexplained"] += 1
            continue
        # Pillow samples at the pixel centre; this is the left edge's source pixel.
        near = [(sy, sx), (sy, sx + 1), (sy + 1, sx)]
        if any(v < source.shape[0] and u < source.shape[1] and
               (source[v, u] == library[y, x]).all() for v, u in near):
            causes["a neighbouring source column or row (a tie)"] += 1
            columns.add(int(x))
        elif (index[max(sy - 1, 0):sy + 2, max(sx - 1, 0):sx + 2] == BACKGROUND).any():
            causes["smoothing"] += 1
        else:
            causes["unexplained"] += 1
    return int(differ.sum()), causes, sorted(columns)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(ROOT / "build-bench"), type=pathlib.Path,
                        help="build directory with libpiecepaint.so, the tool and the sample")
    parser.add_argument("--compare", type=pathlib.Path, metavar="DIR",
                        help="another build's directory: its libpiecepaint.so paints in the "
                             "same rounds, on the same sample")
    parser.add_argument("--recording", action="store_true",
                        help="leave the device contexts' call recording on, as they are created")
    parser.add_argument("--rounds", default=50, type=int, help="paints of each, alternating")
    args = parser.parse_args()
    needs = {"the shared library": args.build / "libpiecepaint.so",
             "the piecepaint tool": args.build / "tools/piecepaint/piecepaint",
             "the sample module": args.build / "samples/house/999.bin",
             "the sample's aux module": args.build / "samples/house-aux"}
    if args.compare:
        needs["the library to compare"] = args.compare / "libpiecepaint.so"
    for what, path in needs.items():
        if not path.exists():
            fail(f"{what} is missing ({path}); build the targets piecepaint, piecepaint_tool "
                 f"and pp_sample")
    if args.rounds < 3:
        fail("--rounds: at least 3")

    pieces, chosen, drawn = explain(args.build)
    pillow = PillowPaint(args.build, pieces, chosen[:2], drawn, chosen[2])
    libraries = {"library": LibraryPaint(needs["the shared library"], args.build,
                                         args.recording)}
    if args.compare:
        libraries["compared"] = LibraryPaint(needs["the library to compare"], args.build,
                                            args.recording)
    for _ in range(3):  # warm all: the library's buffers, Pillow's code paths
        for library in libraries.values():
            library.paint()
        pillow.paint()

    times = {name: [] for name in [*libraries, "Pillow"]}
    for _ in range(args.rounds):
        for name, library in libraries.items():
            start = time.perf_counter()
            library.paint()
            times[name].append(time.perf_counter() - start)
        start = time.perf_counter()
        pillow.paint()
        times["Pillow"].append(time.perf_counter() - start)

    print(f"sample paint at {WIDTH} x {HEIGHT}: picture {chosen[0]} x {chosen[1]} drawn "
          f"{drawn[0]} x {drawn[1]} at {drawn[2]}, {drawn[3]}; {len(pieces)} pieces; "
          f"{args.rounds} rounds, each painter once a round in turn; recording "
          f"{'on' if args.recording else 'off'}")
    for name, spent in times.items():
        print(f"{name:8} median {statistics.median(spent) * 1e6:8.0f} us, fastest "
              f"{min(spent) * 1e6:8.0f} us")
    for name in libraries:
        ratios = [p / o for p, o in zip(times["Pillow"], times[name])]
        quartiles = statistics.quantiles(ratios, n=4)
        print(f"Pillow / {name}: median {statistics.median(ratios):.2f}, quartiles "
              f"{quartiles[0]:.2f} to {quartiles[2]:.2f}, range {min(ratios):.2f} to "
              f"{max(ratios):.2f}; fastest over fastest "
              f"{min(times['Pillow']) / min(times[name]):.2f}")

    surface, picture = pillow.paint()
    failed = False
    for name, library in libraries.items():
        count, causes, columns = differences(library.surface(), surface, picture, drawn)
        print(f"pixels where {name} and Pillow differ: {count} of {WIDTH * HEIGHT}")
        for cause, n in causes.items():
            print(f"  {n:6d}  {cause}")
        if columns:
            print(f"  tie pixels in destination columns {columns[:8]}"
                  f"{' ...' if len(columns) > 8 else ''}")
        failed |= causes["unexplained"] > 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
