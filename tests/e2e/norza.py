"""Running Norza.exe itself in a test: an installed copy in the test's own
folder, its engine journal, the tray and its windows."""
import glob
import json
import os
import re
import shutil
import tempfile

import harness
from harness import wait_for

TRAY_TITLE = "Wine System Tray"

# The program's texts in Chinese and in English, as the user reads them.
TEXTS = {
    "notice_self": ("扫码内容未输入:前台是 Norza 托盘窗口。请先点击要输入的窗口再扫码。内容已记入 log.log。",
                    "Scan not typed: the Norza tray window is in front. Click the window to type "
                    "into, then scan again. The scan is saved in log.log."),
    "notice_no_focus": ("扫码内容未输入:前台窗口中没有获得焦点的输入框。请先点击输入框再扫码。内容已记入 log.log。",
                        "Scan not typed: no input field has the focus in the window in front. Click "
                        "an input field, then scan again. The scan is saved in log.log."),
    "device_lost": ("扫码器已断开。重新连接后会自动恢复扫码。",
                    "The scanner was disconnected. Scanning resumes by itself once it is connected again."),
    "device_back": ("扫码器已连接,可以扫码。", "The scanner is connected. Ready to scan."),
    "start_failed": ("扫码引擎未能启动,暂时不能扫码。请检查扫码器是否已连接;连接后会自动重试,无需重启本程序。",
                     "The scanning engine did not start; scanning is not possible for now. Check that "
                     "the scanner is connected: Norza retries by itself, no restart needed."),
    "about_title": ("关于 vistrel_app", "About vistrel_app"),
    "about_version": ("vistrel_app 1.0 版", "vistrel_app version 1.0"),
    "running_title": ("注意", "Note"),
    "running_text": ("程序已运行!", "The program is already running!"),
    "history_title": ("扫描记录 - Norza", "Scan history - Norza"),
    "typed": ("已输入", "Typed"),
    "repeat": ("重复,未输入", "Repeat, not typed"),
    "not_typed_self": ("未输入:前台是 Norza 的窗口", "Not typed: a Norza window was in front"),
    "cut": (";内容过长,未保存全文", "; too long to keep"),
    "not_kept": ("此条扫码内容过长,未保存全文,不能复制或再次输入。",
                 "This code was too long to keep: it cannot be copied or typed again."),
    "retype_busy": ("正在输入另一条扫码,完成后请再按“再次输入”。",
                    "Another code is being typed. Press Type again when it is done."),
    "settings_title": ("Norza 设置", "Norza Settings"),
    "link_fields": ("GS1 数字链接：%s", "GS1 Digital Link: %s"),
    "notice_link_invalid": ("扫码内容按原样输入:它不是有效的 GS1 数字链接 (Digital Link),无法转换为 GS1 字段。原因已记入 log.log。",
                            "Scan typed as scanned: it is not a valid GS1 Digital Link, so it could not be "
                            "typed as its GS1 fields. The reason is in log.log."),
    "notice_rejected_2": ("扫码内容未输入:被规则 RULE2 拒绝。内容已记入 log.log。",
                          "Scan not typed: rule RULE2 refuses it. The scan is saved in log.log."),
    "rules_title": ("规则与程序设置 - Norza", "Rules and programs - Norza"),
    "rule_title": ("规则", "Rule"),
    "program_title": ("程序设置", "Program section"),
    "program_policy": ("灰色的项由你的组织设置，程序设置不能更改。",
                       "Greyed: set by your organisation; a program section cannot change it."),
    "rules_shared": ("* 来自你的组织的共享设置文件，不能在此更改。",
                     "* From your organisation's shared settings file: not to be changed here."),
    "bad_keydelay": ("按键间隔必须是 0 到 200 之间的整数（毫秒）。",
                     "The key delay must be a whole number of milliseconds from 0 to 200."),
    "rule_matched": ("规则 RULE2 匹配", "RULE2 matched"),
    "bad_match": ("匹配不是有效的正则表达式。", "Match is not a valid regular expression."),
    "no_rule": ("没有规则匹配：按输出选项输入", "No rule: typed with the output options"),
    "notice_shared": ("无法读取你的组织的共享设置文件。Norza 继续使用上次读取的共享设置，详见 log.log。",
                      "Your organisation's shared settings file cannot be read. Norza goes on with the shared "
                      "settings it read last; see log.log."),
    "notice_shared_too_large": ("你的组织的共享设置文件过大，不是设置文件，未被读取。Norza 继续使用上次读取的共享设置，详见 log.log。",
                                "Your organisation's shared settings file is too large to be a settings file and was "
                                "not read. Norza goes on with the shared settings it read last; see log.log."),
    "notice_shared_refused": ("你的组织的共享设置文件不是组织核准的内容（SHA-256 不符），已拒绝使用。详见 log.log。",
                              "Your organisation's shared settings file is not the content your organisation "
                              "signed off (its SHA-256 differs) and was refused; see log.log."),
    "org_fields": ("由你的组织设置，不能在此更改：", "Set by your organisation, not to be changed here: "),
    "org_locked": ("设置已被你的组织锁定，不能在此更改。", "Locked by your organisation: the settings cannot be changed here."),
    "org_separator": ("、", ", "),
    "notice_paste_not_taken": ("扫码内容未输入:目标程序没有接收粘贴的内容;剪贴板中现在是该扫码内容,保留 30 秒,"
                               "可按 Ctrl+V 粘贴。内容已记入 log.log。",
                               "Scan not typed: the pasted text was not taken; your clipboard holds the code "
                               "for 30 seconds, press Ctrl+V to paste it. The scan is saved in log.log."),
    "notice_clipboard_not_saved": ("扫码内容未输入:您剪贴板中的内容无法完整保存(过大或其来源程序没有响应),为不丢失其中任何内容,"
                                   "剪贴板保持原样,扫码内容没有粘贴。内容已记入 log.log。",
                                   "Scan not typed: what you had copied could not be saved whole (too large, or its "
                                   "program did not answer), so the clipboard was left as it was and the code was "
                                   "not pasted. The scan is saved in log.log."),
    "paste_not_taken": ("未输入:粘贴未被接收,剪贴板中是扫码内容", "Not typed: paste not taken, clipboard holds the code"),
    "notice_front": ("扫码内容未完整输入:输入 %d 个字符(共 %d 个)后另一个窗口到了前台,输入在此停止。内容已记入 log.log。",
                     "Scan not typed in full: %d of %d characters typed, then another window came to the "
                     "front and the typing stopped there. The scan is saved in log.log."),
    "sound_not_typed": ("扫码内容未输入", "Code not typed"),
    "notice_typed": ("扫码内容已输入。", "Scan typed."),
    "sound_silent": ("没有声音：该事件在声音方案中没有声音，其声音文件无法播放，或声音已关闭。",
                     "Nothing to hear: the event has no sound in the sound scheme, its sound file cannot be "
                     "played, or the sounds are off."),
    "duplicate": ("已扫描过,未输入", "Scanned before, not typed"),
    "typed_duplicate": ("已输入(此前扫描过)", "Typed (scanned before)"),
    "notice_duplicate": ("扫码内容未输入:此前已扫描过相同的内容。内容已记入 log.log。",
                         "Scan not typed: this code was scanned before. The scan is saved in log.log."),
    "counts": ("今天:扫描 %d 次,已输入 %d 次,未输入 %d 次", "Today: %d scanned, %d typed, %d not typed"),
    "qr": ("QR 码", "QR Code"),
    "history_page": ("扫描记录", "History"),
    "export_all": ("导出全部记录(&A)…", "Export &all records…"),
    "export_header": (["时间", "码制", "扫码内容", "结果", "程序"], ["Time", "Symbology", "Code", "Result", "Program"]),
    "history_front": ("已输入 %d/%d 个字符:另一个窗口到了前台",
                      "%d of %d characters typed: another window came to the front"),
}


