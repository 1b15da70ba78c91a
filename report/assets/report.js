// The report page: reads the data that vyrhost embedded and draws it with
// ECharts. Everything is local: the page makes no request, except for map
// tiles when it was written with --tiles. Texts from the log are set as text.
(function () {
  'use strict';

  const data = JSON.parse(document.getElementById('report-data').textContent);
  const NO_LEVEL = -32768;  // the cell value of "no level"
  const PALETTE = kel.PALETTE;  // the colour scale of levels; the waterfall and its legend share it
  // The ids this script gives; a campaign's log section has them prefixed.
  const idPrefix = document.idPrefix || '';
  function idOf(name) { return idPrefix + name; }
  const mhz = kel.mhz, dbm = kel.dbm, element = kel.element, escapeHtml = kel.escapeHtml;
  let trackMap = null;  // the map, once drawn: the strongest signals mark their positions on it

  // ---- text helpers -------------------------------------------------------

  function pad(n, width) { return String(n).padStart(width, '0'); }

  // Times are the log's own clock (no time zone): shown as they are.
  function formatTime(ms, withDate) {
    const d = new Date(ms);
    if (isNaN(d.getTime())) return '(time out of range)';
    const time = pad(d.getUTCHours(), 2) + ':' + pad(d.getUTCMinutes(), 2) + ':' + pad(d.getUTCSeconds(), 2) +
      '.' + pad(d.getUTCMilliseconds(), 3);
    if (!withDate) return time;
    return d.getUTCFullYear() + '-' + pad(d.getUTCMonth() + 1, 2) + '-' + pad(d.getUTCDate(), 2) + ' ' + time;
  }

  function addRow(table, cells, header) {
    const tr = document.createElement('tr');
    cells.forEach(function (c) {
      const td = element(header ? 'th' : 'td', c.text !== undefined ? c.text : c);
      if (c.className) td.className = c.className;
      tr.appendChild(td);
    });
    table.appendChild(tr);
  }

  // ---- decoding of the embedded levels -----------------------------------

  // Cells are little-endian 16-bit tenths of a dB, base64-coded.
  function decodeCells(b64, count) {
    const bin = atob(b64);
    const view = new DataView(new ArrayBuffer(bin.length));
    for (let i = 0; i < bin.length; i++) view.setUint8(i, bin.charCodeAt(i));
    const out = new Float32Array(count);
    for (let i = 0; i < count; i++) {
      const v = view.getInt16(2 * i, true);
      out[i] = v === NO_LEVEL ? NaN : v / 10;
    }
    return out;
  }

  // The range of the colour scale: from the 2nd percentile to the strongest level.
  function levelRange(cells) {
    const levels = cells.filter(function (v) { return !isNaN(v); }).sort();
    if (levels.length === 0) return [-120, -20];
    const lo = levels[Math.floor(0.02 * (levels.length - 1))];
    const hi = levels[levels.length - 1];
    return hi > lo ? [Math.floor(lo), Math.ceil(hi)] : [Math.floor(lo) - 1, Math.ceil(hi) + 1];
  }

  function hexToRgb(h) { return [1, 3, 5].map(function (i) { return parseInt(h.substr(i, 2), 16); }); }
  const PALETTE_RGB = PALETTE.map(hexToRgb);

  function colourOf(v, lo, hi) {
    let t = (v - lo) / (hi - lo);
    t = Math.min(1, Math.max(0, t)) * (PALETTE_RGB.length - 1);
    const i = Math.min(PALETTE_RGB.length - 2, Math.floor(t));
    const f = t - i;
    const a = PALETTE_RGB[i], b = PALETTE_RGB[i + 1];
    return [a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f];
  }

  // The waterfall as an image: one block of sx by sy pixels per cell, at
  // least the plot's size, so that stretching it to the plot blurs no more
  // than the edges of the cells.
  function rasterize(panel, cells, range) {
    const sx = Math.max(1, Math.min(Math.ceil(1600 / panel.cols), Math.floor(4096 / panel.cols)));
    const sy = Math.max(1, Math.min(Math.ceil(900 / panel.rows), Math.floor(4096 / panel.rows)));
    const canvas = document.createElement('canvas');
    canvas.width = panel.cols * sx;
    canvas.height = panel.rows * sy;
    const ctx = canvas.getContext('2d');
    const img = ctx.createImageData(canvas.width, canvas.height);
    for (let r = 0; r < panel.rows; r++) {
      for (let c = 0; c < panel.cols; c++) {
        const v = cells[r * panel.cols + c];
        const rgb = isNaN(v) ? [236, 238, 241] : colourOf(v, range[0], range[1]);
        for (let y = r * sy; y < (r + 1) * sy; y++) {
          let p = (y * canvas.width + c * sx) * 4;
          for (let x = 0; x < sx; x++, p += 4) {
            img.data[p] = rgb[0]; img.data[p + 1] = rgb[1]; img.data[p + 2] = rgb[2]; img.data[p + 3] = 255;
          }
        }
      }
    }
    ctx.putImageData(img, 0, 0);
    return canvas;
  }

  // ---- panels ---------------------------------------------------------------

  function makeChart(container) { return echarts.init(container, null, { renderer: 'canvas' }); }

  // The bin whose frequency is nearest to f.
  function nearestBin(freqs, f) {
    let best = 0, bestDistance = Infinity;
    let lo = 0, hi = freqs.length - 1;
    while (hi - lo > 1) {  // plans rise; a search narrows, the scan below settles
      const mid = (lo + hi) >> 1;
      if (freqs[mid] !== null && freqs[mid] < f) lo = mid; else hi = mid;
    }
    for (let b = Math.max(0, lo - 2); b <= Math.min(freqs.length - 1, hi + 2); b++) {
      if (freqs[b] === null) continue;
      const d = Math.abs(freqs[b] - f);
      if (d < bestDistance) { best = b; bestDistance = d; }
    }
    return best;
  }

  function columnOf(panel, bin) {
    let lo = 0, hi = panel.cols - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (panel.col_start[mid] <= bin) lo = mid; else hi = mid - 1;
    }
    return lo;
  }

  function rowTimeText(panel, row, withDate) {
    const first = data.start_ms + panel.row_first_ms[row];
    const last = data.start_ms + panel.row_last_ms[row];
    return first === last ? formatTime(first, withDate) : formatTime(first, withDate) + '–' + formatTime(last, false);
  }

  function bandTitle(panel) {
    const f = panel.freqs_mhz;
    const step = panel.bins > 1 ? ((f[f.length - 1] - f[0]) / (panel.bins - 1)) * 1000 : 0;
    return 'Band ' + panel.band + ': ' + mhz(f[0]) + ' to ' + mhz(f[f.length - 1]) +
      (panel.bins > 1 ? ', step ' + +step.toFixed(3) + ' kHz' : '') + ', ' + panel.bins + ' bins, ' +
      panel.sweeps + ' sweeps';
  }

  function drawWaterfall(panel, index, host) {
    if (panel.freqs_mhz[0] === null || panel.freqs_mhz[panel.bins - 1] === null) {
      host.appendChild(element('p', 'The frequency plan gives this band no frequencies: no waterfall.', 'note'));
      return;
    }
    const cells = decodeCells(panel.cells, panel.rows * panel.cols);
    const range = levelRange(cells);
    const image = rasterize(panel, cells, range);
    const f = panel.freqs_mhz;
    const half = panel.bins > 1 ? (f[f.length - 1] - f[0]) / (panel.bins - 1) / 2 : 0.0005;
    const x0 = f[0] - half, x1 = f[f.length - 1] + half;
    // Logs of more than a day show the date on the time axis too.
    const multiDay = panel.row_last_ms[panel.rows - 1] - panel.row_first_ms[0] >= 86400000;

    const readout = element('div', 'Point at the waterfall for time, frequency, level and position.', 'readout');
    readout.id = idOf('readout-' + index);
    host.appendChild(readout);
    const box = element('div', undefined, 'chart waterfall');
    box.id = idOf('waterfall-' + index);
    host.appendChild(box);
    const chart = makeChart(box);
    chart.setOption({
      animation: false,
      grid: { left: 150, right: 110, top: 16, bottom: 56 },
      xAxis: {
        type: 'value', min: x0, max: x1, name: 'Frequency (MHz)', nameLocation: 'middle', nameGap: 32,
        axisLabel: { formatter: function (v) { return +v.toFixed(4); } },
        axisPointer: { label: { formatter: function (p) { return p.value.toFixed(3) + ' MHz'; } } },
      },
      yAxis: {
        type: 'value', inverse: true, min: 0, max: panel.rows, name: 'Time', nameLocation: 'middle', nameGap: 110,
        // A tick stands at the top edge of a row: the time of its first sweep;
        // the bottom edge of the last row is the time of the last sweep.
        axisLabel: { hideOverlap: true, formatter: function (v) {
          const row = Math.floor(v);
          return formatTime(data.start_ms + (row < panel.rows ? panel.row_first_ms[row] : panel.row_last_ms[panel.rows - 1]), multiDay);
        } },
        axisPointer: { label: { formatter: function (p) { return rowTimeText(panel, Math.min(panel.rows - 1, Math.max(0, Math.floor(p.value))), false); } } },
        splitLine: { show: false },
      },
      tooltip: { trigger: 'none', axisPointer: { type: 'cross' } },
      visualMap: {
        type: 'continuous', min: range[0], max: range[1], calculable: false, seriesIndex: 0, dimension: 2,
        right: 8, top: 'middle', itemHeight: 300, inRange: { color: PALETTE }, text: [range[1] + ' dBm', range[0] + ' dBm'],
      },
      dataZoom: [{ type: 'inside', xAxisIndex: 0, filterMode: 'none' }, { type: 'inside', yAxisIndex: 0, filterMode: 'none' }],
      series: [{
        type: 'custom', clip: true, silent: true, data: [[x0, 0, range[0]]],
        renderItem: function (params, api) {
          const a = api.coord([x0, 0]), b = api.coord([x1, panel.rows]);
          return { type: 'image', silent: true, style: { image: image, x: a[0], y: a[1], width: b[0] - a[0], height: b[1] - a[1] } };
        },
      }],
    });

    chart.getZr().on('mousemove', function (e) {
      const px = [e.offsetX, e.offsetY];
      if (!chart.containPixel({ gridIndex: 0 }, px)) return;
      const v = chart.convertFromPixel({ gridIndex: 0 }, px);
      const row = Math.min(panel.rows - 1, Math.max(0, Math.floor(v[1])));
      const bin = nearestBin(f, v[0]);
      const col = columnOf(panel, bin);
      const level = cells[row * panel.cols + col];
      const binsInCell = (col + 1 < panel.cols ? panel.col_start[col + 1] : panel.bins) - panel.col_start[col];
      const merged = [];
      if (panel.row_sweeps[row] > 1) merged.push(panel.row_sweeps[row] + ' sweeps');
      if (binsInCell > 1) merged.push(binsInCell + ' bins');
      readout.textContent = rowTimeText(panel, row, true) + '  ·  ' + mhz(f[bin]) + '  ·  ' +
        dbm(isNaN(level) ? null : level) + (merged.length ? '  (strongest of ' + merged.join(' × ') + ')' : '') +
        '  ·  ' + kel.position(panel.row_lat[row], panel.row_lon[row]) +
        (panel.row_sweeps[row] > 1 ? ' (of the first of its ' + panel.row_sweeps[row] + ' sweeps)' : '');
    });
  }

  // The frequency of each column: the middle of its bins.
  function columnFrequencies(panel) {
    const f = panel.freqs_mhz, x = [];
    for (let c = 0; c < panel.cols; c++) {
      const last = (c + 1 < panel.cols ? panel.col_start[c + 1] : panel.bins) - 1;
      x.push((f[panel.col_start[c]] + f[last]) / 2);
    }
    return x;
  }

  function drawOccupancy(panel, index, host) {
    if (panel.freqs_mhz.indexOf(null) >= 0 || !panel.frequencies) return;
    host.appendChild(element('p', kel.occupancyNote(panel, data.threshold_dbm, data.occupied_share), 'note'));
    const box = element('div', undefined, 'chart occupancy');
    box.id = idOf('occupancy-' + index);
    host.appendChild(box);
    kel.drawOccupancy(box, { x: columnFrequencies(panel), occupancy: panel.occupancy, p10: panel.p10_dbm,
      noiseFloor: panel.noise_floor_dbm, threshold: data.threshold_dbm, points: panel.band === 0 });
  }

  function drawSpectrum(panel, host) {
    if (panel.freqs_mhz.indexOf(null) >= 0) return;
    const box = element('div', undefined, 'chart spectrum');
    host.appendChild(box);
    const chart = makeChart(box);
    const x = columnFrequencies(panel);
    const series = function (name, values, colour) {
      return { name: name, type: 'line', showSymbol: false, connectNulls: false, lineStyle: { width: 1.2 }, color: colour,
        data: values.map(function (v, c) { return [x[c], v]; }) };
    };
    chart.setOption({
      animation: false,
      grid: { left: 64, right: 24, top: 36, bottom: 56 },
      legend: { top: 4 },
      tooltip: { trigger: 'axis', valueFormatter: function (v) { return dbm(v); } },
      xAxis: { type: 'value', min: x[0], max: x[x.length - 1], name: 'Frequency (MHz)', nameLocation: 'middle', nameGap: 32,
        axisLabel: { formatter: function (v) { return +v.toFixed(4); } } },
      yAxis: { type: 'value', scale: true, name: 'dBm' },
      dataZoom: [{ type: 'inside', xAxisIndex: 0 }],
      series: [series('Max hold', panel.max, '#c62828'), series('Average', panel.avg, '#1f5fa8'),
        series('Min hold', panel.min, '#607d8b')],
    });
  }

  function drawBand(panel, index, body) {
    body.appendChild(element('h3', 'Waterfall'));
    drawWaterfall(panel, index, body);
    body.appendChild(element('h3', 'Spectrum: average, max hold and min hold'));
    drawSpectrum(panel, body);
    body.appendChild(element('h3', 'Occupancy: the share of sweeps at or above ' + data.threshold_dbm + ' dBm'));
    drawOccupancy(panel, index, body);
  }

  function channelName(panel, c) { return 'Channel ' + (c + 1) + ' (' + mhz(panel.freqs_mhz[c]) + ')'; }

  // An axis tooltip, its texts escaped: ECharts shows it as HTML.
  function axisTooltip(params, title, extra) {
    const lines = [escapeHtml(title)];
    params.forEach(function (p) {
      const v = Array.isArray(p.value) ? p.value[1] : p.value;
      lines.push(p.marker + escapeHtml(p.seriesName + ': ' + dbm(v)));
    });
    if (extra) lines.push(escapeHtml(extra));
    return lines.join('<br>');
  }

  function drawChannels(panel, index, body, suffix) {
    const rows = panel.rows, full = panel.row_sweeps[0];
    const last = panel.row_sweeps[rows - 1];
    // The last row may hold fewer messages than the others: its maximum is
    // of fewer levels, so it is marked, not drawn as a fall of every channel.
    const partial = rows > 1 && last < full;
    if (full > 1)
      body.appendChild(element('p', 'Each point is the strongest level of ' + full + ' messages' +
        (partial ? '; the last one (hollow, shaded) of only ' + last + '.' : '.'), 'note'));
    const box = element('div', undefined, 'chart');
    box.id = idOf('channels-chart' + suffix);
    body.appendChild(box);
    const cells = decodeCells(panel.cells, rows * panel.cols);
    const times = panel.row_first_ms.map(function (ms) { return data.start_ms + ms; });
    const series = [];
    for (let c = 0; c < panel.cols; c++) {
      const points = [];
      for (let r = 0; r < rows; r++) {
        const v = cells[r * panel.cols + c];
        points.push([times[r], isNaN(v) ? null : v]);
      }
      const s = { name: channelName(panel, c), type: 'line', showSymbol: rows < 60, data: points };
      if (partial && points[rows - 1][1] !== null)
        s.markPoint = { silent: true, symbol: 'emptyCircle', symbolSize: 9, label: { show: false },
          data: [{ coord: points[rows - 1] }] };
      series.push(s);
    }
    if (partial && series.length)
      series[0].markArea = { silent: true, itemStyle: { color: 'rgba(120, 130, 145, 0.16)' },
        label: { show: true, position: 'insideTop', formatter: last + ' of ' + full },
        data: [[{ xAxis: times[rows - 2] }, { xAxis: times[rows - 1] }]] };
    const lastNote = 'The strongest of only ' + last + ' messages; every other point of ' + full + '.';
    makeChart(box).setOption({
      animation: false, useUTC: true,
      grid: { left: 64, right: 24, top: 40, bottom: 56 },
      legend: { top: 4 },
      tooltip: { trigger: 'axis', formatter: function (params) {
        const t = params.length ? params[0].value[0] : 0;
        return axisTooltip(params, formatTime(t, true), partial && t === times[rows - 1] ? lastNote : '');
      } },
      xAxis: { type: 'time', name: 'Time', nameLocation: 'middle', nameGap: 32, axisLabel: { formatter: {
        year: '{yyyy}', month: '{yyyy}-{MM}', day: '{MM}-{dd}', hour: '{HH}:{mm}', minute: '{HH}:{mm}',
        second: '{HH}:{mm}:{ss}', millisecond: '{HH}:{mm}:{ss}.{SSS}' } },
        axisPointer: { label: { formatter: function (p) { return formatTime(p.value, true); } } } },
      yAxis: { type: 'value', scale: true, name: 'dBm' },
      dataZoom: [{ type: 'inside', xAxisIndex: 0 }],
      series: series,
    });

    body.appendChild(element('h3', 'Channels'));
    const table = element('table', undefined, 'list');
    addRow(table, [{ text: 'Channel', className: 'text' }, 'Frequency (MHz)', 'Average (dBm)', 'Max (dBm)', 'Min (dBm)',
      'Occupancy'], true);
    for (let c = 0; c < panel.cols; c++) {
      const fmt = function (v) { return v === null ? '' : v.toFixed(1); };
      addRow(table, [{ text: String(c + 1), className: 'text' }, panel.freqs_mhz[c] === null ? '' : panel.freqs_mhz[c].toFixed(3),
        fmt(panel.avg[c]), fmt(panel.max[c]), fmt(panel.min[c]), panel.occupancy[c] === null ? '' : kel.percent(panel.occupancy[c])]);
    }
    body.appendChild(table);
    body.appendChild(element('h3', 'Occupancy: the share of messages at or above ' + data.threshold_dbm + ' dBm'));
    drawOccupancy(panel, index, body);
  }

  // ---- panels, drawn as they come into view ----------------------------------

  const MAX_DRAWN_PANELS = 6;

  // Returns a promise that resolves once the panels in view are drawn.
  function drawPanels(parent) {
    // A log resumed with channels moved has a channel panel per set-up: the
    // first keeps the plain ids.
    let channelPanels = 0;
    const items = data.panels.map(function (panel, i) {
      const suffix = panel.band > 0 ? '' : (channelPanels++ ? '-' + channelPanels : '');
      const section = element('section', undefined, 'panel ' + (panel.band > 0 ? 'band' : 'channels'));
      section.id = idOf(panel.band > 0 ? 'band-' + i : 'channels' + suffix);
      section.appendChild(element('h2', panel.band > 0 ? bandTitle(panel) : 'Channel levels over time'));
      const body = element('div');
      section.appendChild(body);
      parent.appendChild(section);
      return { section: section, body: body, panel: panel, index: i, suffix: suffix };
    });
    if (data.panels_total > data.panels.length)
      parent.appendChild(element('p', 'The first ' + data.panels.length + ' of ' + data.panels_total +
        ' bands are shown here; the report of this log alone shows them all.', 'note'));
    return kel.drawWhenNear(items, function (item) {
      if (item.panel.band > 0) drawBand(item.panel, item.index, item.body);
      else drawChannels(item.panel, item.index, item.body, item.suffix);
    }, MAX_DRAWN_PANELS);
  }

  // ---- summary, signals, track -------------------------------------------

  // A header of many bands lists this many in the summary; each has its section.
  const MAX_SUMMARY_BANDS = 40, MAX_SUMMARY_FIELDS = 120;

  function drawSummary() {
    const s = data.summary;
    const table = document.getElementById('summary-table');
    const fact = function (name, value) {
      const tr = document.createElement('tr');
      tr.appendChild(element('th', name));
      tr.appendChild(element('td', value));
      table.appendChild(tr);
    };
    fact('File', s.file);
    fact('Type', s.type + ' (decode device "' + s.decode_device + '", device type ' + s.device_type + ')');
    fact('Kind', s.kind);
    fact('Software version', s.software_version === null ? '(no header message)' : s.software_version);
    fact('Start', s.start.replace('T', ' '));
    fact('End', s.end.replace('T', ' '));
    fact('Duration', kel.formatDuration(s.duration_ms));
    fact('Messages', s.messages + ' (' + s.message_classes.map(function (c) {
      return c.count + ' of class ' + c.class + (c.name ? ' "' + c.name + '"' : '');
    }).join(', ') + ')');
    fact('Positions', s.positions + ' messages with a position');
    if (s.last_line_cut) fact('Last line', 'cut short (no line end), its last field left out');
    const more = function (prefix, what, listed, total) {
      if (total > listed) fact(prefix + 'More ' + what, (total - listed) + ' more (vyrhost info lists them all)');
    };
    const section = function (h, prefix, k) {
      const keys = Object.keys(h.header);
      keys.slice(0, MAX_SUMMARY_FIELDS).forEach(function (key) { fact(prefix + 'Header: ' + key, h.header[key]); });
      more(prefix, 'header fields', Math.min(keys.length, MAX_SUMMARY_FIELDS), Math.max(keys.length, data.summary_fields[k] || 0));
      fact(prefix + 'Columns', h.columns.join(', '));
      h.bands.slice(0, MAX_SUMMARY_BANDS).forEach(function (b) {
        fact(prefix + 'Band ' + b.band, b.bins ? mhz(b.start_mhz) + ' to ' + mhz(b.stop_mhz) + ', step ' + b.step_khz + ' kHz, ' + b.bins + ' bins' : 'no bins');
      });
      more(prefix, 'bands', Math.min(h.bands.length, MAX_SUMMARY_BANDS), Math.max(h.bands.length, data.summary_bands[k] || 0));
      h.channels.forEach(function (c) { fact(prefix + 'Channel ' + c.channel, mhz(c.frequency_mhz)); });
    };
    section(s, '', 0);
    s.later_headers.forEach(function (h, j) {
      fact('Message ' + h.message, 'a new header, software version ' + h.software_version);
      section(h, 'Message ' + h.message + ': ', j + 1);
    });
  }

  function drawSignals() {
    const table = document.getElementById('signals-table');
    document.getElementById('signals-note').textContent = 'The ' + data.top_bins.length + ' strongest signals: the ' +
      'peaks of each band\'s maximum levels (a bin that stands at least ' + data.peak_prominence_db + ' dB above the dip ' +
      'towards any stronger bin; each channel on its own), strongest first, with what vyrhost stats gives for their ' +
      'frequency: the maximum level, when and where it was first measured (click the position to mark it on the map), ' +
      'the occupancy (the share of sweeps at or above ' + data.threshold_dbm + ' dBm) and the median level.';
    if (data.top_bins.length === 0) {
      table.appendChild(element('caption', 'No level.'));
      return;
    }
    addRow(table, ['#', { text: 'Where', className: 'text' }, 'Frequency (MHz)', 'Max level (dBm)',
      { text: 'Strongest at', className: 'text' }, { text: 'Position', className: 'text' }, 'Occupancy', 'Median (dBm)'], true);
    data.top_bins.forEach(function (g, i) {
      addRow(table, [String(i + 1), { text: g.channel ? 'channel ' + g.channel : 'band ' + g.band, className: 'text' },
        g.frequency_mhz.toFixed(3), kel.level(g.max_dbm), { text: g.time.replace('T', ' '), className: 'text' },
        { text: kel.position(g.lat, g.lon), className: 'text' },
        kel.percent(g.occupancy) + ' of ' + g.sweeps, kel.level(g.median_dbm)]);
      if (g.lat === null || g.lon === null) return;
      // The position leads to the map, which marks it.
      const cell = table.lastChild.cells[5];
      const button = element('button', cell.textContent, 'link');
      button.type = 'button';
      button.addEventListener('click', function () {
        if (trackMap) trackMap.highlight(g.lat, g.lon, '#' + (i + 1) + ' ' + mhz(g.frequency_mhz) + ', ' + dbm(g.max_dbm));
      });
      cell.textContent = '';
      cell.appendChild(button);
    });
  }

  function bandLabel(panel) {
    if (panel.band === 0) return 'the channels';
    const f = panel.freqs_mhz;
    return 'band ' + panel.band + ' (' + (f[0] === null ? '?' : f[0].toFixed(3)) + '–' + mhz(f[f.length - 1]) + ')';
  }

  function drawTrack() {
    const t = data.track;
    if (t.lat.length === 0 && !t.off_earth) return;
    document.getElementById('track').hidden = false;
    const choices = [], layers = [];
    if (t.map) {
      choices.push(kel.frequencyChoice(t.map, 'the log'));
      layers.push({ level: t.map.level, freq: t.map.freq_mhz });
    }
    choices.push({ label: 'the strongest level of each message', none: 'no level',
      note: 'Each point is coloured by the strongest level of its message.' });
    layers.push({ level: t.level, freq: t.freq_mhz });
    // Colouring by band says something when there are several.
    if (t.bands.length > 1) {
      t.bands.forEach(function (b) {
        const panel = data.panels[b.panel];
        if (!panel) return;
        const label = bandLabel(panel);
        choices.push({ label: label, none: 'no level in ' + label,
          note: 'Each point is coloured by the strongest level of ' + label + ' in its message (grey: none); hovering shows its frequency.' });
        layers.push({ level: b.level, freq: b.freq_mhz });
      });
    }
    trackMap = kel.drawMap(document.getElementById('track-chart'), {
      tracks: [{ name: data.summary.file, t: t.t.map(function (ms) { return data.start_ms + ms; }), lat: t.lat, lon: t.lon,
        layers: layers }],
      choices: choices, offEarth: t.off_earth, legend: false,
      formatTime: function (ms) { return formatTime(ms, true); },
    });
  }

  function drawToc() {
    const toc = document.getElementById('toc');
    const sections = Array.prototype.filter.call(document.querySelectorAll('section[id]'), function (s) { return !s.hidden; });
    const bands = sections.filter(function (s) { return s.classList.contains('band'); });
    sections.forEach(function (s) {
      const isBand = s.classList.contains('band');
      // Many bands are one link, where the first is.
      if (isBand && bands.length > 12 && s !== bands[0]) return;
      const a = element('a', isBand && bands.length > 12 ? 'Bands (' + bands.length + ')'
        : s.querySelector('h2').textContent.replace(/:.*/, ''));
      a.href = '#' + s.id;
      toc.appendChild(a);
    });
  }

  // ---- page -----------------------------------------------------------------

  drawSummary();
  const panelsSettled = drawPanels(document.getElementById('panels'));
  drawSignals();
  drawTrack();
  drawToc();

  // The charts draw in the animation frame after their options are set: the
  // page is ready, for a reader or a test, two frames after the panels in
  // view were drawn.
  // A campaign's log section may have been taken down again by then.
  const summary = document.getElementById('summary-table');
  panelsSettled.then(function () {
    requestAnimationFrame(function () {
      requestAnimationFrame(function () {
        if (summary.isConnected) document.documentElement.setAttribute('data-ready', 'true');
      });
    });
  });
})();
