#include "reportpage.h"

namespace {

// The maker's logo as the runner embeds it (a JPEG data URI).
const char kLogo[]
    = "data:image/jpeg;base64,/9j/2wBDAAMCAgICAgMCAgIDAwMDBAYEBAQEBAgGBgUGCQgKCgkICQkKDA8MCgsOCwkJDRENDg8QEBEQCgwSExIQEw8QEBD/"
      "yQALCAABAAEBAREA/8wABgAQEAX/2gAIAQEAAD8A0s8g/9k=";

const char kHead[] = R"(<!DOCTYPE html>
<html lang="en">
<head>
    <meta charset="UTF-8">
    <meta name="viewport" content="width=device-width, initial-scale=1.0">
    <title>Test Report - maestro-runner</title>
    <style>
        :root {
            --bg: #0f172a;
            --surface: #ffffff;
            --text: #0f172a;
            --muted: #64748b;
            --border: #e2e8f0;
            --accent: #06b6d4;
            --passed: #16a34a;
            --failed: #dc2626;
            --skipped: #94a3b8;
            --running: #06b6d4;
        }
        * { box-sizing: border-box; }
        body { margin: 0; font-family: -apple-system, BlinkMacSystemFont, "Segoe UI", Roboto, sans-serif; color: var(--text); background: #f8fafc; }
        header { display: flex; align-items: center; gap: 12px; padding: 16px 24px; background: var(--bg); color: #fff; }
        .brand { display: flex; align-items: center; gap: 10px; }
        .brand-name { font-weight: 700; font-size: 18px; }
        .brand-by { color: #94a3b8; font-size: 13px; }
        .brand-link { color: var(--accent); text-decoration: none; }
        .github-star { margin-left: auto; color: #e2e8f0; text-decoration: none; border: 1px solid #334155; border-radius: 6px; padding: 4px 10px; font-size: 13px; }
        main { max-width: 1100px; margin: 24px auto; padding: 0 16px; }
        .summary { display: flex; gap: 12px; margin-bottom: 20px; }
        .card { flex: 1; background: var(--surface); border: 1px solid var(--border); border-radius: 8px; padding: 12px 16px; }
        .card b { display: block; font-size: 22px; }
        .flow { background: var(--surface); border: 1px solid var(--border); border-radius: 8px; margin-bottom: 12px; }
        .flow > summary { padding: 12px 16px; cursor: pointer; font-weight: 600; }
        .cmd { display: flex; gap: 8px; padding: 6px 16px; border-top: 1px solid var(--border); font-family: ui-monospace, Menlo, monospace; font-size: 13px; }
        .cmd .dur { margin-left: auto; color: var(--muted); }
        .status-passed { color: var(--passed); }
        .status-failed { color: var(--failed); }
        .status-skipped { color: var(--skipped); }
        .status-running { color: var(--running); }
        .error { color: var(--failed); padding: 4px 16px 8px 40px; font-size: 13px; }
        .shot { max-width: 160px; border: 1px solid var(--border); border-radius: 6px; margin: 6px 16px 10px 40px; }
    </style>
</head>
<body>
    <header>
        <div class="brand">
            <img src=")";

const char kHeaderEnd[] = R"(" alt="DeviceLab" style="width:32px;height:32px;" />
            <span class="brand-name">maestro-runner</span>
            <span class="brand-by">by <a href="https://devicelab.dev/" target="_blank" class="brand-link">DeviceLab</a></span>
        </div>
        <a href="https://github.com/devicelab-dev/maestro-runner" target="_blank" class="github-star">&#9733; Star on GitHub</a>
    </header>
    <main>
        <section class="summary" id="summary"></section>
        <section id="flows"></section>
    </main>
    <script>
)";

const char kScript[]
    = R"(        const esc = (s) => String(s == null ? '' : s).replace(/[&<>"']/g, (c) => ({'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;'}[c]));
        const fmt = (ms) => ms == null ? '' : ms < 1000 ? ms + 'ms' : ms < 60000 ? (ms / 1000).toFixed(1) + 's' : Math.floor(ms / 60000) + 'm ' + Math.floor((ms % 60000) / 1000) + 's';
        function renderCommand(cmd, depth) {
            let html = '<div class="cmd" style="padding-left:' + (16 + depth * 20) + 'px"><span class="status-' + esc(cmd.status) + '">' +
                ({passed: '&#10003;', failed: '&#10007;', skipped: '&#8211;'}[cmd.status] || '&#8226;') + '</span><span>' +
                esc(cmd.label || cmd.yaml || cmd.type) + '</span><span class="dur">' + fmt(cmd.duration) + '</span></div>';
            if (cmd.error && cmd.error.message) html += '<div class="error">' + esc(cmd.error.message) + '</div>';
            const shot = cmd.artifacts && cmd.artifacts.screenshotAfter;
            if (shot) html += '<img class="shot" src="' + esc(shot) + '" alt="screenshot">';
            (cmd.subCommands || []).forEach((sub) => { html += renderCommand(sub, depth + 1); });
            return html;
        }
        function render() {
            const index = reportData.index || {};
            const s = index.summary || {};
            document.getElementById('summary').innerHTML = ['total', 'passed', 'failed', 'skipped'].map((k) =>
                '<div class="card"><b class="status-' + k + '">' + (s[k] || 0) + '</b>' + k + '</div>').join('');
            document.getElementById('flows').innerHTML = (reportData.flows || []).map((flow) => {
                const meta = (index.flows || []).find((f) => f.id === flow.id) || {};
                return '<details class="flow" open><summary><span class="status-' + esc(meta.status) + '">' + esc(flow.name) +
                    '</span> <small>' + esc(flow.sourceFile) + ' &middot; ' + fmt(flow.duration) + '</small></summary>' +
                    (flow.commands || []).map((c) => renderCommand(c, 0)).join('') + '</details>';
            }).join('');
        }
        render();
    </script>
</body>
</html>
)";

} // namespace

QString ReportPage::build(const QString &dataJson)
{
    return QString::fromUtf8(kHead) + QString::fromUtf8(kLogo) + QString::fromUtf8(kHeaderEnd)
        + QStringLiteral("        let reportData = ") + dataJson + QStringLiteral(";\n") + QString::fromUtf8(kScript);
}
