"""Renders the same 1920x1080 two-line card with inkslab and with ImageMagick (convert or magick),
alternating the two, and prints the median wall time, the median of the runs' peak resident
memory and the file size of each."""

import os
import statistics
import sys
import tempfile
import time

# The face each system's inkslab draws with, or the nearest one ImageMagick can open by path.
FONT_FILES = ["/usr/share/fonts/opentype/inter/Inter-Medium.otf",
              "/System/Library/Fonts/HelveticaNeue.ttc"]
FONT_FILE = next((f for f in FONT_FILES if os.path.exists(f)), FONT_FILES[0])
WIDTH, HEIGHT = 1920, 1080
BACKGROUND = "102030"
LINES = [("Breaking News", 96, "FFFFFF"), ("Stay tuned for more", 48, "FFCC00")]


def inkslab_command(program, out):
    args = [program, out, str(WIDTH), str(HEIGHT), BACKGROUND]
    for text, size, colour in LINES:
        args += [text, str(size), colour]
    return args


def convert_command(program, out):
    # Both lines centred as one block, as inkslab stacks them: offsets from the card's centre.
    heights = [1.3 * size for _, size, _ in LINES]
    top = -sum(heights) / 2
    args = [program, "-size", f"{WIDTH}x{HEIGHT}", f"xc:#{BACKGROUND}", "-font", FONT_FILE,
            "-gravity", "center"]
    for (text, size, colour), height in zip(LINES, heights):
        centre = top + height / 2
        args += ["-fill", f"#{colour}", "-pointsize", str(size),
                 "-annotate", f"+0{centre:+.0f}", text]
        top += height
    return args + [out]


def run_once(args):
    """Wall seconds and peak resident kilobytes of one run."""
    start = time.perf_counter()
    pid = os.posix_spawn(args[0], args, os.environ)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{args[0]} failed with status {os.waitstatus_to_exitcode(status)}")
    # macOS counts the peak in bytes, Linux in kilobytes.
    return elapsed, usage.ru_maxrss // 1024 if sys.platform == "darwin" else usage.ru_maxrss


def main():
    inkslab = sys.argv[1]
    convert = sys.argv[2] if len(sys.argv) > 2 else "/usr/bin/convert"
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 21
    results = {"inkslab": ([], []), "convert": ([], [])}
    with tempfile.TemporaryDirectory() as folder:
        outputs = {"inkslab": os.path.join(folder, "inkslab.png"),
                   "convert": os.path.join(folder, "convert.png")}
        commands = {"inkslab": inkslab_command(inkslab, outputs["inkslab"]),
                    "convert": convert_command(convert, outputs["convert"])}
        for name in commands:  # one warm-up each: fonts and programs in the page cache
            run_once(commands[name])
        for i in range(runs):
            order = ["inkslab", "convert"] if i % 2 == 0 else ["convert", "inkslab"]
            for name in order:
                wall, rss = run_once(commands[name])
                results[name][0].append(wall)
                results[name][1].append(rss)
        sizes = {name: os.path.getsize(path) for name, path in outputs.items()}
    print(f"1920x1080 two-line card, {runs} alternating runs each (medians of wall time and of peak RSS; file size)")
    medians = {}
    for name, (walls, rsses) in results.items():
        medians[name] = (statistics.median(walls) * 1000, statistics.median(rsses) / 1024)
        print(f"  {name:8} {medians[name][0]:7.1f} ms  {medians[name][1]:6.1f} MiB"
              f"  {sizes[name]:8d} bytes")
    print(f"  inkslab/convert: wall {medians['inkslab'][0] / medians['convert'][0]:.2f}"
          f"  memory {medians['inkslab'][1] / medians['convert'][1]:.2f}"
          f"  size {sizes['inkslab'] / sizes['convert']:.2f}"
          "  (goal: at most 0.20, 0.50, 2.00)")


if __name__ == "__main__":
    main()
