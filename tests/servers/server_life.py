"""What every test server does to start and to end: it announces its port once it listens, and
it ends by itself after its lifetime or as soon as its stop file appears (a Windows test under
Wine can neither wait for nor kill the Linux process it started)."""
import os
import socket
import threading
import time


def announce_port(port, port_file=None):
    """The port on the first line of stdout and, when given, in port_file, which appears whole."""
    print(port, flush=True)
    if port_file:
        with open(port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(port_file + ".tmp", port_file)


def bound_life(lifetime, stop_file=None, port_file=None, listeners=()):
    """Ends the process after lifetime seconds, or earlier once stop_file exists. The listening
    sockets (a list the server may fill later) close first and the port file goes next, so that
    whoever stopped the server knows, once the file is gone, that nothing listens on its port."""
    def watch():
        deadline = time.monotonic() + lifetime
        while time.monotonic() < deadline:
            if stop_file and os.path.exists(stop_file):
                break
            time.sleep(0.1)
        for listener in listeners:
            # shutdown, not only close: a thread blocked in accept would keep it listening.
            try:
                listener.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            listener.close()
        if port_file and os.path.exists(port_file):
            os.remove(port_file)
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def serve_until_stopped(serve):
    """Runs the server's loop. Closing its socket may end the loop before bound_life has removed
    the port file; the process then waits here for bound_life to end it."""
    try:
        serve()
    finally:
        threading.Event().wait()
