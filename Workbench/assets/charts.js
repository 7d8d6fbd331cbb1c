// Charts drawn as inline SVG from plain data: horizontal bars with optional 95% interval
// whiskers, and step lines for cumulative distributions. Nothing is fetched. Each chart is named
// for assistive technology by its figure's caption; each row has its own tooltip, and is reached by
// keyboard too: a chart is one Tab stop, the arrow keys move between its rows (a bar chart's bars,
// a latency curve's marked quantiles), and each row's accessible name is its tooltip's text (its
// value and interval). A chart is drawn
// as wide as its frame, one unit a pixel, and drawn again when the frame's width changes, so its
// text keeps its size on a phone and in a row of several charts rather than shrink with a scaled
// picture.
"use strict";

const SVG = "http://www.w3.org/2000/svg";
const PALETTE = ["#2f5fd0", "#d0542f", "#2f9d55", "#8a4fd0", "#b88a00", "#d02f83"];

function svgElement(name, attributes, text) {
  const element = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
  if (text !== undefined) element.textContent = text;
  return element;
}

// The widths a chart is drawn at: its frame's, within these bounds (a frame not laid out yet, as
// one hidden or not in the page, gets the natural width until it is).
const NARROWEST = 280, NATURAL = 420, WIDEST = 720;
const drawings = new WeakMap();  // frame -> { width, draw }
const resized = new ResizeObserver((entries) => {
  for (const entry of entries) {
    // A frame taken out of the page (a result replaced) is not drawn again, nor kept.
    if (!entry.target.isConnected) { resized.unobserve(entry.target); continue; }
    const drawing = drawings.get(entry.target);
    if (drawing && widthOf(entry.target) !== drawing.width) drawing.draw();
  }
});
function widthOf(container) {
  const width = Math.floor(container.clientWidth);
  return width > 0 ? Math.min(Math.max(width, NARROWEST), WIDEST) : NATURAL;
}

// Draws draw(width) in container now and again whenever the container's width changes.
function drawIn(container, draw) {
  const drawing = { width: 0, draw: () => { drawing.width = widthOf(container); draw(drawing.width); } };
  drawings.set(container, drawing);
  resized.observe(container);
  drawing.draw();
}

// The svg of a chart drawn in container, named by the caption of the figure it is in.
function chartSvg(container, width, height) {
  const caption = container.closest("figure")?.querySelector("figcaption")?.textContent;
  return svgElement("svg", { viewBox: `0 0 ${width} ${height}`, width: "100%", role: "img",
    ...(caption ? { "aria-label": caption } : {}) });
}

// The row chosen by keyboard in each chart's frame, kept when the chart is drawn again.
const chosenRows = new WeakMap();  // frame -> index of the row that takes the Tab stop

// Shows svg in container with its rows (g.row, each with a title) reachable by keyboard: the
// chosen row is the chart's one Tab stop (the others are reached with the arrow keys, Home and
// End, so that a chart of many rows does not lengthen the page's Tab order), and each row is
// named by its title. A chart drawn again while one of its rows has focus keeps it on that row.
function showRows(container, svg) {
  const rows = [...svg.querySelectorAll("g.row")];
  const focused = container.contains(document.activeElement);
  const chosen = Math.min(chosenRows.get(container) ?? 0, Math.max(rows.length - 1, 0));
  if (rows.length > 0) svg.setAttribute("role", "list");
  rows.forEach((row, index) => {
    row.setAttribute("role", "listitem");
    row.setAttribute("aria-label", row.querySelector("title")?.textContent ?? "");
    // Its texts are in its name already: not read twice.
    for (const text of row.querySelectorAll("text")) text.setAttribute("aria-hidden", "true");
    row.setAttribute("tabindex", index === chosen ? "0" : "-1");
    row.addEventListener("focus", () => {
      chosenRows.set(container, index);
      for (const other of rows) other.setAttribute("tabindex", other === row ? "0" : "-1");
    });
  });
  svg.addEventListener("keydown", (event) => {
    const at = rows.indexOf(event.target);
    if (at < 0) return;
    const to = { ArrowDown: at + 1, ArrowRight: at + 1, ArrowUp: at - 1, ArrowLeft: at - 1, Home: 0,
      End: rows.length - 1 }[event.key];
    if (to === undefined) return;
    event.preventDefault();  // the arrows move between rows rather than scroll the page
    rows[Math.min(Math.max(to, 0), rows.length - 1)].focus();
  });
  container.replaceChildren(svg);
  if (focused && rows.length > 0) rows[chosen].focus();
}

