#!/usr/bin/env python3
"""Checks a release's bill of materials against the rules of CycloneDX 1.5's JSON schema
(bom-1.5.schema.json and spdx.schema.json, as CycloneDX publishes them) for the
parts it uses, and against what it must say: every binary with its hash and the toolchain
components it carries, each of those carried by some binary, the files of the release, and each
package's contents as the package itself holds them.

usage: sbom-check.py BOM RELEASE-DIR
"""
import hashlib
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools",
                                "release"))
import carried  # noqa: E402
import package_contents  # noqa: E402

TOP = {"$schema", "bomFormat", "specVersion", "serialNumber", "version", "metadata",
       "components", "services", "externalReferences", "dependencies", "compositions",
       "vulnerabilities", "annotations", "formulation", "properties", "signature"}
METADATA = {"timestamp", "lifecycles", "tools", "authors", "component", "manufacture",
            "supplier", "licenses", "properties"}
COMPONENT = {"type", "mime-type", "bom-ref", "supplier", "author", "publisher", "group", "name",
             "version", "description", "scope", "hashes", "licenses", "copyright", "cpe", "purl",
             "swid", "modified", "pedigree", "externalReferences", "components", "evidence",
             "releaseNotes", "modelCard", "data", "properties", "signature"}
TYPES = {"application", "framework", "library", "container", "platform", "operating-system",
         "device", "device-driver", "firmware", "file", "machine-learning-model", "data"}
HASH_LENGTHS = {"MD5": 32, "SHA-1": 40, "SHA-256": 64, "SHA-384": 96, "SHA-512": 128,
                "SHA3-256": 64, "SHA3-384": 96, "SHA3-512": 128, "BLAKE2b-256": 64,
                "BLAKE2b-384": 96, "BLAKE2b-512": 128, "BLAKE3": None}
HASH_CONTENT = re.compile(r"^([a-fA-F0-9]{32}|[a-fA-F0-9]{40}|[a-fA-F0-9]{64}|[a-fA-F0-9]{96}"
                          r"|[a-fA-F0-9]{128})$")
SERIAL = re.compile(r"^urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
DATE_TIME = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d+)?(Z|[+-]\d{2}:\d{2})$")
# The SPDX identifiers an expression here may use: each is in spdx.schema.json's list.
SPDX = {"MIT", "ZPL-2.1", "BSD-3-Clause", "ISC", "dtoa", "GPL-3.0-or-later", "Apache-2.0",
        "Zlib", "CPL-1.0", "GCC-exception-3.1", "LLVM-exception", "LZMA-exception"}

problems = []


def need(condition, what):
    if not condition:
        problems.append(what)


def check_licences(licences, where):
    need(isinstance(licences, list) and licences, where + ": licenses is a non-empty array")
    if any("expression" in choice for choice in licences):
        need(len(licences) == 1 and set(licences[0]) <= {"expression", "bom-ref"},
             where + ": an expression stands alone")
        words = re.split(r"[\s()]+", licences[0]["expression"])
        for word in words:
            need(word in SPDX or word in {"AND", "OR", "WITH", ""},
                 f"{where}: {word!r} is not an SPDX identifier")
        return
    for choice in licences:
        licence = choice.get("license", {})
        need(set(choice) == {"license"} and (("id" in licence) != ("name" in licence)),
             where + ": a licence has an id or a name")


def check_component(entry, refs, where="component"):
    where = f"{where} {entry.get('bom-ref', entry.get('name'))}"
    need(set(entry) <= COMPONENT, f"{where}: only the schema's properties")
    need(entry.get("type") in TYPES, f"{where}: type {entry.get('type')!r}")
    need(isinstance(entry.get("name"), str) and entry["name"], where + ": a name")
    ref = entry.get("bom-ref")
    if ref is not None:
        need(isinstance(ref, str) and ref and not ref.startswith("urn:cdx:"), where + ": bom-ref")
        need(ref not in refs, f"{where}: bom-ref {ref!r} is unique")
        refs.add(ref)
    for digest in entry.get("hashes", []):
        need(set(digest) == {"alg", "content"}, where + ": a hash has alg and content only")
        need(digest.get("alg") in HASH_LENGTHS, f"{where}: hash algorithm {digest.get('alg')!r}")
        content = digest.get("content", "")
        need(bool(HASH_CONTENT.match(content)), where + ": hash content")
        length = HASH_LENGTHS.get(digest.get("alg"))
        need(length is None or len(content) == length, where + ": hash length for its algorithm")
    if "licenses" in entry:
        check_licences(entry["licenses"], where)
    for inner in entry.get("components", []):
        check_component(inner, refs, where)


