// The campaign page: the logs table, the routes of all logs on one map, the
// campaign spectrum per frequency plan and the strongest signals; each
// plan's chart and each log's own section (drawn by the one-log report
// script) are drawn when they come into view, so that a page of many logs
// opens quickly. Texts from logs and file names are set as text.
(function () {
  'use strict';

  const data = JSON.parse(document.getElementById('campaign-data').textContent);
  const mhz = kel.mhz, dbm = kel.dbm, element = kel.element;
  let campaignMap = null;  // the routes, once drawn: the strongest signals mark their positions on it

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

  function when(iso) { return iso.replace('T', ' '); }
  // A damaged time text can put a time beyond what a Date holds.
  function timeText(ms) {
    const d = new Date(ms);
    return isNaN(d.getTime()) ? '(time out of range)' : when(d.toISOString()).replace('Z', '');
  }
  // Two logs may share a file name in different folders: the number tells them apart.
  function logName(i) { return '#' + (i + 1) + ' ' + data.logs[i].file.replace(/^.*\//, ''); }

  // The plans are numbered on the page, in the order of the campaign
  // spectrum; the channels are one group, not a plan.
  const planNumber = [];
  data.bands.reduce(function (n, b, k) {
    planNumber[k] = b.channels ? null : n;
    return b.channels ? n : n + 1;
  }, 1);
  function planName(k) { return planNumber[k] === null ? 'channels' : 'plan ' + planNumber[k]; }

  // ---- logs table ---------------------------------------------------------

  // The bands of a log by plan, the first few of a log of many.
  function bandsText(log) {
    const MAX_LISTED = 4;
    const parts = log.bands.slice(0, MAX_LISTED).map(function (b) {
      if (b.channels)
        return b.bins === 1 ? '1 channel, ' + mhz(b.start_mhz) : b.bins + ' channels, ' + b.start_mhz.toFixed(3) + '–' + mhz(b.stop_mhz);
      return planName(b.campaign_band) + ': ' + b.start_mhz.toFixed(3) + '–' + b.stop_mhz.toFixed(3) + ' MHz (' + b.bins + ' bins)';
    });
    const total = log.bands_total !== undefined ? log.bands_total : log.bands.length;
    if (total > parts.length) parts.push('and ' + (total - parts.length) + ' more (' + total + ' in all)');
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
        { text: when(log.start), className: 'text' }, kel.formatDuration(log.duration_ms), String(log.messages), String(log.positions),
        { text: bandsText(log), className: 'wrap' }, log.strongest_dbm === null ? '' : log.strongest_dbm.toFixed(1)]);
    });
  }

  // ---- routes -----------------------------------------------------------------

  function drawMap() {
    const tracks = [];
    let offEarth = 0;
    const used = new Set();  // campaign bands that colour some track
    data.logs.forEach(function (log) {
      if (log.refused) return;
      offEarth += log.track.off_earth;
      log.track.bands.forEach(function (b) { used.add(b.campaign_band); });
    });
    const bands = Array.from(used).sort(function (a, b) { return a - b; });
    const byFrequency = data.map !== null;
    const choices = (byFrequency ? [kel.frequencyChoice(data.map, 'the campaign')] : []).concat([{
      label: 'the strongest level of each message', none: 'no level',
      note: 'Each point is coloured by the strongest level of its message.' }], bands.map(function (k) {
      const label = planName(k) === 'channels' ? 'the channels' : planName(k) + ' (' + mhz(data.bands[k].start_mhz) + ' to ' + mhz(data.bands[k].stop_mhz) + ')';
      return { label: label, none: 'no level in ' + label,
        note: 'Each point is coloured by the strongest level of ' + label + ' in its message (grey: none); hovering shows its frequency.' };
    }));
    data.logs.forEach(function (log, i) {
      if (log.refused || log.track.lat.length === 0) return;
      const t = log.track;
      const layers = byFrequency ? [t.map ? { level: t.map.level, freq: t.map.freq_mhz } : null] : [];
      layers.push({ level: t.level, freq: t.freq_mhz });
      bands.forEach(function (k) {
        const b = t.bands.find(function (x) { return x.campaign_band === k; });
        layers.push(b ? { level: b.level, freq: b.freq_mhz } : null);
      });
      tracks.push({ name: logName(i), t: t.t.map(function (ms) { return log.start_ms + ms; }), lat: t.lat, lon: t.lon, layers: layers });
    });
    const note = document.getElementById('map-note');
    if (tracks.length === 0 && offEarth === 0) {
      note.textContent = 'No log has positions.';
      document.getElementById('map-chart').hidden = true;
      return;
    }
    note.textContent = tracks.length + ' routes, ' + tracks.reduce(function (n, t) { return n + t.lat.length; }, 0) +
      ' points. The legend hides or shows a log; hovering a point names its log.';
    campaignMap = kel.drawMap(document.getElementById('map-chart'), { tracks: tracks, choices: choices, offEarth: offEarth,
      legend: true, formatTime: timeText });
  }

  // ---- campaign spectrum ----------------------------------------------------

  function bandTitle(b, k) {
    if (b.channels) return 'Channels: ' + b.bins + ' frequencies from ' + mhz(b.start_mhz) + ' to ' + mhz(b.stop_mhz) + ', ' +
      b.sweeps + ' messages of ' + b.logs + (b.logs === 1 ? ' log' : ' logs');
    const step = b.bins > 1 ? (b.stop_mhz - b.start_mhz) / (b.bins - 1) * 1000 : 0;
    return 'Plan ' + planNumber[k] + ': ' + mhz(b.start_mhz) + ' to ' + mhz(b.stop_mhz) + (b.bins > 1 ? ', step ' + +step.toFixed(3) + ' kHz' : '') +
      ', ' + b.bins + ' bins: ' + b.sweeps + ' sweeps of ' + b.logs + (b.logs === 1 ? ' log' : ' logs');
  }

  function drawCampaignBand(b, k, body) {
    const box = element('div', undefined, 'chart campaign-spectrum');
    box.id = 'campaign-spectrum-' + k;
    body.appendChild(box);
    const series = function (name, values, colour) {
      return { name: name, type: 'line', showSymbol: b.channels, connectNulls: false, lineStyle: { width: b.channels ? 0 : 1.2 },
        color: colour, data: values.map(function (v, c) { return [b.freqs_mhz[c], v]; }) };
    };
    const f = b.freqs_mhz;
    const pad = f.length > 1 ? 0 : 0.5;
    echarts.init(box, null, { renderer: 'canvas' }).setOption({
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
    if (!b.frequencies) return;
    body.appendChild(element('p', 'Occupancy, the share of sweeps at or above ' + data.threshold_dbm + ' dBm. ' +
      kel.occupancyNote(b, data.threshold_dbm, data.occupied_share), 'note'));
    const occupancy = element('div', undefined, 'chart campaign-occupancy');
    occupancy.id = 'campaign-occupancy-' + k;
    body.appendChild(occupancy);
    kel.drawOccupancy(occupancy, { x: b.freqs_mhz, occupancy: b.occupancy, p10: b.p10_dbm, noiseFloor: b.noise_floor_dbm,
      threshold: data.threshold_dbm, points: b.channels });
  }

  // Each plan's chart is drawn when it comes into view.
  function drawCampaignBands(parent) {
    const items = data.bands.map(function (b, k) {
      const section = element('section', undefined, 'plan');
      section.id = 'plan-' + k;
      section.appendChild(element('h3', bandTitle(b, k)));
      const body = element('div');
      section.appendChild(body);
      parent.appendChild(section);
      return { section: section, body: body, band: b, index: k };
    });
    return kel.drawWhenNear(items, function (item) { return drawCampaignBand(item.band, item.index, item.body); }, 12);
  }

  // ---- strongest signals ------------------------------------------------------

  function drawSignals() {
    const table = document.getElementById('campaign-signals-table');
    document.getElementById('campaign-signals-note').textContent = 'The ' + data.top_bins.length + ' strongest signals ' +
      'over all logs: the peaks of each plan\'s maximum levels (a bin that stands at least ' + data.peak_prominence_db +
      ' dB above the dip towards any stronger bin; each channel on its own), strongest first, with what vyrhost stats ' +
      'gives for their frequency over the logs: the maximum level, the log, time and position where it was first ' +
      'measured (click the position to mark it on the map), in how many logs it reached ' + data.threshold_dbm +
      ' dBm, and the occupancy, the share of sweeps at or above that.';
    if (data.top_bins.length === 0) {
      table.appendChild(element('caption', 'No level.'));
      return;
    }
    addRow(table, ['#', { text: 'Where', className: 'text' }, 'Frequency (MHz)', 'Max level (dBm)',
      { text: 'Strongest in', className: 'text' }, { text: 'At', className: 'text' }, { text: 'Position', className: 'text' },
      'Logs', 'Occupancy'], true);
    data.top_bins.forEach(function (g, i) {
      addRow(table, [String(i + 1), { text: g.channels ? 'channel' : planName(g.band), className: 'text', href: '#plan-' + g.band },
        g.frequency_mhz.toFixed(3), kel.level(g.max_dbm),
        { text: logName(g.log), className: 'text', href: '#log-' + g.log }, { text: when(g.time), className: 'text' },
        { text: kel.position(g.lat, g.lon), className: 'text' }, String(g.logs_above), kel.percent(g.occupancy) + ' of ' + g.sweeps]);
      if (g.lat === null || g.lon === null) return;
      // The position leads to the map, which marks it.
      const cell = table.lastChild.cells[6];
      const button = element('button', cell.textContent, 'link');
      button.type = 'button';
      button.addEventListener('click', function () {
        if (campaignMap) campaignMap.highlight(g.lat, g.lon, '#' + (i + 1) + ' ' + mhz(g.frequency_mhz) + ', ' + dbm(g.max_dbm) +
          ' in ' + logName(g.log));
      });
      cell.textContent = '';
      cell.appendChild(button);
    });
  }

  // ---- each log's section -------------------------------------------------------

  // The elements that the one-log report script looks up by id, per section.
  function sectionSkeleton(root) {
    const add = function (parent, tag, id, className, title) {
      const e = element(tag, undefined, className);
      e.setAttribute('data-id', id);
      if (title) e.appendChild(element('h2', title));
      parent.appendChild(e);
      return e;
    };
    add(root, 'nav', 'toc');
    add(add(root, 'section', 'summary', undefined, 'Summary'), 'table', 'summary-table', 'facts');
    add(root, 'div', 'panels');
    const signals = add(root, 'section', 'signals', undefined, 'Strongest signals');
    add(signals, 'p', 'signals-note', 'note');
    add(signals, 'table', 'signals-table', 'list');
    const track = add(root, 'section', 'track', undefined, 'GPS track');
    track.hidden = true;
    add(track, 'div', 'track-chart', 'chart map');
  }

  // Runs the one-log report script on the section: its document looks up
  // ids inside the section (and its data in the log's own script element),
  // and the ids it gives are prefixed with the section's, so that every id
  // of the page stays unique.
  function drawLogSection(root, body, i) {
    const prefix = 'log-' + i + '-';
    sectionSkeleton(body);
    body.querySelectorAll('[data-id]').forEach(function (e) { e.id = prefix + e.getAttribute('data-id'); });
    drawLogReport({
      getElementById: function (id) {
        return id === 'report-data' ? document.getElementById('log-data-' + i) : body.querySelector('[data-id="' + id + '"]');
      },
      createElement: function (tag) { return document.createElement(tag); },
      querySelectorAll: function (selector) { return body.querySelectorAll(selector); },
      documentElement: root,
      idPrefix: prefix,
    });
  }

  // Each log's section is drawn when it comes into view; of those out of
  // view only the last few drawn stay drawn.
  function drawLogSections() {
    const parent = document.getElementById('log-sections');
    const items = [];
    data.logs.forEach(function (log, i) {
      if (log.refused) return;
      const root = element('section', undefined, 'log');
      root.id = 'log-' + i;
      root.appendChild(element('h2', 'Log ' + (i + 1) + ': ' + log.file));
      const body = element('div');
      root.appendChild(body);
      parent.appendChild(root);
      items.push({ section: root, body: body, index: i });
    });
    kel.drawWhenNear(items, function (item) { drawLogSection(item.section, item.body, item.index); }, 3);
  }

  // ---- page -------------------------------------------------------------------

  drawLogsTable();
  drawMap();
  const bandsSettled = drawCampaignBands(document.getElementById('campaign-bands'));
  drawSignals();
  drawLogSections();

  bandsSettled.then(function () {
    requestAnimationFrame(function () {
      requestAnimationFrame(function () { document.documentElement.setAttribute('data-ready', 'true'); });
    });
  });
})();
