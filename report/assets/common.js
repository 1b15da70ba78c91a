// What the report page and the campaign page share: text helpers and the
// route map. Every text that comes from a log or a file name is put into the
// page as text; the map's tooltips, which ECharts shows as HTML, escape it.
const kel = (function () {
  'use strict';

  const options = JSON.parse(document.getElementById('page-options').textContent);
  // The colour scale of levels, weak to strong.
  const PALETTE = ['#000428', '#0b2a6f', '#1565c0', '#00a3c4', '#4cd3a0', '#d6f05a', '#ffc12e', '#f4661b', '#b3001b'];
  const EARTH_RADIUS_M = 6378137;  // the sphere of Web Mercator
  const MAX_LATITUDE = 85.0511287798;  // where the square Web Mercator world ends
  const GRID = { left: 84, right: 110, bottom: 56 };

  function escapeHtml(s) {
    return String(s).replace(/[&<>"']/g, function (c) {
      return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c];
    });
  }

  function pad(n, width) { return String(n).padStart(width, '0'); }

  // One form for every duration, as `vyrhost info` writes it: "5.500 s",
  // "12 min 05.500 s", "3 h 02 min 05.500 s".
  function formatDuration(ms) {
    const sign = ms < 0 ? '-' : '';
    const total = Math.abs(Math.round(ms));
    const h = Math.floor(total / 3600000), min = Math.floor(total / 60000) % 60;
    const s = Math.floor(total / 1000) % 60, frac = pad(total % 1000, 3);
    if (total < 60000) return sign + s + '.' + frac + ' s';
    if (total < 3600000) return sign + min + ' min ' + pad(s, 2) + '.' + frac + ' s';
    return sign + h + ' h ' + pad(min, 2) + ' min ' + pad(s, 2) + '.' + frac + ' s';
  }

  function mhz(f) { return f === null || f === undefined ? '?' : f.toFixed(3) + ' MHz'; }
  function dbm(v) { return v === null || v === undefined ? 'no level' : v.toFixed(1) + ' dBm'; }

  function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (className) e.className = className;
    return e;
  }

  function level(v) { return v === null || v === undefined ? '' : v.toFixed(1); }
  function percent(share) { return share === null || share === undefined ? '?' : +(100 * share).toFixed(1) + ' %'; }
  function position(lat, lon) { return lat === null || lon === null ? 'no position' : lat.toFixed(6) + ', ' + lon.toFixed(6); }

  // ---- occupancy --------------------------------------------------------------

  // What `vyrhost stats --by band` says of a band (b: a panel or a plan).
  function occupancyNote(b, threshold, share) {
    if (!b.frequencies) return 'No level: no occupancy.';
    return 'Band occupancy ' + percent(b.band_occupancy) + ': ' + b.occupied + ' of ' + b.frequencies +
      ' frequencies reached ' + threshold + ' dBm in at least ' + percent(share) + ' of their sweeps; mean occupancy ' +
      percent(b.mean_occupancy) + '. Noise floor ' + +b.noise_floor_dbm.toFixed(2) +
      ' dBm: the median of the frequencies\' 10th percentiles.' +
      (b.cols !== undefined && b.cols < b.bins || b.freqs_mhz.length < b.bins
        ? ' A point of several bins shows the busiest of them and the median of their 10th percentiles.' : '');
  }

  // The occupancy of each frequency (a share, drawn as a percentage) against
  // the left axis; the 10th percentile of its levels, the band's noise floor
  // and the threshold against the right one. o: {x, occupancy, p10, noiseFloor,
  // threshold, points (channels: points, not a curve)}.
  function drawOccupancy(box, o) {
    const levels = o.p10.filter(function (v) { return v !== null; }).concat([o.threshold]);
    if (o.noiseFloor !== null) levels.push(o.noiseFloor);
    // Whole tens, with room above and below the lines.
    const lo = 10 * Math.floor((Math.min.apply(null, levels) - 3) / 10);
    const hi = 10 * Math.ceil((Math.max.apply(null, levels) + 3) / 10);
    // Channels are points: room beside the first and the last.
    const span = o.x[o.x.length - 1] - o.x[0];
    const pad = o.points ? Math.max(0.5, 0.04 * span) : o.x.length > 1 ? 0 : 0.5;
    const line = function (name, values, axis, colour) {
      return { name: name, type: 'line', yAxisIndex: axis, showSymbol: o.points, connectNulls: false, color: colour,
        lineStyle: { width: o.points ? 0 : 1.2 }, data: values.map(function (v, i) { return [o.x[i], v]; }) };
    };
    const occupancy = line('Occupancy', o.occupancy, 0, '#2e7d32');
    if (!o.points) occupancy.areaStyle = { opacity: 0.22 };
    const p10 = line('10th percentile', o.p10, 1, '#607d8b');
    const mark = function (name, value, colour, type) {
      return { name: name, yAxis: value, lineStyle: { color: colour, type: type, width: 1.5 },
        label: { formatter: name + ' ' + +value.toFixed(2) + ' dBm', position: 'insideEndTop', color: colour } };
    };
    p10.markLine = { silent: true, symbol: 'none', data: [mark('Threshold', o.threshold, '#c62828', 'solid')]
      .concat(o.noiseFloor === null ? [] : [mark('Noise floor', o.noiseFloor, '#455a64', 'dashed')]) };
    const chart = echarts.init(box, null, { renderer: 'canvas' });
    chart.setOption({
      animation: false,
      grid: { left: 64, right: 64, top: 36, bottom: 56 },
      legend: { top: 4 },
      tooltip: { trigger: 'axis', formatter: function (params) {
        const lines = params.length ? [mhz(params[0].value[0])] : [];
        params.forEach(function (p) {
          const v = p.value[1];
          lines.push(p.marker + escapeHtml(p.seriesName + ': ' + (p.seriesIndex === 0 ? percent(v) : dbm(v))));
        });
        return lines.join('<br>');
      } },
      xAxis: { type: 'value', min: o.x[0] - pad, max: o.x[o.x.length - 1] + pad, name: 'Frequency (MHz)', nameLocation: 'middle',
        nameGap: 32, axisLabel: { formatter: function (v) { return +v.toFixed(4); } } },
      yAxis: [
        { type: 'value', min: 0, max: 1, name: 'Occupancy', axisLabel: { formatter: function (v) { return Math.round(100 * v) + ' %'; } } },
        { type: 'value', min: lo, max: hi, name: 'dBm', splitLine: { show: false } },
      ],
      dataZoom: [{ type: 'inside', xAxisIndex: 0 }],
      series: [occupancy, p10],
    });
    return chart;
  }

  // ---- drawing what comes into view ----------------------------------------------

  // The charts drawn inside an element.
  function chartsIn(element) {
    return Array.prototype.map.call(element.querySelectorAll('[_echarts_instance_]'), function (e) {
      return echarts.getInstanceByDom(e);
    }).filter(function (c) { return c && !c.isDisposed(); });
  }

  // Draws each of items ({section, body}) when its section comes near the
  // view: draw(item) fills item.body with charts. Of the items out of view
  // only the maxDrawn drawn last stay drawn; the others lose their charts and
  // content and keep their height, so that a page of many charts opens at
  // once and keeps its memory. Returns a promise that resolves once the items
  // in view are drawn.
  function drawWhenNear(items, draw, maxDrawn) {
    const drawn = [];  // items, oldest first
    const near = new Set();
    let settle;
    const settled = new Promise(function (resolve) { settle = resolve; });
    if (items.length === 0) settle();
    const bySection = new Map(items.map(function (item) { return [item.section, item]; }));

    function undraw(item) {
      item.section.style.minHeight = item.section.offsetHeight + 'px';
      chartsIn(item.body).forEach(function (c) { c.dispose(); });
      while (item.body.firstChild) item.body.removeChild(item.body.firstChild);
      item.section.classList.add('pending');
      item.section.removeAttribute('data-ready');  // a campaign's log section is drawn again when it comes back
    }
    const observer = new IntersectionObserver(function (entries) {
      entries.forEach(function (e) {
        if (e.isIntersecting) near.add(e.target);
        else near.delete(e.target);
      });
      near.forEach(function (section) {
        if (!section.classList.contains('pending')) return;
        const item = bySection.get(section);
        draw(item);
        drawn.push(item);
        section.classList.remove('pending');
        section.style.minHeight = '';
      });
      for (let k = 0; drawn.length > maxDrawn && k < drawn.length;) {
        if (near.has(drawn[k].section)) k++;
        else undraw(drawn.splice(k, 1)[0]);
      }
      settle();
    }, { rootMargin: '600px 0px' });
    items.forEach(function (item) {
      item.section.classList.add('pending');
      observer.observe(item.section);
    });
    window.addEventListener('resize', function () {
      drawn.forEach(function (item) { chartsIn(item.body).forEach(function (c) { c.resize(); }); });
    });
    return settled;
  }

  // ---- the map ----------------------------------------------------------------

  function mercatorY(lat) { return 180 / Math.PI * Math.log(Math.tan(Math.PI / 4 + lat * Math.PI / 360)); }
  function latitudeOf(y) { return 360 / Math.PI * Math.atan(Math.exp(y * Math.PI / 180)) - 90; }
  function onMap(lat, lon) { return Math.abs(lat) <= MAX_LATITUDE && Math.abs(lon) <= 180; }

  // The longest of 1, 2 or 5 times a power of ten metres that fits in maxM.
  function niceMetres(maxM) {
    const p = Math.pow(10, Math.floor(Math.log10(maxM)));
    return [5, 2, 1].map(function (k) { return k * p; }).find(function (m) { return m <= maxM; }) || p;
  }

  // Draws tracks on a map to scale (Web Mercator: x is the longitude, y the
  // projected latitude, one scale for both) into box, an element of class
  // "chart". map:
  //   tracks:  [{name, t: [ms], lat: [], lon: [], layers: [{level: [], freq: []} or null, one per choice]}]
  //   choices: the ways to colour the points, {label, note (what the colour
  //            says), none (the tooltip's text for a point without a level)}
  //   offEarth: positions left out before (beyond 90 or 180 degrees)
  //   legend:  a legend of the tracks (they are named in the tooltip then)
  //   formatTime(ms)
  // Returns {chart, highlight(lat, lon, text)}, which marks a position and
  // brings it into view; null when no position lies on the map.
  function drawMap(box, map) {
    const frame = element('div', undefined, 'map-frame');
    const tools = element('div', undefined, 'map-tools');
    const note = element('p', undefined, 'note map-note');
    box.parentNode.insertBefore(tools, box);
    box.parentNode.insertBefore(frame, box);
    const tiles = element('div', undefined, 'map-tiles');
    frame.appendChild(tiles);
    frame.appendChild(box);
    const scale = element('div', undefined, 'map-scale');
    frame.appendChild(scale);
    frame.parentNode.insertBefore(note, frame.nextSibling);

    // Points on the map, per track: [x, y, index in the track].
    let offMap = map.offEarth || 0;
    let x0 = Infinity, x1 = -Infinity, y0 = Infinity, y1 = -Infinity;
    const projected = map.tracks.map(function (tr) {
      const out = [];
      tr.lat.forEach(function (lat, i) {
        const lon = tr.lon[i];
        if (lat === null || lon === null || !onMap(lat, lon)) { offMap++; return; }
        const x = lon, y = mercatorY(lat);
        x0 = Math.min(x0, x); x1 = Math.max(x1, x); y0 = Math.min(y0, y); y1 = Math.max(y1, y);
        out.push([x, y, i]);
      });
      return out;
    });
    if (!isFinite(x0)) {
      note.textContent = 'No position lies on the map: ' + offMap + ' positions beyond ' + MAX_LATITUDE.toFixed(2) +
        ' degrees of latitude or 180 degrees of longitude.';
      frame.hidden = true;
      return null;
    }
    // A margin around the routes; a route of one place gets about 200 m.
    const bounds = { x: (x0 + x1) / 2, y: (y0 + y1) / 2, w: Math.max(x1 - x0, 0.002) * 1.08, h: Math.max(y1 - y0, 0.002) * 1.08 };
    const top = map.legend ? 40 : 16;

    let choice = 0;
    const select = element('select');
    if (map.choices.length > 1) {
      tools.appendChild(element('label', 'Colour by '));
      map.choices.forEach(function (c, k) {
        const o = element('option', c.label);
        o.value = String(k);
        select.appendChild(o);
      });
      tools.lastChild.appendChild(select);
    }
    const reset = element('button', 'Reset view');
    reset.type = 'button';
    tools.appendChild(reset);

    const chart = echarts.init(box, null, { renderer: 'canvas' });

    function levelsOf(tr) {
      const layer = tr.layers[choice];
      return layer || { level: [], freq: [] };
    }

    // All routes first, then the points without a level, then those with one,
    // so that no route or grey point covers a coloured one. ECharts draws
    // many points progressively; a map of at most some ten thousand is drawn
    // at once.
    const n = map.tracks.length;
    const dense = projected.reduce(function (sum, p) { return sum + p.length; }, 0) > 4000;
    function seriesFor() {
      const lines = [], without = [], withLevel = [];
      let lo = Infinity, hi = -Infinity;
      map.tracks.forEach(function (tr, k) {
        const layer = levelsOf(tr);
        const on = [], off = [];
        projected[k].forEach(function (p) {
          const v = layer.level[p[2]];
          if (v === null || v === undefined) off.push([p[0], p[1], null, p[2]]);
          else { on.push([p[0], p[1], v, p[2]]); lo = Math.min(lo, v); hi = Math.max(hi, v); }
        });
        lines.push({ name: tr.name, type: 'line', z: 1, silent: true, showSymbol: false, lineStyle: { color: '#8a939e', width: 1 },
          data: projected[k].map(function (p) { return [p[0], p[1]]; }), tooltip: { show: false } });
        without.push({ name: tr.name, type: 'scatter', z: 2, symbolSize: dense ? 3 : 4, progressive: 0, itemStyle: { color: '#9aa3ad' }, data: off });
        withLevel.push({ name: tr.name, type: 'scatter', z: 3, symbolSize: dense ? 5 : 7, progressive: 0, data: on });
      });
      lo = isFinite(lo) ? Math.floor(lo) : -120;
      hi = isFinite(hi) ? Math.ceil(hi) : -20;
      const levelSeries = withLevel.map(function (_, k) { return 2 * n + k; });
      return { series: lines.concat(without, withLevel, [highlightSeries()]), levelSeries: levelSeries, lo: lo,
        hi: hi === lo ? lo + 1 : hi };
    }

    // The position marked last (a strongest signal's), after every track.
    let marked = null;
    function highlightSeries() {
      return { id: 'highlight', name: '', type: 'scatter', z: 5, symbolSize: 20, silent: false,
        itemStyle: { color: 'rgba(255, 255, 255, 0)', borderColor: '#d81b60', borderWidth: 3 },
        label: { show: marked !== null, position: 'right', color: '#d81b60', fontWeight: 'bold',
          formatter: function () { return marked ? marked.text : ''; } },
        data: marked ? [[marked.x, marked.y]] : [] };
    }

    function tooltip(p) {
      if (p.seriesIndex === 3 * n) return marked ? escapeHtml(marked.text) : '';
      const tr = map.tracks[p.seriesIndex % n];  // the routes, then two kinds of points, track by track
      const i = p.value[3];
      const layer = levelsOf(tr);
      const v = layer.level[i], f = layer.freq[i];
      const lines = [];
      if (map.legend) lines.push(tr.name);
      lines.push(map.formatTime(tr.t[i]));
      lines.push(tr.lat[i].toFixed(6) + ', ' + tr.lon[i].toFixed(6));
      lines.push(v === null || v === undefined ? map.choices[choice].none
        : dbm(v) + (f === null || f === undefined ? '' : ' at ' + mhz(f)));
      return lines.map(escapeHtml).join('<br>');
    }

    function coordinateText(v, digits) { return v.toFixed(digits); }

    // Axis ranges that give the grid one scale for both axes around bounds.
    function fit() {
      const w = Math.max(1, chart.getWidth() - GRID.left - GRID.right), h = Math.max(1, chart.getHeight() - top - GRID.bottom);
      const unit = Math.max(bounds.w / w, bounds.h / h);
      const digits = Math.min(6, Math.max(1, Math.ceil(-Math.log10(unit * w)) + 2));
      return {
        xAxis: { min: bounds.x - unit * w / 2, max: bounds.x + unit * w / 2,
          axisLabel: { formatter: function (v) { return coordinateText(v, digits); } } },
        yAxis: { min: bounds.y - unit * h / 2, max: bounds.y + unit * h / 2,
          axisLabel: { formatter: function (v) { return coordinateText(latitudeOf(v), digits); } } },
      };
    }

    function describe() {
      const parts = [];
      parts.push(map.choices[choice].note);
      parts.push('To scale (Web Mercator); the wheel zooms, dragging moves.');
      if (offMap > 0) parts.push(offMap + (offMap === 1 ? ' position lies' : ' positions lie') + ' off the map (beyond ' +
        MAX_LATITUDE.toFixed(2) + ' degrees of latitude or 180 degrees of longitude) and ' +
        (offMap === 1 ? 'is' : 'are') + ' not drawn.');
      if (options.tiles) parts.push('Map tiles from ' + options.tiles.replace(/^[a-z]+:\/\/([^/]+).*$/i, '$1') + '.');
      note.textContent = parts.join(' ');
    }

    function colouring() {
      const s = seriesFor();
      return {
        series: s.series,
        visualMap: { type: 'continuous', min: s.lo, max: s.hi, dimension: 2, seriesIndex: s.levelSeries, right: 8, top: 'middle',
          inRange: { color: PALETTE }, text: [s.hi + ' dBm', s.lo + ' dBm'], calculable: false },
      };
    }

    const axis = {
      type: 'value', nameLocation: 'middle', axisLabel: { hideOverlap: true, showMinLabel: false, showMaxLabel: false },
      splitLine: { lineStyle: { color: 'rgba(90, 100, 115, 0.18)' } },
    };
    const first = colouring(), view = fit();
    chart.setOption({
      animation: false,
      grid: { left: GRID.left, right: GRID.right, top: top, bottom: GRID.bottom },
      legend: map.legend ? { type: 'scroll', top: 4, data: map.tracks.map(function (t) { return t.name; }) } : { show: false },
      tooltip: { trigger: 'item', formatter: tooltip },
      xAxis: Object.assign({}, axis, { name: 'Longitude', nameGap: 30 }, view.xAxis,
        { axisLabel: Object.assign({}, axis.axisLabel, view.xAxis.axisLabel) }),
      yAxis: Object.assign({}, axis, { name: 'Latitude', nameGap: 62 }, view.yAxis,
        { axisLabel: Object.assign({}, axis.axisLabel, view.yAxis.axisLabel) }),
      visualMap: first.visualMap,
      dataZoom: [{ type: 'inside', xAxisIndex: 0, filterMode: 'none' }, { type: 'inside', yAxisIndex: 0, filterMode: 'none' }],
      series: first.series,
    });
    describe();

    // The view as the grid shows it now: its rectangle and its extent.
    function currentView() {
      const w = chart.getWidth() - GRID.left - GRID.right, h = chart.getHeight() - top - GRID.bottom;
      const a = chart.convertFromPixel({ gridIndex: 0 }, [GRID.left, top]);
      const b = chart.convertFromPixel({ gridIndex: 0 }, [GRID.left + w, top + h]);
      return { left: GRID.left, top: top, w: w, h: h, x0: a[0], x1: b[0], yTop: a[1], yBottom: b[1] };
    }

    function drawScale(v) {
      const unit = (v.x1 - v.x0) / v.w;  // map units (degrees at the equator) per pixel
      const metresPerPixel = unit * Math.PI / 180 * EARTH_RADIUS_M * Math.cos(latitudeOf((v.yTop + v.yBottom) / 2) * Math.PI / 180);
      const metres = niceMetres(120 * metresPerPixel);
      scale.style.left = (v.left + 10) + 'px';
      scale.style.top = (v.top + v.h - 30) + 'px';
      scale.textContent = metres >= 1000 ? metres / 1000 + ' km' : metres + ' m';
      scale.style.width = Math.round(metres / metresPerPixel) + 'px';
      scale.setAttribute('data-metres', String(metres));
    }

    // The tiles of the zoom level nearest to the view's scale, placed under the grid.
    const shown = new Map();
    function drawTiles(v) {
      if (!options.tiles) return;
      tiles.style.left = v.left + 'px';
      tiles.style.top = v.top + 'px';
      tiles.style.width = v.w + 'px';
      tiles.style.height = v.h + 'px';
      const unit = (v.x1 - v.x0) / v.w;
      const z = Math.min(19, Math.max(0, Math.round(Math.log2(360 / 256 / unit))));
      const n = Math.pow(2, z), size = 360 / n;
      const wanted = new Set();
      const tx0 = Math.floor((v.x0 + 180) / size), tx1 = Math.floor((v.x1 + 180) / size);
      const ty0 = Math.max(0, Math.floor((180 - v.yTop) / size)), ty1 = Math.min(n - 1, Math.floor((180 - v.yBottom) / size));
      if ((tx1 - tx0 + 1) * (ty1 - ty0 + 1) > 200) return;
      for (let tx = tx0; tx <= tx1; tx++) {
        for (let ty = ty0; ty <= ty1; ty++) {
          const key = z + '/' + tx + '/' + ty;
          wanted.add(key);
          let img = shown.get(key);
          if (!img) {
            img = element('img');
            img.alt = '';
            img.src = options.tiles.replace('{z}', z).replace('{x}', ((tx % n) + n) % n).replace('{y}', ty);
            shown.set(key, img);
            tiles.appendChild(img);
          }
          img.style.left = (tx * size - 180 - v.x0) / unit + 'px';
          img.style.top = (v.yTop - (180 - ty * size)) / unit + 'px';
          img.style.width = img.style.height = size / unit + 'px';
        }
      }
      shown.forEach(function (img, key) {
        if (!wanted.has(key)) { img.remove(); shown.delete(key); }
      });
    }

    function update() {
      const v = currentView();
      if (!(v.w > 0 && v.h > 0 && isFinite(v.x0))) return;
      drawScale(v);
      drawTiles(v);
    }
    chart.on('datazoom', update);
    chart.on('finished', update);
    update();
    reset.addEventListener('click', function () {
      chart.dispatchAction({ type: 'dataZoom', batch: [{ dataZoomIndex: 0, start: 0, end: 100 }, { dataZoomIndex: 1, start: 0, end: 100 }] });
    });
    select.addEventListener('change', function () {
      choice = Number(select.value);
      chart.setOption(colouring());
      describe();
    });
    function highlight(lat, lon, text) {
      if (lat === null || lon === null || !onMap(lat, lon)) return false;
      marked = { x: lon, y: mercatorY(lat), text: text };
      const v = currentView();
      if (!(marked.x >= v.x0 && marked.x <= v.x1 && marked.y <= v.yTop && marked.y >= v.yBottom)) reset.click();
      chart.setOption({ series: [highlightSeries()] });
      box.setAttribute('data-highlight', lat + ',' + lon);
      box.scrollIntoView({ block: 'center' });
      return true;
    }
    // Another size: the same view, to scale again.
    window.addEventListener('resize', function () {
      if (chart.isDisposed()) return;
      chart.resize();
      chart.setOption(fit());
      update();
    });
    return { chart: chart, highlight: highlight };
  }

  // The choice of the map's frequency (layer: a track's "map").
  function frequencyChoice(layer, whose) {
    return { label: 'the level at ' + mhz(layer.frequency_mhz) + (layer.strongest ? ' (the strongest)' : ''),
      note: 'Each point is coloured by its level at ' + mhz(layer.frequency_mhz) +
        (layer.strongest ? ', the strongest frequency of ' + whose : '') +
        ': the bin nearest to it of each band that holds it (grey: no level there).' +
        (layer.points_per_level > 1 ? ' The levels are many: each is the strongest of about ' + layer.points_per_level +
          ' neighbouring points.' : ''),
      none: 'no level at ' + mhz(layer.frequency_mhz) };
  }

  return { PALETTE: PALETTE, escapeHtml: escapeHtml, formatDuration: formatDuration, mhz: mhz, dbm: dbm, element: element,
    level: level, percent: percent, position: position, occupancyNote: occupancyNote, drawOccupancy: drawOccupancy,
    frequencyChoice: frequencyChoice, drawWhenNear: drawWhenNear, drawMap: drawMap, mercatorY: mercatorY };
})();