def check_schema(bom):
    refs = set()
    need(set(bom) <= TOP, "only the schema's top-level properties")
    need(bom.get("bomFormat") == "CycloneDX", "bomFormat")
    need(bom.get("specVersion") == "1.5", "specVersion")
    need(bool(SERIAL.match(bom.get("serialNumber", ""))), "serialNumber is an RFC 4122 URN")
    need(isinstance(bom.get("version"), int) and bom["version"] >= 1, "version")
    metadata = bom.get("metadata", {})
    need(set(metadata) <= METADATA, "only the schema's metadata properties")
    need(bool(DATE_TIME.match(metadata.get("timestamp", ""))), "metadata timestamp")
    if "component" in metadata:
        check_component(metadata["component"], refs, "metadata component")
    for entry in bom.get("components", []):
        check_component(entry, refs)
    seen = set()
    for dependency in bom.get("dependencies", []):
        ref = dependency.get("ref")
        need(set(dependency) <= {"ref", "dependsOn"}, f"dependency {ref}: ref and dependsOn only")
        need(ref in refs, f"dependency {ref!r} names a component")
        need(ref not in seen, f"dependency {ref!r} once")
        seen.add(ref)
        targets = dependency.get("dependsOn", [])
        need(len(targets) == len(set(targets)), f"dependency {ref}: dependsOn unique")
        for target in targets:
            need(target in refs, f"dependency {ref} -> {target!r} names a component")


def check_content(bom, release):
    components = {entry["bom-ref"]: entry for entry in bom.get("components", [])}
    depends = {d["ref"]: d.get("dependsOn", []) for d in bom.get("dependencies", [])}
    binaries = [ref for ref in components if re.match(r"^(x86|x64|arm64)/", ref)]
    need(len(binaries) == 12, f"the twelve binaries ({len(binaries)})")
    toolchain = {ref for ref in components if re.match(r"^(gnu|zig)/", ref)}
    for ref in binaries:
        need(components[ref].get("hashes"), ref + " has its hash")
        need(set(depends.get(ref, [])) & toolchain, ref + " carries its toolchain's runtime")
    carried = {target for ref in binaries for target in depends.get(ref, [])}
    need(toolchain <= carried, f"components no binary carries: {sorted(toolchain - carried)}")
    for name in sorted(os.listdir(release)):
        if name.endswith((".exe", ".msix", ".msi", "-policy-templates.zip")):
            with open(os.path.join(release, name), "rb") as data:
                digest = hashlib.sha256(data.read()).hexdigest()
            hashes = components.get(name, {}).get("hashes", [{}])
            need(hashes[0].get("content") == digest, name + " is listed with its hash")


def runtimes(data):
    """The GNU runtime components NSIS's code (no link map) carries, as refs."""
    return {f"gnu/{name}" for name in carried.in_code(data)} if data.startswith(b"MZ") else set()


def check_packages(bom, release):
    """Each package's listing is what it holds: a file that is a listed binary or release file
    is among its dependencies, any other a component inside it with its hash, and nothing more;
    the setup program and the code inside it depend on the runtimes their code carries."""
    components = {entry["bom-ref"]: entry for entry in bom.get("components", [])}
    depends = {d["ref"]: set(d.get("dependsOn", [])) for d in bom.get("dependencies", [])}
    by_hash = {entry["hashes"][0]["content"]: ref for ref, entry in components.items()
               if entry.get("hashes")}
    for name in sorted(os.listdir(release)):
        path = os.path.join(release, name)
        contents = package_contents.contents(path)
        if not contents:
            continue
        held = {inside: hashlib.sha256(data).hexdigest() for inside, data in contents.items()}
        own = set()
        if name.endswith("-setup.exe"):
            with open(path, "rb") as data:
                own = {"nsis"} | runtimes(data.read())
        inner = {entry["name"]: entry.get("hashes", [{}])[0].get("content")
                 for entry in components.get(name, {}).get("components", [])}
        refs = {by_hash[digest] for digest in held.values() if digest in by_hash}
        others = {path: digest for path, digest in held.items() if digest not in by_hash}
        need(refs | own == depends.get(name, set()),
             f"{name} holds {sorted(refs | own)}, listed {sorted(depends.get(name, []))}")
        need(others == inner, f"{name}: its other files, listed as they are held")
        for inside in others:
            carries = runtimes(contents[inside])
            need(carries == depends.get(f"{name}/{inside}", set()),
                 f"{name}/{inside} carries {sorted(carries)}, listed "
                 f"{sorted(depends.get(name + '/' + inside, []))}")
        arch = re.search(r"-(x86|x64|arm64)\.msi$", name)
        if arch:
            sets = {"x86": {"x86"}, "x64": {"x64", "x86"}}[arch.group(1)]
            need(all(ref.split("/")[0] in sets for ref in refs if "/" in ref),
                 f"{name} holds only the binaries of {sorted(sets)}")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as source:
        bom = json.load(source)
    check_schema(bom)
    check_content(bom, sys.argv[2])
    check_packages(bom, sys.argv[2])
    for problem in problems:
        print("sbom:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
