#!/usr/bin/env python3
"""The setup program as a deployment tool runs it, silently: a per-user
install with preset settings, started through its Start-menu shortcut; an
upgrade over the running program; the uninstaller; the maker's engine. The
release is signed with a throwaway certificate and described for winget and
Scoop."""
import glob
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

import harness
import norza
from harness import scanctl, wait_for, winpath

try:
    import jsonschema
    import yaml
except ImportError:   # Debian's packages, under a Python of another make
    sys.path.append("/usr/lib/python3/dist-packages")
    import jsonschema
    import yaml

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SCHEMAS = os.path.join(ROOT, "tests", "schemas")
RELEASE_URL = "https://downloads.example.com/norza/4.3"
WM_COMMAND, ID_TRAY_HISTORY = "0x111", harness.ID("ID_TRAY_HISTORY")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norza"
SOUND_KEY = r"HKCU\AppEvents\Schemes\Apps\Norza"
PROGRAM_FILES = ["Norza.exe", "NorzaClip.exe", "USER-GUIDE-zh.html", "USER-GUIDE-zh.txt", "USER-GUIDE.html",
                 "USER-GUIDE.txt", "duplicate.wav",
                 "not_typed.wav", "policies", "scanctl.exe", "typed.wav", "uninstall.exe", "vistrel.dll",
                 "vistrel.dll-SIMULATOR.txt"]
TEMPLATES = ["policies/Norza.admx", "policies/en-US/Norza.adml", "policies/zh-CN/Norza.adml"]
SETTINGS = ["configDecodeTime.ini", "typeSet.ini"]


