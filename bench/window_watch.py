"""When a program's window is shown, seen from the X server.

The same method for every program, whatever its toolkit (a Win32 program
under Wine, a Qt program on Linux): the X server reports the program's
top-level window mapped (MapNotify on the root) and every drawing into it
(the DAMAGE extension). The window counts as shown at the last drawing
before it stays unchanged for a quiet spell: mapped, filled and settled, as
a person sees it. A caret that blinks later does not count; one that
appears with the window does.

    watch = WindowWatch()                # one X connection, on $DISPLAY
    process, shown = watch.launch(argv, env=...)
    shown.mapped, shown.drawn, shown.settled  # ms since the launch

Times are of CLOCK_MONOTONIC_RAW, the clock of Wine's performance counter,
so a bench build's timing marks fall on the same line (see launch_clock).
Needs libX11 and libXdamage (Debian: libx11-6, libxdamage1).
"""
import ctypes
import ctypes.util
import os
import select
import subprocess
import time

_CREATE_NOTIFY, _MAP_NOTIFY = 16, 19
_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_DAMAGE_REPORT_NON_EMPTY = 3


class _Event(ctypes.Structure):
    # XEvent is a union of 24 longs; the fields read here sit at the same
    # places in CreateNotify, MapNotify and XDamageNotifyEvent.
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("first", ctypes.c_ulong),
                ("second", ctypes.c_ulong), ("rest", ctypes.c_long * 18)]


def launch_clock():
    """Milliseconds of the clock that the launch times count on."""
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000.0


class Shown:
    def __init__(self):
        self.mapped = None   # ms from the launch to the window mapped
        self.drawn = None    # ... to the first drawing into it
        self.settled = None  # ... to the last drawing before the quiet spell
        self.drawings = []   # ms of every drawing up to then
        self.launched = None  # launch_clock() at the launch

    def __repr__(self):
        return "Shown(mapped=%s, drawn=%s, settled=%s, drawings=%d)" % (
            self.mapped, self.drawn, self.settled, len(self.drawings))


class WindowWatch:
    def __init__(self, display=None):
        x11 = ctypes.util.find_library("X11") or "libX11.so.6"
        damage = ctypes.util.find_library("Xdamage") or "libXdamage.so.1"
        self.x = ctypes.CDLL(x11)
        self.damage = ctypes.CDLL(damage)
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x.XInternAtom.restype = ctypes.c_ulong
        self.x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XSetErrorHandler.restype = ctypes.c_void_p
        self.damage.XDamageQueryExtension.argtypes = [
            ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
        self.damage.XDamageCreate.restype = ctypes.c_ulong
        self.damage.XDamageCreate.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int]
        self.damage.XDamageSubtract.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                                ctypes.c_ulong]
        self.damage.XDamageDestroy.argtypes = [ctypes.c_void_p, ctypes.c_ulong]

        name = (display or os.environ.get("DISPLAY", "")).encode()
        self.display = self.x.XOpenDisplay(name)
        if not self.display:
            raise RuntimeError("cannot open X display %r" % name.decode())
        # A window that vanishes between its notice and our request is no
        # fault of ours: ignore X errors rather than let Xlib end the process.
        self._on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
            lambda display, error: 0)
        self.x.XSetErrorHandler(self._on_error)
        event_base, error_base = ctypes.c_int(), ctypes.c_int()
        if not self.damage.XDamageQueryExtension(self.display, ctypes.byref(event_base),
                                                 ctypes.byref(error_base)):
            raise RuntimeError("the X server has no DAMAGE extension")
        self.damage_notify = event_base.value  # XDamageNotify is event 0 of the extension
        self.root = self.x.XDefaultRootWindow(self.display)
        self.pid_atom = self.x.XInternAtom(self.display, b"_NET_WM_PID", 0)
        self.x.XSelectInput(self.display, self.root, _SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XSync(self.display, 0)
        self._drain()

    def _drain(self):
        event = _Event()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))

    def _window_pid(self, window):
        kind, form = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        if self.x.XGetWindowProperty(self.display, window, self.pid_atom, 0, 1, 0, 6,  # CARDINAL
                                     ctypes.byref(kind), ctypes.byref(form), ctypes.byref(count),
                                     ctypes.byref(after), ctypes.byref(data)) != 0:
            return None
        pid = None
        if data.value and count.value == 1 and form.value == 32:
            pid = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0]
        if data.value:
            self.x.XFree(data)
        return pid

    def launch(self, argv, quiet_ms=300, limit_s=30, **popen):
        """Starts argv and waits until its window is shown (see the module's
        note); returns the process, still running, and its Shown. Shown's
        times are None when no window of it was shown within limit_s."""
        self._drain()
        shown = Shown()
        damages = {}  # window -> damage object, for every top-level made since the launch
        window = None  # the process's window, once mapped
        last_drawn = None
        shown.launched = launch_clock()
        process = subprocess.Popen(argv, **popen)
        deadline = time.monotonic() + limit_s
        event = _Event()
        connection = self.x.XConnectionNumber(self.display)
        try:
            while time.monotonic() < deadline and process.poll() is None:
                if last_drawn is not None:
                    wait = (last_drawn + quiet_ms - launch_clock()) / 1000.0
                    if wait <= 0:
                        break
                else:
                    wait = 0.05
                if not self.x.XPending(self.display):
                    select.select([connection], [], [], min(wait, 0.05))
                while self.x.XPending(self.display):
                    self.x.XNextEvent(self.display, ctypes.byref(event))
                    now = launch_clock() - shown.launched
                    if event.type == _CREATE_NOTIFY and event.first == self.root:
                        created = event.second
                        damages[created] = self.damage.XDamageCreate(
                            self.display, created, _DAMAGE_REPORT_NON_EMPTY)
                    elif event.type == _MAP_NOTIFY and window is None:
                        mapped = event.second
                        if mapped in damages and self._window_pid(mapped) in (None, process.pid):
                            window, shown.mapped = mapped, now
                    elif event.type == self.damage_notify:
                        drawable, damage = event.first, event.second
                        self.damage.XDamageSubtract(self.display, damage, 0, 0)
                        if window is not None and drawable == window:
                            if shown.drawn is None:
                                shown.drawn = now
                            shown.settled = now
                            shown.drawings.append(now)
                            last_drawn = launch_clock()
                self.x.XFlush(self.display)
        finally:
            for damage in damages.values():
                self.damage.XDamageDestroy(self.display, damage)
            self.x.XSync(self.display, 0)
            self._drain()
        return process, shown
