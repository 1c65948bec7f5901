#!/usr/bin/env python3
"""Builds the sample application package and the full-installer stand-in.

    make_package.py OUT_DIR APP_EXE UNINSTALLER_EXE

writes OUT_DIR/QuorviPhoneAx.zip (deflated, folders listed as entries the way
common zip tools write them, UTF-8 names) and OUT_DIR/InStallComplete.exe.
Every member carries the same fixed time stamp, so the same inputs give the
same bytes.
"""
import os
import random
import sys
import zipfile

TOP = "QuorviPhoneAx"
STAMP = (2026, 1, 8, 10, 30, 0)


def data_files():
    """(name below the top folder, bytes) of the data files."""
    skin = random.Random(1008)  # fixed seed: the skin data is the same on every build
    return [
        ("data/config.ini", b"[Quorvi]\r\nversion=1.08\r\nlanguage=zh-CN\r\n"),
        ("data/readme.txt", "Quorvi手机助手\r\n管理手机里的文件、图片、铃音和软件。\r\n".encode("utf-8")),
        ("data/empty.log", b""),
        ("skins/默认/皮肤说明.txt", "默认皮肤\r\n".encode("utf-8")),
        # incompressible, so that the download and the extraction take a visible moment
        ("skins/默认/背景.dat", bytes(skin.getrandbits(8) for _ in range(256 * 1024))),
    ]


def member(name, directory=False):
    info = zipfile.ZipInfo(name + ("/" if directory else ""), date_time=STAMP)
    info.create_system = 0  # MS-DOS attributes
    info.external_attr = 0x10 if directory else 0x20
    info.compress_type = zipfile.ZIP_STORED if directory else zipfile.ZIP_DEFLATED
    return info


def write_package(path, app, uninstaller):
    files = [("Quorvi.exe", open(app, "rb").read()), ("QuorviUnInstall.exe", open(uninstaller, "rb").read())]
    files += data_files()
    folders = sorted({os.path.dirname(name) for name, _ in files if os.path.dirname(name)})
    folders = sorted({"/".join(f.split("/")[:i + 1]) for f in folders for i in range(f.count("/") + 1)})
    tmp = path + ".tmp"
    with zipfile.ZipFile(tmp, "w") as z:
        z.writestr(member(TOP, True), b"")
        for folder in folders:
            z.writestr(member(TOP + "/" + folder, True), b"")
        for name, data in files:
            z.writestr(member(TOP + "/" + name), data, compresslevel=9)
    os.replace(tmp, path)


def write_full_installer(path):
    # a stand-in: the browser only has to fetch something under this name
    with open(path, "wb") as f:
        f.write(b"MZ Quorvi full installer stand-in for tests and the demo; not a program.\r\n")


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: make_package.py OUT_DIR APP_EXE UNINSTALLER_EXE")
    out, app, uninstaller = sys.argv[1:]
    os.makedirs(out, exist_ok=True)
    write_package(os.path.join(out, "QuorviPhoneAx.zip"), app, uninstaller)
    write_full_installer(os.path.join(out, "InStallComplete.exe"))


if __name__ == "__main__":
    main()
