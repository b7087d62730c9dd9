#!/usr/bin/env python3
"""Times the real program the way a user meets it: a book-sized text loaded, pasted,
converted, saved and scrolled under Xvfb with a window manager, driven by real input
(xdotool keys and clicks, xclip for the clipboard).

Every figure runs from the moment the input is sent to the moment the program reports on
its debug channel (MORATUTOR_TRACE) that the window has repainted: the pane's paint with
the whole text, the report box's paint, and so on; "answering" is the end of the last
stall of the program's event loop (a 5 ms timer arriving late by more than 40 ms).

    python3 bench/window_timing.py build/bin/moratutor [--runs 5] [--chars 2000000]

Not a test: ctest does not run it. Needs Xvfb, openbox, xdotool and xclip.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def now_ns():
    return time.monotonic_ns()


# --- The text: Russian prose and verse from the word list, many short lines -------------

def build_text(chars, seed=7):
    words = [w.strip() for w in open(os.path.join(HERE, "words.txt"), encoding="utf-8")
             if w.strip() and not w.startswith("#")]
    rnd = random.Random(seed)

    def sentence(n):
        s = " ".join(rnd.choice(words) for _ in range(n))
        return s[0].upper() + s[1:]

    lines, size = [], 0
    while size < chars:
        if rnd.random() < 0.6:  # a stanza of short verse lines
            for _ in range(4):
                line = sentence(rnd.randint(4, 6)) + rnd.choice([",", ";", ".", "!", ""])
                lines.append(line)
                size += len(line) + 1
        else:  # prose in short hard-wrapped lines
            for _ in range(rnd.randint(3, 8)):
                line = sentence(rnd.randint(4, 8)) + rnd.choice([".", ",", "", "!", "?"])
                lines.append(line)
                size += len(line) + 1
        lines.append("")
        size += 1
    text = "\n".join(lines)[:chars]
    return text


def rtf_of(text):
    out = [r"{\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fnil\fcharset204 Times New Roman;}}\f0\fs20 "]
    for line in text.split("\n"):
        piece = []
        for ch in line:
            if ch in "\\{}":
                piece.append("\\" + ch)
            elif ord(ch) < 128:
                piece.append(ch)
            else:
                piece.append("\\'%02x" % ch.encode("cp1251")[0])
        out.append("".join(piece) + "\\par\n")
    out.append("}")
    return "".join(out)


def formatted_rtf_of(text):
    """The same text as a formatted book: a heading (large, bold) every 60 lines, and a
    bold word every 7 words and an italic one every 11 in the others."""
    def escaped(piece):
        return "".join("\\" + ch if ch in "\\{}" else ch if ord(ch) < 128 else "\\'%02x" % ch.encode("cp1251")[0]
                       for ch in piece)

    out = [r"{\rtf1\ansi\ansicpg1251\deff0{\fonttbl{\f0\fnil\fcharset204 Times New Roman;}}\f0\fs20 "]
    for n, line in enumerate(text.split("\n")):
        if n % 60 == 0 and line:
            out.append("{\\fs32\\b " + escaped(line) + "}\\par\n")
            continue
        words = []
        for k, word in enumerate(line.split(" ")):
            if k % 7 == 3:
                words.append("{\\b " + escaped(word) + "}")
            elif k % 11 == 5:
                words.append("{\\i " + escaped(word) + "}")
            else:
                words.append(escaped(word))
        out.append(" ".join(words) + "\\par\n")
    out.append("}")
    return "".join(out)


# --- The program's debug channel --------------------------------------------------------

class Trace:
    def __init__(self, path):
        self.path = path
        self.pos = 0
        self.lines = []

    def poll(self):
        with open(self.path, encoding="utf-8", errors="replace") as f:
            f.seek(self.pos)
            data = f.read()
            cut = data.rfind("\n") + 1
            self.pos += len(data[:cut].encode("utf-8"))
        for line in data[:cut].splitlines():
            parts = line.split()
            if len(parts) >= 2:
                self.lines.append((int(parts[0]), parts[1], parts[2:]))

    def since(self, t0, kind=None):
        self.poll()
        return [l for l in self.lines if l[0] >= t0 and (kind is None or l[1] == kind)]

    def wait(self, t0, pred, timeout=600.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for l in self.since(t0):
                if pred(l):
                    return l
            time.sleep(0.01)
        raise TimeoutError("no trace line")

    def settle(self, t0, quiet=1.5, timeout=600.0):
        """Waits until the event loop has run freely for `quiet` seconds; returns the end
        of the last stall after t0 (or None) and the longest stall in ms."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            time.sleep(0.1)
            # Stalls under 100 ms are left to the machine's other load.
            stalls = [s for s in self.since(t0, "stall") if int(s[2][0]) >= 100]
            last = stalls[-1][0] if stalls else t0
            if now_ns() - last > quiet * 1e9:
                longest = max((int(s[2][0]) for s in stalls), default=0)
                return (stalls[-1][0] if stalls else None), longest
        raise TimeoutError("the program never settled")

    def geometry(self, name):
        self.poll()
        for l in reversed(self.lines):
            if l[1] == "geom" and l[2][0] == name:
                x, y, w, h = map(int, l[2][1:5])
                return x + w // 2, y + h // 2
        raise KeyError(name)


