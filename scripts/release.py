#!/usr/bin/env python3
"""Packs the release zip: the program, its clipboard saver and its sounds, the
simulated engine clearly labelled, its control tool, commented sample settings
in the code page Chinese Windows uses, the user guides, and the administrative
templates (policies/).

    release.py [--build-dir DIR] [--out DIR] [--installer]
    release.py --sign FILE

The binaries are taken from DIR/bin (default: build-release, made first by
scripts/release.sh) and stripped of debugging information. With --installer
the same files also go into the setup program, Norza-<version>-setup.exe,
built with NSIS (makensis) from installer/Norza.nsi, and a winget manifest
describes it; a Scoop manifest describes the zip. Prints the paths it wrote.

With NORZA_SIGN_PFX (a PKCS#12 file; NORZA_SIGN_PASSWORD its password,
NORZA_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server) every executable is
signed with Authenticode SHA-256 by osslsigncode: the program, its clipboard
saver, the engine stand-in, scanctl, the uninstaller and the setup program. NORZA_RELEASE_URL
is the address the files are published under, for the manifests.
"""
import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import zipfile

import manifests

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
VERSION = "4.3"
FOLDER = "Norza-%s" % VERSION
PROGRAMS = ("Norza.exe", "NorzaClip.exe", "vistrel.dll", "scanctl.exe")
# Made by scripts/make_sounds.py in the build; the program plays them from its folder.
SOUNDS = ("typed.wav", "not_typed.wav", "duplicate.wav")
# Made by scripts/make_guide.py in the build; Help opens them from the program's folder.
GUIDES = ("USER-GUIDE.html", "USER-GUIDE-zh.html")
# Where the manifests say the files are until NORZA_RELEASE_URL names the real place.
PLACEHOLDER_URL = "https://example.com/norza/%s" % VERSION

SIMULATOR_NOTE = """\
vistrel.dll 是扫码引擎的模拟器，用于在没有扫码器时试用 Norza（用 scanctl.exe 控制）。
请用扫码器厂家提供的 vistrel.dll 替换它。

vistrel.dll in this folder is a SIMULATOR of the scanning engine, for trying
Norza without a scanner (drive it with scanctl.exe). Replace it with the
vistrel.dll that came with your scanner.
"""


def windows_text(text, encoding):
    """CR LF line ends; a byte-order mark for UTF-8 so Notepad knows it."""
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode(encoding)
    return (b"\xef\xbb\xbf" + data) if encoding == "utf-8" else data


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def guide(path):
    """A user guide as plain text, without its pictures, which it cannot show,
    nor the names its headings have in the HTML page."""
    return "".join(re.sub(r" \{#[\w-]+\}$", "", line) for line in read(path).splitlines(True)
                   if not line.startswith("!["))


def signing():
    """True when the release is to be signed; says so in one line when not."""
    if os.environ.get("NORZA_SIGN_PFX"):
        return True
    print("release: NORZA_SIGN_PFX is not set: the release is not signed", file=sys.stderr)
    return False


def sign(path):
    """Signs an executable in place with the certificate of NORZA_SIGN_PFX."""
    command = ["osslsigncode", "sign", "-pkcs12", os.environ["NORZA_SIGN_PFX"],
               "-h", "sha256", "-n", "Norza"]
    if os.environ.get("NORZA_SIGN_TIMESTAMP_URL"):
        command += ["-ts", os.environ["NORZA_SIGN_TIMESTAMP_URL"]]
    with tempfile.TemporaryDirectory() as scratch:
        password = os.environ.get("NORZA_SIGN_PASSWORD", "")
        if password:
            # From a file in a private folder: a command line is public.
            secret = os.path.join(scratch, "password")
            with open(secret, "w") as f:
                f.write(password)
            command += ["-readpass", secret]
        signed = os.path.join(scratch, "signed")
        subprocess.run(command + ["-in", path, "-out", signed], check=True, stdout=sys.stderr)
        shutil.copyfile(signed, path)


def release_url():
    return (os.environ.get("NORZA_RELEASE_URL") or PLACEHOLDER_URL).rstrip("/")


def package(build_dir, out_dir, installer=False):
    signed = signing()
    staging = tempfile.mkdtemp()
    try:
        folder = os.path.join(staging, FOLDER)
        os.makedirs(folder)
        for name in PROGRAMS:
            shutil.copy2(os.path.join(build_dir, "bin", name), folder)
            subprocess.run(["i686-w64-mingw32-strip", os.path.join(folder, name)], check=True)
            if signed:
                sign(os.path.join(folder, name))
        for name in SOUNDS + GUIDES:
            shutil.copy2(os.path.join(build_dir, "bin", name), folder)
        files = {
            # The settings are read through the ANSI code page: GBK on the
            # Chinese systems the program is made for.
            "typeSet.ini": windows_text(read("settings/typeSet.ini"), "gbk"),
            "configDecodeTime.ini": windows_text(read("settings/configDecodeTime.ini"), "gbk"),
            "USER-GUIDE.txt": windows_text(guide("docs/user-guide.en.md"), "utf-8"),
            "USER-GUIDE-zh.txt": windows_text(guide("docs/user-guide.zh.md"), "utf-8"),
            "vistrel.dll-SIMULATOR.txt": windows_text(SIMULATOR_NOTE, "utf-8"),
        }
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        # The administrative templates, for Group Policy or Intune.
        for name in ("Norza.admx", "en-US/Norza.adml", "zh-CN/Norza.adml"):
            os.makedirs(os.path.dirname(os.path.join(folder, "policies", name)), exist_ok=True)
            shutil.copyfile(os.path.join(ROOT, "policies", name), os.path.join(folder, "policies", name))

        os.makedirs(out_dir, exist_ok=True)
        zip_path = os.path.join(out_dir, "%s-win32.zip" % FOLDER)
        with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as z:
            for top, folders, names in os.walk(folder):
                folders.sort()
                for name in sorted(names):
                    path = os.path.join(top, name)
                    z.write(path, "%s/%s" % (FOLDER, os.path.relpath(path, folder).replace(os.sep, "/")))
        scoop = manifests.scoop(VERSION, FOLDER, zip_path, release_url(), out_dir)
        if not installer:
            return [zip_path, scoop]
        setup_path = os.path.join(out_dir, "%s-setup.exe" % FOLDER)
        command = ["makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DVERSION=" + VERSION,
                   "-DSTAGE=" + folder,
                   "-DICON=" + os.path.abspath(os.path.join(build_dir, "res", "icons", "app.ico")),
                   "-DOUTFILE=" + os.path.abspath(setup_path)]
        if signed:
            # makensis signs the uninstaller before it packs it, and the setup program last.
            command.append("-DSIGN=" + " ".join(shlex.quote(a) for a in (
                sys.executable, os.path.abspath(__file__), "--sign")))
        subprocess.run(command + [os.path.join(ROOT, "installer", "Norza.nsi")],
                       check=True, stdout=sys.stderr)   # this script's output is the paths
        return [zip_path, setup_path, scoop] + manifests.winget(VERSION, setup_path, release_url(), out_dir)
    finally:
        shutil.rmtree(staging)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build-release"))
    parser.add_argument("--out", default=os.path.join(ROOT, "build-release", "release"))
    parser.add_argument("--installer", action="store_true", help="also build the setup program")
    parser.add_argument("--sign", metavar="FILE", help="only sign FILE (makensis calls this)")
    args = parser.parse_args()
    if args.sign:
        sign(args.sign)
        return
    for path in package(args.build_dir, args.out, args.installer):
        print(path)


if __name__ == "__main__":
    main()
