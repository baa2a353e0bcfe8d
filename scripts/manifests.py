"""The package manager manifests of a release: winget's (the setup program,
in the multi-file layout of manifest schema 1.10.0) and Scoop's (the zip).
Written with the standard library alone; every string is quoted, so that a
version such as 4.3 stays a string."""
import hashlib
import json
import os

PUBLISHER = "Norza"
WINGET_ID = "Norza.Norza"
WINGET_SCHEMA = "1.10.0"
# The settings files and the log stay across updates; so does the engine, the
# maker's vistrel.dll once the user has put it in place of the stand-in.
SCOOP_PERSIST = ["typeSet.ini", "configDecodeTime.ini", "log.log", "vistrel.dll"]

DESCRIPTIONS = {
    "en-US": dict(
        PackageName="Norza",
        License="Proprietary",
        ShortDescription="Types what a camera barcode scanner reads into the program in front, "
                         "as a keyboard would.",
        Description="Norza is a small tray program that turns a camera-based barcode scanning "
                    "engine into a keyboard: every QR code, Data Matrix, one-dimensional barcode "
                    "or PDF417 the scanner decodes is typed into the field that has the focus, "
                    "optionally followed by Enter, and logged. It drives the scanner through the "
                    "scanner maker's vistrel.dll; a stand-in engine for trying it without a "
                    "scanner comes with it.",
        Tags=["barcode", "scanner", "keyboard-wedge", "qr-code", "data-matrix"]),
    "zh-CN": dict(
        PackageName="Norza",
        License="专有软件",
        ShortDescription="把摄像头扫码器读到的内容像键盘一样输入到前台程序。",
        Description="Norza 是一个托盘小程序，把摄像头扫码引擎变成键盘：扫码器识别的每个二维码"
                    "（QR、Data Matrix）、一维条码或 PDF417 都会输入到当前获得焦点的输入框，"
                    "可选加回车，并记入日志。它通过扫码器厂家提供的 vistrel.dll 使用扫码器；"
                    "附带一个模拟引擎，可在没有扫码器时试用。",
        Tags=["条码", "扫码", "扫码枪", "二维码"]),
}


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def yaml_lines(value, indent=""):
    """Block YAML for nested dicts and lists of scalars and dicts."""
    lines = []
    items = value.items() if isinstance(value, dict) else [(None, v) for v in value]
    for key, item in items:
        head = indent + ("- " if key is None else "%s:" % key)
        if isinstance(item, (dict, list)):
            nested = yaml_lines(item, indent + "  ")
            if key is None:   # the first line of a list item goes on its dash
                lines.append(head + nested[0].lstrip())
                lines.extend(nested[1:])
            else:
                lines.append(head)
                lines.extend(nested)
        else:
            scalar = str(item) if isinstance(item, int) else json.dumps(item, ensure_ascii=False)
            lines.append(head + ("" if key is None else " ") + scalar)
    return lines


def write_yaml(path, manifest_type, document):
    schema = "https://aka.ms/winget-manifest.%s.%s.schema.json" % (manifest_type, WINGET_SCHEMA)
    document = dict(document, ManifestType=manifest_type, ManifestVersion=WINGET_SCHEMA)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("# yaml-language-server: $schema=%s\n" % schema)
        f.write("\n".join(yaml_lines(document)) + "\n")
    return path


def winget(version, setup_path, url, out_dir):
    """The version, locale and installer manifests of the setup program."""
    folder = os.path.join(out_dir, "winget")
    os.makedirs(folder, exist_ok=True)
    head = dict(PackageIdentifier=WINGET_ID, PackageVersion=version)
    base = os.path.join(folder, WINGET_ID)
    paths = [write_yaml(base + ".yaml", "version", dict(head, DefaultLocale="en-US"))]
    for locale, texts in DESCRIPTIONS.items():
        kind = "defaultLocale" if locale == "en-US" else "locale"
        paths.append(write_yaml("%s.locale.%s.yaml" % (base, locale), kind,
                                dict(head, PackageLocale=locale, Publisher=PUBLISHER, **texts)))
    # The setup program's own switches; its uninstall entry, keyed "Norza", is
    # how winget recognises the installed copy.
    installer = dict(
        head,
        InstallerType="nullsoft",
        Scope="user",
        InstallModes=["interactive", "silent", "silentWithProgress"],
        InstallerSwitches=dict(Silent="/S", SilentWithProgress="/S"),
        UpgradeBehavior="install",
        ProductCode="Norza",
        AppsAndFeaturesEntries=[dict(DisplayName="Norza", Publisher=PUBLISHER,
                                     DisplayVersion=version, ProductCode="Norza")],
        Installers=[dict(Architecture="x86",
                         InstallerUrl="%s/%s" % (url, os.path.basename(setup_path)),
                         InstallerSha256=sha256(setup_path).upper())])
    paths.append(write_yaml(base + ".installer.yaml", "installer", installer))
    return paths


def scoop(version, folder, zip_path, url, out_dir):
    """The Scoop manifest of the zip, norza.json."""
    # Scoop makes a persisted name that the zip lacks a folder, and keeps a
    # persisted file by a hard link, which the settings window's save (a new
    # file renamed over the old) leaves behind: the log is made a file before
    # the first start, and the files go back to the persist folder, by a copy
    # renamed into place, before an update or removal takes the links away.
    saved = ", ".join("'%s'" % name for name in SCOOP_PERSIST if name != "log.log")
    manifest = {
        "version": version,
        "description": DESCRIPTIONS["en-US"]["ShortDescription"],
        "homepage": url,
        "license": "Proprietary",
        "url": "%s/%s" % (url, os.path.basename(zip_path)),
        "hash": sha256(zip_path),
        "extract_dir": folder,
        # The program reads configDecodeTime.ini from its working folder, which
        # its shortcut sets and a shim would not: only the control tool is a command.
        "bin": "scanctl.exe",
        "shortcuts": [["Norza.exe", "Norza"]],
        "persist": SCOOP_PERSIST,
        "pre_install": "if (!(Test-Path \"$persist_dir\\log.log\")) "
                       "{ New-Item \"$dir\\log.log\" -ItemType File | Out-Null }",
        "pre_uninstall": [
            "%s | ForEach-Object {" % saved,
            "    if (Test-Path \"$dir\\$_\") {",
            "        Copy-Item \"$dir\\$_\" \"$persist_dir\\$_.saving\" -Force",
            "        Move-Item \"$persist_dir\\$_.saving\" \"$persist_dir\\$_\" -Force",
            "    }",
            "}",
        ],
        "notes": "Norza comes with a stand-in engine, a simulator: exit Norza and copy the "
                 "scanner maker's vistrel.dll over $dir\\vistrel.dll. Updates keep it.",
    }
    path = os.path.join(out_dir, "norza.json")
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=4)
        f.write("\n")
    return path