def xdo(*args):
    subprocess.run(["xdotool", *args], check=True)


def ms(a, b):
    return (a - b) / 1e6


# --- One run ----------------------------------------------------------------------------

def pane_paint(name, at_least):
    return lambda l: l[1] == "paint" and l[2][0] == name and int(l[2][1]) >= at_least


def open_dialog(trace, keys, path, type_index=None):
    t = now_ns()
    xdo("key", "--clearmodifiers", keys)
    trace.wait(t, lambda l: l[1] == "show" and l[2][0] == "QFileDialog")
    time.sleep(0.6)
    if type_index is not None:
        xdo("mousemove", *map(str, trace.geometry("fileTypeCombo")), "click", "1")
        time.sleep(0.3)
        xdo("key", "Home", *(["Down"] * type_index), "Return")
        time.sleep(0.3)
        xdo("mousemove", *map(str, trace.geometry("fileNameEdit")), "click", "1")
        time.sleep(0.2)
    xdo("key", "ctrl+a")
    xdo("type", "--delay", "1", path)
    time.sleep(0.4)


def after_dialog(trace, t0):
    gone = trace.wait(t0, lambda l: l[1] == "paint" and l[2][0] == "window")
    return ms(gone[0], t0)


def keystroke(trace, pane, key, chars_after=0):
    time.sleep(0.3)
    t0 = now_ns()
    xdo("key", "--clearmodifiers", key)
    seen = trace.wait(t0, pane_paint(pane, chars_after), timeout=60)
    return ms(seen[0], t0)


def high_water_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM"):
                return int(line.split()[1]) / 1024
    return 0


def start_program(command, work, trace_path):
    """The program with its debug channel on, and that channel once it is open."""
    env = dict(os.environ, MORATUTOR_TRACE=trace_path)
    proc = subprocess.Popen(command, env=env, cwd=work)
    for _ in range(200):
        if os.path.exists(trace_path):
            break
        time.sleep(0.05)
    return proc, Trace(trace_path)


def stop_program(proc):
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()


def convert_to_report(trace):
    """Clicks "Заменить слоги на Хирагану", closes the report; the time to the report."""
    t0 = now_ns()
    xdo("mousemove", *map(str, trace.geometry("spdbtnReplaceWithHiragana")), "click", "1")
    report = trace.wait(t0, lambda l: l[1] == "paint" and l[2][0] == "messagebox")
    time.sleep(0.3)
    xdo("key", "Return")
    trace.wait(report[0], lambda l: l[1] == "hide" and l[2][0] == "QMessageBox")
    return ms(report[0], t0)


