"""Browser test of `vyrhost report`: renders the reports of the sample scan log
and channel log, and the campaign page of the samples and generated logs, in
headless Chromium, driven through the DevTools protocol over a pipe, and
checks what a user would see.

Fails on any console error, page error or network request; checks that each
waterfall is drawn (its plot area holds many colours), that hovering it shows
a frequency of the log's frequency plan and the level that the export gives
for that bin, and that hovering the channel chart names a channel frequency.
On the campaign page: every log is listed (a refused one with its reason), the
map holds every log's track, names the log of a hovered point and its legend
hides one, the combined spectrum of
two logs of the same plan is the max hold of their exported levels, and every
log's section draws when scrolled into view.
Keeps a PNG screenshot of each page in the artefacts folder.

Exit status: 0 passed, 1 failed, 77 skipped because Chromium is missing and
cannot be installed (tools/install-browser.sh)."""

import argparse
import base64
import csv
import http.server
import io
import json
import math
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

SKIP = 77
CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--disable-default-apps", "--mute-audio", "--hide-scrollbars",
    "--remote-debugging-pipe",
]


class Failure(Exception):
    pass


class DevTools:
    """A DevTools protocol client on Chromium's pipe: fd 3 carries commands to
    the browser, fd 4 its answers and events, each message ended by NUL."""

    def __init__(self, chromium, profile):
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def child_fds():
            # Through fresh descriptors, so that fds that already are 3 or 4
            # also lose close-on-exec.
            commands, answers = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(commands, 3)
            os.dup2(answers, 4)

        self.proc = subprocess.Popen(
            [chromium, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", "about:blank"],
            preexec_fn=child_fds, close_fds=False,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._buffer = b""
        self._next_id = 0
        self.events = []

    def close(self):
        try:
            self.send("Browser.close")
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for fd in (self._to_browser, self._from_browser):
            try:
                os.close(fd)
            except OSError:
                pass

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            # A page busy in a script does not answer: wait no longer than the deadline.
            remaining = deadline - time.time()
            if remaining <= 0 or not select.select([self._from_browser], [], [], remaining)[0]:
                raise Failure("the browser did not answer in time")
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise Failure("the browser closed the DevTools pipe")
            self._buffer += chunk
        raw, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(raw)

    def send(self, method, params=None, session=None, timeout=30):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + timeout
        while True:
            m = self._read_message(deadline)
            if m.get("id") == self._next_id:
                if "error" in m:
                    raise Failure(f"{method}: {m['error']}")
                return m.get("result", {})
            self.events.append(m)


class Page:
    def __init__(self, devtools, width=1280, height=900):
        self.dt = devtools
        target = devtools.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = devtools.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(f"{domain}.enable")
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def call(self, method, params=None):
        return self.dt.send(method, params, self.session)

    def evaluate(self, expression):
        r = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in r:
            raise Failure(f"page script failed: {r['exceptionDetails'].get('text')} in {expression[:80]}")
        return r["result"].get("value")

    def wait_for(self, expression, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.evaluate(expression):
                return
            time.sleep(0.05)
        raise Failure(f"timed out waiting for {expression}")

    def problems(self, page_url, allowed=None):
        """Console errors, page errors, dialogs and requests other than the page itself (and
        those whose URL starts with allowed)."""
        found = []
        for e in self.dt.events:
            if e.get("sessionId") != self.session:
                continue
            method, p = e.get("method"), e.get("params", {})
            if method == "Runtime.consoleAPICalled" and p.get("type") in ("error", "assert"):
                found.append("console error: " + " ".join(str(a.get("value", a.get("description"))) for a in p["args"]))
            elif method == "Runtime.exceptionThrown":
                found.append("page error: " + json.dumps(p["exceptionDetails"])[:400])
            elif method == "Log.entryAdded" and p["entry"].get("level") == "error":
                found.append("browser error: " + p["entry"].get("text", ""))
            elif method == "Page.javascriptDialogOpening":
                found.append("dialog: " + p.get("message", ""))
            elif method == "Network.requestWillBeSent" and p["request"]["url"] != page_url and not (
                    allowed and p["request"]["url"].startswith(allowed)):
                found.append("network request: " + p["request"]["url"][:200])
        return found

    def move_mouse(self, x, y):
        self.call("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def screenshot(self, path):
        size = self.call("Page.getLayoutMetrics")["cssContentSize"]
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": 1280, "height": int(size["height"]), "deviceScaleFactor": 1, "mobile": False})
        self.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
        shot = self.call("Page.captureScreenshot", {"format": "png", "captureBeyondViewport": True})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))


# Page-side helpers: where things are, and what a canvas holds.
PAGE_HELPERS = r"""
window.__test = {
  chart(id) { return echarts.getInstanceByDom(document.getElementById(id)); },
  // In a rectangle of the chart's canvas: the distinct colours, the share of
  // inked pixels (neither transparent nor white) and of coloured ones (not grey).
  sample(id, x0, y0, x1, y1) {
    const canvas = document.getElementById(id).querySelector('canvas');
    const ctx = canvas.getContext('2d');
    const w = Math.max(1, Math.round(x1 - x0)), h = Math.max(1, Math.round(y1 - y0));
    const d = ctx.getImageData(Math.round(x0), Math.round(y0), w, h).data;
    const colours = new Set();
    let inked = 0, coloured = 0;
    for (let i = 0; i < d.length; i += 4) {
      if (d[i + 3] < 16) continue;
      colours.add((d[i] << 16) | (d[i + 1] << 8) | d[i + 2]);
      if (d[i] < 245 || d[i + 1] < 245 || d[i + 2] < 245) inked++;
      if (Math.max(d[i], d[i + 1], d[i + 2]) - Math.min(d[i], d[i + 1], d[i + 2]) > 60) coloured++;
    }
    return { colours: colours.size, inked: inked / (w * h), coloured: coloured / (w * h) };
  },
  // A digest of the pixels of a rectangle of the chart's canvas.
  pixels(id, r) {
    const canvas = document.getElementById(id).querySelector('canvas');
    const d = canvas.getContext('2d').getImageData(Math.round(r[0]), Math.round(r[1]), Math.round(r[2] - r[0]), Math.round(r[3] - r[1])).data;
    let h = 0;
    for (let i = 0; i < d.length; i++) h = (h * 31 + d[i]) >>> 0;
    return h;
  },
  // Page coordinates of a point of the chart's grid, after scrolling it into view.
  at(id, x, y) {
    const el = document.getElementById(id);
    el.scrollIntoView({ block: 'center' });
    const p = this.chart(id).convertToPixel({ gridIndex: 0 }, [x, y]);
    const r = el.getBoundingClientRect();
    return [r.left + p[0], r.top + p[1]];
  },
  // The same for a position on a map.
  mapAt(id, lat, lon) { return this.at(id, lon, kel.mercatorY(lat)); },
  // A map's axis extents and its scale bar: metres and pixels.
  mapView(id) {
    const c = this.chart(id), m = c.getModel();
    const bar = document.getElementById(id).parentNode.querySelector('.map-scale');
    return { x: m.getComponent('xAxis').axis.scale.getExtent(), y: m.getComponent('yAxis').axis.scale.getExtent(),
      metres: Number(bar.getAttribute('data-metres')), pixels: parseFloat(bar.style.width) };
  },
};
"""


def run_vyrhost(vyrhost, *args):
    r = subprocess.run([vyrhost, *args], capture_output=True, text=True, timeout=300)
    if r.returncode != 0:
        raise Failure(f"vyrhost {' '.join(args)} failed ({r.returncode}): {r.stderr}")
    return r.stdout


def plan_frequencies(vyrhost, log):
    """The frequency plan as `decode --format jsonl` shows it, in MHz to 1 kHz."""
    freqs = set()
    for line in run_vyrhost(vyrhost, "decode", "--format", "jsonl", log).splitlines():
        for a in json.loads(line).get("attrs", []):
            if a["attr"] == "ATTR_ID_SCAN_LOG_FREQ" and a["scope"] == 0 and a["op"] == "set":
                freqs.add(f"{a['value'] / 1e6:.3f}")
    return freqs


def open_report(devtools, path):
    page = Page(devtools)
    url = "file://" + os.path.abspath(path)
    page.call("Page.navigate", {"url": url})
    try:
        page.wait_for("document.readyState === 'complete' && document.documentElement.getAttribute('data-ready') === 'true'")
    except Failure as e:
        raise Failure(f"{e}; {'; '.join(page.problems(url))}")
    page.evaluate(PAGE_HELPERS)
    return page, url


def check_drawn(page, chart_id, x0, x1, y0, y1, what):
    a = page.evaluate(f"__test.chart('{chart_id}').convertToPixel({{gridIndex: 0}}, [{x0}, {y0}])")
    b = page.evaluate(f"__test.chart('{chart_id}').convertToPixel({{gridIndex: 0}}, [{x1}, {y1}])")
    left, right = sorted((a[0], b[0]))
    top, bottom = sorted((a[1], b[1]))
    s = page.evaluate(f"__test.sample('{chart_id}', {left + 2}, {top + 2}, {right - 2}, {bottom - 2})")
    if s["colours"] < 3 or s["inked"] < 0.5:
        raise Failure(f"{what} looks blank: {s['colours']} colours, {s['inked']:.0%} inked")
    return s


EARTH_RADIUS_M = 6378137


def redraw(page):
    page.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")


def check_map(page, chart_id, positions):
    """The map is to scale: between the two positions farthest apart, the east-west and the
    north-south distance on the ground equal the pixels between them times the scale bar's
    metres per pixel (at their latitude). It stays so after a zoom, and Reset view brings the
    first view back."""
    on_map = [(a, o) for a, o in positions if abs(a) <= 85.05 and abs(o) <= 180]
    a = on_map[0]
    b = max(on_map, key=lambda p: (p[0] - a[0]) ** 2 + ((p[1] - a[1]) * math.cos(math.radians(a[0]))) ** 2)

    def measure():
        v = page.evaluate(f"__test.mapView('{chart_id}')")
        pa, pb = (page.evaluate(f"__test.chart('{chart_id}').convertToPixel({{gridIndex: 0}}, "
                                f"[{p[1]}, kel.mercatorY({p[0]})])") for p in (a, b))
        # The bar holds where the view's middle is; Mercator grows by 1 / cos(latitude).
        middle = math.degrees(2 * math.atan(math.exp(math.radians(sum(v["y"]) / 2))) - math.pi / 2)
        per_pixel = v["metres"] / v["pixels"] * math.cos(math.radians((a[0] + b[0]) / 2)) / math.cos(math.radians(middle))
        east = math.radians(b[1] - a[1]) * EARTH_RADIUS_M * math.cos(math.radians((a[0] + b[0]) / 2))
        north = math.radians(b[0] - a[0]) * EARTH_RADIUS_M
        for what, ground, pixels in (("east-west", east, pb[0] - pa[0]), ("north-south", north, pa[1] - pb[1])):
            if abs(pixels * per_pixel - ground) > 0.03 * math.hypot(east, north) + 2:
                raise Failure(f"{chart_id}: {what} {ground:.0f} m on the ground is {pixels * per_pixel:.0f} m on the map")
        return v

    first = measure()
    page.evaluate(f"__test.chart('{chart_id}').dispatchAction({{type: 'dataZoom', batch: "
                  "[{dataZoomIndex: 0, start: 20, end: 70}, {dataZoomIndex: 1, start: 20, end: 70}]})")
    redraw(page)
    zoomed = measure()
    if zoomed["x"] == first["x"]:
        raise Failure(f"{chart_id}: the zoom did not change the view")
    page.evaluate(f"document.getElementById('{chart_id}').parentNode.parentNode.querySelector('.map-tools button').click()")
    redraw(page)
    if page.evaluate(f"__test.mapView('{chart_id}')")["x"] != first["x"]:
        raise Failure(f"{chart_id}: Reset view did not bring the first view back")
    print(f"  {chart_id}: to scale, scale bar {first['metres']} m in {first['pixels']} px, reset after a zoom")
    return first


def check_band_colouring(page, data):
    """Choosing a band colours the track by that band's levels, and the hover shows its
    frequency and level."""
    track = data["track"]
    options = page.evaluate("Array.from(document.querySelectorAll('#track select option')).map(o => o.textContent)")
    if len(options) != 1 + len(track["bands"]):
        raise Failure(f"the track offers {options} for {len(track['bands'])} bands")
    for k, band in enumerate(track["bands"], start=1):
        page.evaluate(f"(() => {{ const s = document.querySelector('#track select'); s.value = '{k}';"
                      " s.dispatchEvent(new Event('change')); })()")
        redraw(page)
        drawn = page.evaluate("__test.chart('track-chart').getOption().series[2].data.map(d => [d[3], d[2]])")  # the points with a level
        want = [(i, v) for i, v in enumerate(band["level"]) if v is not None]
        if [tuple(d) for d in drawn] != want:
            raise Failure(f"coloured by {options[k]}, the points hold {drawn[:4]}, not the band's levels {want[:4]}")
        i, level = want[0]
        x, y = page.evaluate(f"__test.mapAt('track-chart', {track['lat'][i]}, {track['lon'][i]})")
        page.move_mouse(x, y)
        page.wait_for("/dBm at/.test(document.getElementById('track-chart').innerText)", timeout=5)
        tip = page.evaluate("document.getElementById('track-chart').innerText")
        panel = data["panels"][band["panel"]]
        freqs = {f"{f:.3f}" for f in panel["freqs_mhz"]}
        m = re.search(r"(-?\d+\.\d) dBm at (\d+\.\d{3}) MHz", tip)
        if not m or m.group(1) != f"{level:.1f}" or m.group(2) not in freqs:
            raise Failure(f"coloured by {options[k]}, the tooltip '{tip}' shows no level {level} at a frequency of the band")
        print(f"  track by {options[k]}: {' | '.join(tip.splitlines())}")
        page.move_mouse(0, 0)


def check_scan_report(devtools, vyrhost, log, report, screenshot):
    plan = plan_frequencies(vyrhost, log)
    rows = list(csv.DictReader(io.StringIO(run_vyrhost(vyrhost, "export", "--csv", log))))
    page, url = open_report(devtools, report)
    panels = page.evaluate("JSON.parse(document.getElementById('report-data').textContent).panels")
    if not panels:
        raise Failure("the scan report has no band")
    for i, p in enumerate(panels):
        chart = f"waterfall-{i}"
        page.evaluate(f"document.getElementById('band-{i}').scrollIntoView()")
        page.wait_for(f"!!document.getElementById('{chart}') && !!__test.chart('{chart}')", timeout=10)
        redraw(page)
        f = p["freqs_mhz"]
        check_drawn(page, chart, f[0], f[-1], 0, p["rows"], f"waterfall of band {p['band']}")
        # Hover the middle bin of the band in the second row.
        bin_ = len(f) // 2
        row = min(1, p["rows"] - 1)
        x, y = page.evaluate(f"__test.at('{chart}', {f[bin_]}, {row + 0.5})")
        page.move_mouse(x, y)
        page.wait_for(f"/MHz/.test(document.getElementById('readout-{i}').textContent)", timeout=5)
        text = page.evaluate(f"document.getElementById('readout-{i}').textContent")
        m = re.search(r"(\d+\.\d{3}) MHz", text)
        if not m or m.group(1) not in plan:
            raise Failure(f"band {p['band']}: the hover readout '{text}' shows no frequency of the plan {sorted(plan)}")
        if m.group(1) != f"{f[bin_]:.3f}":
            raise Failure(f"band {p['band']}: hovering {f[bin_]:.3f} MHz shows '{text}'")
        # The level shown is the export's level of that bin in that sweep.
        t = p["row_first_ms"][row]
        expected = {f"{float(r['level_dbm']):.1f} dBm" for r in rows
                    if r["band"] == str(p["band"]) and int(r["bin"]) == p["first_bin"] + bin_ and int(r["time_ms"]) == t}
        if p["row_sweeps"][row] == 1 and not any(e in text for e in expected):
            raise Failure(f"band {p['band']}: the hover readout '{text}' shows none of the levels {expected}")
        print(f"  band {p['band']}: hover readout: {text}")
    data = page.evaluate("JSON.parse(document.getElementById('report-data').textContent)")
    if data["track"]["lat"]:  # a sweep file has no positions
        check_map(page, "track-chart", list(zip(data["track"]["lat"], data["track"]["lon"])))
        check_band_colouring(page, data)
    page.evaluate("window.scrollTo(0, 0)")
    page.screenshot(screenshot)
    return page.problems(url)


def check_channel_report(devtools, log, report, screenshot):
    page, url = open_report(devtools, report)
    data = page.evaluate("JSON.parse(document.getElementById('report-data').textContent)")
    panel = data["panels"][0]
    t0 = data["start_ms"] + panel["row_first_ms"][0]
    t1 = data["start_ms"] + panel["row_first_ms"][-1]
    levels = [v for v in panel["max"] + panel["min"] if v is not None]
    a = page.evaluate(f"__test.chart('channels-chart').convertToPixel({{gridIndex: 0}}, [{t0}, {max(levels)}])")
    b = page.evaluate(f"__test.chart('channels-chart').convertToPixel({{gridIndex: 0}}, [{t1}, {min(levels)}])")
    s = page.evaluate(f"__test.sample('channels-chart', {a[0]}, {a[1] - 4}, {b[0]}, {b[1] + 4})")
    if s["coloured"] < 0.005:
        raise Failure(f"the channel chart shows no lines: {s['coloured']:.2%} of its plot coloured")
    x, y = page.evaluate(f"__test.at('channels-chart', {t0 + (t1 - t0) / 2}, {levels[0]})")
    page.move_mouse(x, y)
    page.wait_for("/MHz/.test(document.getElementById('channels-chart').innerText)", timeout=5)
    tip = page.evaluate("document.getElementById('channels-chart').innerText")
    channel_freqs = {f"{f:.3f}" for f in panel["freqs_mhz"]}
    shown = set(re.findall(r"(\d+\.\d{3}) MHz", tip))
    if not shown or not shown <= channel_freqs:
        raise Failure(f"the channel tooltip '{tip}' shows no channel frequency of {sorted(channel_freqs)}")
    print(f"  channel tooltip: {' | '.join(tip.split())[:160]}")
    page.screenshot(screenshot)
    return page.problems(url)


def make_campaign(vyrhost, artifacts, report):
    """The campaign page of the samples, two generated scan logs of the same
    plan, a generated channel log and a log that is refused (exit status 1,
    the page written all the same). Returns the logs and the two of the same plan."""
    hytemgen = os.path.join(os.path.dirname(vyrhost), "hytemgen")
    same_plan = [os.path.join(artifacts, "gen_a.h2m"), os.path.join(artifacts, "gen_b.h2m")]
    channels = os.path.join(artifacts, "gen_c.h1m")
    for path, args in ((same_plan[0], ["--bins", "300", "--lines", "400", "--seed", "1"]),
                       (same_plan[1], ["--bins", "300", "--lines", "300", "--seed", "2"]),
                       (channels, ["--kind", "channels", "--lines", "500", "--seed", "3"])):
        subprocess.run([hytemgen, *args, "-o", path], check=True, timeout=120)
    refused = os.path.join(artifacts, "refused.h2m")
    with open(refused, "w") as f:
        f.write("not a log\n")
    samples = [os.path.join("samples", n) for n in sorted(os.listdir("samples")) if not n.endswith(".md")]
    logs = [*samples, same_plan[0], refused, same_plan[1], channels]
    r = subprocess.run([vyrhost, "report", "--jobs", "2", "-o", report, *logs], capture_output=True, text=True, timeout=300)
    if r.returncode != 1 or "refused" not in r.stderr:
        raise Failure(f"the campaign with a refused log exited with {r.returncode}: {r.stderr}")
    return logs, same_plan


def check_campaign_report(devtools, vyrhost, logs, same_plan, report, screenshot):
    page, url = open_report(devtools, report)
    data = page.evaluate("JSON.parse(document.getElementById('campaign-data').textContent)")
    # Every log listed, in the order given; the refused one with its reason.
    rows = page.evaluate("Array.from(document.querySelectorAll('#logs-table tr')).slice(1).map(r => r.innerText)")
    if len(rows) != len(logs):
        raise Failure(f"the logs table has {len(rows)} rows for {len(logs)} logs")
    for log, row, entry in zip(logs, rows, data["logs"]):
        if log not in row:
            raise Failure(f"the row '{row[:80]}' does not name {log}")
        if ("refused" in entry) != ("refused" in row):
            raise Failure(f"{log}: the row '{row[:120]}' and the data disagree on its refusal")
    if sum("refused" in r for r in rows) != 1:
        raise Failure("exactly one log should be listed as refused")
    # Durations in the one form that `vyrhost info` writes.
    cells = page.evaluate("Array.from(document.querySelectorAll('#logs-table tr')).slice(1).map(r => r.cells.length > 4 ? r.cells[4].textContent : null)")
    for log, cell, entry in zip(logs, cells, data["logs"]):
        if "refused" not in entry:
            info = re.search(r"^Duration: (.*)$", run_vyrhost(vyrhost, "info", log), re.M).group(1)
            if cell != info:
                raise Failure(f"{log}: the duration '{cell}' is not info's '{info}'")
    # The map: per log with positions its route and its points (with and without a level), its
    # whole reduced track but the positions off the map.
    series = page.evaluate("__test.chart('map-chart').getOption().series"
                           ".map(s => [s.name, s.type, s.data.length])")
    drawn = {}
    for name, kind, n in series:
        if kind == "scatter":
            drawn[name] = drawn.get(name, 0) + n
    tracks = [(f"#{i + 1} ", sum(abs(a) <= 85.05 for a in e["track"]["lat"]))
              for i, e in enumerate(data["logs"]) if "refused" not in e and e["track"]["lat"]]
    if [n for n in drawn.values()] != [n for _, n in tracks] or not all(k.startswith(p) for k, (p, _) in zip(drawn, tracks)):
        raise Failure(f"the map's tracks {drawn} are not the logs' tracks {tracks}")
    # To scale where a route is: along the longest one (far apart, Mercator is not).
    longest = max((e["track"] for e in data["logs"] if "refused" not in e), key=lambda t: len(t["lat"]))
    check_map(page, "map-chart", list(zip(longest["lat"], longest["lon"])))
    # Hovering a point names its log, and the point is one of that log's track.
    last = [e for e in data["logs"] if "refused" not in e and e["track"]["lat"]][-1]["track"]
    x, y = page.evaluate(f"__test.mapAt('map-chart', {last['lat'][0]}, {last['lon'][0]})")
    page.move_mouse(x, y)
    page.wait_for("/#\\d+ /.test(document.getElementById('map-chart').innerText)", timeout=5)
    tip = page.evaluate("document.getElementById('map-chart').innerText")
    m = re.search(r"#(\d+) .*?(-?\d+\.\d{6}), (-?\d+\.\d{6})", tip, re.S)
    track = m and data["logs"][int(m.group(1)) - 1].get("track")
    if not track or (m.group(2), m.group(3)) not in {(f"{a:.6f}", f"{o:.6f}") for a, o in zip(track["lat"], track["lon"])}:
        raise Failure(f"the map's tooltip '{tip}' names no log holding that point")
    print(f"  map tooltip: {' | '.join(tip.split())[:120]}")
    # The legend hides a track: the legend marks it hidden and the map is drawn without it.
    name = series[-1][0]
    grid = page.evaluate("(() => { const c = __test.chart('map-chart'); const r = c.getModel().getComponent('grid')"
                         ".coordinateSystem.getRect(); return [r.x, r.y, r.x + r.width, r.y + r.height]; })()")
    before = page.evaluate(f"__test.pixels('map-chart', {grid})")
    page.evaluate(f"__test.chart('map-chart').dispatchAction({{type: 'legendToggleSelect', name: {json.dumps(name)}}})")
    page.evaluate("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
    after = page.evaluate(f"__test.pixels('map-chart', {grid})")
    shown = page.evaluate(f"__test.chart('map-chart').getOption().legend[0].selected[{json.dumps(name)}]")
    if shown is not False or before == after:
        raise Failure(f"hiding '{name}' in the legend left its track drawn")
    page.evaluate(f"__test.chart('map-chart').dispatchAction({{type: 'legendToggleSelect', name: {json.dumps(name)}}})")
    # The combined spectrum of the two logs of the same plan is the max hold of their exported levels.
    rows = [r for log in same_plan for r in csv.DictReader(io.StringIO(run_vyrhost(vyrhost, "export", "--csv", log)))]
    combined = [(k, b) for k, b in enumerate(data["bands"]) if b["logs"] == len(same_plan) and not b["channels"]]
    if not combined:
        raise Failure("no band combines the logs of the same plan")
    for k, b in combined:
        want = {}
        for r in rows:
            f = round(float(r["frequency_mhz"]), 3)
            if b["start_mhz"] - 1e-6 <= float(r["frequency_mhz"]) <= b["stop_mhz"] + 1e-6:
                want[f] = max(want.get(f, -1e9), float(r["level_dbm"]))
        page.evaluate(f"document.getElementById('plan-{k}').scrollIntoView()")
        page.wait_for(f"!!__test.chart('campaign-spectrum-{k}')", timeout=10)
        drawn = page.evaluate(f"__test.chart('campaign-spectrum-{k}').getOption().series[0].data")
        got = {round(x, 3): y for x, y in drawn}
        if got != want:
            diff = sorted(set(got.items()) ^ set(want.items()))[:6]
            raise Failure(f"campaign band {k}: the max hold differs from the exported levels: {diff}")
        print(f"  campaign band {k}: max hold of {b['bins']} bins equals the export of {len(same_plan)} logs")
    # Each plan a signal names is numbered so on the page: its link leads to the plan's heading.
    named = page.evaluate("Array.from(document.querySelectorAll('#campaign-signals-table td a[href^=\"#plan-\"]'))"
                          ".map(a => [a.textContent, document.querySelector(a.getAttribute('href') + ' h3').textContent])")
    if not named or any(not h.startswith(w.capitalize() + ":") for w, h in named if w != "channel"):
        raise Failure(f"the signals name plans the page does not number: {named[:4]}")
    # Every log's section draws when it comes into view, with ids of its own.
    for i, entry in enumerate(data["logs"]):
        if "refused" in entry:
            continue
        page.evaluate(f"document.getElementById('log-{i}').scrollIntoView()")
        page.wait_for(f"document.getElementById('log-{i}').getAttribute('data-ready') === 'true'", timeout=20)
        # Its panels draw as they come near the view (a sweep file has no map above them).
        page.evaluate(f"(document.querySelector('#log-{i} section.panel') || document.body).scrollIntoView()")
        page.wait_for(f"document.querySelectorAll('#log-{i} canvas').length > 0", timeout=10)
    duplicates = page.evaluate("(() => { const ids = Array.from(document.querySelectorAll('[id]')).map(e => e.id);"
                               " return ids.filter((x, i) => ids.indexOf(x) !== i); })()")
    if duplicates:
        raise Failure(f"ids used twice: {duplicates[:5]}")
    page.evaluate("window.scrollTo(0, 0)")
    page.screenshot(screenshot)
    return page.problems(url)


EVIL_NAME = "<img src=x onerror=alert(1)>"
EVIL_TEXT = "<img src=x onerror=window.__pwned=1></script><b>bold</b>"


def write_hostile_log(folder):
    """The sample scan log under a name that is markup, with markup in its software version
    and in a header field's name and value."""
    with open(os.path.join("samples", "scan_two_bands.h2m"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    lines = [lines[0] + EVIL_TEXT, lines[1], f"{EVIL_TEXT} = {EVIL_TEXT}", *lines[2:]]
    path = os.path.join(folder, EVIL_NAME + ".h2m")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return path


def hover_points(page, chart_id, name=None):
    """Hovers every point of the chart's scatter series (of the named track); returns the
    tooltip texts seen, checking after each that the chart holds no element made of a text."""
    points = page.evaluate(f"__test.chart('{chart_id}').getOption().series.filter(s => s.type === 'scatter'"
                           f" && ({json.dumps(name)} === null || s.name === {json.dumps(name)})).flatMap(s => s.data)")
    tips = set()
    for p in points:
        x, y = page.evaluate(f"__test.at('{chart_id}', {p[0]}, {p[1]})")
        page.move_mouse(x, y)
        redraw(page)
        tips.add(page.evaluate(f"document.getElementById('{chart_id}').innerText"))
        if page.evaluate(f"document.getElementById('{chart_id}').querySelectorAll('img, b').length"):
            raise Failure(f"hovering {chart_id} made an element of a log's text: {tips}")
    return tips


def check_nothing_ran(page, url, what):
    """No element made of a log's text, no handler run, and the policy stops one put in by hand."""
    made = page.evaluate("document.querySelectorAll('img:not(.map-tiles img), b').length")
    if made or page.evaluate("window.__pwned !== undefined"):
        raise Failure(f"{what}: a log's text became markup ({made} elements) or ran")
    problems = page.problems(url)
    if problems:
        raise Failure(f"{what}: {'; '.join(problems)}")
    # Even where an escape were missed, no handler may run.
    page.evaluate("window.__seen = []; document.addEventListener('securitypolicyviolation', e => __seen.push(e.violatedDirective));"
                  "document.body.insertAdjacentHTML('beforeend', '<img src=x onerror=\"window.__pwned=2\">')")
    page.wait_for("__seen.indexOf('script-src-attr') >= 0", timeout=5)
    if page.evaluate("window.__pwned !== undefined"):
        raise Failure(f"{what}: an inline handler ran despite the page's policy")


def check_hostile(devtools, vyrhost, artifacts):
    """A log whose file name and texts are markup, on its own page and in a campaign: every
    element that shows them is hovered or clicked; none becomes markup or runs."""
    folder = os.path.join(artifacts, "hostile")
    os.makedirs(folder, exist_ok=True)
    log = write_hostile_log(folder)
    one, campaign = os.path.join(artifacts, "report-hostile.html"), os.path.join(artifacts, "campaign-hostile.html")
    run_vyrhost(vyrhost, "report", "-o", one, log)
    run_vyrhost(vyrhost, "report", "-o", campaign, log, os.path.join("samples", "channels_four.h1m"))

    page, url = open_report(devtools, one)
    if EVIL_NAME not in page.evaluate("document.title + document.body.innerText") or \
            EVIL_TEXT not in page.evaluate("document.getElementById('summary-table').innerText"):
        raise Failure("the log's texts are not shown as they are")
    hover_points(page, "track-chart")
    for i in range(2):
        x, y = page.evaluate(f"__test.at('waterfall-{i}', {925 if i == 0 else 1805}, 1.5)")
        page.move_mouse(x, y)
    for option in range(3):
        page.evaluate(f"(() => {{ const s = document.querySelector('#track select'); s.value = '{option}';"
                      " s.dispatchEvent(new Event('change')); })()")
        hover_points(page, "track-chart")
    page.evaluate("document.querySelectorAll('#toc a').forEach(a => a.click())")
    check_nothing_ran(page, url, "the log's page")

    page, url = open_report(devtools, campaign)
    name = "#1 " + EVIL_NAME + ".h2m"
    tips = hover_points(page, "map-chart", name)
    if not any(name in t for t in tips):
        raise Failure(f"the map's tooltips {tips} do not name the log as it is")
    x, y = page.evaluate("(() => { const r = document.getElementById('map-chart').getBoundingClientRect();"
                         " return [r.left + r.width / 2, r.top + 14]; })()")
    for dx in range(-300, 301, 40):  # along the legend
        page.move_mouse(x + dx, y)
    page.click(x - 60, y)
    page.evaluate("document.querySelectorAll('#logs-table a, #campaign-signals-table a, #toc a').forEach(a => a.click())")
    page.evaluate("document.getElementById('log-0').scrollIntoView()")
    page.wait_for("document.getElementById('log-0').getAttribute('data-ready') === 'true'", timeout=20)
    hover_points(page, "log-0-track-chart")
    if EVIL_TEXT not in page.evaluate("document.getElementById('log-0').innerText"):
        raise Failure("the log's section does not show its texts as they are")
    check_nothing_ran(page, url, "the campaign page")
    print(f"  {EVIL_NAME}: shown as text on its page and in a campaign; the policy stopped a handler put in by hand")
    return []


def tile_png():
    """A 256 by 256 grey PNG."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + b"\xc8\xd2\xdc" * 256 for _ in range(256))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 256, 256, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class TileServer:
    """Map tiles on the loopback address: /z/x/y.png, every request kept."""

    def __init__(self):
        png, self.requests = tile_png(), []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                if not re.fullmatch(r"/\d+/\d+/\d+\.png", self.path):
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Type", "image/png")
                self.send_header("Content-Length", str(len(png)))
                self.end_headers()
                self.wfile.write(png)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.origin = f"http://127.0.0.1:{self.httpd.server_address[1]}"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def tile_of(lat, lon, z):
    n = 2 ** z
    y = math.log(math.tan(math.radians(lat)) + 1 / math.cos(math.radians(lat)))
    return math.floor((lon + 180) / 360 * n), math.floor((1 - y / math.pi) / 2 * n)


def check_tiles(devtools, vyrhost, artifacts, report, screenshot):
    """A route with --tiles from a server on the loopback address: the page loads tiles from
    it and nothing else, the policy allows that host only, and the tile under the first
    position is drawn where that position is. One impossible latitude is left off the map,
    said so, and does not stretch it."""
    hytemgen = os.path.join(os.path.dirname(vyrhost), "hytemgen")
    log = os.path.join(artifacts, "route.h2m")
    subprocess.run([hytemgen, "--bins", "60", "--lines", "400", "--seed", "4", "-o", log], check=True, timeout=120)
    with open(log, encoding="utf-8") as f:
        lines = f.read().split("\n")
    bad = next(i for i, line in enumerate(lines) if re.match(r"\d\d:\d\d:\d\d", line) and line.split("\t")[2] != "")
    fields = lines[bad].split("\t")
    fields[2] = "4830.0000"
    lines[bad] = "\t".join(fields)
    with open(log, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    server = TileServer()
    try:
        run_vyrhost(vyrhost, "report", "--tiles", server.origin + "/{z}/{x}/{y}.png", "-o", report, log)
        page, url = open_report(devtools, report)
        policy = page.evaluate("document.querySelector('meta[http-equiv=Content-Security-Policy]').content")
        if f"img-src data: blob: {server.origin};" not in policy:
            raise Failure(f"the policy '{policy}' does not allow the tile host alone")
        page.evaluate("document.getElementById('track-chart').scrollIntoView()")
        page.wait_for("(() => { const t = document.querySelectorAll('.map-tiles img');"
                      " return t.length > 0 && Array.from(t).every(i => i.complete && i.naturalWidth === 256); })()", timeout=10)
        data = page.evaluate("JSON.parse(document.getElementById('report-data').textContent)")
        t = data["track"]
        shown = page.evaluate("Array.from(document.querySelectorAll('.map-tiles img')).map(i => {"
                              " const r = i.getBoundingClientRect(); return [i.src, r.left, r.top, r.right, r.bottom]; })")
        z = int(re.search(r"/(\d+)/\d+/\d+\.png$", shown[0][0]).group(1))
        want = "{}/{}/{}/{}.png".format(server.origin, z, *tile_of(t["lat"][0], t["lon"][0], z))
        x, y = page.evaluate(f"__test.mapAt('track-chart', {t['lat'][0]}, {t['lon'][0]})")
        under = [r for r in shown if r[0] == want]
        if not under or not (under[0][1] <= x <= under[0][3] and under[0][2] <= y <= under[0][4]):
            raise Failure(f"the tile {want} is not under the first position ({x:.0f}, {y:.0f}): {shown[:3]}")
        if not server.requests or any(not re.fullmatch(r"/\d+/\d+/\d+\.png", r) for r in server.requests):
            raise Failure(f"the tile server saw {server.requests[:5]}")
        note = page.evaluate("document.querySelector('#track .map-note').textContent")
        view = page.evaluate("__test.mapView('track-chart')")
        if "1 position lies off the map" not in note or view["y"][1] - view["y"][0] > 0.1:
            raise Failure(f"the impossible latitude: note '{note}', latitude span {view['y']}")
        print(f"  tiles: {len(shown)} at zoom {z} from {server.origin}, {len(server.requests)} requests; {note[-120:]}")
        page.screenshot(screenshot)
        return page.problems(url, allowed=server.origin + "/")
    finally:
        server.close()


def check_partial_bucket(devtools, vyrhost, artifacts, report):
    """A channel log whose last chart point merges fewer messages than the others: that
    point is marked, and its tooltip says of how many messages it is the strongest."""
    hytemgen = os.path.join(os.path.dirname(vyrhost), "hytemgen")
    log = os.path.join(artifacts, "partial.h1m")
    subprocess.run([hytemgen, "--kind", "channels", "--lines", "1301", "-o", log], check=True, timeout=120)
    run_vyrhost(vyrhost, "report", "-o", report, log)
    page, url = open_report(devtools, report)
    data = page.evaluate("JSON.parse(document.getElementById('report-data').textContent)")
    panel = data["panels"][0]
    full, last = panel["row_sweeps"][0], panel["row_sweeps"][-1]
    if not last < full:
        raise Failure(f"the log gives no partial last point: {full} and {last} messages")
    option = page.evaluate("__test.chart('channels-chart').getOption().series.map(s => [!!(s.markPoint && s.markPoint.data.length),"
                           " !!(s.markArea && s.markArea.data.length)])")
    if not all(p for p, _ in option) or not option[0][1]:
        raise Failure(f"the last point is not marked: {option}")
    t = data["start_ms"] + panel["row_first_ms"][-1]
    x, y = page.evaluate(f"__test.at('channels-chart', {t}, {panel['max'][0]})")
    page.move_mouse(x, y)
    page.wait_for(f"/only {last} messages/.test(document.getElementById('channels-chart').innerText)", timeout=5)
    print(f"  last point of {last} of {full} messages marked; tooltip says so")
    return page.problems(url)


def check_many_bands(devtools, vyrhost, artifacts, report):
    """A log of 600 bands: its page opens, draws only the panels near the view, keeps few
    drawn while the reader scrolls to the last band, and links the bands once."""
    hytemgen = os.path.join(os.path.dirname(vyrhost), "hytemgen")
    log = os.path.join(artifacts, "bands600.h2m")
    subprocess.run([hytemgen, "--bands", "600", "--bins", "2", "--lines", "1800", "-o", log], check=True, timeout=120)
    run_vyrhost(vyrhost, "report", "-o", report, log)
    start = time.time()
    page, url = open_report(devtools, report)
    opened = time.time() - start
    live = "document.querySelectorAll('[_echarts_instance_]:not([_echarts_instance_=\"\"])').length"
    most = page.evaluate(live)
    for k in (100, 350, 599):
        page.evaluate(f"document.getElementById('band-{k}').scrollIntoView()")
        page.wait_for(f"!!document.getElementById('waterfall-{k}')", timeout=20)
        most = max(most, page.evaluate(live))
    if most > 2 * 8 + 1:
        raise Failure(f"{most} charts drawn at once")
    toc = page.evaluate("Array.from(document.querySelectorAll('#toc a')).map(a => a.textContent)")
    if "Bands (600)" not in toc or len(toc) > 8:
        raise Failure(f"the contents list {toc[:10]}")
    print(f"  600 bands: opened in {opened:.1f} s, at most {most} charts drawn at once")
    return page.problems(url)


def find_chromium(source):
    found = shutil.which("chromium")
    if found:
        return found
    subprocess.run(["bash", os.path.join(source, "tools", "install-browser.sh")], timeout=1800)
    return shutil.which("chromium")


def check_max_hold(page, vyrhost, data, same_plan):
    """The combined spectrum of the logs of the same plan is the max hold of their exported levels."""
    rows = [r for log in same_plan for r in csv.DictReader(io.StringIO(run_vyrhost(vyrhost, "export", "--csv", log)))]
    combined = [(k, b) for k, b in enumerate(data["bands"]) if b["logs"] == len(same_plan) and not b["channels"]]
    if not combined:
        raise Failure("no band combines the logs of the same plan")
    for k, b in combined:
        want = {}
        for r in rows:
            f = round(float(r["frequency_mhz"]), 3)
            if b["start_mhz"] - 1e-6 <= float(r["frequency_mhz"]) <= b["stop_mhz"] + 1e-6:
                want[f] = max(want.get(f, -1e9), float(r["level_dbm"]))
        page.evaluate(f"document.getElementById('plan-{k}').scrollIntoView()")
        page.wait_for(f"!!__test.chart('campaign-spectrum-{k}')", timeout=10)
        drawn = page.evaluate(f"__test.chart('campaign-spectrum-{k}').getOption().series[0].data")
        got = {round(x, 3): y for x, y in drawn}
        if got != want:
            diff = sorted(set(got.items()) ^ set(want.items()))[:6]
            raise Failure(f"campaign band {k}: the max hold differs from the exported levels: {diff}")
        print(f"  campaign band {k}: max hold of {b['bins']} bins equals the export of {len(same_plan)} logs")


def check_sections(page, data):
    """Every log's section draws when it comes into view, with ids of its own."""
    for i, entry in enumerate(data["logs"]):
        if "refused" in entry:
            continue
        page.evaluate(f"document.getElementById('log-{i}').scrollIntoView()")
        page.wait_for(f"document.getElementById('log-{i}').getAttribute('data-ready') === 'true'", timeout=20)
        # Its panels draw as they come near the view (a sweep file has no map above them).
        page.evaluate(f"(document.querySelector('#log-{i} section.panel') || document.body).scrollIntoView()")
        page.wait_for(f"document.querySelectorAll('#log-{i} canvas').length > 0", timeout=10)
    duplicates = page.evaluate("(() => { const ids = Array.from(document.querySelectorAll('[id]')).map(e => e.id);"
                               " return ids.filter((x, i) => ids.indexOf(x) !== i); })()")
    if duplicates:
        raise Failure(f"ids used twice: {duplicates[:5]}")


def make_mixed_campaign(vyrhost, artifacts, report):
    """The campaign page of a HYTEM scan log beside SDR sweep files: two
    rtl_power files of the same plan and a hackrf_sweep file (sweepgen).
    Returns the logs and the two of the same plan."""
    sweepgen = os.path.join(os.path.dirname(vyrhost), "sweepgen")
    same_plan = [os.path.join(artifacts, "sweep_a.csv"), os.path.join(artifacts, "sweep_b.csv")]
    hackrf = os.path.join(artifacts, "sweep_c.csv")
    # 512 bins: one bin per column of the spectrum, as the max-hold check wants.
    for path, args in ((same_plan[0], ["--sweeps", "40", "--bin", "50e3", "--seed", "1"]),
                       (same_plan[1], ["--sweeps", "30", "--bin", "50e3", "--seed", "2"]),
                       (hackrf, ["--layout", "hackrf_sweep", "--sweeps", "50", "--interval", "0.5"])):
        subprocess.run([sweepgen, *args, "-o", path], check=True, timeout=120)
    logs = [os.path.join("samples", "scan_two_bands.h2m"), *same_plan, hackrf]
    run_vyrhost(vyrhost, "report", "--jobs", "2", "-o", report, *logs)
    return logs, same_plan


def check_mixed_campaign(devtools, vyrhost, logs, same_plan, report, screenshot):
    page, url = open_report(devtools, report)
    data = page.evaluate("JSON.parse(document.getElementById('campaign-data').textContent)")
    rows = page.evaluate("Array.from(document.querySelectorAll('#logs-table tr')).slice(1).map(r => r.innerText)")
    if len(rows) != len(logs) or any(log not in row for log, row in zip(logs, rows)):
        raise Failure(f"the logs table {rows} does not list {logs}")
    if [e.get("kind") for e in data["logs"]] != ["scan"] * len(logs):
        raise Failure(f"every log should be a scan: {[e.get('kind') for e in data['logs']]}")
    check_max_hold(page, vyrhost, data, same_plan)
    check_sections(page, data)
    page.evaluate("window.scrollTo(0, 0)")
    page.screenshot(screenshot)
    return page.problems(url)



def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--vyrhost", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--artifacts", required=True)
    args = ap.parse_args()

    chromium = find_chromium(os.path.abspath(args.source))
    if not chromium:
        print("SKIPPED: Chromium is not installed and tools/install-browser.sh cannot install it")
        return SKIP
    artifacts = os.path.abspath(args.artifacts)
    vyrhost = os.path.abspath(args.vyrhost)
    os.makedirs(artifacts, exist_ok=True)
    os.chdir(args.source)  # the reports name the samples as samples/...
    cases = [
        ("scan", os.path.join("samples", "scan_two_bands.h2m")),
        ("channels", os.path.join("samples", "channels_four.h1m")),
        ("campaign", None),
        ("hostile", None),
        ("tiles", None),
        ("partial", None),
        ("bands600", None),
        ("sweep", None),
        ("mixed", None),
    ]
    failures = 0
    with tempfile.TemporaryDirectory() as profile:
        devtools = DevTools(chromium, profile)
        try:
            for kind, log in cases:
                report = os.path.join(artifacts, f"report-{kind}.html")
                screenshot = os.path.join(artifacts, f"report-{kind}.png")
                try:
                    if kind == "campaign":
                        logs, same_plan = make_campaign(vyrhost, artifacts, report)
                        problems = check_campaign_report(devtools, vyrhost, logs, same_plan, report, screenshot)
                    elif kind == "hostile":
                        problems = check_hostile(devtools, vyrhost, artifacts)
                    elif kind == "tiles":
                        problems = check_tiles(devtools, vyrhost, artifacts, report, screenshot)
                    elif kind == "partial":
                        problems = check_partial_bucket(devtools, vyrhost, artifacts, report)
                    elif kind == "bands600":
                        problems = check_many_bands(devtools, vyrhost, artifacts, report)
                    elif kind == "mixed":
                        logs, same_plan = make_mixed_campaign(vyrhost, artifacts, report)
                        problems = check_mixed_campaign(devtools, vyrhost, logs, same_plan, report, screenshot)
                    elif kind == "sweep":
                        log = os.path.join(artifacts, "sweep_rtl.csv")
                        subprocess.run([os.path.join(os.path.dirname(vyrhost), "sweepgen"), "--sweeps", "60",
                                        "--bin", "50e3", "-o", log], check=True, timeout=120)
                        run_vyrhost(vyrhost, "report", "-o", report, log)
                        problems = check_scan_report(devtools, vyrhost, log, report, screenshot)
                    elif kind == "scan":
                        run_vyrhost(vyrhost, "report", "-o", report, log)
                        problems = check_scan_report(devtools, vyrhost, log, report, screenshot)
                    else:
                        run_vyrhost(vyrhost, "report", "-o", report, log)
                        problems = check_channel_report(devtools, log, report, screenshot)
                    if problems:
                        raise Failure("; ".join(problems))
                    print(f"ok: {kind} report {report}, screenshot {screenshot}")
                except Failure as e:
                    failures += 1
                    print(f"FAILED: {kind} report: {e}")
        finally:
            devtools.close()
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
