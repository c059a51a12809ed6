"""What the Python tests of vektool.exe share: running a Windows program under Wine (the runner
comes from NOCTIVA_VEKTOOL_RUNNER), the native vektool and ffmpeg beside it, and reading back
an archive's frames."""

import os
import subprocess


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env(**extra):
    # No Windows PATH of Wine's may lead to an ffmpeg.exe; arguments are UTF-8 on the Unix side.
    env = dict(os.environ, WINEPATH="", **extra)
    if "UTF-8" not in env.get("LANG", ""):
        env["LANG"] = "C.UTF-8"
    return env


def run_exe(exe, *args, cwd=None, **env):
    """Exit status, standard output and standard error of a Windows program run under Wine."""
    runner = os.environ.get("NOCTIVA_VEKTOOL_RUNNER", "").split()
    result = subprocess.run(runner + [exe] + [str(a) for a in args], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
                            env=wine_env(**env), cwd=cwd)
    return (result.returncode, result.stdout.decode("utf-8", "replace"),
            result.stderr.decode("utf-8", "replace"))


def run_native(native_vektool, *args):
    return subprocess.run([native_vektool] + [str(a) for a in args], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, check=True, timeout=120)


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"] +
                   [str(a) for a in args], check=True, timeout=60)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def archive_frames(native_vektool, archive):
    """The archive's size and each frame's grey bytes, through the native vektool."""
    lines = run_native(native_vektool, "info", archive).stdout.decode().splitlines()
    info = dict(line.split(": ", 1) for line in lines)
    size = int(info["width"]) * int(info["height"])
    frames = [run_native(native_vektool, "dump", archive, n).stdout[-size:]
              for n in range(int(info["frames"]))]
    return (int(info["width"]), int(info["height"])), frames