def one_run(program, work, text, trace_path, wrap=()):
    r = {}
    n = len(text) + 1  # the document's count includes its last paragraph end
    proc, trace = start_program([*wrap, program], work, trace_path)
    try:
        trace.wait(0, lambda l: l[1] == "geom" and l[2][0] == "richSourceTextAnsi", timeout=30)
        time.sleep(0.5)

        for key, name in (("load_txt", "book.txt"), ("load_rtf", "book.rtf")):
            open_dialog(trace, "ctrl+o", os.path.join(work, name))
            t0 = now_ns()
            xdo("key", "Return")
            r[key + "_dialog_gone"] = after_dialog(trace, t0)
            seen = trace.wait(t0, pane_paint("richSourceTextAnsi", n))
            r[key + "_visible"] = ms(seen[0], t0)
            last, longest = trace.settle(t0)
            r[key + "_done"] = max(r[key + "_visible"], ms(last, t0) if last else 0)
            r[key + "_longest_stall"] = longest
            r[key + "_peak_rss_mb"] = high_water_mb(proc.pid)

        # Paste into the emptied source pane.
        xdo("mousemove", *map(str, trace.geometry("richSourceTextAnsi")), "click", "1")
        xdo("key", "ctrl+a", "Delete")
        trace.wait(now_ns(), pane_paint("richSourceTextAnsi", 1))
        trace.settle(now_ns())
        with open(os.path.join(work, "book.txt"), "rb") as f:
            subprocess.run(["xclip", "-selection", "clipboard", "-i"], stdin=f, check=True)
        time.sleep(0.5)
        t0 = now_ns()
        xdo("key", "--clearmodifiers", "ctrl+v")
        seen = trace.wait(t0, pane_paint("richSourceTextAnsi", n))
        last, longest = trace.settle(t0)
        r["paste_visible"] = ms(seen[0], t0)
        r["paste_done"] = max(r["paste_visible"], ms(last, t0) if last else 0)
        r["paste_longest_stall"] = longest
        r["paste_peak_rss_mb"] = high_water_mb(proc.pid)

        # Convert, every group and option ticked by the preferences file.
        r["convert_to_report"] = convert_to_report(trace)
        r["convert_peak_rss_mb"] = high_water_mb(proc.pid)
        r["result_ctrl_end"] = keystroke(trace, "richConvertedTextUnicode", "ctrl+End")
        trace.settle(now_ns())
        keystroke(trace, "richConvertedTextUnicode", "ctrl+Home")
        r["result_page_down"] = keystroke(trace, "richConvertedTextUnicode", "Next")
        r["result_typing"] = keystroke(trace, "richConvertedTextUnicode", "a")

        xdo("mousemove", *map(str, trace.geometry("richSourceTextAnsi")), "click", "1")
        trace.settle(now_ns())
        r["source_ctrl_end"] = keystroke(trace, "richSourceTextAnsi", "ctrl+End")
        keystroke(trace, "richSourceTextAnsi", "ctrl+Home")
        r["source_page_down"] = keystroke(trace, "richSourceTextAnsi", "Next")
        r["source_typing"] = keystroke(trace, "richSourceTextAnsi", "a")

        for key, name, type_index in (("save_txt", "out.txt", None), ("save_rtf", "out.rtf", 1)):
            target = os.path.join(work, name)
            if os.path.exists(target):
                os.remove(target)
            open_dialog(trace, "ctrl+s", target, type_index)
            t0 = now_ns()
            xdo("key", "Return")
            r[key + "_dialog_gone"] = after_dialog(trace, t0)
            last, _ = trace.settle(t0)
            if not os.path.exists(target):
                raise RuntimeError("nothing saved to " + target)
            r[key + "_done"] = max(r[key + "_dialog_gone"], ms(last, t0) if last else 0)
            r[key + "_peak_rss_mb"] = high_water_mb(proc.pid)

        r["peak_rss_mb"] = high_water_mb(proc.pid)
        r["peak_per_utf16"] = r["peak_rss_mb"] * 1024 * 1024 / (2 * len(text))
        # The longest stall that began while no busy cursor was shown (a stall is reported
        # when it ends, with its length; its start is known to the 5 ms of the timer).
        lines = trace.since(0)
        changes = [(l[0], l[2][0] == "1") for l in lines if l[1] == "busy"]
        worst = 0
        for l in lines:
            if l[1] != "stall":
                continue
            start = l[0] - int(l[2][0]) * 1_000_000 + 10_000_000
            busy = False
            for at, on in changes:
                if at > start:
                    break
                busy = on
            if not busy:
                if int(l[2][0]) > worst and os.environ.get("WINDOW_TIMING_STALLS"):
                    print("stall", l, [((x[0] - start) // 1000000, x[1], x[2][:2]) for x in lines if abs(x[0] - start) < 1e9 and x[1] != "geom"], file=sys.stderr)
                worst = max(worst, int(l[2][0]))
        r["longest_stall_without_busy_cursor"] = worst
    finally:
        stop_program(proc)
    return r


def both_panes_run(program, work, text, trace_path, wrap=()):
    """The memory goal's case: the program started on the book (as from a file manager),
    one conversion, and the peak with the text in both panes."""
    proc, trace = start_program([*wrap, program, os.path.join(work, "book.txt")], work, trace_path)
    try:
        trace.wait(0, pane_paint("richSourceTextAnsi", len(text) + 1), timeout=60)
        trace.settle(0)
        took = convert_to_report(trace)
        trace.settle(now_ns())
        peak = high_water_mb(proc.pid)
    finally:
        stop_program(proc)
    return {"both_panes_convert_to_report": took, "both_panes_peak_rss_mb": peak, "both_panes_per_utf16": peak * 1024 * 1024 / (2 * len(text))}


def formatted_run(program, work, text, trace_path, wrap=()):
    """The formatted book's case: the program started on it, one conversion that carries
    the formatting over, and the peak with the book in both panes."""
    proc, trace = start_program([*wrap, program, os.path.join(work, "book-formatted.rtf")], work, trace_path)
    try:
        trace.wait(0, pane_paint("richSourceTextAnsi", len(text) + 1), timeout=60)
        trace.settle(0)
        loaded = high_water_mb(proc.pid)
        took = convert_to_report(trace)
        trace.settle(now_ns())
        peak = high_water_mb(proc.pid)
    finally:
        stop_program(proc)
    return {"formatted_convert_to_report": took, "formatted_load_peak_rss_mb": loaded, "formatted_peak_rss_mb": peak,
            "formatted_per_utf16": peak * 1024 * 1024 / (2 * len(text))}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("program")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--chars", type=int, default=2_000_000)
    ap.add_argument("--keep", action="store_true", help="keep the work folder")
    ap.add_argument("--wrap", default="", help="a command to run the program under, such as a profiler")
    ap.add_argument("--formatted-only", action="store_true", help="only the formatted book's conversion")
    ap.add_argument("--conversions-only", action="store_true",
                    help="only the two conversions of the book opened at start: as plain text and formatted")
    args = ap.parse_args()

    work = tempfile.mkdtemp(prefix="moratutor-timing-")
    text = build_text(args.chars)
    with open(os.path.join(work, "book.txt"), "w", encoding="utf-8") as f:
        f.write(text)
    with open(os.path.join(work, "book.rtf"), "w", encoding="ascii") as f:
        f.write(rtf_of(text))
    with open(os.path.join(work, "book-formatted.rtf"), "w", encoding="ascii") as f:
        f.write(formatted_rtf_of(text))
    program = os.path.join(work, "moratutor")
    shutil.copy(os.path.abspath(args.program), program)
    # The preferences beside the program: every group and option ticked, word wrap on.
    login = subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
    with open(os.path.join(work, login + ".ini"), "w", encoding="utf-8") as f:
        f.write("[Characters]\n" + "".join("%d=1\n" % i for i in range(1, 12)))
        f.write("[Advanced]\nSnowball=1\nReplaceE=1\nReplaceSpaces=1\n")

    display = ":%d" % (90 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    os.environ["DISPLAY"] = display
    time.sleep(1.0)
    wm = subprocess.Popen(["openbox"], stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    results = []
    load_before = os.getloadavg()[0]
    try:
        for i in range(args.runs):
            r = {}
            if not args.formatted_only and not args.conversions_only:
                r.update(one_run(program, work, text, os.path.join(work, "trace%d.txt" % i), args.wrap.split()))
            if not args.formatted_only:
                r.update(both_panes_run(program, work, text, os.path.join(work, "panes%d.txt" % i), args.wrap.split()))
            r.update(formatted_run(program, work, text, os.path.join(work, "formatted%d.txt" % i), args.wrap.split()))
            results.append(r)
            print("run %d: %s" % (i + 1, ", ".join("%s=%.0f" % kv for kv in r.items())), file=sys.stderr)
    finally:
        wm.terminate()
        xvfb.terminate()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)

    lines = text.count("\n") + 1
    print("text: %d characters, %d lines; %d runs; %d cores; load average %.1f before, %.1f after" % (
        len(text), lines, len(results), os.cpu_count(), load_before, os.getloadavg()[0]))
    print("%-36s %10s %10s" % ("what (ms, MB)", "median", "worst"))
    for key in results[0]:
        values = [r[key] for r in results]
        worst = min(values) if key == "never" else max(values)
        print("%-36s %10.1f %10.1f" % (key, statistics.median(values), worst))


if __name__ == "__main__":
    main()
