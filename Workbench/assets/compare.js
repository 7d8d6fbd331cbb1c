// The comparison panel: two configurations (A: the opened one or a file; B: the editor's text or
// a file) played on the same seeds by the server's paired comparison, shown side by side with
// B - A, its 95% interval and a verdict in plain words per placement, network and measure.
// Rate differences are in percentage points ("pts"). Colour shows the direction of a difference
// only (blue: B higher, orange: B lower), never whether it is better or worse.
// Uses api(), $, state, editor, madeFrom() and downloadResult() from workbench.js and Job from job.js.
"use strict";

const Compare = (() => {
  const MEASURES = [["fillRate", "Fill rate", true], ["showRate", "Show rate", true],
    ["requestsPerSession", "Requests / session", false], ["showsPerSession", "Shows / session", false],
    ["rewardsPerSession", "Rewards / session", false]];
  const files = { a: null, b: null };
  const unread = { a: null, b: null };  // why a side's file could not be read
  const picks = { a: 0, b: 0 };  // files picked per side: a file read late for an earlier pick is dropped
  let job;  // the comparison under way, its watch and its cancel; set up on load
  let last = null;     // the last status with a comparison
  // comparison id -> what A and B were, as chosen when it started (or, for opened shards, their
  // fingerprints), and the editor's text then (null when neither side was the editor's).
  const sides = new Map();

  // The numbers are the server's texts (the verdicts'), formatted from full precision as the
  // command line's table writes them: rounding the JSON's four decimals again could change a digit.
  const plural = (n, word) => `${n} ${word}${n === 1 ? "" : "s"}`;

  // The text of one side: the opened configuration, the editor's, or a file read on the page.
  function sideText(side) {
    const source = $(`compare-${side}-source`).value;
    if (source === "opened") return state.opened;
    if (source === "editor") return editor.text;
    return files[side];
  }

  // What one side is, as its selector says: "the opened configuration (label)", "the editor's
  // text" (with the time, said once the editor's text has changed since), or the file's name.
  function describeSide(side, at) {
    const source = $(`compare-${side}-source`).value;
    if (source === "opened") {
      const label = $("config-label").textContent;
      return [label ? `the opened configuration (${label})` : "the opened configuration"];
    }
    if (source === "editor") {
      const then = document.createElement("span");
      then.className = "when-stale";
      then.textContent = ` as it was when compared (at ${at})`;
      return ["the editor's text", then];
    }
    return [`the file ${$(`compare-${side}-name`).textContent}`];
  }

  // A side from a file has no text until one is read: Compare says which side waits for one.
  function updateButtons() {
    const missing = ["a", "b"].filter((side) => sideText(side) === null);
    $("compare-run").disabled = job.busy || missing.length > 0;
    const blocked = $("compare-blocked");
    blocked.hidden = missing.length === 0;
    blocked.textContent = missing.map((side) => unread[side] ??
      `Cannot compare: choose a file for ${side.toUpperCase()}.`).join(" ");
  }

  async function start(event) {
    event.preventDefault();
    if ($("compare-run").disabled) return;
    const at = new Date().toLocaleTimeString([], { hour: "2-digit", minute: "2-digit" });
    const fromEditor = ["a", "b"].some((side) => $(`compare-${side}-source`).value === "editor");
    const chosen = { a: describeSide("a", at), b: describeSide("b", at), text: fromEditor ? editor.text : null };
    const body = {
      a: sideText("a"), b: sideText("b"),
      sessions: Number($("compare-sessions").value), seed: $("compare-seed").value.trim(),
      minutes: Number($("compare-minutes").value), jobs: Number($("compare-jobs").value),
    };
    const answer = await job.start(body, chosen);
    if (answer?.status !== 422) return;
    const { data } = answer;
    job.say(`Cannot compare: ${data.error} (${data.check.errors.length} error(s)` +
      (data.side === "b" && $("compare-b-source").value === "editor" ? ", listed under the editor)" : ")"));
    if ($(`compare-${data.side}-source`).value === "editor") showVerdict(data.check);
  }

  // What A and B were (chosen), kept for the comparison id that ended, then shown.
  function ended(id, status, chosen) {
    sides.set(id, chosen);
    show(id, status);
  }

  // repeats: the networks whose row is this placement's measurement again, counted once.
  function verdictItem(verdict, repeats) {
    const item = document.createElement("li");
    item.className = verdict.direction;
    item.textContent = verdict.text + (repeats.length
      ? ` (the same measurement as the ${repeats.join(", ")} network's, counted once)` : "");
    return item;
  }

  function show(id, status) {
    last = status;
    const comparison = status.comparison;
    $("compare-empty").hidden = true;
    $("compare-results").hidden = false;
    $("compare-json").href = `/api/comparisons/${id}/comparison.json`;
    $("compare-csv").href = `/api/comparisons/${id}/comparison.csv`;
    $("compare-download-note").hidden = true;
    // A network row that repeats a placement's numbers is one measurement: counted and listed once.
    const distinct = status.verdicts.filter((v) => !v.sameAs);
    const significant = distinct.filter((v) => v.direction === "higher" || v.direction === "lower");
    $("compare-summary").textContent = headline(distinct, significant.length, comparison.sessions);
    // The server says when the seeds are too few to decide on, as the command line's text does.
    $("compare-caution").textContent = status.caution ?? "";
    $("compare-caution").hidden = !status.caution;
    const chosen = sides.get(id);
    $("compare-sides").replaceChildren(...(chosen ? ["A: ", ...chosen.a, ". B: ", ...chosen.b, "."] : []));
    madeFrom("compare-results", chosen?.text ?? null);
    const repeats = (v) => status.verdicts.filter((r) => r.sameAs === v.row && r.measure === v.measure).map((r) => r.row);
    $("compare-verdicts").replaceChildren(...significant.map((v) => verdictItem(v, repeats(v))));
    const byKey = new Map(status.verdicts.map((v) => [`${v.kind}|${v.row}|${v.measure}`, v]));
    fillTable($("compare-placements"), comparison.placements, "placement", byKey);
    fillTable($("compare-networks"), comparison.networks, "network", byKey);
    $("compare-chart").replaceChildren(...MEASURES.map(([key, title, rate]) => {
      // The rows the tables show: a measure without a verdict (nothing on either side) is left out.
      const rows = [];
      for (const [kind, heading] of [["placement", "Placements"], ["network", "Networks"]]) {
        const measured = comparison[`${kind}s`].map((row) => [row, byKey.get(`${kind}|${row[kind]}|${key}`)])
          .filter(([, verdict]) => verdict);
        if (measured.length) rows.push({ heading }, ...measured.map(([row, verdict]) => differenceRow(row[key], verdict)));
      }
      const figure = document.createElement("figure");
      const caption = document.createElement("figcaption");
      const intervals = rows.some((row) => row.low !== undefined);
      caption.textContent = `${title}, B − A${rate ? " in pts" : ""}${intervals ? " (95% CI)" : ""}`;
      const chart = document.createElement("div");
      figure.append(caption, chart);
      figure.dataset.measure = key;
      differenceChart(chart, rows, rate, caption.textContent);
      // Hollow dots alone do not say why they have no whiskers: the reasons are written under them.
      const reasons = [...new Set(rows.filter((row) => !row.heading && row.low === undefined && row.value !== null)
        .map((row) => row.noInterval ?? "no interval given"))];
      if (reasons.length) {
        const note = document.createElement("p");
        note.className = "hint no-interval";
        note.textContent = `${intervals ? "Hollow dots have no" : "No dot has a"} 95% interval: ${reasons.join("; ")}.`;
        figure.append(note);
      }
      return figure;
    }));
  }

  // A chart row: positions from the JSON's numbers, words from the verdict's texts. A rate only
  // one side has is marked as that side's alone.
  const differenceRow = (difference, verdict) => ({ label: verdict.row, value: difference.difference ?? null,
    text: verdict.difference, range: verdict.interval, noInterval: verdict.noInterval, whole: verdict.text,
    only: verdict.a === null ? "B only" : verdict.b === null ? "A only" : null,
    ...(Array.isArray(difference.ci) ? { low: difference.ci[0], high: difference.ci[1] } : {}) });

  // What the verdicts say as a whole: measures without an interval are counted apart, never
  // taken for "no difference".
  function headline(verdicts, significant, sessions) {
    const seeds = plural(sessions, "paired seed");
    const unknown = verdicts.filter((v) => v.direction === "unknown");
    const tested = verdicts.length - unknown.length;
    if (verdicts.length === 0) return `Nothing to compare on ${seeds}: neither side has data.`;
    if (tested === 0) {
      const reasons = [...new Set(unknown.map((v) => v.noInterval))];
      const why = reasons.length === 1 && reasons[0] ? ` (${reasons[0]})` : "";
      return reasons.some((reason) => /seeds/.test(reason ?? ""))
        ? `Too few seeds to tell: none of the ${plural(verdicts.length, "measure")} could be tested on ${seeds}${why}.`
        : `None of the ${plural(verdicts.length, "measure")} could be tested on ${seeds}${why}.`;
    }
    const untested = unknown.length ? `; ${unknown.length} could not be tested` : "";
    if (significant === 0) {
      return unknown.length === 0
        ? `No significant difference between A and B on ${seeds}.`
        : `No significant difference among ${tested} of ${verdicts.length} measures on ${seeds}${untested}.`;
    }
    const among = unknown.length ? `${tested} of ${verdicts.length}` : `${verdicts.length}`;
    // Each 95% interval misses 1 time in 20: among measures B did not change, about 1 in 20
    // looks significant by chance alone. No correction is made, so the headline says so.
    return `${plural(significant, "significant difference")} among ${among} measures on ${seeds}${untested} ` +
      `(95% intervals of B − A). By chance alone about 1 in 20 measures that did not change looks ` +
      `significant: up to about ${(tested / 20).toFixed(1)} of these ${tested}.`;
  }

  // The axis's ends: "+12.5 pts", "-0.40" (not a measured number, so rounded here).
  // unit: false where the plot is too narrow for both ends with theirs (the caption names it).
  const axisText = (v, rate, unit = true) => {
    const text = (rate ? v * 100 : v).toFixed(rate ? 1 : 2);
    return (v > 0 ? "+" : "") + text + (rate && unit ? " pts" : "");
  };

  // rows: [{label, value, low?, high?, text, range, noInterval, whole, only} or {heading}] of
  // differences B - A of one measure (rate: in points): a dot per row with its interval, around a
  // line at zero, so a row whose whisker crosses the line shows no difference. The interval's end
  // marks stand out of the dot, so an interval narrower than the dot still shows. A row without
  // an interval is a hollow dot, "no interval" in its tooltip: not an exact value. Each row is a
  // group with its own tooltip; the chart is named by its caption and
  // drawn as wide as its frame.
  function differenceChart(container, rows, rate, caption) {
    Charts.drawIn(container, (width) => drawDifferences(container, width, rows, rate, caption));
  }

  // One drawing of a difference chart, width units (pixels) wide.
  function drawDifferences(container, width, rows, rate, caption) {
    const labelWidth = 140, rowHeight = 22;
    const plot = width - labelWidth - 80;
    // A narrow plot has no room for its zero between its ends: the zero goes a line below them,
    // under the zero line.
    const below = plot < 200 ? 14 : 0;
    const height = rows.length * rowHeight + 24 + below;
    const reach = Math.max(0.01, ...rows.flatMap((r) => [Math.abs(r.low ?? r.value ?? 0), Math.abs(r.high ?? r.value ?? 0)]));
    // The direction colours the stylesheet defines (views.css), so the dots match the verdicts.
    const style = getComputedStyle($("compare"));
    const direction = { higher: style.getPropertyValue("--higher").trim(), lower: style.getPropertyValue("--lower").trim() };
    const x = (v) => labelWidth + plot / 2 + (v / reach) * (plot / 2);
    const svg = svgElement("svg", { viewBox: `0 0 ${width} ${height}`, width: "100%", role: "img", "aria-label": caption });
    svg.append(svgElement("line", { x1: x(0), x2: x(0), y1: 0, y2: height - 18, stroke: "#9aa0ab", "stroke-dasharray": "3 3" }));
    rows.forEach((row, index) => {
      const y = index * rowHeight + 12;
      if (row.heading) {
        svg.append(svgElement("text", { x: 0, y: y + 4, fill: "#5d6470", "font-weight": 600 }, row.heading));
        return;
      }
      const group = svgElement("g", { class: "row" });
      svg.append(group);
      group.append(svgElement("rect", { x: 1, y: y - rowHeight / 2, width: width - 2, height: rowHeight, class: "hit" }));
      group.append(svgElement("text", { x: 8, y: y + 4 }, row.label));
      if (row.value === null || row.value === undefined) {
        group.append(svgElement("text", { x: labelWidth, y: y + 4, fill: "#5d6470", class: "one-side" }, row.only ?? "no data"));
        group.append(svgElement("title", {}, row.whole));
        return;
      }
      const crosses = row.low === undefined || (row.low <= 0 && row.high >= 0);
      const color = crosses ? "#5d6470" : row.value > 0 ? direction.higher : direction.lower;
      group.append(svgElement("circle", row.low === undefined
        ? { cx: x(row.value), cy: y, r: 3, fill: "#fff", stroke: color, "stroke-width": 1.5, class: "difference no-interval" }
        : { cx: x(row.value), cy: y, r: 3, fill: color, class: "difference" }));
      if (row.low !== undefined) {
        group.append(svgElement("line", { x1: x(row.low), x2: x(row.high), y1: y, y2: y, stroke: color,
          "stroke-width": 2, class: "interval" }));
        for (const end of [row.low, row.high]) {
          group.append(svgElement("line", { x1: x(end), x2: x(end), y1: y - 6, y2: y + 6, stroke: color,
            "stroke-width": 1.5, class: "interval-end" }));
        }
      }
      group.append(svgElement("text", { x: labelWidth + plot + 10, y: y + 4 }, row.text));
      group.append(svgElement("title", {}, `${row.label}: ${row.text} ` +
        (row.range ? `(${row.range})` : `(no interval: ${row.noInterval})`)));
    });
    svg.append(svgElement("text", { x: labelWidth, y: height - 4 - below, class: "axis" }, axisText(-reach, rate, plot >= 120)));
    svg.append(svgElement("text", { x: x(0), y: height - 4, "text-anchor": "middle", class: "zero" }, "0"));
    svg.append(svgElement("text", { x: labelWidth + plot, y: height - 4 - below, "text-anchor": "end", class: "axis" },
      axisText(reach, rate, plot >= 120)));
    Charts.showRows(container, svg);
  }

  // One line per measure a verdict covers, with the verdict's texts; a side without the rate's
  // denominator reads "–", and its verdict says which side had none.
  function fillTable(table, rows, kind, verdicts) {
    const head = document.createElement("tr");
    for (const title of [kind === "placement" ? "Placement" : "Network", "Measure", "A", "B", "B − A",
      "95% CI (paired)", "Verdict"]) {
      const th = document.createElement("th");
      th.scope = "col";
      th.textContent = title;
      head.append(th);
    }
    const lines = [];
    for (const row of rows) {
      for (const [key, title] of MEASURES) {
        const verdict = verdicts.get(`${kind}|${row[kind]}|${key}`);
        if (!verdict) continue;
        const tr = document.createElement("tr");
        tr.className = verdict.direction;
        const words = { higher: "B higher", lower: "B lower", none: "no significant difference",
          unknown: verdict.noInterval ? `no interval: ${verdict.noInterval}` : "no interval" };
        const repeat = verdict.sameAs ? ` (the same measurement as ${verdict.sameAs})` : "";
        for (const text of [row[kind], title, verdict.a ?? "–", verdict.b ?? "–", verdict.difference ?? "–",
          verdict.interval ?? "–", words[verdict.direction] + repeat]) {
          const td = document.createElement("td");
          td.textContent = text;
          tr.append(td);
        }
        tr.title = verdict.text;
        lines.push(tr);
      }
    }
    table.replaceChildren(head, ...lines);
  }

  // What a side of opened shards is: its configuration's fingerprint, and whether it is the
  // opened configuration's (the command line writes the fingerprints into each shard).
  function shardSide(fingerprint, configurations) {
    return [`configuration ${fingerprint}` +
      (fingerprint === configurations.opened ? ", the opened configuration" : "")];
  }

  // A comparison merged from shards (shards.js): shown as one made here, its line saying what
  // was opened, and A and B named by their fingerprints.
  function showOpened(id, status, opened, configurations) {
    sides.set(id, { a: shardSide(configurations.a, configurations),
      b: shardSide(configurations.b, configurations), text: null });
    const covered = status.done < status.total ? `: ${status.done} of ${status.total} seeds played` : "";
    job.say(`Opened ${opened}${covered}`, "merged");
    $("compare-progress").max = Math.max(1, status.total);
    $("compare-progress").value = status.done;
    show(id, status);
  }

  async function readFile(side, input) {
    const pick = ++picks[side];
    files[side] = null;
    unread[side] = null;
    $(`compare-${side}-name`).textContent = "";
    updateButtons();
    const file = input.files[0];
    if (!file) return;
    try {
      const text = await file.text();
      if (pick !== picks[side]) return;
      files[side] = text;
      $(`compare-${side}-name`).textContent = file.name;
    } catch (error) {
      if (pick !== picks[side]) return;
      unread[side] = `Cannot compare: the file ${file.name} for ${side.toUpperCase()} could not be read (${error.message}).`;
    }
    updateButtons();
  }

  function sourceChanged(side) {
    const fromFile = $(`compare-${side}-source`).value === "file";
    $(`compare-${side}-file`).hidden = !fromFile;
    // A file read before is kept, with its name, for when the side is a file again.
    $(`compare-${side}-name`).hidden = !fromFile;
    updateButtons();
  }

  function init() {
    job = new Job({ route: "/api/comparisons", what: "comparison", unit: "seeds", running: "Comparing",
      result: "comparison", ids: { line: "compare-status", progress: "compare-progress", cancel: "compare-cancel",
        resume: "compare-resume" }, changed: updateButtons, ended });
    $("compare-form").addEventListener("submit", start);
    for (const link of ["compare-json", "compare-csv"]) {
      $(link).addEventListener("click", (event) => downloadResult(event, "compare-download-note"));
    }
    for (const side of ["a", "b"]) {
      $(`compare-${side}-source`).addEventListener("change", () => sourceChanged(side));
      $(`compare-${side}-file`).addEventListener("change", (event) => readFile(side, event.target));
    }
    updateButtons();
  }

  return { init, showOpened, lastStatus: () => last, busy: () => job.busy };
})();

document.addEventListener("DOMContentLoaded", Compare.init);
