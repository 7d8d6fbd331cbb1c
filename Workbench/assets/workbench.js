// The workbench page: checks the configuration as it is edited (debounced), runs Monte Carlo
// sessions on the server and watches them (polling), and draws their tables and charts.
"use strict";

const $ = (id) => document.getElementById(id);
const token = document.querySelector('meta[name="workbench-token"]').content;
const CHECK_DELAY_MS = 250;
// What a request that got no answer at all (the server stopped, the network gone) says.
const NO_ANSWER = "the server did not answer: is qvr-sandbox serve still running?";
// How long a request may wait for its whole answer before it is given up, so that a server that
// took a request and never answers is said rather than waited for without end. Most answers come
// at once (a check, a run's start or progress); a session's picture or snapshot plays the session
// first and shards are merged first, which in a slow build can take minutes, and so can a large
// download.
const TIME_LIMIT_MS = 30000;
const SLOW_TIME_LIMIT_MS = 600000;
const SLOW_ROUTES = [/^\/api\/sessions(\/snapshot)?$/, /^\/api\/shards$/, /^\/api\/(runs|comparisons)\/[^/]+\/[^/]+\.\w+$/];
function timeLimit(path) {
  const route = path.split("?")[0];
  return SLOW_ROUTES.some((slow) => slow.test(route)) ? SLOW_TIME_LIMIT_MS : TIME_LIMIT_MS;
}
function noAnswerWithin(ms) {
  return `the server did not answer within ${ms / 1000} s: it is stuck or overloaded. ` +
    "Check the terminal running qvr-sandbox serve (restart it if it does not respond), then try again.";
}

// The server's response and read(response), or { response: null, error } when the request got
// no answer, or none within its time limit (the limit covers the body too, so that a server that
// stalls half-way through is given up as well, and a body cut off is no answer either).
async function exchange(method, path, body, read) {
  const options = { method, headers: {} };
  if (method !== "GET") {
    options.headers["X-Workbench-Token"] = token;
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body ?? {});
  }
  const limit = timeLimit(path);
  const controller = new AbortController();
  const timer = setTimeout(() => controller.abort(), limit);
  options.signal = controller.signal;
  try {
    const response = await fetch(path, options);
    return { response, result: await read(response) };
  } catch {
    const timedOut = controller.signal.aborted;
    return { response: null, error: timedOut ? noAnswerWithin(limit) : NO_ANSWER, timedOut };
  } finally {
    clearTimeout(timer);
  }
}

// The server's answer as { status, data }; a request that gets no answer (in time) is status 0
// with data.error saying so (and timedOut when its time limit ran out), so that callers end what
// they were doing, or try again, rather than wait for ever.
async function api(method, path, body) {
  const { response, result, error, timedOut } = await exchange(method, path, body, (response) => response.json().catch((e) => {
    // A body that is not JSON is the server's own odd answer.
    if (e instanceof SyntaxError) return { error: `answer ${response.status}` };
    throw e;
  }));
  return response === null ? { status: 0, data: { error }, timedOut } : { status: response.status, data: result };
}

const state = { opened: "", label: "", verdict: null, checkSequence: 0, report: null };
let editor;

function describe(problem) {
  const where = problem.range ? `line ${problem.range.start.line}:${problem.range.start.column}` : "document";
  return where;
}

function showVerdict(verdict) {
  state.verdict = verdict;
  const problems = [
    ...verdict.errors.map((p) => ({ ...p, severity: "error" })),
    ...verdict.warnings.map((p) => ({ ...p, severity: "warning" })),
  ];
  editor.setProblems(problems);
  const list = $("problems");
  list.replaceChildren(...problems.map((problem) => {
    const item = document.createElement("li");
    item.className = problem.severity;
    const button = document.createElement("button");
    button.type = "button";
    const where = document.createElement("span");
    where.className = "where";
    where.textContent = `${problem.severity} · ${describe(problem)}`;
    button.append(where, problem.text);
    button.disabled = !problem.range;
    if (problem.range) button.addEventListener("click", () => editor.goTo(problem.range));
    item.append(button);
    return item;
  }));
  const summary = $("check-summary");
  const e = verdict.errors.length, w = verdict.warnings.length;
  summary.textContent = e === 0 && w === 0 ? "No problems: the configuration can run."
    : `${e} error${e === 1 ? "" : "s"}, ${w} warning${w === 1 ? "" : "s"}` +
      (e ? ": fix the errors to run." : ": the configuration can run.");
  summary.className = e ? "bad" : "";
  updateRunButtons();
}

