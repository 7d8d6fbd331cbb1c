// Charts drawn as inline SVG from plain data: horizontal bars with optional 95% interval
// whiskers, and step lines for cumulative distributions. Nothing is fetched. Each chart is named
// for assistive technology by its figure's caption; each row has its own tooltip.
"use strict";

const SVG = "http://www.w3.org/2000/svg";
const PALETTE = ["#2f5fd0", "#d0542f", "#2f9d55", "#8a4fd0", "#b88a00", "#d02f83"];

function svgElement(name, attributes, text) {
  const element = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, value);
  if (text !== undefined) element.textContent = text;
  return element;
}

// The svg of a chart drawn in container, named by the caption of the figure it is in.
function chartSvg(container, width, height) {
  const caption = container.closest("figure")?.querySelector("figcaption")?.textContent;
  return svgElement("svg", { viewBox: `0 0 ${width} ${height}`, width: "100%", role: "img",
    ...(caption ? { "aria-label": caption } : {}) });
}

// rows: [{label, value, low?, high?}]; value null draws "no data". maxValue: the axis's end.
function barChart(container, rows, { maxValue = 1, format = (v) => (v * 100).toFixed(1) + "%" } = {}) {
  const labelWidth = 150, width = 420, barHeight = 18, gap = 6;
  const plot = width - labelWidth - 60;
  const height = rows.length * (barHeight + gap) + 20;
  const svg = chartSvg(container, width, height);
  const scale = (v) => labelWidth + (Math.min(Math.max(v, 0), maxValue) / maxValue) * plot;
  rows.forEach((row, index) => {
    const y = index * (barHeight + gap) + 4;
    // A group per row, so that a pointer anywhere on the row gets the row's own tooltip.
    const group = svgElement("g", { class: "row" });
    svg.append(group);
    group.append(svgElement("text", { x: 0, y: y + 13 }, row.label));
    if (row.value === null || row.value === undefined) {
      group.append(svgElement("text", { x: labelWidth, y: y + 13, fill: "#5d6470" }, "no data"));
      group.append(svgElement("title", {}, `${row.label}: no data`));
      return;
    }
    group.append(svgElement("rect", { x: labelWidth, y, height: barHeight, rx: 2,
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
    group.append(svgElement("text", { x: labelWidth + plot + 4, y: y + 13 }, format(row.value)));
    group.append(svgElement("title", {}, `${row.label}: ${format(row.value)}${suffix}`));
  });
  svg.append(svgElement("line", { x1: labelWidth, x2: labelWidth, y1: 0, y2: height - 16,
    stroke: "#9aa0ab" }));
  svg.append(svgElement("text", { x: labelWidth + plot - 20, y: height - 2 }, format(maxValue)));
  container.replaceChildren(svg);
}

// series: {name: [p1..p100 milliseconds]}: the share of loads (y) done within x milliseconds.
function cdfChart(container, series) {
  const names = Object.keys(series);
  if (names.length === 0) { container.textContent = "No filled loads."; return; }
  const width = 420, height = 220, left = 40, bottom = 30, top = 10, right = 10;
  const maxMs = Math.max(...names.map((name) => series[name][99]), 1);
  const x = (ms) => left + (ms / maxMs) * (width - left - right);
  const y = (share) => top + (1 - share) * (height - top - bottom);
  const svg = chartSvg(container, width, height);
  svg.append(svgElement("line", { x1: left, x2: width - right, y1: y(0), y2: y(0), stroke: "#9aa0ab" }));
  svg.append(svgElement("line", { x1: left, x2: left, y1: y(0), y2: y(1), stroke: "#9aa0ab" }));
  for (const share of [0.5, 0.9]) {
    svg.append(svgElement("line", { x1: left, x2: width - right, y1: y(share), y2: y(share),
      stroke: "#d9dce3", "stroke-dasharray": "3 3" }));
    svg.append(svgElement("text", { x: 2, y: y(share) + 4 }, `p${share * 100}`));
  }
  svg.append(svgElement("text", { x: left, y: height - 4 }, "0 ms"));
  svg.append(svgElement("text", { x: width - right - 60, y: height - 4 }, `${maxMs} ms`));
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
    // The legend: a stroke of the curve's colour, then its name in that colour.
    const at = height - bottom - 12 - index * 14;
    svg.append(svgElement("line", { x1: width - right - 110, x2: width - right - 94, y1: at - 4, y2: at - 4,
      stroke: color, "stroke-width": 2 }));
    svg.append(svgElement("text", { x: width - right - 90, y: at, fill: color, class: "legend" }, name));
  });
  container.replaceChildren(svg);
}

window.Charts = { barChart, cdfChart };
