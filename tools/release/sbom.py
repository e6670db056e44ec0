#!/usr/bin/env python3
"""Writes the release's bill of materials, CycloneDX 1.5 in JSON: the files the release
ships, the binaries (as packed, signed when the release is), the toolchains' components each
binary carries (its link map, carried.py) and NSIS's (and what of the runtimes NSIS's own code
carries, read from it), with their versions, licences (SPDX; the
texts are in THIRD-PARTY-NOTICES.txt) and what depends on what. Each package's contents are
read from the package itself (package_contents.py): a file that is one of the binaries or of the
release's files is a dependency on it, any other a component inside the package's, with its
hash. The same release gives the same bytes.

usage: sbom.py --release DIR --stage DIR --zig DIR --map ARCH=FILE.map... --version V
               --commit SHA --epoch SECONDS --output FILE
"""
import argparse
import functools
import hashlib
import json
import os
import subprocess
import sys
import time
import uuid

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import carried  # noqa: E402
import package_contents  # noqa: E402

# Each toolchain component: its name, the Debian package (or "zig") whose version it has, its
# licences as an SPDX expression.
GNU = {
    # The licences of the stanzas THIRD-PARTY-NOTICES.txt shows for each, by the link maps.
    "mingw-w64": ("mingw-w64 runtime", "mingw-w64-common", "ZPL-2.1 AND dtoa"),
    "winpthreads": ("winpthreads (mingw-w64's POSIX threads)", "mingw-w64-common",
                    "MIT AND BSD-3-Clause"),
    "GCC runtime": ("GCC runtime libraries (libgcc, libstdc++)", "gcc-mingw-w64-base",
                    "GPL-3.0-or-later WITH GCC-exception-3.1"),
}
ZIG = {
    "Zig compiler runtime": ("Zig compiler runtime (compiler_rt)", "zig", "MIT"),
    "mingw-w64": ("mingw-w64 runtime", "zig", "ZPL-2.1"),
    "gdtoa": ("gdtoa (mingw-w64's number formatting)", "zig", "dtoa"),
    "libc++": ("libc++", "zig", "Apache-2.0 WITH LLVM-exception"),
    "libc++abi": ("libc++abi", "zig", "Apache-2.0 WITH LLVM-exception"),
    "libunwind": ("libunwind", "zig", "Apache-2.0 WITH LLVM-exception"),
}
NSIS = ("NSIS (stub, zlib, LZMA decoder, plug-ins)", "nsis",
        "Zlib AND CPL-1.0 WITH LZMA-exception AND MIT")
BINARY_TYPES = {".dll": "library", ".exe": "application"}
# NSIS's own parts inside the setup program: its plug-ins, its registry tool, its wizard image.
NSIS_PARTS = ("$PLUGINSDIR/", "$R2/NSIS.", "$_59_/$R2/NSIS.")


# The release's files that ship: programs, packages and the Group Policy templates.
SHIPPED = (".exe", ".msix", ".msi", "-policy-templates.zip")


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


@functools.lru_cache(None)
def package_version(package, zig):
    if package == "zig":
        with open(os.path.join(zig, "package.json"), encoding="utf-8") as manifest:
            return json.load(manifest)["version"]
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True,
                          capture_output=True, text=True).stdout


def component(kind, ref, name, version, path=None, licence=None):
    entry = {"type": kind, "bom-ref": ref, "name": name, "version": version}
    if path:
        entry["hashes"] = [{"alg": "SHA-256", "content": sha256(path)}]
    if licence:
        entry["licenses"] = [{"expression": licence}]
    return entry


def gnu_component(third, name, zig):
    """The ref of a GNU runtime component, added to `third` where it is new."""
    title, package, licence = GNU[name]
    ref = f"gnu/{name}"
    third[ref] = component("library", ref, title, package_version(package, zig), None, licence)
    return ref