def text(name, language=None):
    """A text in the given language ("zh" or "en"), by default in the one the
    program picks by itself: Chinese on the Chinese system, English elsewhere."""
    language = language or ("zh" if harness.CODEPAGE == 936 else "en")
    return TEXTS[name][language == "en"]


def startup_shortcuts():
    """The program's shortcuts in the Startup folder of the prefix's user."""
    with open(harness.STATE) as f:
        prefix = json.load(f)["prefix"]
    links = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "**",
                                   "Norza.lnk"), recursive=True)
    return [link for link in links if os.path.basename(os.path.dirname(link)).lower() == "startup"]


def reg_values(key):
    """The default values of a registry key's subkeys, by their path below it
    ("" for the key itself); empty when the key is missing. Exported as a
    .reg file, which is UTF-16 whatever the code page."""
    path = os.path.join(tempfile.mkdtemp(), "export.reg")
    try:
        if harness.run("reg", "export", key, harness.winpath(path), "/y")[0] != 0:
            return {}
        with open(path, "rb") as f:
            lines = f.read().decode("utf-16").splitlines()
    finally:
        shutil.rmtree(os.path.dirname(path))
    root = key.replace("HKCU", "HKEY_CURRENT_USER", 1).lower()
    values, current = {}, None
    for line in lines:
        if line.startswith("["):
            current = line[1:-1][len(root):].lstrip("\\")
        elif line.startswith('@="') and current is not None:
            values[current] = line[3:-1].replace('\\"', '"').replace("\\\\", "\\")
    return values


def history_folder():
    """Where the program keeps its scan history: %LOCALAPPDATA%\\Norza of the prefix's user."""
    with open(harness.STATE) as f:
        prefix = json.load(f)["prefix"]
    folders = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local"))
    return os.path.join(folders[0], "Norza") if folders else None


def tray_visible():
    return bool(harness.xdotool("search", "--onlyvisible", "--name", TRAY_TITLE))


def wintool(*args):
    rc, out = harness.probe.ask(*args)
    return rc, out.decode("utf-8", "replace")


def controls(hwnd):
    """A window's controls by id: (enabled, check or choice, text)."""
    result = {}
    for line in wintool("controls", hwnd)[1].splitlines():
        m = re.match(r'(-?\d+) ([01]) (-?\d+) "(.*)"$', line)
        if m:
            result[int(m[1])] = (m[2] == "1", int(m[3]), m[4])
    return result


