"""Reading the tray: which icon it shows, as the tray window tells and, once
for each icon, as the Wine system tray shows it; and the tray menu's check
marks, from screenshots of the virtual display."""
import os
import re
import struct
import subprocess
import time

import harness
from norza import TRAY_TITLE

ICONS = ("app", "no_device", "qr_only", "dm_only", "barcode_only", "none_enabled", "mixed",
         "not_typed", "typed", "duplicate")
# Each icon by its resource id.
ICON_IDS = {harness.IDS["IDI_" + ("CUE_" if name in ("not_typed", "typed", "duplicate") else "") + name.upper()]: name
            for name in ICONS}
# A function that gives the tray window's handle (set by the test case).
tray_window = None
_seen_on_screen = set()
# The menu's items between its separators: the toggles, the windows, Restart and Exit.
MENU_GROUPS = (3, 2, 2)
MENU_ITEMS = sum(MENU_GROUPS)


class Screen:
    def __init__(self):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=harness.wine_env(),
                             stdout=subprocess.PIPE, check=True, timeout=30).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+\d+\s", ppm)
        self.width, self.height = int(header[1]), int(header[2])
        self.data = ppm[header.end():]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


def load_icon(name, size=16):
    """The icon's image of the given size as rows of (r, g, b, a)."""
    with open(os.path.join(harness.BUILD_DIR, "res", "icons", name + ".ico"), "rb") as f:
        data = f.read()
    count, = struct.unpack_from("<H", data, 4)
    for i in range(count):
        w, h, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if (w or 256) == size:
            pixels = data[offset + 40:offset + 40 + size * size * 4]
            rows = [[tuple(pixels[(y * size + x) * 4 + k] for k in (2, 1, 0, 3))
                     for x in range(size)] for y in range(size)]
            return rows[::-1]   # bottom-up
    raise ValueError("no %d px image in %s" % (size, name))


def tray_geometry():
    ids = harness.xdotool("search", "--onlyvisible", "--name", TRAY_TITLE)
    if not ids:
        return None
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[0]],
                         env=harness.wine_env(), stdout=subprocess.PIPE, text=True).stdout
    g = dict(line.split("=") for line in out.split())
    return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])


def icon_cell(screen, geometry):
    """Bounding box of the first icon in the tray window's client area."""
    x0, y0, w, h = geometry
    bg = screen.pixel(x0 + w - 6, y0 + h - 6)
    # Inside the frame Wine draws around the tray window, below its caption.
    points = [(x, y) for y in range(y0 + h - 20, y0 + h - 3) for x in range(x0 + 4, x0 + 26)
              if screen.pixel(x, y) != bg]
    if not points:
        return None, bg
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1), bg


def shown_icon():
    """Name of the icon the tray window shows now, as it tells; None when it does not."""
    try:
        hwnd = tray_window()
        rc, out = harness.probe.ask("send", hwnd, harness.ID("WM_TRAY_ICON_ID"), "0", "0")
    except (IndexError, TypeError):   # no tray window yet
        return None
    return ICON_IDS.get(int(out)) if rc == 0 and out.strip() else None


