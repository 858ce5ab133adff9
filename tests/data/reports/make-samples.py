#!/usr/bin/env python3
"""Writes the derived files of the sample run folder of the report tests.

runs/SIT_20261206_093640 is shaped like the runner's own output. Its JSON
files (Go-escaped strings: \\u003c, \\u003e, \\u0026; times with 0 to 9
fraction digits), network_log.txt, the allure-results and the sandbox decoys
(files with the runner's names that searches must skip) are written by hand.
This script writes what the runner derives from them: the report.html with
CRLF line ends whose embedded object holds the flow's detail file as `flows`
and report.json as `index`, and the screenshots. Run it again after editing
them; the output is committed."""
import json, os, subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
REPORT = os.path.join(HERE, "runs", "SIT_20261206_093640", "2026-12-06_09-36-40")


def load(name):
    with open(os.path.join(REPORT, name)) as f:
        return json.load(f)


def go_json(value):
    text = json.dumps(value, ensure_ascii=False, separators=(",", ":"))
    return text.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026")


def main():
    assets = os.path.join(REPORT, "assets", "flow-000")
    for name in ["cmd-003-cart.png", "cmd-003-cart-again.png", "cmd-004-after.png"]:
        subprocess.run(["convert", "-size", "2x2", "xc:#3b82f6", "-strip", "PNG32:" + os.path.join(assets, name)], check=True)
    embedded = {"flows": [load("flows/flow-000.json")], "index": load("report.json")}
    html = ("<!DOCTYPE html>\n<html>\n<head>\n<style>\n:root {\n  --accent: #06b6d4;\n  --running: #06b6d4;\n}\n"
            "</style>\n</head>\n<body>\n<header>\n"
            '<img src="data:image/jpeg;base64,/9j/4AAQSkZJRgABAQ==" alt="DeviceLab" style="width:32px;height:32px;" />\n'
            '<span class="brand-name">maestro-runner</span>\n'
            '<span class="brand-by">by <a href="https://devicelab.dev/" target="_blank" class="brand-link">DeviceLab</a></span>\n'
            '<a href="https://github.com/devicelab-dev/maestro-runner" target="_blank" class="github-star">\n'
            "<svg></svg> Star</a>\n</header>\n<script>\n"
            "        let reportData = " + go_json(embedded) + ";\n"
            "        render(reportData);\n</script>\n</body>\n</html>\n")
    with open(os.path.join(REPORT, "report.html"), "w", newline="\r\n") as f:
        f.write(html)


if __name__ == "__main__":
    main()