// rows: [{label, value, low?, high?, empty?}]; value null draws empty (why there is no value,
// "no data" when not given). maxValue: the axis's end.
function barChart(container, rows, options = {}) {
  drawIn(container, (width) => drawBars(container, width, rows, options));
}

function drawBars(container, width, rows, { maxValue = 1, format = (v) => (v * 100).toFixed(1) + "%" }) {
  const labelWidth = 150, barHeight = 18, gap = 6;
  const plot = width - labelWidth - 60;
  const height = rows.length * (barHeight + gap) + 20;
  const svg = chartSvg(container, width, height);
  const scale = (v) => labelWidth + (Math.min(Math.max(v, 0), maxValue) / maxValue) * plot;
  rows.forEach((row, index) => {
    const y = index * (barHeight + gap) + 4;
    // A group per row, so that a pointer anywhere on the row gets the row's own tooltip.
    const group = svgElement("g", { class: "row" });
    svg.append(group);
    // The row's whole width (inset by its outline's half): where the pointer gets its tooltip,
    // outlined when the row has focus.
    group.append(svgElement("rect", { x: 1, y: y - 2, width: width - 2, height: barHeight + 4, class: "hit" }));
    group.append(svgElement("text", { x: 0, y: y + 13 }, row.label));
    if (row.value === null || row.value === undefined) {
      const empty = row.empty ?? "no data";
      group.append(svgElement("text", { x: labelWidth + 4, y: y + 13, fill: "#5d6470", class: "empty" }, empty));
      group.append(svgElement("title", {}, `${row.label}: ${empty}`));
      return;
    }
    group.append(svgElement("rect", { x: labelWidth, y, height: barHeight, rx: 2, class: "bar",
      width: Math.max(1, scale(row.value) - labelWidth), fill: PALETTE[0], "fill-opacity": 0.75 }));
    if (row.low !== undefined && row.high !== undefined) {
      const mid = y + barHeight / 2;
      group.append(svgElement("line", { x1: scale(row.low), x2: scale(row.high), y1: mid, y2: mid,
        stroke: "#1d1f24", "stroke-width": 1.5, class: "interval" }));
      for (const end of [row.low, row.high]) {
        group.append(svgElement("line", { x1: scale(end), x2: scale(end), y1: mid - 5, y2: mid + 5,
          stroke: "#1d1f24", "stroke-width": 1.5 }));
      }
    }
    const suffix = row.low !== undefined ? ` (${format(row.low)}–${format(row.high)})` : "";
    // Clear of a bar or whisker that ends at the axis's end.
    group.append(svgElement("text", { x: labelWidth + plot + 8, y: y + 13 }, format(row.value)));
    group.append(svgElement("title", {}, `${row.label}: ${format(row.value)}${suffix}`));
  });
  svg.append(svgElement("line", { x1: labelWidth, x2: labelWidth, y1: 0, y2: height - 16,
    stroke: "#9aa0ab" }));
  // The axis's two ends, each under its place.
  svg.append(svgElement("text", { x: labelWidth, y: height - 2, class: "axis" }, format(0)));
  svg.append(svgElement("text", { x: labelWidth + plot, y: height - 2, "text-anchor": "end", class: "axis" },
    format(maxValue)));
  showRows(container, svg);
}

