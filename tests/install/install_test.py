#!/usr/bin/python3
"""The per-user installation: scripts/install.sh into a throwaway HOME, from the test build.

Arguments (from tests/install/CMakeLists.txt), then unittest's own:
  SOURCE_DIR BUILD_DIR RELEASE_DATE(yyyy-mm-dd) SEVENZIP CA_CERT CA_KEY HTTPS_PORT
The test build's program maps the maker's web host to 127.0.0.1:HTTPS_PORT.
"""
import datetime
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True
SOURCE, BUILD, RELEASE, SEVENZIP, CA_CERT, CA_KEY, HTTPS_PORT = sys.argv[1:8]
del sys.argv[1:8]

TITLE = "ВОЛНОР: установщик для базы данных Eplan"
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
# The Russian short date format, which the test's locale has.
LOCALE = "ru_RU.UTF-8"


def russian(iso):
    return datetime.date.fromisoformat(iso).strftime("%d.%m.%Y")


def wait_for(what, condition, seconds):
    """Polls condition until it gives something true; fails after seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError("no %s after %d s" % (what, seconds))


class Installation(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="volnor-install-")
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        self.env.update(HOME=self.home, LC_TIME=LOCALE, VOLNOR_BUILD_DIR=BUILD)
        self.prog = os.path.join(self.home, ".local/share/VOLNOR_Eplan_DB")
        self.launcher = os.path.join(self.home, ".local/bin/volnor-eplan-db")
        self.entry = os.path.join(self.home, ".local/share/applications/volnor-eplan-db.desktop")
        self.state = os.path.join(self.prog, "eplan-config_local.ini")

    def run_script(self, *args):
        done = subprocess.run(["bash", os.path.join(SOURCE, "scripts/install.sh"), *args],
                              env=self.env, capture_output=True, text=True, timeout=240)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def icon(self, side):
        return os.path.join(self.home, ".local/share/icons/hicolor/%dx%d/apps/volnor-eplan-db.png"
                            % (side, side))

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def write(self, path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def test_install_lays_out_the_program_directory_launcher_and_menu_entry(self):
        self.run_script()
        for name in ["VOLNOR_Eplan_DB", "cmd"]:
            self.assertTrue(os.access(os.path.join(self.prog, name), os.X_OK), name)
        self.assertEqual(os.readlink(os.path.join(self.prog, "7z/7z.exe")), SEVENZIP)
        for name in ["LICENSE", "NOTICES"]:
            self.assertEqual(self.read(os.path.join(self.prog, name)),
                             self.read(os.path.join(SOURCE, name)))
        self.assertEqual(self.read(os.path.join(self.prog, "program.ico"))[:4], b"\0\0\1\0")
        # The date of the release, in the locale's short date format, as the program reads it.
        self.assertEqual(self.read(self.state),
                         ("[Eplan]\r\nDATEUPDATE=%s\r\n" % russian(RELEASE)).encode())
        for side in SIZES:
            png = self.read(self.icon(side))
            self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(int.from_bytes(png[16:20], "big"), side)
        validated = subprocess.run(["desktop-file-validate", self.entry], capture_output=True,
                                   text=True)
        self.assertEqual(validated.returncode, 0, validated.stdout + validated.stderr)
        entry = self.read(self.entry).decode()
        self.assertIn('\nExec="%s"\n' % self.launcher, entry)
        self.assertIn("\nName=%s\n" % TITLE, entry)
        self.assertIn("\nIcon=volnor-eplan-db\n", entry)
        # The launcher starts the program in its own directory.
        done = subprocess.run(["sh", "-c", self.read(self.launcher).decode().replace(
            "exec ./VOLNOR_Eplan_DB", "pwd #")], capture_output=True, text=True)
        self.assertEqual(done.stdout.strip(), os.path.realpath(self.prog))

    def test_reinstall_keeps_the_users_files_and_a_later_date(self):
        release = russian(RELEASE)
        later = (datetime.date.fromisoformat(RELEASE) + datetime.timedelta(days=1))
        cases = [
            # DATEUPDATE there, DATEUPDATE after the reinstall
            (later.strftime("%d.%m.%Y"), later.strftime("%d.%m.%Y")),
            ("01.01.2020", release),
            (release, release),
            # Not a date of the user's format (another program's, or damaged): the release's.
            (later.isoformat(), release),
            ("", release),
        ]
        self.run_script()
        node = os.path.join(self.prog, "Клеммы", "terminal.edz")
        self.write(node, b"edz")
        self.write(os.path.join(self.prog, "eplan-config.ini"), b"[EPLAN]\r\nDATE=01.01.2030\r\n")
        for present, expected in cases:
            with self.subTest(present=present):
                self.write(self.state, ("[Eplan]\r\nDATEUPDATE=%s\r\nOTHER=1\r\n" % present)
                           .encode("cp1251"))
                self.run_script()
                self.assertEqual(self.read(self.state),
                                 ("[Eplan]\r\nDATEUPDATE=%s\r\nOTHER=1\r\n" % expected).encode())
                self.assertEqual(self.read(node), b"edz")
                self.assertEqual(self.read(os.path.join(self.prog, "eplan-config.ini")),
                                 b"[EPLAN]\r\nDATE=01.01.2030\r\n")

    def test_uninstall_removes_everything_but_the_downloaded_parts(self):
        self.run_script()
        node = os.path.join(self.prog, "Клеммы", "Серия 1", "terminal.edz")
        self.write(node, b"edz")
        # What the program itself writes into its directory.
        for name in ["eplan-config.ini", "cmdrun.cmd", "cmdupdate.cmd", "update.7z"]:
            self.write(os.path.join(self.prog, name), b"x")
        # The drive's folders the program made at its start, and a file of the user's there.
        drive = os.path.join(self.home, ".local/share/VOLNOR/drive_c/Users/Public/EPLAN/Data")
        os.makedirs(os.path.join(drive, "Элементы/VOLNOR"))
        self.write(os.path.join(drive, "Макросы/VOLNOR/macro.ema"), b"ema")
        self.run_script("--uninstall")
        self.assertEqual(os.listdir(self.prog), ["Клеммы"])
        self.assertEqual(os.listdir(drive), ["Макросы"])
        self.assertEqual(self.read(os.path.join(drive, "Макросы/VOLNOR/macro.ema")), b"ema")
        self.assertEqual(self.read(node), b"edz")
        for path in [self.launcher, self.entry] + [self.icon(side) for side in SIZES]:
            self.assertFalse(os.path.lexists(path), path)
        # Without downloads nothing of the program stays.
        shutil.rmtree(os.path.join(self.prog, "Клеммы"))
        shutil.rmtree(os.path.join(drive, "Макросы"))
        self.run_script()
        self.run_script("--uninstall")
        self.assertFalse(os.path.lexists(self.prog))
        self.assertFalse(os.path.lexists(os.path.join(self.home, ".local/share/VOLNOR")))

    def test_installed_program_fetches_its_configuration_and_opens_without_an_error(self):
        self.run_script()
        work = os.path.join(self.home, "server")
        config = ("[EPLAN]\r\nDATE=%s\r\nMESS=Новости\r\n" % russian(RELEASE)).encode("cp1251")
        self.write(os.path.join(work, "root/f/8270/eplan-config.ini"), config)
        record = os.path.join(work, "record.jsonl")
        stop = os.path.join(work, "stop")
        server = subprocess.Popen(
            [sys.executable, os.path.join(SOURCE, "tests/servers/https_server.py"),
             "--root", os.path.join(work, "root"), "--workdir", work, "--record", record,
             "--ca-cert", CA_CERT, "--ca-key", CA_KEY, "--port", HTTPS_PORT,
             "--lifetime", "200", "--stop-file", stop],
            stdout=subprocess.PIPE, text=True)
        self.addCleanup(server.wait, 30)
        self.addCleanup(server.stdout.close)
        self.addCleanup(lambda: open(stop, "w").close())
        self.assertEqual(server.stdout.readline().strip(), HTTPS_PORT)

        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                 "1024x768x24", "-nolisten", "tcp"], pass_fds=[write_fd],
                                stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.addCleanup(xvfb.wait, 30)
        self.addCleanup(xvfb.terminate)
        with os.fdopen(read_fd) as f:
            display = ":" + f.readline().strip()

        env = dict(self.env, DISPLAY=display, QT_QPA_PLATFORM="xcb")
        log_path = os.path.join(work, "program.log")
        with open(log_path, "wb") as log:
            program = subprocess.Popen([self.launcher], env=env, cwd=self.home,
                                       stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(program.wait, 30)
        self.addCleanup(program.send_signal, signal.SIGKILL)

        def shown():
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                    str(program.pid)], env=env, capture_output=True, text=True)
            if program.poll() is not None:
                raise AssertionError("the program ended: " + self.read(log_path).decode())
            names = [subprocess.run(["xdotool", "getwindowname", w], env=env,
                                    capture_output=True, text=True).stdout.strip()
                     for w in found.stdout.split()]
            return [n for n in names if n]

        # The start-up's error report, a message box, would come before the main window.
        self.assertEqual(wait_for("window of the program", shown, 120), [TITLE])
        with open(record) as f:
            self.assertIn('"path": "/f/8270/eplan-config.ini"', f.read())
        self.assertEqual(self.read(os.path.join(self.prog, "eplan-config.ini")), config)


if __name__ == "__main__":
    unittest.main()
