#!/usr/bin/python3
"""The Windows installer under Wine: a silent install per user, the program directory, the Start
menu entry whose target starts the program in its directory, a reinstall and a silent uninstall.

Arguments (from tests/install/CMakeLists.txt), then unittest's own:
  SOURCE_DIR SETUP_EXE RELEASE_DATE(yyyy-mm-dd)
WINEPREFIX and DISPLAY come from the environment (scripts/test.sh, or the developer's own).
"""
import datetime
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True
SOURCE, SETUP, RELEASE = sys.argv[1:4]
del sys.argv[1:4]

TITLE = "ВОЛНОР: установщик для базы данных Eplan"
KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\VOLNOR_Eplan_DB"
SHORTCUT = "ВОЛНОР Eplan DB.lnk"


def wine(*args, check=True):
    done = subprocess.run(["bash", os.path.join(SOURCE, "scripts/wine.sh"), *args],
                          capture_output=True, timeout=240)
    out = done.stdout.decode("utf-8", "replace")
    if check and done.returncode != 0:
        raise AssertionError("wine %s: %d\n%s" % (" ".join(args), done.returncode, out))
    return out


def unix_path(windows_path):
    done = subprocess.run(["winepath", "-u", windows_path], capture_output=True, text=True,
                          env=dict(os.environ, WINEDEBUG="-all"), timeout=60)
    return done.stdout.strip()


def registry_value(name):
    """A value of the uninstall key, or None without the key."""
    out = wine("reg", "query", KEY, "/v", name, check=False)
    match = re.search(r"^\s*%s\s+REG_\w+\s+(.*?)\s*$" % name, out, re.M)
    return match.group(1) if match else None


def shortcut(path):
    """(target, working directory) of a shell link file, from its LinkInfo and StringData."""
    with open(path, "rb") as f:
        data = f.read()
    flags = struct.unpack_from("<I", data, 20)[0]
    at = 76
    if flags & 0x1:  # LinkTargetIDList
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x2:  # LinkInfo
        size, header, info_flags, _, base = struct.unpack_from("<5I", data, at)
        if header >= 0x24:
            unicode_base = struct.unpack_from("<I", data, at + 28)[0]
            end = data.index(b"\0\0", at + unicode_base)
            end += (end - at - unicode_base) % 2
            target = data[at + unicode_base:end].decode("utf-16-le")
        elif info_flags & 1:
            target = data[at + base:data.index(b"\0", at + base)].decode("cp1251")
        at += size
    strings = {}
    for bit, name in [(0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"),
                      (0x40, "icon")]:
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            width = 2 if flags & 0x80 else 1
            raw = data[at + 2:at + 2 + count * width]
            # Wine counts the terminating NUL too.
            strings[name] = raw.decode("utf-16-le" if width == 2 else "cp1251").rstrip("\0")
            at += 2 + count * width
    return target, strings.get("workdir")


def wait_for(what, condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.3)
    raise AssertionError("no %s after %d s" % (what, seconds))


def russian(iso):
    return datetime.date.fromisoformat(iso).strftime("%d.%m.%Y")


class WindowsInstaller(unittest.TestCase):
    def tearDown(self):
        # Whatever a failed step left: the next run starts without an installation.
        location = registry_value("InstallLocation")
        if location:
            wine(os.path.join(unix_path(location), "uninstall.exe"), "/S", check=False)

    def install(self):
        wine(SETUP, "/S")
        location = registry_value("InstallLocation")
        self.assertIsNotNone(location, "no uninstall entry under HKCU")
        return location, unix_path(location)

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_install_start_reinstall_and_uninstall(self):
        location, prog = self.install()
        appdata = unix_path(wine("cmd", "/c", "echo", "%LOCALAPPDATA%").strip())
        self.assertEqual(os.path.realpath(prog),
                         os.path.realpath(os.path.join(appdata, "Programs/VOLNOR_Eplan_DB")))
        for name in ["VOLNOR_Eplan_DB.exe", "LICENSE.txt", "NOTICES.txt", "uninstall.exe",
                     "7z/7z.exe", "7z/7z.dll", "7z/License.txt"]:
            self.assertTrue(os.path.isfile(os.path.join(prog, name)), name)
        self.assertFalse(os.path.exists(os.path.join(prog, "volnor-install-state.exe")))
        # The release's date in the user's short date format (the prefix's Russian one).
        state = os.path.join(prog, "eplan-config_local.ini")
        self.assertRegex(self.read(state).decode("cp1251"),
                         r"(?i)\[eplan\]\r\nDATEUPDATE=%s\r\n" % re.escape(russian(RELEASE)))
        self.assertEqual(registry_value("QuietUninstallString"),
                         '"%s\\uninstall.exe" /S' % location)

        # The Start menu's entry: its target started in its working directory opens the window.
        programs = unix_path(wine("cmd", "/c", "echo", "%APPDATA%").strip())
        link = os.path.join(programs, "Microsoft/Windows/Start Menu/Programs", SHORTCUT)
        target, workdir = shortcut(link)
        self.assertEqual(target.lower(), (location + "\\VOLNOR_Eplan_DB.exe").lower())
        self.assertEqual(workdir.lower(), location.lower())
        # A configuration copy as new as the recorded date: no update, no error report.
        with open(os.path.join(prog, "eplan-config.ini"), "wb") as f:
            f.write(("[EPLAN]\r\nDATE=%s\r\n" % russian(RELEASE)).encode())
        env = dict(os.environ, WINEDEBUG="-all", WINEARCH="win32", LANG="ru_RU.UTF-8",
                   LC_ALL="ru_RU.UTF-8")
        program = subprocess.Popen(["wine", target], cwd=unix_path(workdir), env=env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)

        def window_names():
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                    str(program.pid)], capture_output=True, text=True)
            if program.poll() is not None:
                raise AssertionError("the program ended: %d" % program.returncode)
            return [subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                                   text=True).stdout.strip() for w in found.stdout.split()]

        try:
            # The main window, and no error report before it.
            self.assertEqual(wait_for("program window", window_names, 120), [TITLE])
        finally:
            program.kill()
            program.wait(30)

        # A reinstall keeps the user's files and a later date.
        node = os.path.join(prog, "Клеммы", "terminal.edz")
        os.makedirs(os.path.dirname(node))
        with open(node, "wb") as f:
            f.write(b"edz")
        later = datetime.date.fromisoformat(RELEASE) + datetime.timedelta(days=3)
        with open(state, "wb") as f:
            f.write(("[Eplan]\r\nDATEUPDATE=%s\r\n" % later.strftime("%d.%m.%Y")).encode())
        self.install()
        self.assertIn(b"DATEUPDATE=" + later.strftime("%d.%m.%Y").encode(), self.read(state))
        self.assertEqual(self.read(node), b"edz")
        self.assertTrue(os.path.isfile(os.path.join(prog, "eplan-config.ini")))

        # The uninstaller runs from a copy of itself and returns at once.
        for name in ["cmdrun.cmd", "update.7z", "VOLNOR_Eplan_DB.exe.old"]:
            open(os.path.join(prog, name), "wb").close()
        wine(os.path.join(prog, "uninstall.exe"), "/S")
        wait_for("uninstall", lambda: registry_value("DisplayName") is None and
                 not os.path.exists(os.path.join(prog, "uninstall.exe")), 120)
        self.assertEqual(os.listdir(prog), ["Клеммы"])
        self.assertEqual(self.read(node), b"edz")
        self.assertFalse(os.path.exists(link))
        shutil.rmtree(os.path.join(prog, "Клеммы"))


if __name__ == "__main__":
    unittest.main()
