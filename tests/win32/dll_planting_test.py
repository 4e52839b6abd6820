#!/usr/bin/env python3
"""Plants a marker DLL under the name of every system library the program loads
that is not a KnownDLL, beside a probe that loads them the program's way, and
runs it under Wine: no marker may load. A first run loads the names plainly
(LoadLibraryW by name) and must see the markers, so the test can see a plant.

Wine is told to prefer a DLL found beside the program ("native") for these
names, as Windows does; otherwise its own built-in copies would always win.

usage: dll_planting_test.py WINE_RUN PROBE.exe PLANTED.dll
"""
import os
import shutil
import subprocess
import sys
import tempfile

# The libraries the program loads that are not KnownDLLs on every Windows it runs
# on. (Libraries that system DLLs import in turn are not planted: under Wine,
# made to prefer the planted copy, its own built-in DLLs would load them.)
NAMES = ["winmm.dll", "uxtheme.dll", "setupapi.dll"]


def run(wine_run, folder, probe, *args):
    env = dict(os.environ)
    overrides = ",".join(n[:-4] for n in NAMES) + "=n,b"
    env["WINEDLLOVERRIDES"] = overrides + (";" + env["WINEDLLOVERRIDES"] if env.get("WINEDLLOVERRIDES") else "")
    result = subprocess.run([wine_run, os.path.join(folder, probe), *args], cwd=folder, env=env,
                            capture_output=True, text=True, timeout=120)
    sys.stdout.write(result.stdout)
    loaded = sorted(n for n in NAMES if os.path.exists(os.path.join(folder, n + ".loaded")))
    for n in NAMES:
        marker = os.path.join(folder, n + ".loaded")
        if os.path.exists(marker):
            os.remove(marker)
    return result.returncode, loaded


def main():
    wine_run, probe, planted = sys.argv[1:4]
    with tempfile.TemporaryDirectory(prefix="trevasso-planted-") as folder:
        shutil.copy(probe, folder)
        for name in NAMES:
            shutil.copy(planted, os.path.join(folder, name))
        probe_name = os.path.basename(probe)

        code, loaded = run(wine_run, folder, probe_name, "--bare")
        if not loaded:
            print("FAIL: loaded by name, no planted DLL was seen: the test cannot see a plant")
            return 1
        print("by name, the planted copies load: " + ", ".join(loaded))

        code, loaded = run(wine_run, folder, probe_name)
        if code != 0:
            print("FAIL: the probe did not run (exit %d)" % code)
            return 1
        if loaded:
            print("FAIL: planted DLLs were loaded: " + ", ".join(loaded))
            return 1
        print("the program's way loads none of " + ", ".join(NAMES))
        return 0


if __name__ == "__main__":
    sys.exit(main())
