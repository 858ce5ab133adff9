#!/usr/bin/env python3
"""Writes the sample run folders of the report tests, shaped like the runner's
own output: report.json and flows/flow-NNN.json with Go-escaped strings
(\\u003c, \\u003e, \\u0026), times with 0 to 9 fraction digits, a one-line
report.html whose embedded object holds `flows` and `index`, assets PNGs and
allure-results. Run it again after changing it; the output is committed."""
import json, os, shutil, subprocess

HERE = os.path.dirname(os.path.abspath(__file__))


def go_json(value):
    text = json.dumps(value, ensure_ascii=False, separators=(",", ":"))
    return text.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026")


def go_json_pretty(value):
    text = json.dumps(value, ensure_ascii=False, indent=2)
    return text.replace("<", "\\u003c").replace(">", "\\u003e").replace("&", "\\u0026")


def png(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["convert", "-size", "2x2", "xc:#3b82f6", "-strip", "PNG32:" + path], check=True)


def cmd(cid, index, ctype, yaml, status, start=None, end=None, duration=None, error=None, artifacts=None, subs=None):
    c = {"id": cid, "index": index, "type": ctype, "label": ctype, "yaml": yaml, "status": status}
    if start:
        c["startTime"] = start
    if end:
        c["endTime"] = end
    if duration is not None:
        c["duration"] = duration
    c["params"] = {}
    if error:
        c["error"] = error
    c["artifacts"] = artifacts if artifacts is not None else {}
    if subs is not None:
        c["subCommands"] = subs
    return c


def basic_flow():
    return [
        cmd("cmd-000", 0, "launchApp", "launchApp: io.kestrune.demo", "passed",
            "2026-12-06T09:36:41.5+01:00", "2026-12-06T09:36:43.228644749+01:00", 1728),
        cmd("cmd-001", 1, "tapOn", 'tapOn: id="cartButton"', "passed",
            "2026-12-06T09:36:44+01:00", "2026-12-06T09:36:45+01:00", 1000),
        cmd("cmd-002", 2, "runFlow", "runFlow: login.yaml", "failed",
            "2026-12-06T09:36:46.1+01:00", "2026-12-06T09:36:50.62944893+01:00", 4529,
            subs=[
                cmd("sub-0", 0, "inputText", 'inputText: "a <b> & c"', "passed",
                    "2026-12-06T09:36:46.2+01:00", "2026-12-06T09:36:47.4+01:00", 1200),
                cmd("sub-1", 1, "repeat", "repeat: 2 times", "failed",
                    "2026-12-06T09:36:47.5+01:00", "2026-12-06T09:36:50.6+01:00", 3100,
                    subs=[
                        cmd("sub-0", 0, "assertVisible", 'assertVisible: "Total"', "failed",
                            "2026-12-06T09:36:47.6+01:00", "2026-12-06T09:36:50.5+01:00", 2900,
                            error={"type": "AssertionError", "message": 'Element "Total" <not> visible',
                                   "details": "", "suggestion": "Check the cart screen"}),
                    ]),
            ]),
        cmd("cmd-003", 3, "takeScreenshot", "takeScreenshot: cart", "passed",
            "2026-12-06T09:36:51.01+01:00", "2026-12-06T09:36:51.3+01:00", 290),
        cmd("cmd-004", 4, "tapOn", 'tapOn: "Pay"', "failed",
            "2026-12-06T09:36:52+01:00", "2026-12-06T09:36:53.2+01:00", 1200,
            error={"type": "ElementNotFound", "message": 'No element matches text="Pay"'},
            artifacts={"screenshotAfter": "assets/flow-000/cmd-004-after.png",
                       "viewHierarchy": "assets/flow-000/cmd-004-hierarchy.xml"}),
        {"id": "cmd-005", "index": 5, "type": "stopApp", "label": "stopApp", "yaml": "stopApp", "status": "skipped",
         "params": {}, "artifacts": {}},
    ]


NETWORK_LOG = """-------START REQUEST -  https://api.example.com/v2/session -------
[Request Method] POST
[Request Date] 2026-12-06 08:36:42 +0000
[Request Time] 9:36
[Request Type] application/json
[Request Timeout] 60.0
[Request Headers]
[AnyHashable("Accept"): "application/json", AnyHashable("Content-Type"): "application/json"]
[Request Body]
 {"user":"qa"}
-------END REQUEST - https://api.example.com/v2/session -------

-------START RESPONSE -  https://api.example.com/v2/session -------
[Response Status] 200
[Response Type] application/json
[Response Date] 2026-12-06 08:36:42 +0000
[Response Time] 9:36
[Response Headers]
[AnyHashable("Content-Type"): application/json; charset=utf-8]

[Response Body]
 {
  "token" : "abc",
  "note" : "<\\/script><script>window.__pwned=1<\\/script>"
}
-------END RESPONSE - https://api.example.com/v2/session -------

-------START REQUEST -  https://api.example.com/v2/cart/ -------
[Request Method] GET
[Request Date] 2026-12-06 08:36:45 +0000
[Request Headers]
[:]
[Request Body]
 
-------END REQUEST - https://api.example.com/v2/cart/ -------

-------START RESPONSE -  https://api.example.com/v2/cart/ -------
[Response Status] 404
[Response Headers]
[AnyHashable("Content-Type"): text/plain]

[Response Body]
 not found
-------END RESPONSE - https://api.example.com/v2/cart/ -------

-------START REQUEST -  https://api.example.com/v2/pay -------
[Request Method] POST
[Request Date] 2026-12-06 08:36:52 +0000
[Request Headers]
[AnyHashable("Accept"): "application/json"]
[Request Body]
 {"amount":12}
-------END REQUEST - https://api.example.com/v2/pay -------
"""


