"""Installs a build into a temporary prefix and checks what lands there.

Usage: check_install.py CMAKE BUILD-DIR

Every file the installation must hold is there and nothing else is; the menu
entry is valid and names the installed program and icon; the PDF is a whole
PDF with pages; the HTML manual's pictures are all installed, and every
installed picture is one the HTML shows.
"""

import html.parser
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HELP = "share/tessel-ftp-client"
EXPECTED = {
    "bin/wharf",
    "bin/skiff",
    "bin/tessel-cli",
    HELP + "/ftp.html",
    HELP + "/ftp.pdf",
    "share/applications/tessel-ftp-client.desktop",
    "share/applications/tessel-ftp-client-skiff.desktop",
    "share/icons/hicolor/scalable/apps/tessel-ftp-client.svg",
    "share/icons/hicolor/256x256/apps/tessel-ftp-client.png",
}

failures = []


def fail(text):
    failures.append(text)


class Images(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.sources = []

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.sources.append(dict(attrs).get("src", ""))


def installed_files(prefix):
    found = set()
    for folder, _, files in os.walk(prefix):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), prefix))
    return found


def check_desktop_entry(prefix, entry_name, program, name):
    path = os.path.join(prefix, "share/applications", entry_name)
    if shutil.which("desktop-file-validate"):
        result = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
        if result.returncode != 0 or result.stdout.strip():
            fail("desktop-file-validate: " + result.stdout + result.stderr)
    keys = {}
    with open(path, encoding="utf-8") as entry:
        lines = [line.strip() for line in entry if line.strip() and not line.startswith("#")]
    if not lines or lines[0] != "[Desktop Entry]":
        fail(entry_name + " does not start with [Desktop Entry]")
    for line in lines[1:]:
        key, _, value = line.partition("=")
        keys[key] = value
    wanted = {"Type": "Application", "Name": name, "Exec": program, "Icon": "tessel-ftp-client"}
    for key, value in wanted.items():
        if keys.get(key) != value:
            fail(f"{entry_name} {key}={keys.get(key)!r}, wanted {value!r}")
    categories = keys.get("Categories", "").split(";")
    if "Network" not in categories or "FileTransfer" not in categories:
        fail(entry_name + " Categories lacks Network or FileTransfer: " + keys.get("Categories", ""))


def check_icon(prefix):
    with open(os.path.join(prefix, "share/icons/hicolor/256x256/apps/tessel-ftp-client.png"), "rb") as png:
        head = png.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", head[16:24]) != (256, 256):
        fail("the 256x256 icon is not a 256 by 256 PNG")
    with open(os.path.join(prefix, "share/icons/hicolor/scalable/apps/tessel-ftp-client.svg"), encoding="utf-8") as svg:
        if "<svg" not in svg.read():
            fail("the scalable icon is not SVG")


def check_pdf(prefix):
    with open(os.path.join(prefix, HELP, "ftp.pdf"), "rb") as pdf:
        data = pdf.read()
    if not data.startswith(b"%PDF-") or b"%%EOF" not in data[-64:]:
        fail("ftp.pdf is not a whole PDF file")
    pages = data.count(b"/Type /Page\n") + data.count(b"/Type /Page\r") + data.count(b"/Type /Page ")
    if pages < 2:
        fail(f"ftp.pdf has {pages} pages; the manual takes several")
    if b"/Subtype /Image" not in data:
        fail("ftp.pdf holds no pictures")


def check_html(prefix, files):
    help_dir = os.path.join(prefix, HELP)
    with open(os.path.join(help_dir, "ftp.html"), encoding="utf-8") as page:
        text = page.read()
    if "<html" not in text or "</html>" not in text or "<title>" not in text:
        fail("ftp.html is not a complete HTML file")
    parser = Images()
    parser.feed(text)
    if len(parser.sources) < 4:
        fail(f"ftp.html shows {len(parser.sources)} pictures; the manual has its screenshots")
    shown = set()
    for source in parser.sources:
        target = os.path.normpath(os.path.join(HELP, source))
        if source.startswith("/") or ":" in source or not target.startswith(HELP + "/"):
            fail("ftp.html refers to a picture outside its folder: " + source)
        elif target not in files:
            fail("ftp.html shows a picture that is not installed: " + source)
        shown.add(target)
    for name in sorted(files):
        if name.startswith(HELP + "/ftp-images/") and name not in shown:
            fail("an installed picture that ftp.html does not show: " + name)
    return shown


def main():
    cmake, build = sys.argv[1], sys.argv[2]
    prefix = tempfile.mkdtemp(prefix="tessel-install-")
    try:
        result = subprocess.run([cmake, "--install", build, "--prefix", prefix], capture_output=True, text=True)
        if result.returncode != 0:
            print(result.stdout + result.stderr)
            print("FAIL: cmake --install failed")
            return 1
        files = installed_files(prefix)
        for name in sorted(EXPECTED - files):
            fail("not installed: " + name)
        for name in ("bin/wharf", "bin/skiff", "bin/tessel-cli"):
            if name in files and not os.access(os.path.join(prefix, name), os.X_OK):
                fail(name + " is not executable")
        if not failures:
            check_desktop_entry(prefix, "tessel-ftp-client.desktop", "wharf", "Tessel FTP Client")
            check_desktop_entry(prefix, "tessel-ftp-client-skiff.desktop", "skiff", "Tessel FTP Client (small screen)")
            check_icon(prefix)
            check_pdf(prefix)
            shown = check_html(prefix, files)
            for name in sorted(files - EXPECTED - shown):
                fail("installed but not wanted: " + name)
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
    for text in failures:
        print("FAIL: " + text)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
