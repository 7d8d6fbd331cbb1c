// The session panel: one seed's session of the editor's configuration as a picture (the tunnel,
// trips to the background, ads on screen, the ads pause, each waterfall key's loads from request
// to fill or failure, and the narration's moments), and the inspector's snapshot of the ads
// service at any moment clicked on it. Uses api(), $, editor, download(), madeFrom() and svgElement().
"use strict";

const Timeline = (() => {
  const LANES = [["vpn", "VPN connected"], ["app", "App in background"], ["screen", "Ad on screen"],
    ["pause", "Ads paused"]];
  const SPAN_COLORS = { vpn: "#2f5fd0", app: "#8a4fd0", screen: "#b88a00", pause: "#d02f83" };
  const LOAD_COLORS = { filled: "#2f9d55", failed: "#c62828", unanswered: "#9aa0ab" };
  const MOMENT_KINDS = new Set(["connect", "disconnect", "background", "foreground", "show",
    "closed", "reward", "pause", "launch", "timewall", "show failed"]);
  const labelWidth = 230, width = 1200, laneHeight = 18, top = 22;
  // The moments listed under the picture: a week of a busy configuration has hundreds of
  // thousands, more than a list can hold and stay usable; the rest are in the download.
  const MAX_LISTED = 2000;
  let picture = null;   // the last session drawn
  let request = null;   // what drew it: configuration, seed and minutes
  let snapshotSequence = 0;
  let xOf = null;       // the picture's time-to-x scale

  const clock = (seconds) => {
    const s = Math.floor(seconds);
    const pad = (n) => String(n).padStart(2, "0");
    return `${pad(Math.floor(s / 3600))}:${pad(Math.floor(s / 60) % 60)}:${pad(s % 60)}`;
  };

  // The server cannot stop a session it plays: a second one asked meanwhile would be played beside
  // it, holding the second of the two sessions the server plays at once (a snapshot would then be
  // refused), for a picture nobody waits for. So Draw waits for the one playing, and says so.
  async function draw(event) {
    event.preventDefault();
    const button = $("session-draw");
    if (button.disabled) return;
    const body = { configuration: editor.text, seed: $("session-seed").value.trim(),
      minutes: Number($("session-minutes").value) };
    button.disabled = true;
    $("session-wait").hidden = false;
    $("session-status").textContent = "Playing the session…";
    const { status, data } = await api("POST", "/api/sessions", body);
    button.disabled = false;
    $("session-wait").hidden = true;
    if (status === 422) {
      $("session-status").textContent = `Cannot play: ${data.error} (listed under the editor).`;
      showVerdict(data.check);
      return;
    }
    if (status !== 200) { $("session-status").textContent = data.error; return; }
    picture = data;
    request = body;
    madeFrom("session-results", body.configuration);
    ++snapshotSequence;  // a snapshot of the previous session arriving now is not shown
    // The previous session's picture, moments and snapshot go first, whatever follows.
    $("timeline").replaceChildren();
    $("moments").replaceChildren();
    delete $("snapshot").dataset.at;
    $("snapshot").replaceChildren(hint("Click the timeline, or a moment below, to see the inspector's snapshot then."));
    const c = data.counts;
    $("session-status").textContent = `Seed ${data.seed}, ${clock(data.duration)}: ${c.requests} ad requests ` +
      `(${c.filled} filled, ${c.failed} failed, ${c.unanswered} unanswered), ${c.shows} shows. ` +
      "Click the picture to inspect the ads service at that moment.";
    $("session-empty").hidden = true;
    $("session-results").hidden = false;
    $("session-download").disabled = false;
    render();
    listMoments();
  }

  function hint(text) {
    const p = document.createElement("p");
    p.className = "hint";
    p.textContent = text;
    return p;
  }

  function render() {
    const lanes = [...LANES.map(([id, title]) => ({ id, title })),
      ...picture.lanes.map((lane) => ({ id: "load:" + lane, title: lane }))];
    const height = top + (lanes.length + 1) * laneHeight + 20;
    const plot = width - labelWidth - 10;
    const x = (t) => labelWidth + (Math.min(Math.max(t, 0), picture.duration) / picture.duration) * plot;
    const y = (index) => top + (index + 1) * laneHeight;
    const svg = svgElement("svg", { viewBox: `0 0 ${width} ${height}`, width: "100%", role: "img",
      id: "timeline-svg", "aria-label": "Timeline of the session; click to inspect" });
    // Marks every hour (at most a dozen of them: every few hours for days), 15 or 5 minutes.
    const step = picture.duration > 4 * 3600 ? Math.ceil(picture.duration / 12 / 3600) * 3600
      : picture.duration > 3600 ? 900 : 300;
    for (let t = 0; t <= picture.duration; t += step) {
      svg.append(svgElement("line", { x1: x(t), x2: x(t), y1: top, y2: height - 18, stroke: "#eceef2" }));
      // The labels at the plot's edges start or end there rather than run past them.
      const at = t === 0 ? { x: x(t) } : x(t) > width - 40 ? { x: x(t), "text-anchor": "end" } : { x: x(t) - 20 };
      svg.append(svgElement("text", { ...at, y: height - 4 }, clock(t)));
    }
    svg.append(svgElement("text", { x: 0, y: top + 12, class: "lane" }, "Moments"));
    lanes.forEach((lane, index) => {
      svg.append(svgElement("text", { x: 0, y: y(index) + 12, class: "lane" }, lane.title));
      svg.append(svgElement("line", { x1: labelWidth, x2: width - 10, y1: y(index) + laneHeight - 1,
        y2: y(index) + laneHeight - 1, stroke: "#f0f1f4" }));
    });
    const laneIndex = new Map(lanes.map((lane, index) => [lane.id, index]));
    // Bars closer than a pixel to the one before on their row (and of its kind) are drawn as one,
    // whose title says how many it stands for: the picture keeps a few thousand nodes however
    // long the session, rather than one per span, load and moment.
    const merged = new Map();  // row and kind -> the bar being widened
    const bars = [];
    const bar = (key, from, to, attributes, title) => {
      const last = merged.get(key);
      if (last && x(from) <= last.right + 1) {
        last.right = Math.max(last.right, x(to));
        last.to = Math.max(last.to, to);
        last.count += 1;
        return;
      }
      const next = { from, to, right: x(to), count: 1, attributes, title };
      merged.set(key, next);
      bars.push(next);
    };
    for (const span of picture.spans) {
      const row = laneIndex.get(span.lane);
      if (row === undefined) continue;
      bar(`span:${row}`, span.from, span.to, { y: y(row) + 3, height: laneHeight - 6,
        fill: SPAN_COLORS[span.lane], "fill-opacity": 0.7, class: `span ${span.lane}` },
      `${span.label}: ${clock(span.from)} to ${clock(span.to)}`);
    }
    for (const load of picture.loads) {
      const row = laneIndex.get("load:" + load.lane);
      const took = load.endedAt === null ? "no answer" : `${((load.endedAt - load.requestedAt) * 1000).toFixed(0)} ms`;
      bar(`load:${row}:${load.outcome}`, load.requestedAt, load.endedAt ?? picture.duration,
        { y: y(row) + 4, height: laneHeight - 8, fill: LOAD_COLORS[load.outcome], class: `load ${load.outcome}` },
        `${load.lane} (${load.action || "no action"}): requested ${clock(load.requestedAt)}, ` +
        `${load.outcome}${load.errorCode ? " (error " + load.errorCode + ")" : ""}, ${took}`);
    }
    for (const item of bars) {
      const rect = svgElement("rect", { ...item.attributes, x: x(item.from),
        width: Math.max(2, item.right - x(item.from)) });
      rect.append(svgElement("title", {}, item.count === 1 ? item.title
        : `${item.count} of them from ${clock(item.from)} to ${clock(item.to)}; the first: ${item.title}`));
      svg.append(rect);
    }
    // One tick per pixel and kind of moment.
    const ticks = new Map();
    for (const moment of picture.moments) {
      if (!MOMENT_KINDS.has(moment.kind)) continue;
      const key = `${Math.round(x(moment.at))}:${moment.kind}`;
      const tick = ticks.get(key);
      if (tick) { tick.count += 1; continue; }
      ticks.set(key, { moment, count: 1 });
    }
    for (const { moment, count } of ticks.values()) {
      const tick = svgElement("line", { x1: x(moment.at), x2: x(moment.at), y1: top + 2, y2: top + laneHeight - 2,
        stroke: moment.kind.startsWith("show") || moment.kind === "reward" ? "#b88a00" : "#1d1f24",
        "stroke-width": 1.5, class: `moment ${moment.kind.replace(" ", "-")}` });
      tick.append(svgElement("title", {}, count === 1 ? `${moment.clock} ${moment.text}`
        : `${moment.clock} ${moment.text} (and ${count - 1} more ${moment.kind} within a pixel)`));
      svg.append(tick);
    }
    const cursor = svgElement("line", { x1: -10, x2: -10, y1: top, y2: height - 18, stroke: "#c62828",
      "stroke-width": 1.5, id: "timeline-cursor" });
    svg.append(cursor);
    svg.addEventListener("click", (event) => {
      const point = new DOMPoint(event.clientX, event.clientY).matrixTransform(svg.getScreenCTM().inverse());
      if (point.x < labelWidth) return;
      const at = ((point.x - labelWidth) / plot) * picture.duration;
      inspect(Math.min(Math.max(at, 0), picture.duration));
    });
    xOf = x;
    $("timeline").replaceChildren(svg);
    fitLabels(svg);
  }

  // Lane names wider than the label column are cut in the middle with an ellipsis, the full name
  // in their tooltip: the lanes of one waterfall share their start ("admob · /sandbox/
  // interstitial/connect-…"), so the end, which tells them apart, is kept whole first. Measured
  // once the picture is on the page (a hidden one measures 0 and is left whole).
  function fitLabels(svg) {
    const room = labelWidth - 8, ellipsis = 12;
    // A cut never splits a surrogate pair: an end starting on its second half starts after it.
    const whole = (text, at) => (/[\uDC00-\uDFFF]/.test(text.charAt(at)) ? at + 1 : at);
    for (const text of svg.querySelectorAll("text.lane")) {
      if (text.getComputedTextLength() <= room) continue;
      const full = text.textContent, count = text.getNumberOfChars();
      const width = (from, to) => (to > from ? text.getSubStringLength(from, to - from) : 0);
      // The kept end: up to two thirds of the room, the rest for the start.
      let tail = count;
      while (tail > 1 && width(tail - 1, count) <= (2 * room) / 3) tail -= 1;
      tail = whole(full, tail);
      let head = 0;
      while (head + 1 < tail && width(0, head + 1) + ellipsis + width(tail, count) <= room) head += 1;
      if (/[\uD800-\uDBFF]/.test(full.charAt(head - 1))) head -= 1;
      text.textContent = full.slice(0, head) + "…" + full.slice(tail);
      text.append(svgElement("title", {}, full));
    }
  }

  function listMoments() {
    const list = $("moments");
    for (const moment of picture.moments.slice(0, MAX_LISTED)) {
      const item = document.createElement("li");
      const button = document.createElement("button");
      button.type = "button";
      button.dataset.kind = moment.kind;
      const when = document.createElement("span");
      when.className = "where";
      when.textContent = moment.clock;
      button.append(when, moment.text);
      button.addEventListener("click", () => inspect(moment.at));
      item.append(button);
      list.append(item);
    }
    const more = picture.moments.length - MAX_LISTED;
    if (more > 0) {
      const item = document.createElement("li");
      item.className = "hint more";
      item.textContent = `…and ${more} more moments, not listed: click the picture to inspect ` +
        "any moment, download the session for all of them, or play fewer minutes.";
      list.append(item);
    }
  }

  async function inspect(at) {
    const sequence = ++snapshotSequence;
    const cursor = $("timeline-cursor");
    cursor.setAttribute("x1", xOf(at));
    cursor.setAttribute("x2", xOf(at));
    // The seed is played again up to the moment, which takes a while for a long session: the
    // snapshot shown before goes at once, so that it is not read as this moment's.
    delete $("snapshot").dataset.at;
    $("snapshot").replaceChildren(hint(`Playing the session up to ${clock(at)} for the snapshot then…`));
    const { status, data } = await api("POST", "/api/sessions/snapshot", { ...request, at });
    if (sequence !== snapshotSequence) return;  // a later click is on its way
    if (status !== 200) { $("snapshot").replaceChildren(hint(data.error)); return; }
    showSnapshot(data);
  }

  function showSnapshot(snapshot) {
    const heading = document.createElement("h3");
    heading.textContent = `Ads service at ${snapshot.clock}`;
    const facts = document.createElement("dl");
    for (const [term, value] of [["Run", snapshot.run], ["Consent", snapshot.consent], ["Pause", snapshot.pause]]) {
      const dt = document.createElement("dt");
      dt.textContent = term;
      const dd = document.createElement("dd");
      dd.textContent = value;
      facts.append(dt, dd);
    }
    const table = document.createElement("table");
    table.className = "snapshot-keys";
    const head = document.createElement("tr");
    for (const title of ["Placement", "Last grant", "Key", "Ad", "Age"]) {
      const th = document.createElement("th");
      th.scope = "col";
      th.textContent = title;
      head.append(th);
    }
    table.append(head);
    for (const placement of snapshot.placements) {
      const keys = placement.keys.length ? placement.keys : [{ key: "no keys", state: null, age: null }];
      keys.forEach((key, index) => {
        const tr = document.createElement("tr");
        const cells = index === 0 ? [`${placement.placement} (${placement.builder})`, placement.lastGrant ?? "–"] : ["", ""];
        for (const text of [...cells, `${index + 1}. ${key.key}`, key.state ?? "no ad", key.age ?? "–"]) {
          const td = document.createElement("td");
          td.textContent = text;
          tr.append(td);
        }
        if (key.state) tr.dataset.state = key.state;
        table.append(tr);
      });
    }
    const wrap = document.createElement("div");
    wrap.className = "table-wrap";
    wrap.append(table);
    $("snapshot").replaceChildren(heading, facts, wrap);
    $("snapshot").dataset.at = snapshot.at;
  }

  function init() {
    $("session-form").addEventListener("submit", draw);
    $("session-download").addEventListener("click", () => {
      if (picture) download(`workbench-session-${picture.seed}.json`, JSON.stringify(picture, null, 2), "application/json");
    });
  }

  return { init };
})();

document.addEventListener("DOMContentLoaded", Timeline.init);
