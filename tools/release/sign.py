#!/usr/bin/env python3
"""Signs a file that ships (a PE file, the Windows 11 package or a Windows Installer package)
with osslsigncode, SHA-256.

    sign.py FILE [OUTPUT]     signs FILE in place, or into OUTPUT

The certificate comes from the environment, never from a command line:
  LANTERWELL_SIGNING_PFX            the PKCS#12 file; unset or empty: nothing is signed (FILE is
                                    only copied to OUTPUT) and the exit code is 0
  LANTERWELL_SIGNING_PASSWORD_FILE  a file holding its password
  LANTERWELL_TIMESTAMP_URL          an RFC 3161 timestamp server, when the signer wants one
  SOURCE_DATE_EPOCH                 the release's time, which every signature states
                                    (unset: the commit's, as source-of says)

A signature states the release's time, never the clock's: two signings of one file with one
certificate give the same bytes. A timestamp from a server (the only thing that then differs)
is added only when asked for. The Windows 11 package's signature is a zip entry, and a
Windows Installer package's a stream of its compound file, whose times osslsigncode takes from
the local clock: those are signed under a clock stopped at the release's time, in UTC.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time


def signing_enabled():
    return bool(os.environ.get("LANTERWELL_SIGNING_PFX"))


def release_time():
    """The release's time, as source-of beside this script says."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "source-of")
    return subprocess.run(["sh", script, "epoch"], check=True, capture_output=True,
                          text=True).stdout.strip()


def sign(path, output):
    if not signing_enabled():
        if output != path:
            shutil.copyfile(path, output)
        return
    command = ["osslsigncode", "sign", "-pkcs12", os.environ["LANTERWELL_SIGNING_PFX"],
               "-readpass", os.environ.get("LANTERWELL_SIGNING_PASSWORD_FILE", os.devnull),
               "-h", "sha256"]
    timestamp = os.environ.get("LANTERWELL_TIMESTAMP_URL")
    epoch = release_time()
    if timestamp:
        command += ["-ts", timestamp]
    else:
        command += ["-time", epoch]
    environment = None
    if path.lower().endswith((".msix", ".msi")):
        stopped = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(int(epoch)))
        command = ["faketime", "-f", stopped] + command
        environment = dict(os.environ, TZ="UTC")
    # osslsigncode writes a new file; signed over the old one only once it is whole.
    folder = os.path.dirname(os.path.abspath(output))
    handle, scratch = tempfile.mkstemp(dir=folder, suffix=os.path.splitext(output)[1])
    os.close(handle)
    os.remove(scratch)
    # The signed file keeps the unsigned one's time: a setup program stores the files' times.
    unsigned = os.stat(path)
    try:
        subprocess.run(command + ["-in", path, "-out", scratch], check=True,
                       stdout=subprocess.DEVNULL, env=environment)
        os.utime(scratch, ns=(unsigned.st_atime_ns, unsigned.st_mtime_ns))
        os.replace(scratch, output)
    finally:
        if os.path.exists(scratch):
            os.remove(scratch)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    try:
        sign(sys.argv[1], sys.argv[-1])
    except (OSError, subprocess.CalledProcessError) as error:
        sys.exit("sign: %s: %s" % (sys.argv[1], error))


if __name__ == "__main__":
    main()
