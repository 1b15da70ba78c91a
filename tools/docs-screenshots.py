"""The README's screenshots of the report: a generated scan log's page
(docs/report-scan.png, the position of its second strongest signal marked on
the map) and the campaign page of four generated scan logs and
a channel log (docs/report-campaign.png, its top), drawn in headless Chromium
through the browser test's DevTools client.

    /usr/bin/python3 tools/docs-screenshots.py [BIN_DIR] [WORK_DIR]"""

import base64
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "report"))
import report_browser_test as browser  # noqa: E402

# (file, hytemgen options)
LOGS = [
    ("route1.h2m", ["--bands", "2", "--bins", "400", "--lines", "3000", "--seed", "11"]),
    ("route2.h2m", ["--bands", "2", "--bins", "400", "--lines", "3000", "--seed", "12"]),
    ("route3.h2m", ["--bands", "2", "--bins", "400", "--lines", "3000", "--seed", "13"]),
    ("route4.h2m", ["--bands", "1", "--bins", "600", "--lines", "2000", "--seed", "14"]),
    ("channels5.h1m", ["--kind", "channels", "--lines", "4000", "--seed", "15"]),
]


def shoot(devtools, page_path, png, height=None, then=None):
    page, _ = browser.open_report(devtools, page_path)
    # Every lazily drawn part in view once, then back to the top.
    page.evaluate("new Promise(async r => { for (let y = 0; y < document.body.scrollHeight; y += 600) {"
                  " window.scrollTo(0, y); await new Promise(f => setTimeout(f, 60)); } window.scrollTo(0, 0); r(); })")
    if then:
        page.evaluate(then)
        page.evaluate("window.scrollTo(0, 0)")
    size = page.call("Page.getLayoutMetrics")["cssContentSize"]
    h = int(min(height or size["height"], size["height"]))
    page.call("Emulation.setDeviceMetricsOverride", {"width": 1280, "height": h, "deviceScaleFactor": 1, "mobile": False})
    browser.redraw(page)
    shot = page.call("Page.captureScreenshot", {"format": "png", "clip": {"x": 0, "y": 0, "width": 1280, "height": h, "scale": 1}})
    with open(png, "wb") as f:
        f.write(base64.b64decode(shot["data"]))
    print(f"wrote {png} (1280 x {h})")


def main():
    bin_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bin"))
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    os.makedirs(work, exist_ok=True)
    os.chdir(work)  # the pages name the logs by these short names
    for name, args in LOGS:
        subprocess.run([os.path.join(bin_dir, "hytemgen"), *args, "-o", name], check=True)
    vyrhost = os.path.join(bin_dir, "vyrhost")
    subprocess.run([vyrhost, "report", "-o", "scan.html", LOGS[0][0]], check=True)
    subprocess.run([vyrhost, "report", "-o", "campaign.html", *[n for n, _ in LOGS]], check=True)
    with tempfile.TemporaryDirectory() as profile:
        devtools = browser.DevTools("chromium", profile)
        try:
            shoot(devtools, os.path.abspath("scan.html"), os.path.join(ROOT, "docs", "report-scan.png"),
                  then="document.querySelectorAll('#signals-table tr')[2].querySelector('button').click()")
            shoot(devtools, os.path.abspath("campaign.html"), os.path.join(ROOT, "docs", "report-campaign.png"), 1930)
        finally:
            devtools.close()


if __name__ == "__main__":
    main()