async function check() {
  const sequence = ++state.checkSequence;
  const { status, data } = await api("POST", "/api/check", { configuration: editor.text });
  if (sequence !== state.checkSequence) return;  // an older answer: a newer check is on its way
  if (status !== 200) { $("check-summary").textContent = data.error; return; }
  showVerdict(data);
}

let checkTimer = 0;
function scheduleCheck() {
  clearTimeout(checkTimer);
  state.verdict = null;
  updateRunButtons();
  checkTimer = setTimeout(check, CHECK_DELAY_MS);
}

// The run under way, its watch and its cancel; set up on load.
let runJob;

function updateRunButtons() {
  const runnable = state.verdict !== null && state.verdict.runnable;
  $("run").disabled = runJob.busy || !runnable;
  const blocked = $("run-blocked");
  blocked.hidden = runnable || state.verdict === null;
  if (!blocked.hidden) {
    blocked.textContent = `Cannot run: the configuration has ${state.verdict.errors.length} error(s) (listed under the editor).`;
  }
}

async function startRun(event) {
  event?.preventDefault();
  if ($("run").disabled) return;
  const body = {
    configuration: editor.text,
    sessions: Number($("sessions").value),
    seed: $("seed").value.trim(),
    jobs: Number($("jobs").value),
    minutes: Number($("minutes").value),
  };
  // The results are marked with the text the run was started with.
  const answer = await runJob.start(body, body.configuration);
  if (answer?.status === 422) {
    runJob.say("Not started: the configuration has errors (listed under the editor).");
    showVerdict(answer.data.check);
  }
}

const percent = (v) => (v === null || v === undefined ? "–" : (v * 100).toFixed(1) + "%");
const interval = (ci) => (Array.isArray(ci) ? ` (${percent(ci[0])}–${percent(ci[1])})` : "");
const orDash = (v) => (v === null || v === undefined ? "–" : String(v));

// The means per session, with their 95% intervals, as the command line prints them.
const PER_SESSION = [["perSession.requests", "Requests / session"], ["perSession.shows", "Shows / session"],
  ["perSession.rewards", "Rewards / session"]];
const COLUMNS = {
  placements: [["placement", "Placement"], ["requests", "Requests"], ["fills", "Fills"],
    ["fillRate", "Fill rate"], ["p50", "p50 ms"], ["p90", "p90 ms"], ["p99", "p99 ms"],
    ["opportunities", "Opportunities"], ["shows", "Shows"], ["showRate", "Show rate"], ["rewards", "Rewards"],
    ...PER_SESSION],
  networks: [["network", "Network"], ["requests", "Requests"], ["fills", "Fills"],
    ["fillRate", "Fill rate"], ["p50", "p50 ms"], ["p90", "p90 ms"], ["p99", "p99 ms"], ["shows", "Shows"],
    ["rewards", "Rewards"], ...PER_SESSION],
};

// "0.25 (0.20–0.30)": a mean per session and its interval, the mean alone where it has none.
function perSessionCell(mean) {
  if (mean?.mean === null || mean?.mean === undefined) return "–";
  return mean.mean.toFixed(2) + (Array.isArray(mean.ci) ? ` (${mean.ci[0].toFixed(2)}–${mean.ci[1].toFixed(2)})` : "");
}

function cell(row, key) {
  if (key === "fillRate") return percent(row.fillRate) + interval(row.fillRateCI);
  if (key === "showRate") return percent(row.showRate) + interval(row.showRateCI);
  if (key === "p50" || key === "p90" || key === "p99") return orDash(row.loadLatencyMs?.[key]);
  if (key.startsWith("perSession.")) return perSessionCell(row.perSession?.[key.slice("perSession.".length)]);
  return orDash(row[key]);
}

