#!/usr/bin/env bash
# How fast vektool.exe reads videos through Media Foundation under Wine, next to ffmpeg on the
# same machine, for the same clips, measured in one run: source frames decoded per second by
# `vektool.exe pack` without ffmpeg (Wine, GStreamer decoding) and by the native `vektool pack`
# through ffmpeg, both at --level 1 on one job so that compression weighs little, with ffmpeg's
# bare decoding (-f null) beside them and the ratios. A pack of a one-frame clip is taken off
# each as the fixed cost of starting (Wine's start, Media Foundation's set-up and the half second
# that works around Wine's shutdown crash).
#
#   scripts/bench-video-windows.sh [SECONDS]     (default 10 s clips)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-10}
cmake --build build/native -j "${NOCTIVA_JOBS:-2}" --target vektool >/dev/null
cmake --build build/windows -j "${NOCTIVA_JOBS:-2}" --target vektool >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 640x360 1280x720; do
  for length in 1 "$seconds"; do
    frames=$([[ $length == 1 ]] && echo 1 || echo $((length * 30)))
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=size=$size:rate=30" -frames:v "$frames" \
      -c:v libx264 -pix_fmt yuv420p "$work/clip-$size-$length.mp4"
  done
done
scripts/vdesk.sh -- python3 - "$root" "$work" "$seconds" <<'PY'
import os, subprocess, sys, time
root, work, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
native = os.path.join(root, "build/native/bin/vektool")
exe = os.path.join(root, "build/windows/bin/vektool.exe")
wine = ["wine"]

def timed(command, env=None):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=env)
    return time.perf_counter() - start

def best(command, runs=3):
    return min(timed(command) for _ in range(runs))

wine_env = dict(os.environ, WINEPATH="")
print("%-9s %-34s %9s" % ("clip", "reader", "frames/s"))
for size in ("640x360", "1280x720"):
    clip = lambda length: os.path.join(work, "clip-%s-%d.mp4" % (size, length))
    frames = seconds * 30
    out = os.path.join(work, "out.bin")
    readers = {
        "Media Foundation (vektool.exe, Wine)":
            lambda c: wine + [exe, "pack", "-o", out, "--level", "1", "--jobs", "1", c],
        "ffmpeg (native vektool)":
            lambda c: [native, "pack", "-o", out, "--level", "1", "--jobs", "1", c],
        "ffmpeg alone (-f null)":
            lambda c: ["ffmpeg", "-nostdin", "-loglevel", "error", "-i", c, "-f", "null", "-"],
    }
    rates = {}
    for name, command in readers.items():
        fixed = best(command(clip(1)))
        whole = best(command(clip(seconds)))
        rates[name] = frames / max(whole - fixed, 1e-6)
        print("%-9s %-34s %9.0f" % (size, name, rates[name]))
    mf = rates["Media Foundation (vektool.exe, Wine)"]
    print("%-9s Media Foundation / ffmpeg pack: %.2f; / ffmpeg alone: %.2f" % (
        size, mf / rates["ffmpeg (native vektool)"], mf / rates["ffmpeg alone (-f null)"]))
PY
