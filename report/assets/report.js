// The report page: reads the data that vyrhost embedded and draws it with
// ECharts. Everything is local: the page makes no request of any kind.
(function () {
  'use strict';

  const data = JSON.parse(document.getElementById('report-data').textContent);
  const NO_LEVEL = -32768;  // the cell value of "no level"
  // Colour scale of levels, weak to strong; the waterfall and its legend share it.
  const PALETTE = ['#000428', '#0b2a6f', '#1565c0', '#00a3c4', '#4cd3a0', '#d6f05a', '#ffc12e', '#f4661b', '#b3001b'];
  const charts = [];  // for resizing with the window

  // ---- text helpers -------------------------------------------------------

  function pad(n, width) { return String(n).padStart(width, '0'); }

  // Times are the log's own clock (no time zone): shown as they are.
  function formatTime(ms, withDate) {
    const d = new Date(ms);
    const time = pad(d.getUTCHours(), 2) + ':' + pad(d.getUTCMinutes(), 2) + ':' + pad(d.getUTCSeconds(), 2) +
      '.' + pad(d.getUTCMilliseconds(), 3);
    if (!withDate) return time;
    return d.getUTCFullYear() + '-' + pad(d.getUTCMonth() + 1, 2) + '-' + pad(d.getUTCDate(), 2) + ' ' + time;
  }

  function mhz(f) { return f === null || f === undefined ? '?' : f.toFixed(3) + ' MHz'; }
  function dbm(v) { return v === null || v === undefined ? 'no level' : v.toFixed(1) + ' dBm'; }

  function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (className) e.className = className;
    return e;
  }

  function addRow(table, cells, header) {
    const tr = document.createElement('tr');
    cells.forEach(function (c, i) {
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

  function makeChart(container) {
    const chart = echarts.init(container, null, { renderer: 'canvas' });
    charts.push(chart);
    return chart;
  }

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

    const readout = element('div', 'Point at the waterfall for time, frequency and level.', 'readout');
    readout.id = 'readout-' + index;
    host.appendChild(readout);
    const box = element('div', undefined, 'chart waterfall');
    box.id = 'waterfall-' + index;
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
        dbm(isNaN(level) ? null : level) + (merged.length ? '  (strongest of ' + merged.join(' × ') + ')' : '');
    });
  }

  function drawSpectrum(panel, host) {
    if (panel.freqs_mhz.indexOf(null) >= 0) return;
    const box = element('div', undefined, 'chart spectrum');
    host.appendChild(box);
    const chart = makeChart(box);
    const f = panel.freqs_mhz;
    const x = [];
    for (let c = 0; c < panel.cols; c++) {
      const last = (c + 1 < panel.cols ? panel.col_start[c + 1] : panel.bins) - 1;
      x.push((f[panel.col_start[c]] + f[last]) / 2);
    }
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

  function drawBand(panel, index, parent) {
    const section = element('section');
    section.id = 'band-' + index;
    section.appendChild(element('h2', bandTitle(panel)));
    parent.appendChild(section);
    section.appendChild(element('h3', 'Waterfall'));
    drawWaterfall(panel, index, section);
    section.appendChild(element('h3', 'Spectrum: average, max hold and min hold'));
    drawSpectrum(panel, section);
  }

  function channelName(panel, c) { return 'Channel ' + (c + 1) + ' (' + mhz(panel.freqs_mhz[c]) + ')'; }

  // A log resumed with channels moved has a channel panel per set-up: the
  // first keeps the plain ids.
  let channelPanels = 0;
  function drawChannels(panel, parent) {
    const suffix = channelPanels++ ? '-' + channelPanels : '';
    const section = element('section');
    section.id = 'channels' + suffix;
    section.appendChild(element('h2', 'Channel levels over time'));
    if (panel.row_sweeps.some(function (n) { return n > 1; }))
      section.appendChild(element('p', 'Each point is the strongest level of ' + panel.row_sweeps[0] + ' messages.', 'note'));
    parent.appendChild(section);
    const box = element('div', undefined, 'chart');
    box.id = 'channels-chart' + suffix;
    section.appendChild(box);
    const cells = decodeCells(panel.cells, panel.rows * panel.cols);
    const series = [];
    for (let c = 0; c < panel.cols; c++) {
      const points = [];
      for (let r = 0; r < panel.rows; r++) {
        const v = cells[r * panel.cols + c];
        points.push([data.start_ms + panel.row_first_ms[r], isNaN(v) ? null : v]);
      }
      series.push({ name: channelName(panel, c), type: 'line', showSymbol: panel.rows < 60, data: points });
    }
    makeChart(box).setOption({
      animation: false, useUTC: true,
      grid: { left: 64, right: 24, top: 40, bottom: 56 },
      legend: { top: 4 },
      tooltip: { trigger: 'axis', valueFormatter: function (v) { return dbm(v); },
        axisPointer: { label: { formatter: function (p) { return formatTime(p.value, true); } } } },
      xAxis: { type: 'time', name: 'Time', nameLocation: 'middle', nameGap: 32, axisLabel: { formatter: {
        year: '{yyyy}', month: '{yyyy}-{MM}', day: '{MM}-{dd}', hour: '{HH}:{mm}', minute: '{HH}:{mm}',
        second: '{HH}:{mm}:{ss}', millisecond: '{HH}:{mm}:{ss}.{SSS}' } } },
      yAxis: { type: 'value', scale: true, name: 'dBm' },
      dataZoom: [{ type: 'inside', xAxisIndex: 0 }],
      series: series,
    });

    section.appendChild(element('h3', 'Channels'));
    const table = element('table', undefined, 'list');
    addRow(table, [{ text: 'Channel', className: 'text' }, 'Frequency (MHz)', 'Average (dBm)', 'Max (dBm)', 'Min (dBm)'], true);
    for (let c = 0; c < panel.cols; c++) {
      const fmt = function (v) { return v === null ? '' : v.toFixed(1); };
      addRow(table, [{ text: String(c + 1), className: 'text' }, panel.freqs_mhz[c] === null ? '' : panel.freqs_mhz[c].toFixed(3),
        fmt(panel.avg[c]), fmt(panel.max[c]), fmt(panel.min[c])]);
    }
    section.appendChild(table);
  }

  // ---- summary, signals, track -------------------------------------------

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
    fact('Duration', (s.duration_ms / 1000).toFixed(3) + ' s');
    fact('Messages', s.messages + ' (' + s.message_classes.map(function (c) {
      return c.count + ' of class ' + c.class + (c.name ? ' "' + c.name + '"' : '');
    }).join(', ') + ')');
    fact('Positions', s.positions + ' messages with a position');
    if (s.last_line_cut) fact('Last line', 'cut short (no line end), its last field left out');
    const section = function (h, prefix) {
      Object.keys(h.header).forEach(function (k) { fact(prefix + 'Header: ' + k, h.header[k]); });
      fact(prefix + 'Columns', h.columns.join(', '));
      h.bands.forEach(function (b) {
        fact(prefix + 'Band ' + b.band, b.bins ? mhz(b.start_mhz) + ' to ' + mhz(b.stop_mhz) + ', step ' + b.step_khz + ' kHz, ' + b.bins + ' bins' : 'no bins');
      });
      h.channels.forEach(function (c) { fact(prefix + 'Channel ' + c.channel, mhz(c.frequency_mhz)); });
    };
    section(s, '');
    s.later_headers.forEach(function (h) {
      fact('Message ' + h.message, 'a new header, software version ' + h.software_version);
      section(h, 'Message ' + h.message + ': ');
    });
  }

  function drawSignals() {
    const table = document.getElementById('signals-table');
    document.getElementById('signals-note').textContent = 'Threshold ' + data.threshold_dbm +
      ' dBm. A signal is a run of neighbouring bins (or one channel) whose level reached the threshold at least once, ' +
      'told by its strongest bin; "above" counts the sweeps in which that bin reached the threshold.';
    if (data.signals.length === 0) {
      table.appendChild(element('caption', 'No level reached the threshold.'));
      return;
    }
    addRow(table, ['#', { text: 'Where', className: 'text' }, 'Frequency (MHz)', 'Max level (dBm)', 'Bins',
      { text: 'First seen', className: 'text' }, { text: 'Last seen', className: 'text' }, 'Above threshold'], true);
    data.signals.forEach(function (g, i) {
      addRow(table, [String(i + 1), { text: g.channel ? 'channel ' + g.channel : 'band ' + g.band, className: 'text' },
        g.frequency_mhz === null ? '' : g.frequency_mhz.toFixed(3), g.max_dbm.toFixed(1), String(g.bins),
        { text: formatTime(data.start_ms + g.first_ms, true), className: 'text' },
        { text: formatTime(data.start_ms + g.last_ms, true), className: 'text' },
        g.above + ' of ' + g.sweeps + ' (' + (100 * g.occupancy).toFixed(1) + ' %)']);
    });
  }

  function drawTrack() {
    const t = data.track;
    if (t.lat.length === 0) return;
    const section = document.getElementById('track');
    section.hidden = false;
    const points = t.lat.map(function (lat, i) { return [t.lon[i], lat, t.level[i], data.start_ms + t.t[i]]; });
    const levels = t.level.filter(function (v) { return v !== null; });
    const lo = levels.length ? Math.floor(Math.min.apply(null, levels)) : -120;
    const hi = levels.length ? Math.ceil(Math.max.apply(null, levels)) : -20;
    makeChart(document.getElementById('track-chart')).setOption({
      animation: false,
      grid: { left: 80, right: 110, top: 16, bottom: 56 },
      tooltip: { trigger: 'item', formatter: function (p) {
        return formatTime(p.value[3], true) + '<br>' + p.value[1].toFixed(6) + ', ' + p.value[0].toFixed(6) + '<br>' + dbm(p.value[2]);
      } },
      xAxis: { type: 'value', scale: true, name: 'Longitude', nameLocation: 'middle', nameGap: 32 },
      yAxis: { type: 'value', scale: true, name: 'Latitude' },
      visualMap: { type: 'continuous', min: lo, max: hi === lo ? lo + 1 : hi, dimension: 2, seriesIndex: 1, right: 8, top: 'middle',
        inRange: { color: PALETTE }, outOfRange: { color: '#9aa3ad' }, text: [hi + ' dBm', lo + ' dBm'], calculable: false },
      dataZoom: [{ type: 'inside', xAxisIndex: 0, filterMode: 'none' }, { type: 'inside', yAxisIndex: 0, filterMode: 'none' }],
      series: [
        { type: 'line', silent: true, showSymbol: false, lineStyle: { color: '#b8c0ca', width: 1 }, data: points, tooltip: { show: false } },
        { type: 'scatter', symbolSize: 7, data: points },
      ],
    });
  }

  function drawToc() {
    const toc = document.getElementById('toc');
    document.querySelectorAll('section[id]').forEach(function (s) {
      if (s.hidden) return;
      const a = element('a', s.querySelector('h2').textContent.replace(/:.*/, ''));
      a.href = '#' + s.id;
      toc.appendChild(a);
    });
  }

  // ---- page -----------------------------------------------------------------

  drawSummary();
  const parent = document.getElementById('panels');
  data.panels.forEach(function (panel, i) {
    if (panel.band > 0) drawBand(panel, i, parent);
    else drawChannels(panel, parent);
  });
  drawSignals();
  drawTrack();
  drawToc();

  // The charts draw in the animation frame after their options are set: the
  // page is ready, for a reader or a test, two frames later.
  requestAnimationFrame(function () {
    requestAnimationFrame(function () { document.documentElement.setAttribute('data-ready', 'true'); });
  });
  window.addEventListener('resize', function () { charts.forEach(function (c) { c.resize(); }); });
})();