def write_basic(root):
    run = os.path.join(root, "SIT_20261206_093640")
    shutil.rmtree(run, ignore_errors=True)
    rep = os.path.join(run, "2026-12-06_09-36-40")
    os.makedirs(os.path.join(rep, "flows"))
    # The workspace copy holds files with the runner's names; searches skip it.
    os.makedirs(os.path.join(run, "sandbox", "old"))
    with open(os.path.join(run, "sandbox", "old", "report.html"), "w") as f:
        f.write("<html>decoy</html>\n")
    with open(os.path.join(run, "sandbox", "old", "report.json"), "w") as f:
        f.write("{}\n")
    os.makedirs(os.path.join(run, "sandbox", "allure-results"))
    with open(os.path.join(run, "sandbox", "allure-results", "decoy-result.json"), "w") as f:
        f.write("{}\n")
    with open(os.path.join(run, "network_log.txt"), "w") as f:
        f.write(NETWORK_LOG)

    commands = basic_flow()
    detail = {
        "id": "flow-000", "name": "Checkout <smoke> & pay", "sourceFile": "flows/checkout.yaml", "tags": ["smoke"],
        "properties": {}, "device": {"id": "00008130-001E39811A12001C", "name": "iPhone de QA", "platform": "ios"},
        "startTime": "2026-12-06T09:36:41.2+01:00", "endTime": "2026-12-06T09:36:54+01:00", "duration": 12800,
        "commands": commands, "stepLatency": {}, "artifacts": {}, "consoleLogs": [],
    }
    summary = {
        "version": "1.1.25", "updateSeq": 14, "status": "failed",
        "startTime": "2026-12-06T09:36:40+01:00", "endTime": "2026-12-06T09:36:54.5+01:00",
        "lastUpdated": "2026-12-06T09:36:54.5+01:00",
        "device": {"id": "00008130-001E39811A12001C", "name": "iPhone de QA", "platform": "ios",
                   "osVersion": "27.0", "model": "iPhone16,1", "isSimulator": False},
        "app": {"id": "${BUNDLE_ID}"},
        "maestroRunner": {"version": "1.1.25", "driver": "wda"},
        "summary": {"total": 1, "passed": 0, "failed": 1, "skipped": 0, "running": 0, "pending": 0},
        "flows": [{"index": 0, "id": "flow-000", "name": "Checkout <smoke> & pay", "sourceFile": "flows/checkout.yaml",
                   "tags": ["smoke"], "dataFile": "flows/flow-000.json", "assetsDir": "assets/flow-000",
                   "status": "failed", "duration": 12800,
                   "commands": {"total": 6, "passed": 9, "failed": 1, "skipped": 1, "running": 0, "pending": 0},
                   "attempts": 1, "error": "No element matches text=\"Pay\""}],
    }
    with open(os.path.join(rep, "report.json"), "w") as f:
        f.write(go_json_pretty(summary))
    with open(os.path.join(rep, "flows", "flow-000.json"), "w") as f:
        f.write(go_json_pretty(detail))
    for name in ["cmd-003-cart.png", "cmd-003-cart-again.png", "cmd-004-after.png"]:
        png(os.path.join(rep, "assets", "flow-000", name))
    with open(os.path.join(rep, "assets", "flow-000", "cmd-004-hierarchy.xml"), "w") as f:
        f.write("<hierarchy/>\n")
    embedded = {"flows": [detail], "index": summary}
    html = ("<!DOCTYPE html>\n<html>\n<head>\n<style>\n:root {\n  --accent: #06b6d4;\n  --running: #06b6d4;\n}\n"
            "</style>\n</head>\n<body>\n<header>\n"
            '<img src="data:image/jpeg;base64,/9j/4AAQSkZJRgABAQ==" alt="DeviceLab" style="width:32px;height:32px;" />\n'
            '<span class="brand-name">maestro-runner</span>\n'
            '<span class="brand-by">by <a href="https://devicelab.dev/" target="_blank" class="brand-link">DeviceLab</a></span>\n'
            '<a href="https://github.com/devicelab-dev/maestro-runner" target="_blank" class="github-star">\n'
            "<svg></svg> Star</a>\n</header>\n<script>\n"
            "        let reportData = " + go_json(embedded) + ";\n"
            "        render(reportData);\n</script>\n</body>\n</html>\n")
    with open(os.path.join(rep, "report.html"), "w", newline="\r\n") as f:
        f.write(html)
    allure = os.path.join(rep, "allure-results")
    os.makedirs(allure)
    result = {"uuid": "5b0d7c1e-0000-4000-8000-000000000001", "historyId": "h1", "fullName": "checkout",
              "name": "Checkout", "status": "failed", "stage": "finished", "statusDetails": {"message": "x"},
              "steps": [{"name": "launchApp", "status": "passed", "attachments": None}],
              "attachments": None, "parameters": [], "labels": [{"name": "suite", "value": "smoke"}],
              "links": [], "start": 1796546200000, "stop": 1796546214500}
    with open(os.path.join(allure, "flow-000-result.json"), "w") as f:
        f.write(json.dumps(result, indent=2))
    with open(os.path.join(allure, "categories.json"), "w") as f:
        f.write("[]\n")


if __name__ == "__main__":
    write_basic(os.path.join(HERE, "runs"))
