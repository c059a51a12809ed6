#!/usr/bin/env python3
"""Peak memory of `vektool pack` against the length of the clip, measured in one run.

usage: measure_pack_memory.py VEKTOOL [--ci]

Default: ffmpeg's test pattern encoded as H.264 clips of 10 s and 60 s at 640 x 360 and of
3 minutes at 1280 x 720, each packed from the file as a user would (vektool starts ffmpeg).
--ci: 10 s and 60 s at 640 x 360 sent as grey YUV4MPEG2 on vektool's standard input at
--level 1, which is quick; exits 1 when the 60 s clip peaks above 1.25 times the 10 s one.

"vektool" is the high-water mark of vektool's own resident memory (VmHWM, read every 20 ms
while it runs); "with ffmpeg" is the largest of vektool and the ffmpeg it started.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

LIMIT = 1.25


def pattern(size, seconds):
    return ["-f", "lavfi", "-i", "testsrc2=size=%s:rate=30:duration=%d" % (size, seconds)]


def high_water_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def run_pack(command, stdin=None):
    """Runs vektool pack: (its own peak in MB, the peak of it and its children in MB)."""
    process = subprocess.Popen(command, stdin=stdin, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    own = 0
    while True:
        own = max(own, high_water_kb(process.pid))
        finished, status, usage = os.wait4(process.pid, os.WNOHANG)
        if finished:
            break
        time.sleep(0.02)
    process.returncode = os.waitstatus_to_exitcode(status)
    error = process.stderr.read().decode()
    if process.returncode != 0:
        sys.exit("measure_pack_memory.py: %s failed: %s" % (" ".join(command), error))
    return own / 1024, max(own, usage.ru_maxrss) / 1024, error.strip().splitlines()[-1]


def measure_files(vektool, work):
    clips = [("10 s 640x360", "640x360", 10), ("60 s 640x360", "640x360", 60),
             ("3 min 1280x720", "1280x720", 180)]
    results = []
    for label, size, seconds in clips:
        clip = os.path.join(work, "clip-%s-%d.mp4" % (size, seconds))
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *pattern(size, seconds),
                        "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", clip],
                       check=True)
        own, total, summary = run_pack([vektool, "pack", "-o", os.path.join(work, "out.vek"),
                                        clip])
        results.append((label, own, total, summary))
    return results


def measure_streams(vektool, work):
    results = []
    for label, seconds in [("10 s 640x360", 10), ("60 s 640x360", 60)]:
        source = subprocess.Popen(["ffmpeg", "-nostdin", "-v", "error", *pattern("640x360", seconds),
                                   "-pix_fmt", "gray", "-f", "yuv4mpegpipe", "-"],
                                  stdout=subprocess.PIPE)
        own, total, summary = run_pack([vektool, "pack", "-o", os.path.join(work, "out.vek"),
                                        "--level", "1", "-"], stdin=source.stdout)
        source.stdout.close()
        source.wait()
        # ffmpeg is not vektool's child here, and the peak that wait4 gives counts Python's
        # own memory from before the exec.
        results.append((label, own, None, summary))
    return results


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] != "--ci"):
        sys.exit(__doc__.strip().splitlines()[2])
    if not shutil.which("ffmpeg"):
        sys.exit("measure_pack_memory.py: needs ffmpeg")
    vektool, ci = os.path.abspath(sys.argv[1]), len(sys.argv) == 3
    work = tempfile.mkdtemp(prefix="pack-memory-")
    try:
        results = (measure_streams if ci else measure_files)(vektool, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    base = results[0][1]
    print("%-16s %12s %16s %10s" % ("clip", "vektool MB", "with ffmpeg MB", "vs 10 s"))
    for label, own, total, summary in results:
        print("%-16s %12.1f %16s %9.2fx   %s" % (label, own, "-" if total is None else
                                                "%.1f" % total, own / base,
                                                summary.split(": ", 3)[-1]))
    ratio = results[1][1] / base
    print("60 s against 10 s: %.2fx (at most %.2fx)" % (ratio, LIMIT))
    if ratio > LIMIT:
        sys.exit(1)


if __name__ == "__main__":
    main()
