"""Seconds until a report page is drawn in headless Chromium: from navigating
to it until the page marks itself ready (every chart in view drawn), through
the DevTools client of the report's browser test.

    /usr/bin/python3 bench/page-open-time.py PAGE.html"""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "report"))
import report_browser_test as browser  # noqa: E402


def main():
    page_path = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as profile:
        devtools = browser.DevTools("chromium", profile)
        try:
            page = browser.Page(devtools)
            start = time.time()
            page.call("Page.navigate", {"url": "file://" + page_path})
            page.wait_for("document.readyState === 'complete' && "
                          "document.documentElement.getAttribute('data-ready') === 'true'", timeout=120)
            print(f"{time.time() - start:.1f}")
        finally:
            devtools.close()


if __name__ == "__main__":
    main()
