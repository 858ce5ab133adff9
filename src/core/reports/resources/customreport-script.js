function escapeHtml(str) {
    if (typeof str !== 'string') {
        str = String(str);
    }
    return str.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
        .replace(/"/g, '&quot;').replace(/'/g, '&#39;');
}

function copyToClipboard(text, button) {
    const original = button.innerHTML;
    const copied = function () {
        button.textContent = 'Copied!';
        setTimeout(function () { button.innerHTML = original; }, 2000);
    };
    if (!navigator.clipboard || !navigator.clipboard.writeText) {
        console.error('Copy failed: the clipboard is not available');
        return;
    }
    navigator.clipboard.writeText(text).then(copied).catch(function (err) {
        console.error('Copy failed', err);
    });
}

function buildJsonTree(obj) {
    if (obj === null) {
        return '<span class="json-null">null</span>';
    }
    if (typeof obj === 'boolean') {
        return '<span class="json-bool">' + obj + '</span>';
    }
    if (typeof obj === 'number') {
        return '<span class="json-number">' + escapeHtml(String(obj)) + '</span>';
    }
    if (typeof obj === 'string') {
        return '<span class="json-string">"' + escapeHtml(obj) + '"</span>';
    }
    const isArray = Array.isArray(obj);
    const keys = isArray ? obj.map(function (_, i) { return i; }) : Object.keys(obj);
    const open = isArray ? '[' : '{';
    const close = isArray ? ']' : '}';
    if (keys.length === 0) {
        return '<span class="json-bracket">' + open + close + '</span>';
    }
    let html = '<details open class="json-tree"><summary><span class="json-bracket">' + open
        + '</span> <span class="json-count">' + keys.length + (keys.length === 1 ? ' item' : ' items')
        + '</span></summary><div class="json-children">';
    keys.forEach(function (key) {
        html += '<div class="json-entry">';
        if (!isArray) {
            html += '<span class="json-key">"' + escapeHtml(key) + '"</span>: ';
        }
        html += buildJsonTree(obj[key]) + '</div>';
    });
    return html + '</div><span class="json-bracket">' + close + '</span></details>';
}

function formatJsonToHtml(jsonStr) {
    if (jsonStr === undefined || jsonStr === null || String(jsonStr).trim() === '') {
        return '<div class="json-container"><pre>No Body</pre></div>';
    }
    try {
        const parsed = JSON.parse(jsonStr);
        return '<div class="json-container">' + buildJsonTree(parsed) + '</div>';
    } catch (e) {
        return '<div class="json-container"><pre>' + escapeHtml(jsonStr) + '</pre></div>';
    }
}

function apiStatusClass(status) {
    const text = String(status);
    if (text === 'TIMEOUT') return 'timeout';
    if (text.charAt(0) === '2') return 'success';
    if (text.charAt(0) === '4' || text.charAt(0) === '5') return 'error';
    return 'warning';
}

function apiSection(title, field, body) {
    return '<div class="section-header"><span class="api-section-title">' + title
        + '</span><button class="copy-button" data-copy="' + field + '">Copy</button></div>' + body;
}

function showApiDetails(id) {
    if (!Object.prototype.hasOwnProperty.call(apiData, id)) {
        return;
    }
    const data = apiData[id];
    const method = String(data.reqMethod);
    document.getElementById('modalTitle').innerHTML =
        '<span class="api-badge api-method ' + escapeHtml(method.toLowerCase()) + '">' + escapeHtml(method) + '</span>'
        + '<span class="api-badge api-status ' + apiStatusClass(data.resStatus) + '">' + escapeHtml(data.resStatus) + '</span> '
        + escapeHtml(data.url);
    const request = document.getElementById('Request');
    request.innerHTML = apiSection('HEADERS', 'reqHeaders', '<pre class="api-headers-pre">' + escapeHtml(data.reqHeaders) + '</pre>')
        + apiSection('BODY', 'reqBody', formatJsonToHtml(data.reqBody));
    const response = document.getElementById('Response');
    response.innerHTML = apiSection('HEADERS', 'resHeaders', '<pre class="api-headers-pre">' + escapeHtml(data.resHeaders) + '</pre>')
        + apiSection('BODY', 'resBody', formatJsonToHtml(data.resBody));
    [request, response].forEach(function (pane) {
        pane.querySelectorAll('button[data-copy]').forEach(function (button) {
            button.addEventListener('click', function () {
                copyToClipboard(String(data[button.getAttribute('data-copy')]), button);
            });
        });
    });
    document.getElementById('apiModal').style.display = 'block';
}

function openTab(evt, tabName) {
    document.querySelectorAll('.tabcontent').forEach(function (pane) { pane.style.display = 'none'; });
    document.querySelectorAll('.tablinks').forEach(function (button) { button.classList.remove('active'); });
    document.getElementById(tabName).style.display = 'block';
    if (evt && evt.currentTarget) {
        evt.currentTarget.classList.add('active');
    }
}

function toggleFlow(header, flowClass) {
    header.classList.toggle('collapsed');
    const collapsed = header.classList.contains('collapsed');
    document.querySelectorAll('tr.' + flowClass).forEach(function (row) {
        if (collapsed) {
            row.classList.add('hidden-row');
        } else {
            row.classList.remove('hidden-row');
        }
    });
    filterTable();
}

function filterTable() {
    const filter = document.getElementById('searchInput').value.toLowerCase();
    const collapsed = {};
    document.querySelectorAll('tr.flow-header').forEach(function (header) {
        collapsed[header.getAttribute('data-flow')] = header.classList.contains('collapsed');
    });
    document.querySelectorAll('tr.step-row').forEach(function (row) {
        const flowClass = Array.prototype.find.call(row.classList, function (name) { return /^flow-\d+$/.test(name); });
        if (flowClass && collapsed[flowClass] && filter === '') {
            row.style.display = 'none';
            return;
        }
        const text = (row.textContent || '').toLowerCase();
        row.style.display = text.indexOf(filter) !== -1 ? 'table-row' : 'none';
    });
}

function openLightbox(src) {
    const lightbox = document.getElementById('lightbox');
    document.getElementById('lightbox-img').src = src;
    lightbox.style.display = 'flex';
    setTimeout(function () { lightbox.classList.add('active'); }, 10);
}

function closeLightbox() {
    const lightbox = document.getElementById('lightbox');
    lightbox.classList.remove('active');
    setTimeout(function () { lightbox.style.display = 'none'; }, 300);
}

window.addEventListener('click', function (event) {
    const modal = document.getElementById('apiModal');
    if (event.target === modal) {
        modal.style.display = 'none';
    }
});