// series: {name: [p1..p100 milliseconds]}: the share of loads (y) done within x milliseconds, with
// each curve's p50, p90 and p99 marked as rows.
function cdfChart(container, series) {
  if (Object.keys(series).length === 0) {
    drawings.delete(container);
    resized.unobserve(container);
    container.textContent = "No filled loads.";
    return;
  }
  drawIn(container, (width) => drawCdf(container, width, series));
}

// The quantiles of each curve marked, and reached by keyboard (p50 is series[name][49]).
const QUANTILES = [50, 90, 99];

function drawCdf(container, width, series) {
  const names = Object.keys(series);
  // The legend goes under the axis, a line per curve, where no curve can run through it.
  const height = 220, left = 40, bottom = 30, top = 10, right = 10, legendLine = 14;
  const maxMs = Math.max(...names.map((name) => series[name][99]), 1);
  const x = (ms) => left + (ms / maxMs) * (width - left - right);
  const y = (share) => top + (1 - share) * (height - top - bottom);
  const svg = chartSvg(container, width, height + names.length * legendLine + 4);
  svg.append(svgElement("line", { x1: left, x2: width - right, y1: y(0), y2: y(0), stroke: "#9aa0ab" }));
  svg.append(svgElement("line", { x1: left, x2: left, y1: y(0), y2: y(1), stroke: "#9aa0ab" }));
  for (const share of [0, 1]) {
    svg.append(svgElement("text", { x: 2, y: y(share) + 4, class: "axis" }, `${share * 100}%`));
  }
  for (const share of [0.5, 0.9]) {
    svg.append(svgElement("line", { x1: left, x2: width - right, y1: y(share), y2: y(share),
      stroke: "#d9dce3", "stroke-dasharray": "3 3" }));
    svg.append(svgElement("text", { x: 2, y: y(share) + 4 }, `p${share * 100}`));
  }
  svg.append(svgElement("text", { x: left, y: height - 4 }, "0 ms"));
  svg.append(svgElement("text", { x: width - right, y: height - 4, "text-anchor": "end" }, `${maxMs} ms`));
  svg.append(svgElement("text", { x: (left + width - right) / 2, y: height - 4, "text-anchor": "middle",
    fill: "#5d6470" }, "time to load"));
  names.forEach((name, index) => {
    const points = [`${x(0)},${y(0)}`];
    series[name].forEach((ms, p) => {
      points.push(`${x(ms)},${y(p / 100)}`, `${x(ms)},${y((p + 1) / 100)}`);
    });
    const color = PALETTE[index % PALETTE.length];
    const line = svgElement("polyline", { points: points.join(" "), fill: "none", stroke: color,
      "stroke-width": 2, class: "cdf" });
    line.append(svgElement("title", {}, `${name}: p50 ${series[name][49]} ms, p90 ${series[name][89]} ms`));
    svg.append(line);
    // A row per quantile marked on the curve, so that the keyboard reaches each curve's p50, p90
    // and p99 as it reaches a bar chart's rows, each named by its value.
    for (const p of QUANTILES) {
      const ms = series[name][p - 1];
      const row = svgElement("g", { class: "row quantile" });
      row.append(svgElement("circle", { cx: x(ms), cy: y(p / 100), r: 8, class: "hit" }));
      row.append(svgElement("circle", { cx: x(ms), cy: y(p / 100), r: 3, fill: color }));
      row.append(svgElement("title", {}, `${name}: p${p} ${ms} ms`));
      svg.append(row);
    }
    // The legend: a stroke of the curve's colour, then its name in that colour.
    const at = height + 10 + index * legendLine;
    svg.append(svgElement("line", { x1: left, x2: left + 16, y1: at - 4, y2: at - 4, stroke: color, "stroke-width": 2 }));
    svg.append(svgElement("text", { x: left + 20, y: at, fill: color, class: "legend" }, name));
  });
  showRows(container, svg);
}

window.Charts = { barChart, cdfChart, drawIn, showRows };
