// The campaign page: the logs table, the routes of all logs on one map, the
// campaign spectrum per frequency plan and the strongest signals, drawn at
// once; each log's own section is drawn by the one-log report script when it
// comes into view, so that a page of many logs opens quickly.
(function () {
  'use strict';

  const data = JSON.parse(document.getElementById('campaign-data').textContent);
  // The report's colour scale of levels, weak to strong.
  const PALETTE = ['#000428', '#0b2a6f', '#1565c0', '#00a3c4', '#4cd3a0', '#d6f05a', '#ffc12e', '#f4661b', '#b3001b'];
  const charts = [];

  function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (className) e.className = className;
    return e;
  }

  // Cells are strings, {text, className, href, colSpan} or elements.
  function addRow(table, cells, header) {
    const tr = document.createElement('tr');
    cells.forEach(function (c) {
      const td = element(header ? 'th' : 'td');
      if (c.href) {
        const a = element('a', c.text);
        a.href = c.href;
        td.appendChild(a);
      } else {
        td.textContent = c.text !== undefined ? c.text : c;
      }
      if (c.className) td.className = c.className;
      if (c.colSpan) td.colSpan = c.colSpan;
      tr.appendChild(td);
    });
    table.appendChild(tr);
  }

  function mhz(f) { return f === null || f === undefined ? '?' : f.toFixed(3) + ' MHz'; }
  function dbm(v) { return v === null || v === undefined ? 'no level' : v.toFixed(1) + ' dBm'; }
  function when(iso) { return iso.replace('T', ' '); }
  // A damaged time text can put a time beyond what a Date holds.
  function timeText(ms) {
    const d = new Date(ms);
    return isNaN(d.getTime()) ? '(time out of range)' : when(d.toISOString()).replace('Z', '');
  }
  function duration(ms) {
    const s = Math.round(ms / 1000);
    return Math.floor(s / 3600) + ' h ' + String(Math.floor(s / 60) % 60).padStart(2, '0') + ' min ' +
      String(s % 60).padStart(2, '0') + ' s';
  }
  // Two logs may share a file name in different folders: the number tells them apart.
  function logName(i) { return '#' + (i + 1) + ' ' + data.logs[i].file.replace(/^.*\//, ''); }

  function makeChart(container) {
    const chart = echarts.init(container, null, { renderer: 'canvas' });
    charts.push(chart);
    return chart;
  }

  // ---- logs table ---------------------------------------------------------

  function bandsText(log) {
    const channels = log.bands.filter(function (b) { return b.channels; });
    const bands = log.bands.filter(function (b) { return !b.channels; });
    const parts = bands.map(function (b) { return b.start_mhz.toFixed(3) + '–' + b.stop_mhz.toFixed(3) + ' MHz (' + b.bins + ' bins)'; });
    channels.forEach(function (b) {
      parts.push(b.bins === 1 ? '1 channel, ' + mhz(b.start_mhz) : b.bins + ' channels, ' + b.start_mhz.toFixed(3) + '–' + mhz(b.stop_mhz));
    });
    return parts.join('; ');
  }

  function drawLogsTable() {
    const table = document.getElementById('logs-table');
    addRow(table, ['#', { text: 'File', className: 'text' }, { text: 'Kind', className: 'text' }, { text: 'Start', className: 'text' },
      'Duration', 'Messages', 'Positions', { text: 'Bands or channels', className: 'text' }, 'Strongest (dBm)'], true);
    data.logs.forEach(function (log, i) {
      if (log.refused) {
        // The message names the file, which the row shows already.
        const prefix = 'vyrhost: ' + log.file + ': ';
        const reason = log.refused.indexOf(prefix) === 0 ? log.refused.slice(prefix.length) : log.refused;
        addRow(table, [String(i + 1), { text: log.file, className: 'path' },
          { text: (/^refused/.test(reason) ? '' : 'refused: ') + reason, className: 'refused', colSpan: 7 }]);
        return;
      }
      addRow(table, [String(i + 1), { text: log.file, className: 'path', href: '#log-' + i }, { text: log.kind, className: 'text' },
        { text: when(log.start), className: 'text' }, duration(log.duration_ms), String(log.messages), String(log.positions),
        { text: bandsText(log), className: 'wrap' }, log.strongest_dbm === null ? '' : log.strongest_dbm.toFixed(1)]);
    });
  }

  // ---- routes -----------------------------------------------------------------

  function drawMap() {
    const series = [], names = [], scatterIndex = [];
    let lo = Infinity, hi = -Infinity, points = 0;
    data.logs.forEach(function (log, i) {
      if (log.refused || log.track.lat.length === 0) return;
      const t = log.track;
      const track = t.lat.map(function (lat, k) { return [t.lon[k], lat, t.level[k], log.start_ms + t.t[k], i]; });
      t.level.forEach(function (v) { if (v !== null) { lo = Math.min(lo, v); hi = Math.max(hi, v); } });
      points += track.length;
      const name = logName(i);
      names.push(name);
      series.push({ name: name, type: 'line', silent: true, showSymbol: false, lineStyle: { color: '#b8c0ca', width: 1 },
        data: track, tooltip: { show: false } });
      scatterIndex.push(series.length);
      series.push({ name: name, type: 'scatter', symbolSize: 6, data: track });
    });
    const note = document.getElementById('map-note');
    if (names.length === 0) {
      note.textContent = 'No log has positions.';
      document.getElementById('map-chart').hidden = true;
      return;
    }
    note.textContent = names.length + ' routes, ' + points + ' points, each coloured by the strongest level of its messages. ' +
      'The legend hides or shows a log.';
    lo = isFinite(lo) ? Math.floor(lo) : -120;
    hi = isFinite(hi) ? Math.ceil(hi) : -20;
    makeChart(document.getElementById('map-chart')).setOption({
      animation: false,
      grid: { left: 80, right: 110, top: 70, bottom: 56 },
      legend: { type: 'scroll', top: 4, data: names },
      tooltip: { trigger: 'item', formatter: function (p) {
        const v = p.value;
        return logName(v[4]) + '<br>' + timeText(v[3]) + '<br>' +
          v[1].toFixed(6) + ', ' + v[0].toFixed(6) + '<br>' + dbm(v[2]);
      } },
      xAxis: { type: 'value', scale: true, name: 'Longitude', nameLocation: 'middle', nameGap: 32 },
      yAxis: { type: 'value', scale: true, name: 'Latitude' },
      visualMap: { type: 'continuous', min: lo, max: hi === lo ? lo + 1 : hi, dimension: 2, seriesIndex: scatterIndex, right: 8,
        top: 'middle', inRange: { color: PALETTE }, outOfRange: { color: '#9aa3ad' }, text: [hi + ' dBm', lo + ' dBm'], calculable: false },
      dataZoom: [{ type: 'inside', xAxisIndex: 0, filterMode: 'none' }, { type: 'inside', yAxisIndex: 0, filterMode: 'none' }],
      series: series,
    });
  }

  // ---- campaign spectrum ----------------------------------------------------

  function bandTitle(b) {
    if (b.channels) return 'Channels: ' + b.bins + ' frequencies from ' + mhz(b.start_mhz) + ' to ' + mhz(b.stop_mhz) + ', ' +
      b.sweeps + ' messages of ' + b.logs + (b.logs === 1 ? ' log' : ' logs');
    const step = b.bins > 1 ? (b.stop_mhz - b.start_mhz) / (b.bins - 1) * 1000 : 0;
    return mhz(b.start_mhz) + ' to ' + mhz(b.stop_mhz) + (b.bins > 1 ? ', step ' + +step.toFixed(3) + ' kHz' : '') + ', ' +
      b.bins + ' bins: ' + b.sweeps + ' sweeps of ' + b.logs + (b.logs === 1 ? ' log' : ' logs');
  }

  function drawCampaignBand(b, k, parent) {
    parent.appendChild(element('h3', bandTitle(b)));
    const box = element('div', undefined, 'chart campaign-spectrum');
    box.id = 'campaign-spectrum-' + k;
    parent.appendChild(box);
    const series = function (name, values, colour) {
      return { name: name, type: 'line', showSymbol: b.channels, connectNulls: false, lineStyle: { width: b.channels ? 0 : 1.2 },
        color: colour, data: values.map(function (v, c) { return [b.freqs_mhz[c], v]; }) };
    };
    const f = b.freqs_mhz;
    const pad = f.length > 1 ? 0 : 0.5;
    makeChart(box).setOption({
      animation: false,
      grid: { left: 64, right: 24, top: 36, bottom: 56 },
      legend: { top: 4 },
      tooltip: { trigger: 'axis', valueFormatter: function (v) { return dbm(v); } },
      xAxis: { type: 'value', min: f[0] - pad, max: f[f.length - 1] + pad, name: 'Frequency (MHz)', nameLocation: 'middle', nameGap: 32,
        axisLabel: { formatter: function (v) { return +v.toFixed(4); } } },
      yAxis: { type: 'value', scale: true, name: 'dBm' },
      dataZoom: [{ type: 'inside', xAxisIndex: 0 }],
      series: [series('Max hold', b.max, '#c62828'), series('Average', b.avg, '#1f5fa8'), series('Min hold', b.min, '#607d8b')],
    });
  }

  // ---- strongest signals ------------------------------------------------------

  function drawSignals() {
    const table = document.getElementById('campaign-signals-table');
    document.getElementById('campaign-signals-note').textContent = 'Threshold ' + data.threshold_dbm +
      ' dBm, over the combined bands and channels: a run of neighbouring bins (or one channel) that reached the threshold, ' +
      'told by its strongest bin; "logs" counts the logs in which that bin reached it, "above" the sweeps.';
    if (data.signals.length === 0) {
      table.appendChild(element('caption', 'No level reached the threshold.'));
      return;
    }
    addRow(table, ['#', { text: 'Where', className: 'text' }, 'Frequency (MHz)', 'Max level (dBm)', 'Bins',
      { text: 'Strongest in', className: 'text' }, { text: 'At', className: 'text' }, 'Logs', 'Above threshold'], true);
    data.signals.forEach(function (g, i) {
      addRow(table, [String(i + 1), { text: g.channels ? 'channel' : 'plan ' + (g.band + 1), className: 'text' },
        g.frequency_mhz.toFixed(3), g.max_dbm.toFixed(1), String(g.bins),
        { text: logName(g.log), className: 'text', href: '#log-' + g.log }, { text: when(g.time), className: 'text' },
        String(g.logs_above), g.above + ' of ' + g.sweeps]);
    });
  }

  // ---- each log's section -------------------------------------------------------

  // The elements that the one-log report script looks up by id, per section.
  const SECTION_SKELETON =
    '<nav data-id="toc"></nav>' +
    '<section data-id="summary"><h2>Summary</h2><table class="facts" data-id="summary-table"></table></section>' +
    '<div data-id="panels"></div>' +
    '<section data-id="signals"><h2>Strongest signals</h2><p class="note" data-id="signals-note"></p><table class="list" data-id="signals-table"></table></section>' +
    '<section data-id="track" hidden><h2>GPS track</h2><p class="note">Each point is coloured by the strongest level of its message.</p><div class="chart" data-id="track-chart"></div></section>';

  // Runs the one-log report script on the section: its document looks up
  // ids inside the section (and its data in the log's own script element).
  // The ids it gave are then prefixed with the section's, links too, so that
  // every id of the page stays unique.
  function drawLogSection(root, i) {
    const prefix = 'log-' + i + '-';
    root.querySelectorAll('[data-id]').forEach(function (e) {
      if (e.tagName === 'SECTION') e.id = prefix + e.getAttribute('data-id');
    });
    drawLogReport({
      getElementById: function (id) {
        return id === 'report-data' ? document.getElementById('log-data-' + i) : root.querySelector('[data-id="' + id + '"]');
      },
      createElement: function (tag) { return document.createElement(tag); },
      querySelectorAll: function (selector) { return root.querySelectorAll(selector); },
      documentElement: root,
    });
    root.querySelectorAll('[id]').forEach(function (e) {
      if (e.id.indexOf(prefix) !== 0) e.id = prefix + e.id;
    });
    root.querySelectorAll('a[href^="#"]').forEach(function (a) {
      const target = a.getAttribute('href').slice(1);
      if (target.indexOf(prefix) !== 0) a.setAttribute('href', '#' + prefix + target);
    });
    root.classList.remove('pending');
  }

  function drawLogSections() {
    const parent = document.getElementById('log-sections');
    const pending = new Map();
    const observer = new IntersectionObserver(function (entries) {
      entries.forEach(function (e) {
        if (!e.isIntersecting || !pending.has(e.target)) return;
        const i = pending.get(e.target);
        pending.delete(e.target);
        observer.unobserve(e.target);
        drawLogSection(e.target, i);
      });
    }, { rootMargin: '400px 0px' });
    data.logs.forEach(function (log, i) {
      if (log.refused) return;
      const root = element('section', undefined, 'log pending');
      root.id = 'log-' + i;
      root.appendChild(element('h2', 'Log ' + (i + 1) + ': ' + log.file));
      root.insertAdjacentHTML('beforeend', SECTION_SKELETON);
      parent.appendChild(root);
      pending.set(root, i);
      observer.observe(root);
    });
  }

  // ---- page -------------------------------------------------------------------

  drawLogsTable();
  drawMap();
  const bandsParent = document.getElementById('campaign-bands');
  data.bands.forEach(function (b, k) { drawCampaignBand(b, k, bandsParent); });
  drawSignals();
  drawLogSections();

  requestAnimationFrame(function () {
    requestAnimationFrame(function () { document.documentElement.setAttribute('data-ready', 'true'); });
  });
  window.addEventListener('resize', function () { charts.forEach(function (c) { c.resize(); }); });
})();
