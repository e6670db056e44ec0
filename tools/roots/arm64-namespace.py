#!/usr/bin/env python3
"""Runs a command where arm64 Linux programs run.

The command gets a user namespace of its own with a binfmt_misc of its own, which hands
aarch64 executables to qemu-aarch64-static; the machine's own binfmt_misc is never touched.
The namespace maps the IDs 0-65535 onto themselves, so files made inside keep their owners
(the reason this is not `unshare --map-root-user`, which maps one ID only).
Usage: arm64-namespace.py COMMAND [ARGS...]   (as root)
"""
import ctypes
import os
import sys

CLONE_NEWNS = 0x00020000
CLONE_NEWUSER = 0x10000000
EMULATOR = "/usr/bin/qemu-aarch64-static"
MAGIC = r"\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00"
MASK = r"\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
# F opens the emulator at registration, so it also runs inside a changed root.
RULE = f":qemu-aarch64:M::{MAGIC}:{MASK}:{EMULATOR}:FP"
# The processor emulated: an ARMv8.2 core without branch target identification. With it (qemu's
# default, "max"), the pages of a library built for it are guarded, and Wine's Unix side,
# which is, faults where its PE side jumps into its dispatchers without a landing pad.
PROCESSOR = "cortex-a76"
BINFMT = "/proc/sys/fs/binfmt_misc"


def child(ready_write, go_read):
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0:
        raise OSError(ctypes.get_errno(), "unshare")
    os.write(ready_write, b"u")
    if os.read(go_read, 1) != b"g":
        os._exit(125)
    if os.system(f"mount --make-rprivate / && mount -t binfmt_misc binfmt_misc {BINFMT}"):
        os._exit(125)
    with open(f"{BINFMT}/register", "w") as register:
        register.write(RULE)
    os.environ["QEMU_CPU"] = PROCESSOR
    os.execvp(sys.argv[1], sys.argv[1:])


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    ready_read, ready_write = os.pipe()
    go_read, go_write = os.pipe()
    pid = os.fork()
    if pid == 0:
        try:
            child(ready_write, go_read)
        finally:
            os._exit(125)
    if os.read(ready_read, 1) != b"u":
        sys.exit("arm64-namespace: the namespace could not be made")
    for name in ("uid_map", "gid_map"):
        with open(f"/proc/{pid}/{name}", "w") as mapping:
            mapping.write("0 0 65536\n")
    os.write(go_write, b"g")
    _, status = os.waitpid(pid, 0)
    sys.exit(os.waitstatus_to_exitcode(status))


if __name__ == "__main__":
    main()