function fillTable(table, rows, columns) {
  const head = document.createElement("tr");
  for (const [, title] of columns) {
    const th = document.createElement("th");
    th.scope = "col";
    th.textContent = title;
    head.append(th);
  }
  const body = rows.map((row) => {
    const tr = document.createElement("tr");
    for (const [key] of columns) {
      const td = document.createElement("td");
      td.textContent = cell(row, key);
      tr.append(td);
    }
    return tr;
  });
  table.replaceChildren(head, ...body);
}

// text: the editor's text the run was made from (null for shards opened).
function showResults(id, status, text = null) {
  const report = status.report;
  state.report = report;
  $("results").hidden = false;
  $("download-report").href = `/api/runs/${id}/report.json`;
  $("download-note").hidden = true;
  madeFrom("results", text);
  fillTable($("placements-table"), report.placements, COLUMNS.placements);
  fillTable($("networks-table"), report.networks, COLUMNS.networks);
  // A rate without a value has no denominator: the chart says which.
  const rateRows = (key, ciKey, empty) => report.placements.map((row) => ({
    label: row.placement, value: row[key], empty,
    ...(Array.isArray(row[ciKey]) ? { low: row[ciKey][0], high: row[ciKey][1] } : {}),
  }));
  Charts.barChart($("chart-fill"), rateRows("fillRate", "fillRateCI", "no requests"));
  Charts.barChart($("chart-show"), rateRows("showRate", "showRateCI", "no opportunities"));
  Charts.cdfChart($("chart-latency"), status.latencyCdf?.networks ?? {});
  const perSession = report.placements.map((row) => {
    const shows = row.perSession?.shows;
    const value = shows ? shows.mean : report.sessions ? row.shows / report.sessions : null;
    return { label: row.placement, value, empty: "no sessions",
      ...(Array.isArray(shows?.ci) ? { low: shows.ci[0], high: shows.ci[1] } : {}) };
  });
  const most = Math.max(1, ...perSession.map((r) => r.high ?? r.value ?? 0));
  Charts.barChart($("chart-shows"), perSession, { maxValue: most, format: (v) => v.toFixed(2) });
  $("interval-note").textContent = intervalNote(report, perSession);
}

// What the whiskers drawn are, from the methods the report names; only for the charts that
// have one (a single session gives rates an interval but no mean per session one).
function intervalNote(report, perSession) {
  if (!report.intervals) return "This report carries no confidence intervals: bars show the point estimates only.";
  const rates = report.placements.some((row) => Array.isArray(row.fillRateCI) || Array.isArray(row.showRateCI));
  const means = perSession.some((row) => row.low !== undefined);
  const drawn = [
    ...(rates ? [`rates: ${report.intervals.rates}`] : []),
    ...(means ? [`shows per session: ${report.intervals.perSession}`] : []),
  ];
  const none = means || report.sessions === 0 ? ""
    : " Shows per session has no interval: too few sessions to estimate its spread.";
  return drawn.length
    ? `Whiskers: 95% confidence intervals (${drawn.join("; ")}).${none}`
    : `No whiskers: no chart has a confidence interval.${none}`;
}

function csv() {
  const quote = (v) => `"${String(v).replaceAll('"', '""')}"`;
  const lines = [];
  for (const kind of ["placements", "networks"]) {
    const columns = COLUMNS[kind];
    lines.push(columns.map(([, title]) => quote(title)).join(","));
    for (const row of state.report[kind]) lines.push(columns.map(([key]) => quote(cell(row, key))).join(","));
    lines.push("");
  }
  return lines.join("\n");
}

// Results made from the editor's text, by the id of their container: the text each was made from
// (null: not from the editor). Once the editor holds another text, a result is dimmed and its note
// says so, so that nobody reads it as the result of the text in view.
const sources = new Map();
function madeFrom(id, text) { sources.set(id, text); markStale(); }
function markStale() {
  for (const [id, text] of sources) {
    const stale = text !== null && text !== editor.text;
    $(id).classList.toggle("stale", stale);
    $(id).querySelector(".stale-note").hidden = !stale;
  }
}

