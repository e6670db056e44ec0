"""What of the toolchains' runtimes a shipped binary carries, read from its link map (FILE.map
beside it: GNU ld's for x86 and x64, lld's for ARM64, see cmake/zig-link-map.py), or for NSIS's
code, which comes with no map, from the code itself (in_code). The one home of that answer, for
the notices, the bill of materials and their checks.

Our own objects are the inputs the build tree names relatively; every input named by an
absolute path is a toolchain's, and belongs to exactly one component below, or the binary
carries something that no notice covers (Unclassified).
"""
import collections
import functools
import glob
import os
import re

# GNU toolchain (Debian's mingw-w64 packages): components by the file an input came from.
GCC_ARCHIVES = {"libgcc.a", "libgcc_eh.a", "libstdc++.a", "libsupc++.a", "crtbegin.o", "crtend.o"}
MINGW_LIBRARY = re.compile(r"/(i686|x86_64)-w64-mingw32/lib/[^/]+$")
# winpthreads' objects, inside libpthread.a (libwinpthread_la-<source>.o).
WINPTHREADS_MEMBER = "libwinpthread"
# Zig (ARM64): objects are named after their sources, looked up in Zig's own source trees.
ZIG_TREES = [  # the first that holds a source of the object's name wins
    ("gdtoa", "lib/libc/mingw/gdtoa"),
    ("libunwind", "lib/libunwind/src"),
    ("libc++abi", "lib/libcxxabi/src"),
    ("libc++", "lib/libcxx/src"),
    ("mingw-w64", "lib/libc/mingw"),
]
ZIG_RUNTIME = "compiler_rt"
# Objects Zig names after what they become: mingw-w64's crtexe.c and crtdll.c.
ZIG_RENAMED = {"crt2": "mingw-w64", "dllcrt2": "mingw-w64"}


# GCC leaves its ident in every object it compiles. Debian built its mingw-w64 runtime with
# another GCC than the cross compiler installed beside it, so an ident that the runtime's
# libraries hold and GCC's own do not marks one object of the runtime; x86 GCC's crtbegin.o
# names the DLL it asks for an unwinder, and that name marks it.
IDENT = re.compile(rb"GCC: \([^)\x00]*\) [\x20-\x7e]+")
UNWINDER_DLL = re.compile(rb"libgcc_s_[\w-]+\.dll")


class Unclassified(Exception):
    pass


def inputs(map_text):
    """The inputs a map names: archive members as "archive(member)", objects as paths."""
    if map_text.startswith("Address "):  # lld: "<address> <size> <align> <in>:(<section>)"
        return set(re.findall(r"^\S+ +\S+ +\S+ +(\S.*?):\(", map_text, re.M))
    found = set(re.findall(r"^(\S+\.a\([^)]+\))", map_text, re.M))  # archive members included
    found |= {path for path in re.findall(r"^LOAD (\S+)$", map_text, re.M)
              if not path.endswith(".a")}
    return found


@functools.lru_cache(None)
def zig_sources(zig_root):
    """Zig's source stems by component, in ZIG_TREES's order."""
    trees = []
    for component, tree in ZIG_TREES:
        stems = set()
        for _, _, files in os.walk(os.path.join(zig_root, tree)):
            stems |= {os.path.splitext(name)[0] for name in files}
        trees.append((component, frozenset(stems)))
    return tuple(trees)


def component_of(path, trees):
    """The component an input with an absolute path belongs to."""
    archive, _, member = path.partition("(")
    name = os.path.basename(archive)
    if name in GCC_ARCHIVES:
        return "GCC runtime"
    if MINGW_LIBRARY.search(os.path.normpath(archive)):
        return "winpthreads" if member.startswith(WINPTHREADS_MEMBER) else "mingw-w64"
    stem = os.path.basename(member.rstrip(")") or archive)
    stem = stem[:-len(".obj")] if stem.endswith(".obj") else stem
    if stem.split(".")[0] == ZIG_RUNTIME:
        return "Zig compiler runtime"
    if trees is not None and stem in ZIG_RENAMED:
        return ZIG_RENAMED[stem]
    for component, stems in trees or []:
        if stem in stems:
            return component
    raise Unclassified(path)


def carried(map_path, zig_root=None):
    """The toolchain components the binary of a map carries."""
    with open(map_path, encoding="utf-8", errors="replace") as source:
        text = source.read()
    trees = zig_sources(zig_root) if zig_root and text.startswith("Address ") else None
    return {component_of(path, trees) for path in inputs(text) if path.startswith("/")}


def sources(map_path):
    """The source stems of the toolchain objects the binary of a GNU ld map carries: an archive
    member lib64_libmingwex_a-getopt.o or libwinpthread_la-cond.o was built from getopt.c or
    cond.c. The evidence by which a notice of one source file is shown or left out."""
    with open(map_path, encoding="utf-8", errors="replace") as source:
        text = source.read()
    stems = set()
    for path in inputs(text):
        member = path.partition("(")[2].rstrip(")")
        if path.startswith("/") and member:
            stems.add(os.path.splitext(member)[0].rpartition("-")[2])
    return stems


def _read(path):
    with open(path, "rb") as data:
        return data.read()


@functools.lru_cache(None)
def _marks(triplet):
    """The idents only the runtime's objects carry, and the names only crtbegin.o holds."""
    runtime, compiler, unwinders = set(), set(), set()
    for path in glob.glob(f"/usr/{triplet}/lib/*.[ao]"):
        runtime.update(IDENT.findall(_read(path)))
    for path in glob.glob(f"/usr/lib/gcc/{triplet}/*/*.[ao]"):
        data = _read(path)
        compiler.update(IDENT.findall(data))
        if os.path.basename(path) == "crtbegin.o":
            unwinders.update(UNWINDER_DLL.findall(data))
    if not runtime - compiler:
        raise Unclassified(f"{triplet}: the runtime's objects cannot be told from GCC's own")
    return frozenset(runtime - compiler), frozenset(unwinders)


def in_code(data, triplet="i686-w64-mingw32"):
    """{component: how many of its objects} that a binary built by Debian's mingw-w64 GCC
    without a link map carries, by the marks its code holds."""
    only_runtime, unwinders = _marks(triplet)
    idents = collections.Counter(IDENT.findall(data))
    found = {}
    runtime = sum(count for ident, count in idents.items() if ident in only_runtime)
    if runtime:
        found["mingw-w64"] = runtime
    if any(name in data for name in unwinders):
        found["GCC runtime"] = 1
    return found
