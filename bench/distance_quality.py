#!/usr/bin/env python3
"""The phased and the plain colour distance side by side: every bundled
picture encoded in its modes (0, 1, 2 for 320x200, 3 for 416x229) with
dithering 0, 2 and 3 and both --distance values; the plain picture file and
its diffused twin measured against the source by brenvik-view --compare
(PSNR, seen PSNR, SSIM) and the encoder's processor time.

    bench/distance_quality.py [--bin=build/bin] [--jobs=N] [--quality=N]
                              [--extra="--pixpal=3"] [--runs=FILE.tsv]

Prints one line per run (or writes them to --runs), then the means over the
photos per setting, both distances and their difference (plain minus phased;
CPU as a ratio), then the same for the flat-colour drawing. Encoders run one
thread each (--threads=1), --jobs of them at a time (default: one per core),
so the processor times are comparable. Python standard library only.
"""

import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.realpath(__file__))
SAMPLES = os.path.join(HERE, "..", "samples")

# (file, kind): the bundled photos, the project's own photos and the drawing.
PICTURES = [
    ("chelsea_320x200.bmp", "photo"),
    ("astronaut_320x200.bmp", "photo"),
    ("coffee_320x200.bmp", "photo"),
    ("rocket_320x200.bmp", "photo"),
    ("retina_320x200.bmp", "photo"),
    ("ihc_320x200.bmp", "photo"),
    ("drawing_320x200.bmp", "drawing"),
    ("astronaut_416x229.bmp", "photo"),
    ("coffee_416x229.bmp", "photo"),
    ("rocket_416x229.bmp", "photo"),
    ("retina_416x229.bmp", "photo"),
    ("ihc_416x229.bmp", "photo"),
    ("drawing_416x229.bmp", "drawing"),
]
MODES_BY_SIZE = {"320x200": [0, 1, 2], "416x229": [3]}
DITHERS = [0, 2, 3]
DISTANCES = ["phased", "plain"]
FIGURES = ["psnr", "seen_psnr", "ssim"]
COMPARE = re.compile(r"^psnr=(\S+) weighted=\S+ seen_psnr=(\S+) ssim=(\S+)$")


def encode_and_measure(tools, work, picture, mode, dither, distance, quality, extra):
    """One encoding: (cpu seconds, {file: {figure: value}})."""
    folder = tempfile.mkdtemp(dir=work)
    shutil.copyfile(os.path.join(SAMPLES, picture), os.path.join(folder, picture))
    command = [tools["brenvik"], f"-{quality}", f"--mode={mode}", f"--dither={dither}",
               f"--distance={distance}", "--threads=1"] + extra + [picture]
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(command, cwd=folder, stdout=sink, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(process.pid, 0)
        message = process.stderr.read().decode(errors="replace")
        process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(" ".join(command) + ": " + message.strip())
    stem = os.path.splitext(picture)[0]
    figures = {}
    for kind, name in (("plain", stem + ".bVK"), ("diffused", "F" + stem + ".bVK")):
        view = subprocess.run([tools["brenvik-view"], os.path.join(folder, name), f"--mode={mode}",
                               "-o", os.path.join(folder, kind + ".png"),
                               "--compare=" + os.path.join(folder, picture)] +
                              [o for o in extra if o.startswith(("--pixpal=", "--blockoflines=",
                                                                 "--shiftpixels="))],
                              capture_output=True, text=True, check=True)
        match = COMPARE.match(view.stdout.strip())
        if not match:
            raise RuntimeError(f"brenvik-view: {view.stdout.strip()}")
        figures[kind] = dict(zip(FIGURES, (float(v) for v in match.groups())))
    shutil.rmtree(folder)
    return usage.ru_utime + usage.ru_stime, figures


def mean(values):
    return sum(values) / len(values) if values else float("nan")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", default=os.path.join(HERE, "..", "build", "bin"))
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--quality", type=int, default=3)
    parser.add_argument("--extra", default="", help="more encoder options, such as --pixpal=3")
    parser.add_argument("--runs", help="write the per-run lines to this file")
    args = parser.parse_args(argv)
    tools = {name: os.path.abspath(os.path.join(args.bin, name)) for name in ("brenvik", "brenvik-view")}
    extra = args.extra.split()

    runs = []
    for picture, kind in PICTURES:
        size = picture.rsplit("_", 1)[1].split(".")[0]
        for mode in MODES_BY_SIZE[size]:
            for dither in DITHERS:
                for distance in DISTANCES:
                    runs.append((picture, kind, mode, dither, distance))
    work = tempfile.mkdtemp(prefix="distance-quality.")
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            futures = [pool.submit(encode_and_measure, tools, work, r[0], r[2], r[3], r[4],
                                   args.quality, extra) for r in runs]
            results = [f.result() for f in futures]
    finally:
        shutil.rmtree(work, ignore_errors=True)

    lines = ["picture\tmode\tdither\tdistance\tcpu_s\t" +
             "\t".join(f"{k}_{f}" for k in ("plain", "diffused") for f in FIGURES)]
    for (picture, _, mode, dither, distance), (cpu, figures) in zip(runs, results):
        lines.append(f"{picture}\t{mode}\t{dither}\t{distance}\t{cpu:.3f}\t" + "\t".join(
            f"{figures[k][f]:.4f}" for k in ("plain", "diffused") for f in FIGURES))
    if args.runs:
        with open(args.runs, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
    else:
        print("\n".join(lines) + "\n")

    options = f"-{args.quality} {args.extra}".strip()
    for kind, title in (("photo", "photos"), ("drawing", "the flat-colour drawing")):
        print(f"Means over {title} ({options}); plain file | diffused twin: "
              "PSNR, seen PSNR, SSIM; CPU seconds per encoding")
        print("| mode | dither | distance | PSNR | seen PSNR | SSIM | F PSNR | F seen PSNR | "
              "F SSIM | CPU s |")
        print("|---|---|---|---|---|---|---|---|---|---|")
        for mode in (0, 1, 2, 3):
            for dither in DITHERS:
                rows = {}
                for distance in DISTANCES:
                    chosen = [res for run, res in zip(runs, results)
                              if run[1] == kind and run[2] == mode and run[3] == dither
                              and run[4] == distance]
                    if not chosen:
                        continue
                    rows[distance] = ([mean([r[1][k][f] for r in chosen])
                                       for k in ("plain", "diffused") for f in FIGURES],
                                      mean([r[0] for r in chosen]), len(chosen))
                if len(rows) != 2:
                    continue
                for distance in DISTANCES:
                    values, cpu, _ = rows[distance]
                    cells = [f"{v:.2f}" if i % 3 != 2 else f"{v:.4f}"
                             for i, v in enumerate(values)]
                    print(f"| {mode} | {dither} | {distance} | " + " | ".join(cells) +
                          f" | {cpu:.2f} |")
                (old, old_cpu, _), (new, new_cpu, count) = rows["phased"], rows["plain"]
                cells = [f"{b - a:+.2f}" if i % 3 != 2 else f"{b - a:+.4f}"
                         for i, (a, b) in enumerate(zip(old, new))]
                ratio = new_cpu / old_cpu if old_cpu > 0 else float("nan")
                print(f"| {mode} | {dither} | plain - phased ({count}) | " + " | ".join(cells) +
                      f" | {ratio:.2f}x |")
        print()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