// text: a string or a Blob (kept byte for byte).
function download(name, text, type) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([text], { type }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

// A result's download link, fetched here rather than followed, so that a failure is said: the
// server keeps only the last 16 results (runs, comparisons and shards opened, from any tab), so a
// result still on screen may be gone from it. What it sends is saved byte for byte. A large one
// takes a while: the link says it is on its way (aria-busy), and a second click meanwhile fetches
// nothing more.
async function downloadResult(event, noteId) {
  event.preventDefault();
  const link = event.currentTarget;
  if (link.getAttribute("aria-busy") === "true") return;
  const note = $(noteId);
  note.hidden = true;
  link.setAttribute("aria-busy", "true");
  const { response, result: body, error: lost } =
    await exchange("GET", link.getAttribute("href"), undefined, (response) => response.blob());
  link.removeAttribute("aria-busy");
  if (response?.ok) {
    const name = response.headers.get("Content-Disposition")?.match(/filename="([^"]+)"/)?.[1] ?? "workbench-result";
    download(name, body, body.type);
    return;
  }
  let error = lost;
  if (response?.status === 404) error = "the server keeps the last 16 results, and this one is gone. Run again to download.";
  else if (response) error = await body.text().then((text) => JSON.parse(text).error).catch(() => `answer ${response.status}`);
  note.textContent = `Cannot download: ${error}`;
  note.hidden = false;
}

// The edit survives a reload and back/forward in this tab, kept with the opened text it edits (a
// server started since on another configuration does not get it).
const KEPT_EDIT = "qvr-workbench-edit";
function keepEdit() {
  try {
    if (editor.text === state.opened) sessionStorage.removeItem(KEPT_EDIT);
    else sessionStorage.setItem(KEPT_EDIT, JSON.stringify({ opened: state.opened, text: editor.text }));
  } catch {
    // Storage refused or full: the edit stays in the editor only.
  }
}
function keptEdit() {
  try {
    const kept = JSON.parse(sessionStorage.getItem(KEPT_EDIT));
    return kept?.opened === state.opened && typeof kept.text === "string" ? kept.text : null;
  } catch {
    return null;
  }
}

function editNote(text) {
  $("edit-note").hidden = !text;
  $("edit-note-text").textContent = text;
  $("edit-back").hidden = editor.text === state.opened;
}

// Back to the opened configuration, typed in as if by hand so that Ctrl+Z brings the edit back
// (setting the text from script would clear the editor's undo history).
function reset() {
  if (editor.text === state.opened) return;
  const area = $("config");
  area.focus();
  area.select();
  if (!document.execCommand("insertText", false, state.opened)) {
    if (!confirm("Discard your edit and go back to the opened configuration? This cannot be undone.")) return;
    editor.text = state.opened;
    edited();
    editNote("");
    return;
  }
  editNote("Back to the opened configuration. Ctrl+Z in the editor brings your edit back.");
}

function edited() {
  editNote("");
  keepEdit();
  markStale();
  scheduleCheck();
}

async function start() {
  editor = new ConfigEditor($("config"), $("backdrop"), $("gutter"));
  runJob = new Job({ route: "/api/runs", what: "run", unit: "sessions", running: "Running", result: "report",
    ids: { line: "run-status", progress: "progress", cancel: "cancel", resume: "run-resume" },
    changed: updateRunButtons, ended: showResults });
  const { data } = await api("GET", "/api/configuration");
  state.opened = data.text;
  $("config-label").textContent = data.label;
  const kept = keptEdit();
  editor.text = kept ?? data.text;
  if (kept !== null && kept !== data.text) {
    editNote("Your edit was kept from before the page was reloaded; the opened configuration is one click away.");
  }
  $("config").addEventListener("input", edited);
  $("config").addEventListener("keydown", (event) => {
    if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) startRun(event);
  });
  $("run-form").addEventListener("submit", startRun);
  $("reset").addEventListener("click", reset);
  $("edit-back").addEventListener("click", reset);
  $("download-report").addEventListener("click", (event) => downloadResult(event, "download-note"));
  $("download-config").addEventListener("click",
    () => download("configuration.json", editor.text, "application/json"));
  $("download-csv").addEventListener("click", () => download("workbench-tables.csv", csv(), "text/csv"));
  await check();
  document.body.dataset.ready = "true";
}

document.addEventListener("DOMContentLoaded", start);