def wine(*args, cwd=None, timeout=120):
    # The installer starts Norza, which would hold captured output open.
    return subprocess.run(["wine", *args], cwd=cwd, env=harness.wine_env(), timeout=timeout,
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode


def make_signing_certificate(folder, password):
    """A throwaway CA and a code-signing certificate it issued, as a PKCS#12
    file; returns the paths of that file and of the CA's certificate."""
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
            "-days", "2", "-subj", "/CN=Norza Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "sign.key", "-out", "sign.csr",
            "-subj", "/CN=Norza Test Signing")
    with open(os.path.join(folder, "sign.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "sign.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", "sign.ext", "-out", "sign.pem")
    openssl("pkcs12", "-export", "-inkey", "sign.key", "-in", "sign.pem", "-certfile", "ca.pem",
            "-out", "sign.pfx", "-passout", "pass:" + password)
    return os.path.join(folder, "sign.pfx"), os.path.join(folder, "ca.pem")


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def end_norza():
    """Ends Norza started outside the test's reach, by the installer or a shortcut."""
    if harness.engine_running():
        scanctl("quit")
        wait_for(lambda: not harness.engine_running(), timeout=30, what="Norza to end")


class Installer(harness.WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = tempfile.mkdtemp(prefix="norza-setup-")
        password = "test only"
        pfx, cls.ca = make_signing_certificate(cls.out, password)
        env = dict(os.environ, NORZA_SIGN_PFX=pfx, NORZA_SIGN_PASSWORD=password,
                   NORZA_RELEASE_URL=RELEASE_URL + "/")
        env.pop("NORZA_SIGN_TIMESTAMP_URL", None)   # no network here
        paths = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "release.py"),
                                "--build-dir", harness.BUILD_DIR, "--out", cls.out, "--installer"],
                               check=True, stdout=subprocess.PIPE, text=True, env=env).stdout.splitlines()
        cls.zip, cls.setup, cls.scoop = paths[:3]
        cls.winget = paths[3:]
        with open(harness.STATE) as f:
            prefix = json.load(f)["prefix"]
        cls.profile = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData"))[0]
        cls.home = os.path.join(cls.profile, "Local", "Programs", "Norza")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.out, ignore_errors=True)
        # No installed copy may start at a later sign-in of the shared prefix.
        cls.remove_installation()

    @classmethod
    def remove_installation(cls):
        end_norza()
        shutil.rmtree(cls.home, ignore_errors=True)
        for link in cls.shortcuts().values():
            os.remove(link)

    def setUp(self):
        super().setUp()
        self.journal_path = os.path.join(self.home, "vistrel.journal")
        # What the other code page's run, or a failed test, left behind.
        self.remove_installation()

    def tearDown(self):
        end_norza()
        super().tearDown()

    def install(self, *options):
        self.assertEqual(0, wine(self.setup, "/S", *options, cwd=self.folder))

    @classmethod
    def shortcuts(cls):
        """The Norza shortcuts in the user's Start menu, by the folder they are in."""
        links = glob.glob(os.path.join(cls.profile, "Roaming", "**", "Norza.lnk"), recursive=True)
        return {os.path.basename(os.path.dirname(link)).lower(): link for link in links}

    def journal(self):
        return harness.read_lines(self.journal_path)

    def start_from_menu(self, folder="programs"):
        """Starts Norza through a shortcut, from another current folder."""
        before = len(self.journal())
        self.assertEqual(0, wine("start", "/unix", self.shortcuts()[folder], cwd=self.folder))
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=30, what="Norza's start")
        return self.journal()[before:]

    def read(self, name):
        with open(os.path.join(self.home, name), "rb") as f:
            return f.read()

    def write(self, folder, name, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)

    def decode(self, text, symbology="qr"):
        self.assertEqual(0, scanctl("decode", symbology, text)[0])
        self.assertTrue(self.read("log.log").endswith(b"[Decode]Decode:" + text.encode()))

    def open_history(self):
        """Opens the history window, which has no owner, as the tray window has."""
        tray = [line.split()[1] for line in self.journal() if line.startswith("GetAppHandle")][-1]
        norza.wintool("post", tray, WM_COMMAND, ID_TRAY_HISTORY, "0")
        wait_for(lambda: [w for w in norza.windows() if w["visible"]
                          and w["title"] == norza.text("history_title")], what="the history window")

    def verifies(self, path):
        return 0 == subprocess.run(["osslsigncode", "verify", "-CAfile", self.ca, "-in", path],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    def uninstall(self, *options):
        self.assertEqual(0, wine(os.path.join(self.home, "uninstall.exe"), "/S", *options))
        # The uninstaller goes on from a copy of itself; it ends by removing itself.
        wait_for(lambda: not os.path.exists(os.path.join(self.home, "uninstall.exe")),
                 timeout=60, what="the uninstaller to finish")

    def test_silent_install_with_preset_settings_runs_from_the_start_menu(self):
        self.assertEqual(os.path.join(os.path.dirname(self.zip), "Norza-4.3-setup.exe"), self.setup)
        preset = os.path.join(self.folder, "preset")
        os.makedirs(preset)
        self.write(preset, "typeSet.ini", b"[TYPE]\r\nQR=1\r\nDM=0\r\nBarcode=1\r\nPDF417=0\r\n")
        self.write(preset, "configDecodeTime.ini", b"1234\r\n")
        self.install("/SETTINGS=preset")   # relative to the current folder, as deployment tools run it

        self.assertEqual(sorted(PROGRAM_FILES + SETTINGS), sorted(os.listdir(self.home)))
        for name in TEMPLATES:
            with open(os.path.join(ROOT, name), "rb") as f:
                self.assertEqual(f.read(), self.read(name))
        for name in SETTINGS:
            with open(os.path.join(preset, name), "rb") as f:
                self.assertEqual(f.read(), self.read(name))
        self.assertEqual({"programs", "startup"}, set(self.shortcuts()))
        self.assertEqual(0, wine("reg", "query", UNINSTALL_KEY, "/v", "UninstallString"))

        # A settings file that cannot be copied (a folder stands in its place)
        # fails the setup with a code of its own and a log line.
        installed = self.read("typeSet.ini")
        target = os.path.join(self.home, "typeSet.ini")
        os.remove(target)
        os.mkdir(target)
        self.assertEqual(3, wine(self.setup, "/S", "/SETTINGS=preset", cwd=self.folder))
        os.rmdir(target)
        self.write(self.home, "typeSet.ini", installed)
        self.assertRegex(self.read("log.log"), rb"\r\n\[[ \d]\d-[ \d]\d [ \d]\d:[ \d]\d:[ \d]\d_[ \d]{2}\d\]"
                         rb"\[Setup\]Settings not installed: \S+typeSet\.ini could not be copied")

        calls = self.start_from_menu()
        self.assertEqual(["setQRable 1", "setDMable 0", "setBarcode 1", "setPDF417 0",
                          "SetBeepTime 200", "SetDecodeTime 1234"], calls[3:9])
        self.decode("S-4.3")

    def test_upgrade_closes_the_running_copy_keeps_settings_and_log_and_starts_again(self):
        self.install()
        self.start_from_menu()
        self.decode("before")
        self.write(self.home, "configDecodeTime.ini", b"777\r\n")
        self.write(self.home, "typeSet.ini", b"[TYPE]\r\nQR=0\r\n")
        log = self.read("log.log")
        self.open_history()   # found before the tray window, it must not be taken for it

        before = len(self.journal())
        self.install()
        # The old copy released the device once, as through its Exit command,
        # then the new copy started with the user's settings.
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=30, what="the new copy")
        calls = self.journal()[before:]
        self.assertEqual(1, self.journal().count("ReleaseDevice"), calls)
        started = [c.split()[0] for c in calls[calls.index("ReleaseDevice"):]]
        self.assertIn("GetAppHandle", started)
        self.assertIn("setQRable 0", calls)
        self.assertIn("SetDecodeTime 777", calls)
        self.assertEqual(b"777\r\n", self.read("configDecodeTime.ini"))
        self.assertTrue(self.read("log.log").startswith(log))
        self.decode("after", "dm")   # QR is off now

        # An upgrade that cannot write a file (a folder stands in its place) fails,
        # and starts the copy it closed again.
        guide = os.path.join(self.home, "USER-GUIDE.txt")
        os.remove(guide)
        os.mkdir(guide)
        before = len(self.journal())
        self.assertEqual(2, wine(self.setup, "/S", cwd=self.folder))
        wait_for(lambda: "SetBeep 1" in self.journal()[before:], timeout=30, what="the copy again")
        self.assertIn("ReleaseDevice", self.journal()[before:])
        self.decode("failed", "dm")

    def test_uninstall_keeps_log_and_settings_unless_asked(self):
        # The sound events, as setup registers them before the program first
        # runs: a choice the user made stays, the "No sounds" scheme keeps them silent.
        wine("reg", "delete", SOUND_KEY, "/f")
        self.addCleanup(wine, "reg", "delete", r"HKCU\AppEvents\Schemes\Names", "/f")
        for key, value in ((r"HKCU\AppEvents\Schemes\Names\.None", "No sounds"),
                           (SOUND_KEY + r"\NorzaNotTyped\.Current", "")):
            self.assertEqual(0, wine("reg", "add", key, "/ve", "/d", value, "/f"))
        self.install()
        events = norza.reg_values(SOUND_KEY)
        wav = r"c:\users\%s\appdata\local\programs\norza\%s.wav" % (
            os.path.basename(os.path.dirname(self.profile)).lower(), "%s")
        self.assertEqual((wav % "not_typed", "", ""), tuple(events[r"NorzaNotTyped\." + k].lower()
                                                            for k in ("Default", "Current", "None")))
        self.assertEqual((wav % "duplicate", ""), (events[r"NorzaScannedBefore\.Current"].lower(),
                                                   events[r"NorzaTyped\.Current"]))
        self.assertEqual(norza.text("sound_not_typed"),
                         norza.reg_values(r"HKCU\AppEvents\EventLabels\NorzaNotTyped")[""])
        # As at sign-in; the sample settings give 300 ms.
        self.assertIn("SetDecodeTime 300", self.start_from_menu("startup"))
        self.decode("U-4.3")
        self.uninstall()
        wait_for(lambda: not harness.engine_running(), timeout=30, what="Norza to end")
        self.assertEqual(["configDecodeTime.ini", "log.log", "typeSet.ini"],
                         sorted(os.listdir(self.home)))
        self.assertEqual({}, self.shortcuts())
        self.assertNotEqual(0, wine("reg", "query", UNINSTALL_KEY))
        self.assertEqual({}, norza.reg_values(SOUND_KEY))
        self.assertEqual({}, norza.reg_values(r"HKCU\AppEvents\EventLabels\NorzaNotTyped"))

        self.install()
        self.uninstall("/REMOVEDATA=1")
        wait_for(lambda: not os.path.exists(self.home), timeout=30, what="the folder to go")

    def test_upgrade_replaces_only_a_stand_in_engine_and_keeps_the_autostart_choice(self):
        self.install("/AUTOSTART=0")
        stand_in = self.read("vistrel.dll")
        # An earlier version's stand-in: other bytes, the same version resource.
        self.write(self.home, "vistrel.dll", stand_in + b"an earlier build")
        self.install()
        self.assertEqual(stand_in, self.read("vistrel.dll"))
        self.assertEqual(sorted(PROGRAM_FILES + SETTINGS), sorted(os.listdir(self.home)))
        self.assertEqual({"programs"}, set(self.shortcuts()))   # the choice is kept

        # Replaced by hand, as the note beside it says: a library with a
        # version resource of its own, kept byte for byte, its note gone.
        with open(os.path.join(harness.BIN_DIR, "Norza.exe"), "rb") as f:
            by_hand = f.read() + b"the maker's build"
        self.write(self.home, "vistrel.dll", by_hand)
        self.install()
        self.assertEqual(by_hand, self.read("vistrel.dll"))
        user_engine = sorted(set(PROGRAM_FILES + SETTINGS)
                             - {"scanctl.exe", "vistrel.dll-SIMULATOR.txt"})
        self.assertEqual(user_engine, sorted(os.listdir(self.home)))

        # Another file named replaces it, and is kept in turn.
        maker = os.path.join(self.folder, "maker engine")   # a path with a space
        os.makedirs(maker)
        engine = by_hand + b", updated"
        self.write(maker, "vistrel.dll", engine)
        self.install("/ENGINE=" + winpath(os.path.join(maker, "vistrel.dll")))
        self.assertEqual(engine, self.read("vistrel.dll"))
        self.install("/AUTOSTART=1")
        self.assertEqual(engine, self.read("vistrel.dll"))
        self.assertEqual(user_engine, sorted(os.listdir(self.home)))
        self.assertEqual({"programs", "startup"}, set(self.shortcuts()))

    def test_release_is_signed_file_by_file(self):
        self.install()
        folder = os.path.join(self.folder, "unpacked")
        with zipfile.ZipFile(self.zip) as z:
            z.extractall(folder)
        signed = [self.setup, os.path.join(self.home, "uninstall.exe"),
                  os.path.join(self.home, "Norza.exe"), os.path.join(self.home, "NorzaClip.exe")]
        signed += [os.path.join(folder, "Norza-4.3", name)
                   for name in ("Norza.exe", "NorzaClip.exe", "vistrel.dll", "scanctl.exe")]
        for path in signed:
            self.assertTrue(self.verifies(path), path)
            changed = os.path.join(self.folder, "changed")
            with open(path, "rb") as f:
                data = bytearray(f.read())
            data[len(data) // 2] ^= 1
            with open(changed, "wb") as f:
                f.write(data)
            self.assertFalse(self.verifies(changed), path)

    def test_manifests_validate_and_name_the_files_by_their_hashes(self):
        def validate(document, schema):
            with open(os.path.join(SCHEMAS, schema), encoding="utf-8") as f:
                jsonschema.Draft7Validator(json.load(f)).validate(document)

        winget = {}
        for path in self.winget:
            with open(path, encoding="utf-8") as f:
                document = yaml.safe_load(f)
            validate(document, "winget-1.10.0/manifest.%s.1.10.0.json" % document["ManifestType"])
            winget[document["ManifestType"], document.get("PackageLocale")] = document
        self.assertEqual({("version", None), ("defaultLocale", "en-US"), ("locale", "zh-CN"),
                          ("installer", None)}, set(winget))
        self.assertEqual({"4.3"}, {d["PackageVersion"] for d in winget.values()})
        installer = winget["installer", None]
        self.assertEqual(("nullsoft", "user", "/S"), (installer["InstallerType"], installer["Scope"],
                                                      installer["InstallerSwitches"]["Silent"]))
        self.assertEqual([dict(Architecture="x86", InstallerUrl=RELEASE_URL + "/Norza-4.3-setup.exe",
                               InstallerSha256=sha256(self.setup).upper())], installer["Installers"])

        with open(self.scoop, encoding="utf-8") as f:
            scoop = json.load(f)
        validate(scoop, "scoop/schema.json")
        self.assertEqual((RELEASE_URL + "/Norza-4.3-win32.zip", sha256(self.zip)),
                         (scoop["url"], scoop["hash"]))
        with zipfile.ZipFile(self.zip) as z:
            packed = {name.split("/", 1)[1] for name in z.namelist()
                      if name.startswith(scoop["extract_dir"] + "/")}
        self.assertLessEqual({scoop["bin"]} | {s[0] for s in scoop["shortcuts"]}, packed)
        self.assertLessEqual({"typeSet.ini", "configDecodeTime.ini", "log.log"}, set(scoop["persist"]))
        # Scoop would make a persisted name that the zip lacks a folder.
        self.assertEqual(["log.log"], [name for name in scoop["persist"] if name not in packed])
        self.assertIn('New-Item "$dir\\log.log" -ItemType File', scoop["pre_install"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