def screen_icon():
    """Name of the icon the system tray shows now, by the closest match in pixels."""
    geometry = tray_geometry()
    if not geometry:
        return None
    screen = Screen()
    box, bg = icon_cell(screen, geometry)
    if not box:
        return None
    best, best_distance = None, None
    for name in ICONS:
        image = load_icon(name)
        opaque = [(x, y) for y in range(16) for x in range(16) if image[y][x][3] > 0]
        ox, oy = min(p[0] for p in opaque), min(p[1] for p in opaque)
        distance = 0
        for x, y in opaque:
            r, g, b, a = image[y][x]
            expected = [(c * a + bc * (255 - a)) // 255 for c, bc in zip((r, g, b), bg)]
            sx, sy = box[0] + x - ox, box[1] + y - oy
            if sx >= screen.width or sy >= screen.height:
                distance += 765
                continue
            distance += sum(abs(e - s) for e, s in zip(expected, screen.pixel(sx, sy)))
        distance /= len(opaque)
        if best_distance is None or distance < best_distance:
            best, best_distance = name, distance
    return best


def wait_icon(name, timeout=5):
    """Waits for the tray window to show the icon; the first time for each
    icon, also for the system tray to show its pixels. Returns when the
    window first told it."""
    harness.wait_for(lambda: shown_icon() == name, timeout=timeout, interval=0.1,
                     what="the %s icon (showing %s)" % (name, shown_icon()))
    seen = time.time()
    if name not in _seen_on_screen:
        harness.wait_for(lambda: screen_icon() == name, timeout=timeout, interval=0.2,
                         what="the %s icon on screen (showing %s)" % (name, screen_icon()))
        _seen_on_screen.add(name)
    return seen


class Menu:
    """The tray menu, opened with a right click on the icon, or by
    open_with(x, y) with the icon's centre."""

    def __init__(self, open_with=None):
        geometry = tray_geometry()
        screen = Screen()
        box, _ = icon_cell(screen, geometry)
        self.x, self.y = (box[0] + box[2]) // 2, (box[1] + box[3]) // 2
        # Right after a menu has closed, Wine may close the next one at once,
        # before it is drawn: as a user would, click again until it stays.
        for attempt in range(12):
            harness.xdotool("mousemove", str(self.x + 300), str(self.y + 400))
            time.sleep(0.5)
            if open_with:
                open_with(self.x, self.y)
            else:
                harness.xdotool("mousemove", str(self.x), str(self.y), "click", "3")
            try:
                self.rows = harness.wait_for(self._find_rows, timeout=1.5, interval=0.2,
                                             what="the tray menu")
                return
            except AssertionError:
                if attempt == 11:
                    raise
                harness.xdotool("key", "Escape")

    def _find_rows(self):
        """The menu opens with its top-left corner at the cursor."""
        screen = self.screen = Screen()
        bg = screen.pixel(self.x + 2, self.y + 3)
        if screen.pixel(self.x + 2, self.y + 60) != bg:
            return None
        right = self.x + 2
        while right < screen.width - 1 and screen.pixel(right + 1, self.y + 3) == bg:
            right += 1
        bottom = self.y + 3
        while bottom < screen.height - 1 and screen.pixel(self.x + 2, bottom + 1) == bg:
            bottom += 1
        if right - self.x < 40:
            return None
        self.right = right
        # A separator is a thin line of one colour across the menu (not the
        # band of a highlighted item); the items of a group share the space
        # between two.
        lines = [y for y in range(self.y + 3, bottom - 2)
                 if {screen.pixel(x, y) for x in range(self.x + 12, right - 12, 4)} - {bg}
                 and len({screen.pixel(x, y) for x in range(self.x + 12, right - 12, 4)}) == 1]
        separators = [y for y in lines if y - 1 not in lines and y + 2 not in lines]
        if len(separators) != len(MENU_GROUPS) - 1:
            return None
        bounds = [self.y] + separators + [bottom]
        rows = []
        for count, top, end in zip(MENU_GROUPS, bounds, bounds[1:]):
            height = (end - top) / count
            rows += [(int(top + i * height), int(top + (i + 1) * height)) for i in range(count)]
        return rows

    def checked(self):
        """Whether each item shows a check mark left of its text."""
        marks = []
        for top, bottom in self.rows:
            dark = sum(1 for y in range(top, bottom) for x in range(self.x + 3, self.x + 16)
                       if sum(self.screen.pixel(x, y)) < 200)
            marks.append(dark >= 4)
        return marks

    def click(self, index):
        top, bottom = self.rows[index]
        harness.xdotool("mousemove", str(self.x + 40), str((top + bottom) // 2))
        time.sleep(0.2)
        harness.xdotool("click", "1")
        time.sleep(0.3)

    def close(self):
        harness.xdotool("key", "Escape")
        time.sleep(0.3)
