#!/usr/bin/env python3
"""The Windows build's cvimp.exe, run under Wine, against the Linux build's
cvimp on one design: `cvimp import` must write the same .glb byte for byte,
and the same host scene JSON once file names are made relative to the design
folder, with one kind of separator."""
import argparse
import json
import os
import subprocess
import sys


def run(command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({done.returncode}):\n{done.stdout}")
    return done.stdout


def relative_names(value, folders):
    """Every string naming a file under one of `folders` made relative to it."""
    if isinstance(value, dict):
        return {key: relative_names(item, folders) for key, item in value.items()}
    if isinstance(value, list):
        return [relative_names(item, folders) for item in value]
    if isinstance(value, str):
        name = value.replace("\\", "/")
        for folder in folders:
            if name.lower().startswith(folder.lower()):
                return name[len(folder):]
        return value
    return value


def main():
    parser = argparse.ArgumentParser()
    for option in ("--linux", "--windows", "--wine-run", "--wine-prefix", "--design", "--output"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    os.makedirs(args.output, exist_ok=True)
    scene = os.path.join(args.design, "vr.vrscene")
    linux_json, linux_glb = (os.path.join(args.output, "linux" + ext) for ext in (".json", ".glb"))
    windows_json, windows_glb = (os.path.join(args.output, "windows" + ext) for ext in (".json", ".glb"))

    run([args.linux, "import", scene, "-o", linux_json, "--gltf", linux_glb])

    wine = [args.wine_run, args.wine_prefix]
    windows_path = lambda path: run(wine + ["winepath", "-w", os.path.abspath(path)]).strip().splitlines()[-1]
    run(wine + [args.windows, "import", windows_path(scene), "-o", windows_path(windows_json), "--gltf",
                windows_path(windows_glb)])

    failures = []
    with open(linux_glb, "rb") as a, open(windows_glb, "rb") as b:
        linux_bytes, windows_bytes = a.read(), b.read()
    if linux_bytes != windows_bytes:
        at = next((i for i, (x, y) in enumerate(zip(linux_bytes, windows_bytes)) if x != y),
                  min(len(linux_bytes), len(windows_bytes)))
        failures.append(f".glb differs: {len(linux_bytes)} and {len(windows_bytes)} bytes, first at byte {at}")

    folders = [os.path.abspath(args.design).replace("\\", "/") + "/",
               windows_path(args.design).replace("\\", "/").rstrip("/") + "/"]
    with open(linux_json, encoding="utf-8") as a, open(windows_json, encoding="utf-8") as b:
        linux_scene = relative_names(json.load(a), folders)
        windows_scene = relative_names(json.load(b), folders)
    if linux_scene != windows_scene:
        left = json.dumps(linux_scene, indent=1, sort_keys=True).splitlines()
        right = json.dumps(windows_scene, indent=1, sort_keys=True).splitlines()
        line = next((i for i, (x, y) in enumerate(zip(left, right)) if x != y), min(len(left), len(right)))
        failures.append(f"scene JSON differs at line {line + 1}:\n  linux:   {left[line] if line < len(left) else ''}"
                        f"\n  windows: {right[line] if line < len(right) else ''}")

    if failures:
        sys.exit("\n".join(failures))
    print(f"same .glb ({len(linux_bytes)} bytes) and scene JSON from Linux and Windows")


if __name__ == "__main__":
    main()
