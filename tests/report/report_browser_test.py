"""Browser test of `vyrhost report`: renders the reports of the sample scan log
and channel log, and the campaign page of the samples and generated logs, in
headless Chromium, driven through the DevTools protocol over a pipe, and
checks what a user would see.

Fails on any console error, page error or network request; checks that each
waterfall is drawn (its plot area holds many colours), that hovering it shows
a frequency of the log's frequency plan and the level that the export gives
for that bin, and that hovering the channel chart names a channel frequency.
The same for the page of a generated rtl_power sweep file. On the campaign
page: every log is listed (a refused one with its reason), the
map holds every log's track, names the log of a hovered point and its legend
hides one, the combined spectrum of
two logs of the same plan is the max hold of their exported levels, and every
log's section draws when scrolled into view. On a campaign page of a HYTEM
log beside rtl_power and hackrf_sweep files: every log is listed as a scan,
the two sweep files of one plan combine into the max hold of their exported
levels, and every section draws.
Keeps a PNG screenshot of each page in the artefacts folder.

Exit status: 0 passed, 1 failed, 77 skipped because Chromium is missing and
cannot be installed (tools/install-browser.sh)."""

import argparse
import base64
import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

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
            if time.time() > deadline:
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

    def problems(self, page_url):
        """Console errors, page errors and requests other than the page itself."""
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
            elif method == "Network.requestWillBeSent" and p["request"]["url"] != page_url:
                found.append("network request: " + p["request"]["url"][:200])
        return found

    def move_mouse(self, x, y):
        self.call("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})

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


def check_scan_report(devtools, vyrhost, log, report, screenshot):
    plan = plan_frequencies(vyrhost, log)
    rows = list(csv.DictReader(io.StringIO(run_vyrhost(vyrhost, "export", "--csv", log))))
    page, url = open_report(devtools, report)
    panels = page.evaluate("JSON.parse(document.getElementById('report-data').textContent).panels")
    if not panels:
        raise Failure("the scan report has no band")
    for i, p in enumerate(panels):
        chart = f"waterfall-{i}"
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
    # The map: one scatter series per log with positions, holding its whole reduced track.
    series = page.evaluate("__test.chart('map-chart').getOption().series.filter(s => s.type === 'scatter')"
                           ".map(s => [s.name, s.data.length])")
    tracks = [(i, len(e["track"]["lat"])) for i, e in enumerate(data["logs"]) if "refused" not in e]
    if [n for _, n in series] != [n for _, n in tracks] or any(n == 0 for _, n in tracks):
        raise Failure(f"the map's tracks {series} are not the logs' tracks {tracks}")
    # Hovering a point names its log, and the point is one of that log's track.
    last = data["logs"][tracks[-1][0]]["track"]
    x, y = page.evaluate(f"__test.at('map-chart', {last['lon'][0]}, {last['lat'][0]})")
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
    check_max_hold(page, vyrhost, data, same_plan)
    check_sections(page, data)
    page.evaluate("window.scrollTo(0, 0)")
    page.screenshot(screenshot)
    return page.problems(url)


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
        charts = page.evaluate(f"document.querySelectorAll('#log-{i} canvas').length")
        if charts == 0:
            raise Failure(f"the section of {entry['file']} has no chart")
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


def find_chromium(source):
    found = shutil.which("chromium")
    if found:
        return found
    subprocess.run(["bash", os.path.join(source, "tools", "install-browser.sh")], timeout=1800)
    return shutil.which("chromium")


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