def held(package, path, known, version, third, zig):
    """What a package holds: the refs of the known files in it, a component for each other
    file, and what of the GNU runtimes each of those carries (NSIS's code, which has no link
    map: carried.in_code)."""
    refs, inner, carrying = [], [], {}
    for name, data in sorted(package_contents.contents(path).items()):
        digest = hashlib.sha256(data).hexdigest()
        if digest in known:
            refs.append(known[digest])
            continue
        runtimes = carried.in_code(data) if data.startswith(b"MZ") else {}
        if runtimes:
            carrying[f"{package}/{name}"] = [gnu_component(third, runtime, zig)
                                             for runtime in sorted(runtimes)]
        ours = not name.startswith(NSIS_PARTS)
        entry = {"type": BINARY_TYPES.get(os.path.splitext(name)[1].lower(), "file"),
                 "bom-ref": f"{package}/{name}", "name": name,
                 "version": version if ours else third["nsis"]["version"],
                 "hashes": [{"alg": "SHA-256", "content": digest}]}
        if not ours:
            entry["licenses"] = [{"expression": NSIS[2]}]
        inner.append(entry)
    return sorted(set(refs)), inner, carrying


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("release", "stage", "zig", "version", "commit", "epoch", "output"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--map", action="append", required=True)
    options = parser.parse_args()
    components, dependencies, third = [], {}, {}
    binaries = []
    for arch, map_path in (pair.split("=", 1) for pair in options.map):
        name = os.path.basename(map_path)[:-len(".map")]
        ref = f"{arch}/{name}"
        components.append(component(BINARY_TYPES[os.path.splitext(name)[1].lower()], ref, name,
                                    options.version, os.path.join(options.stage, arch, name),
                                    "MIT"))
        refs = []
        for carried_component in sorted(carried.carried(map_path, options.zig)):
            if arch != "arm64":
                refs.append(gnu_component(third, carried_component, options.zig))
                continue
            title, package, licence = ZIG[carried_component]
            third_ref = f"zig/{carried_component}"
            third[third_ref] = component("library", third_ref, title,
                                         package_version(package, options.zig), None, licence)
            refs.append(third_ref)
        dependencies[ref] = refs
        binaries.append(ref)
    third["nsis"] = component("library", "nsis", NSIS[0], package_version(NSIS[1], options.zig),
                              None, NSIS[2])
    shipped = sorted(name for name in os.listdir(options.release) if name.endswith(SHIPPED))
    known = {sha256(os.path.join(options.stage, *ref.split("/"))): ref for ref in binaries}
    known.update((sha256(os.path.join(options.release, name)), name) for name in shipped)
    for name in shipped:
        kind = "application" if name.endswith(".exe") else "file"
        path = os.path.join(options.release, name)
        entry = component(kind, name, name, options.version, path)
        refs, inner, carrying = held(name, path, known, options.version, third, options.zig)
        if inner:
            entry["components"] = inner
        components.append(entry)
        dependencies.update(carrying)
        # The setup program is NSIS's stub too, with the runtime the stub carries.
        if name.endswith("-setup.exe"):
            with open(path, "rb") as data:
                refs += ["nsis"] + [gnu_component(third, runtime, options.zig)
                                    for runtime in sorted(carried.in_code(data.read()))]
        dependencies[name] = refs
    dependencies["lanterwell"] = shipped
    components += [third[ref] for ref in sorted(third)]
    for ref in third:
        dependencies[ref] = []
    setup = next(name for name in shipped if name.endswith("-setup.exe"))
    serial = uuid.uuid5(uuid.NAMESPACE_URL, "lanterwell:%s:%s:%s" % (
        options.version, options.commit, sha256(os.path.join(options.release, setup))))
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": "urn:uuid:%s" % serial,
        "version": 1,
        "metadata": {
            "timestamp": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(options.epoch))),
            "component": component("application", "lanterwell", "Lanterwell", options.version,
                                   None, "MIT"),
        },
        "components": components,
        "dependencies": [{"ref": ref, "dependsOn": refs}
                         for ref, refs in sorted(dependencies.items())],
    }
    with open(options.output, "w", encoding="utf-8", newline="\n") as output:
        json.dump(bom, output, indent=2, sort_keys=False)
        output.write("\n")


if __name__ == "__main__":
    main()