def windows():
    """Top-level windows as dicts: hwnd, pid, cls, visible, rect, style, exstyle, title, children
    (hwnd, cls, id, parent, text)."""
    result = []
    for line in wintool("list")[1].splitlines():
        m = re.match(r'window (0x[0-9a-f]+) pid (\d+) (\S+) visible (\d) '
                     r'rect (-?\d+) (-?\d+) (-?\d+) (-?\d+) style (0x[0-9a-f]+) exstyle (0x[0-9a-f]+) "(.*)"$', line)
        if m:
            result.append(dict(hwnd=m[1], pid=int(m[2]), cls=m[3], visible=m[4] == "1",
                               rect=tuple(int(m[i]) for i in range(5, 9)), style=int(m[9], 16),
                               exstyle=int(m[10], 16), title=m[11], children=[]))
            continue
        m = re.match(r'  child (0x[0-9a-f]+) (\S+) (-?\d+) parent (0x[0-9a-f]+) "(.*)"$', line)
        if m and result:
            result[-1]["children"].append(dict(hwnd=m[1], cls=m[2], id=int(m[3]), parent=m[4], text=m[5]))
    return result


TCM_SETCURFOCUS = "0x1330"


def page_control(window, control_id):
    """A control of a tabbed dialog by id, its page brought to the front first
    as a user would by its tab, so that it is seen, clicked and typed into."""
    control = [c for c in window["children"] if c["id"] == control_id][0]
    if control["parent"] != window["hwnd"]:
        pages = [c["hwnd"] for c in window["children"] if c["parent"] == window["hwnd"] and c["cls"] == "#32770"]
        tabs = [c["hwnd"] for c in window["children"] if c["cls"] == "SysTabControl32"][0]
        wintool("send", tabs, TCM_SETCURFOCUS, str(pages.index(control["parent"])), "0")
    return control["hwnd"]


def balloons():
    """Texts of the balloon notices the system tray shows now: its visible
    tooltip windows, whose text the tooltip control answers to WM_GETTEXT."""
    return [(w["hwnd"], wintool("text", w["hwnd"])[1]) for w in windows()
            if w["cls"] == "tooltips_class32" and w["visible"]]


def wait_balloon(name, timeout=10, language=None):
    """Waits for the balloon showing the program's notice, exactly; returns its window."""
    expected = text(name, language)
    return wait_for(lambda: [h for h, t in balloons() if t == expected], timeout=timeout, interval=0.2,
                    what="the notice %r (showing %r)" % (expected, balloons()))[0]


class NorzaCase(harness.WineTestCase):
    def setUp(self):
        super().setUp()
        # Each test starts with no history of the tests before it.
        folder = history_folder()
        if folder:
            shutil.rmtree(folder, ignore_errors=True)
        self.install()
        import tray   # which imports this module
        tray.tray_window = self.tray_hwnd
        self.exe = os.path.join(self.folder, "Norza.exe")
        self.journal_path = os.path.join(self.folder, "vistrel.journal")

    def tearDown(self):
        # The stand-in engine marks a call made from inside one of its decode
        # messages: the program never calls it from there, whatever a test did.
        reentered = [c for c in self.journal() if c.startswith("REENTERED")]
        super().tearDown()
        self.assertEqual([], reentered)

    def write(self, name, content, folder=None):
        path = os.path.join(folder or self.folder, name)
        # A new file: the one there may be a link to the build's.
        if os.path.exists(path):
            os.remove(path)
        with open(path, "wb") as f:
            f.write(content.encode() if isinstance(content, str) else content)

    def provide(self, name, content):
        """Writes the settings file, or removes it when content is None."""
        if content is None:
            os.remove(os.path.join(self.folder, name))
        else:
            self.write(name, content)

    def journal(self):
        return harness.read_lines(self.journal_path)

    def engine_calls(self, since=0):
        """The journal from entry `since` on, without the device watch's polls,
        which come every 3 seconds whatever else the program is doing."""
        return [c for c in self.journal()[since:] if c != "GetDevice"]

    def start_norza(self, cwd=None, until="SetBeep 1", trace=None):
        """Starts the program and waits until the journal shows `until`;
        trace as for harness.start."""
        before = len(self.journal())
        proc = self.start(self.exe, cwd=cwd or self.folder, trace=trace)
        wait_for(lambda: until in self.journal()[before:], timeout=30,
                 what="%r in the engine journal" % until)
        return proc

    def tray_hwnd(self):
        handles = [line.split()[1] for line in self.journal() if line.startswith("GetAppHandle")]
        return handles[-1]

    def poll_device(self, only=False):
        """Has the device watch look at the device now, not at its next tick;
        only: and from now on only when asked. Returns once it has looked."""
        self.assertEqual(0, wintool("send", self.tray_hwnd(), harness.ID("WM_DEVICE_POLL"),
                                    "1" if only else "0", "0")[0])

    def quit(self, proc):
        self.assertEqual(0, harness.scanctl("quit")[0])
        proc.wait(30)
