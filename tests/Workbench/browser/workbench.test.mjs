// End-to-end test of the workbench page in headless Chromium: load, an invalid edit shows its
// problem at its place and blocks the run, a valid edit, a run with its tables and charts, a
// cancelled run started by a double click (one run), a comparison with its verdict (one for a
// double click too), one session's timeline with the snapshot at a moment clicked, a session of
// hundreds of thousands of moments (listed in part, the list matching the picture), the banner
// preview with its settings (a title counted in characters, an empty one explained), a cluster
// run's shard files opened (a plain run's, a comparison's, a pair that does not merge, and a pair
// whose asked seeds leave a gap), a page whose requests are never answered (its watch of a run
// kept, then ended and resumed, or cancelled, its cancel unanswered too), and one whose server
// stops during a run. Along the way: results
// of an earlier text marked as such, an edit kept over a reload and a reset undone, a download of a
// result the server no longer has explained, the legend in its curves' colours, each chart's rows
// (the latency curves' quantiles too) reached by keyboard, a cancel that stays a cancel, and a
// difference chart per measure. At each window width, every chart keeps its text size and its axis texts apart.
// Writes screenshots of each step.
// Usage: node workbench.test.mjs QVR_SANDBOX CHROMIUM SCREENSHOT_DIR
import { execFileSync, spawn } from "node:child_process";
import { once } from "node:events";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { chromium } from "playwright-core";

const [sandbox, executablePath, shots] = process.argv.slice(2);
const failures = [];
// How far a manual clock is moved at a time while a page polls a server that answers.
const POLL_TICK_MS = 300;
function expect(condition, message) {
  if (!condition) failures.push(message);
  console.log(`${condition ? "ok  " : "FAIL"} ${message}`);
}

// An edited shard's text as the sandbox writes one: its "digest" last, the 64-bit FNV-1a of every
// byte before it in hex, so the edit is read as written rather than refused as damaged.
function signedShard(shard) {
  const { digest, ...fields } = shard;
  const text = JSON.stringify(fields).slice(0, -1);
  let hash = 0xcbf29ce484222325n;
  for (const byte of Buffer.from(text, "utf8")) hash = BigInt.asUintN(64, (hash ^ BigInt(byte)) * 0x100000001b3n);
  return `${text},"digest":"${hash.toString(16).padStart(16, "0")}"}`;
}

// A server on a free loopback port; its address comes from its first line.
async function serve() {
  const child = spawn(sandbox, ["serve", "--port", "0"], { stdio: ["ignore", "pipe", "inherit"] });
  const at = await new Promise((resolve, reject) => {
    let out = "";
    child.stdout.on("data", (chunk) => {
      out += chunk;
      const found = out.match(/workbench at (http:\/\/127\.0\.0\.1:\d+\/)/);
      if (found) resolve(found[1]);
    });
    child.on("exit", (code) => reject(new Error(`server ended (${code}) before its address`)));
  });
  return [child, at];
}
const [server, address] = await serve();

const browser = await chromium.launch({ executablePath, args: ["--no-sandbox", "--disable-gpu"] });
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 1100 } });
  // Runs and comparisons of a few hundred sessions take seconds in Release but can take a minute
  // in a sanitized build on a loaded machine: a wait fails only when something never comes.
  page.setDefaultTimeout(150000);
  const pageErrors = [];
  page.on("pageerror", (error) => pageErrors.push(String(error)));
  page.on("requestfailed", (request) => pageErrors.push(`request failed: ${request.url()}`));
  const posted = new Map();  // path -> POSTs the page sent there
  page.on("request", (request) => {
    if (!request.url().startsWith(address) && !request.url().startsWith("blob:")) {
      pageErrors.push(`request outside the server: ${request.url()}`);
    }
    if (request.method() === "POST") {
      const where = new URL(request.url()).pathname;
      posted.set(where, (posted.get(where) ?? 0) + 1);
    }
  });
  // Two clicks in a row, the second before the first's request has been answered.
  const doubleClick = (selector) => page.$eval(selector, (button) => { button.click(); button.click(); });
  // Fills each field with its value, in order.
  const fill = async (on, fields) => { for (const [field, value] of Object.entries(fields)) await on.fill(field, value); };
  const drawn = async (selector) => (await page.locator(selector).count()) > 0;
  // Whether a result is marked as made from an earlier version of the editor's text.
  const stale = async (id) => (await page.$eval(`#${id}`, (e) => e.classList.contains("stale"))) &&
    page.isVisible(`#${id} .stale-note`);
  // Types at the end of the editor, as a person would.
  const typeInEditor = async (text) => { await page.focus("#config"); await page.keyboard.press("Control+End"); await page.keyboard.type(text); };
  // Cancels what runs under the given status line, recording each text the line shows until it
  // ends and whether Cancel was disabled then.
  // The run must end as cancelled: any end it reaches is waited for, so that another one (lost,
  // abandoned, failed) is reported with its text rather than as a time-out.
  const cancelWatched = async (status, cancel) => {
    await page.$eval(status, (line, button) => {
      window.seen = [];
      new MutationObserver(() => window.seen.push([line.textContent, document.getElementById(button).disabled]))
        .observe(line, { childList: true, characterData: true, subtree: true });
    }, cancel);
    await page.click(`#${cancel}`);
    await page.waitForSelector(`${status}[data-state]`);
    const end = await page.$eval(status, (line) => [line.dataset.state, line.textContent]);
    expect(end[0] === "cancelled", `after Cancel, ${status} ends as cancelled (${end.join(": ")})`);
    // What the line said before the click took (a slow machine's run still starting) is not
    // under test: the click itself says "Cancelling" at once.
    const seen = await page.evaluate(() => window.seen);
    const clicked = seen.findIndex(([text]) => text.startsWith("Cancelling"));
    const underWay = clicked < 0 ? [] : seen.slice(clicked, -1);
    expect(underWay.length > 0 && underWay.every(([text, disabled]) => text.startsWith("Cancelling") && disabled),
      `after Cancel, ${status} says it is cancelling, with Cancel disabled, until it ends (${underWay.map(([t]) => t).join(" | ")})`);
  };
  // Puts a text in the editor and waits until it can run.
  const runnable = async (text) => { await page.fill("#config", text); await page.waitForSelector("#run:not([disabled])"); };
  // What the server sends for the address a link on the page points at.
  const linked = async (selector) => page.request.get(address + (await page.getAttribute(selector, "href")).slice(1));
  // "#2f5fd0" as computed styles give it.
  const rgb = (hex) => `rgb(${[1, 3, 5].map((at) => parseInt(hex.slice(at, at + 2), 16)).join(", ")})`;
  const shot = (name, selector) => selector ? page.locator(selector).screenshot({ path: path.join(shots, `${name}.png`) })
    : page.screenshot({ path: path.join(shots, `${name}.png`), fullPage: true });

  // Every chart of the run and of the comparison is drawn at least as large as it is laid out, so
  // its 11 px text is not shrunk below 10 px, on a phone as in a row of several charts.
  const readableCharts = async (width) => {
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    const scales = await page.$$eval("#results svg, #compare-chart svg", (svgs) => svgs.map((svg) =>
      svg.getBoundingClientRect().width / svg.viewBox.baseVal.width));
    expect(scales.length === 9 && scales.every((scale) => scale >= 0.95),
      `at ${width} px every chart's text keeps its size (${scales.map((s) => s.toFixed(2)).join(" ")})`);
    // A difference chart's axis texts (its two ends and its zero) do not run into each other.
    const crowded = await page.$$eval("#compare-chart svg", (svgs) => svgs.filter((svg) => {
      const boxes = [...svg.querySelectorAll("text.axis, text.zero")].map((t) => t.getBoundingClientRect());
      return boxes.length !== 3 || boxes.some((a, i) => boxes.slice(i + 1).some((b) =>
        a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom));
    }).length);
    expect(crowded === 0, `at ${width} px no difference chart's axis texts overlap (${crowded} do)`);
  };

  // Load: the default configuration, checked, runnable.
  await page.goto(address);
  await page.waitForSelector("body[data-ready=true]");
  const opened = await page.inputValue("#config");
  expect(opened.includes('"sources"'), "the editor opens on the embedded configuration");
  expect(!(await page.isDisabled("#run")), "the default configuration can run");
  expect(!(await page.locator("#check-summary").textContent()).includes("error"),
    "the default configuration has no error");
  // The editor takes Tab to indent: its description says how to leave it, and that way works.
  const described = await page.$eval("#config", (t) => t.getAttribute("aria-describedby").split(" ")
    .map((id) => document.getElementById(id).textContent).join(" ").replace(/\s+/g, " "));
  await page.focus("#config");
  await page.keyboard.press("Escape");
  await page.keyboard.press("Tab");
  expect(described.includes("Escape, then Tab") && await page.evaluate(() => document.activeElement.id !== "config"),
    `the editor says how to leave it by keyboard, and Escape then Tab does (${described})`);
  expect(await page.getAttribute("#compare-summary", "aria-live") === "polite", "a comparison's headline is announced");
  await shot("01-loaded");

  // An invalid edit: a negative timeout. Its problem appears at its line, highlighted.
  const invalid = opened.replace('"timeout": 60', '"timeout": -5');
  const badLine = invalid.slice(0, invalid.indexOf('"timeout": -5')).split("\n").length;
  await page.fill("#config", invalid);
  const problem = page.locator("#problems li.error", { hasText: "interstitial.connect.timeout" });
  await problem.waitFor();
  expect((await problem.textContent()).includes(`line ${badLine}:`),
    `the problem names line ${badLine}`);
  expect((await page.locator("#backdrop mark.error").first().textContent()).includes('"timeout": -5'),
    "the problem's place is highlighted in the text");
  expect(await page.locator(`#gutter div:nth-child(${badLine})`).evaluate((e) => e.className) === "bad",
    "its line number is marked");
  expect(await page.isDisabled("#run"), "a configuration with errors cannot run");
  expect(await page.isVisible("#run-blocked"), "the reason it cannot run is shown");
  await problem.locator("button").click();
  const selected = await page.$eval("#config", (t) => t.value.slice(t.selectionStart, t.selectionEnd));
  expect(selected.includes("-5"), "choosing the problem selects its place");
  await shot("02-invalid-edit");

  // A valid edit: the problem goes, the run comes back.
  await runnable(opened.replace('"timeout": 60', '"timeout": 45'));
  expect(await page.locator("#problems li.error").count() === 0, "a valid edit has no error");

  // A run: progress, then tables and charts.
  await fill(page, { "#sessions": "40", "#minutes": "30" });
  await page.click("#run");
  await page.waitForSelector("#run-status[data-state=done]");
  expect((await page.textContent("#run-status")).includes("40 of 40"), "the run covers every session");
  const placementRows = await page.locator("#placements-table tr").count();
  expect(placementRows === 7, `one row per placement (${placementRows - 1})`);
  expect(await drawn("#chart-fill svg rect.bar"), "the fill-rate chart is drawn");
  expect(await drawn("#chart-latency svg polyline.cdf"), "the latency CDF is drawn");
  expect(await drawn("#chart-shows svg rect.bar"), "the shows-per-session chart is drawn");
  const curves = await page.$$eval("#chart-latency polyline.cdf", (lines) => lines.map((l) => l.getAttribute("stroke")));
  const legend = await page.$$eval("#chart-latency text.legend", (texts) => texts.map((t) => getComputedStyle(t).fill));
  expect(curves.length > 1 && legend.join() === curves.map(rgb).join(),
    `each latency legend name is drawn in its curve's colour (${legend.join("; ")} for ${curves.join("; ")})`);
  // Each row's tooltip is its own, not the chart's first row's; each chart is named by its caption.
  const tooltips = await page.$$eval("#chart-fill svg, #chart-show svg", (svgs) => svgs.map((svg) => ({
    loose: svg.querySelectorAll(":scope > title").length,
    rows: [...svg.querySelectorAll("g")].every((g) => g.querySelector("title").textContent
      .startsWith(g.querySelector("text").textContent + ": ")) })));
  expect(tooltips.every((chart) => chart.loose === 0 && chart.rows),
    `each bar's tooltip is its own row's (${JSON.stringify(tooltips)})`);
  const names = await page.$$eval("#results figure", (figures) => figures.map((f) =>
    f.querySelector("svg")?.getAttribute("aria-label") === f.querySelector("figcaption").textContent));
  expect(names.length === 4 && names.every(Boolean), `each chart, the latency's too, is named by its caption (${names})`);
  // The latency legend lies under the plot's axis, where no curve can run through it.
  const legendBelow = await page.$eval("#chart-latency svg", (svg) => {
    const axis = Math.max(...[...svg.querySelectorAll("polyline.cdf")].map((l) => l.getBoundingClientRect().bottom));
    return [...svg.querySelectorAll("text.legend")].every((t) => t.getBoundingClientRect().top > axis);
  });
  expect(legendBelow, "the latency legend is drawn under the curves, not over them");
  // A rate without a value says which denominator it lacks, on the chart and in its tooltip.
  const noRate = await page.$$eval("#chart-show g.row", (rows) => rows.filter((g) => g.querySelector("text.empty"))
    .map((g) => [g.querySelector("text.empty").textContent, g.querySelector("title").textContent]));
  expect(noRate.length > 0 && noRate.every(([text, tip]) => text === "no opportunities" && tip.endsWith(": no opportunities")),
    `a show rate without opportunities says so (${JSON.stringify(noRate)})`);
  // Each axis says where it starts and ends: 0 and the end of each bar chart, 0% and 100% of loads.
  const ends = await page.$$eval("#results svg", (svgs) => svgs.map((svg) =>
    [...svg.querySelectorAll("text.axis")].map((t) => t.textContent).join(" to ")));
  expect(ends.join("; ") === "0.0% to 100.0%; 0.0% to 100.0%; 0% to 100%; " + `0.00 to ${ends[3].split(" to ")[1]}`,
    `each chart's axis is labelled at both ends (${ends.join("; ")})`);
  expect(!(await stale("results")), "a run of the editor's text is not marked as earlier");
  await shot("03-results", "#results");

  // A chart's rows by keyboard: one Tab stop per chart, the arrows (and Home, End) move within
  // it, each row named by its value and interval; a chart drawn again keeps focus on its row.
  const stops = await page.$$eval("#results [tabindex='0']", (rows) => rows.map((row) => row.closest("[id]").id));
  expect(stops.join() === "chart-fill,chart-show,chart-latency,chart-shows", `each chart is one Tab stop (${stops.join()})`);
  const fillRows = await page.$$eval("#chart-fill g.row", (rows) => rows.map((row) => row.querySelector("title").textContent));
  const focusedRow = () => page.evaluate(() => {
    const row = document.activeElement;
    return row.matches("g.row") ? [row.closest("[id]").id, [...row.parentNode.children].filter((g) => g.matches("g.row"))
      .indexOf(row), row.getAttribute("aria-label")] : [row.id || row.tagName];
  });
  const walk = [];
  await page.focus("#chart-fill g.row[tabindex='0']");
  for (const key of ["ArrowDown", "ArrowDown", "ArrowUp", "End", "ArrowDown", "Home", "ArrowUp"]) {
    await page.keyboard.press(key);
    walk.push((await focusedRow()).slice(0, 2).join(" "));
  }
  const last = fillRows.length - 1;
  expect(walk.join() === ["1", "2", "1", last, last, "0", "0"].map((i) => `chart-fill ${i}`).join(),
    `the arrow keys, Home and End move between a chart's rows, and stop at its ends (${walk.join()})`);
  const snapshot = await page.locator("#chart-fill").ariaSnapshot();
  expect(fillRows.length > 1 && fillRows.every((name) => snapshot.includes(`listitem "${name}"`)) &&
    fillRows.some((name) => / \(\d+\.\d%–\d+\.\d%\)$/.test(name)),
  `each row is named by its value and interval (${snapshot.replace(/\s+/g, " ")})`);
  await page.keyboard.press("End");
  const wide = await page.$eval("#chart-fill svg", (svg) => svg.viewBox.baseVal.width);
  await page.setViewportSize({ width: 600, height: 1100 });
  await page.waitForFunction((was) => document.querySelector("#chart-fill svg").viewBox.baseVal.width !== was, wide);
  expect((await focusedRow()).slice(0, 2).join(" ") === `chart-fill ${last}`,
    `a chart drawn again at another width keeps focus on its row (${await focusedRow()})`);
  await page.setViewportSize({ width: 1280, height: 1100 });
  await page.keyboard.press("Tab");
  expect((await focusedRow())[0] === "chart-show", `Tab leaves the chart for the next one (${await focusedRow()})`);
  // The latency chart's rows are its curves' p50, p90 and p99, curve by curve in the legend's
  // order, each named by its time; Tab goes from the show chart to it, End to the last curve's p99.
  await page.keyboard.press("Tab");
  const curveNames = await page.$$eval("#chart-latency text.legend", (texts) => texts.map((t) => t.textContent));
  const quantiles = [];
  for (let step = 0; step < curveNames.length * 3; step++) {
    const [chart, index, name] = await focusedRow();
    quantiles.push([chart, index, name]);
    await page.keyboard.press("ArrowRight");
  }
  const expectedOrder = curveNames.flatMap((curve) => ["50", "90", "99"].map((p) => `${curve}: p${p} `));
  const times = quantiles.map(([, , name]) => Number(name?.match(/^.+: p\d\d (\d+) ms$/)?.[1]));
  expect(curveNames.length > 1 && quantiles.every(([chart, index], at) => chart === "chart-latency" && index === at) &&
    quantiles.every(([, , name], at) => name.startsWith(expectedOrder[at])) &&
    times.every((ms, at) => Number.isInteger(ms) && (at % 3 === 0 || ms >= times[at - 1])),
  `the latency chart's arrows move through each curve's p50, p90 and p99, named by their times (${quantiles.map((q) => q[2]).join(" | ")})`);
  await page.keyboard.press("End");
  const latencySnapshot = await page.locator("#chart-latency").ariaSnapshot();
  expect((await focusedRow()).slice(0, 2).join(" ") === `chart-latency ${curveNames.length * 3 - 1}` &&
    quantiles.every(([, , name]) => latencySnapshot.includes(`listitem "${name}"`)),
  `End reaches the last curve's p99, and each quantile is a named list item (${latencySnapshot.replace(/\s+/g, " ")})`);
  // A bar and whisker that end at the axis's end leave room before the value's text.
  const clearance = await page.evaluate(() => {
    const frame = document.createElement("div");
    document.getElementById("results").append(frame);
    Charts.barChart(frame, [{ label: "full", value: 1, low: 0.9, high: 1 }]);
    const right = Math.max(...[...frame.querySelectorAll("rect.bar, line")].map((e) => e.getBoundingClientRect().right));
    const texts = [...frame.querySelectorAll("g.row text")];
    const gap = texts.at(-1).getBoundingClientRect().left - right;
    const inside = texts.at(-1).getBoundingClientRect().right <= frame.querySelector("svg").getBoundingClientRect().right;
    frame.remove();
    return [gap, inside, texts.at(-1).textContent];
  });
  expect(clearance[0] >= 6 && clearance[1] && clearance[2] === "100.0%",
    `a bar's value at 100% stands clear of its whisker and inside the chart (${clearance.join(", ")})`);

  // A run started by a double click, then cancelled: one run starts, and it stops early and says
  // how much it covered.
  await fill(page, { "#sessions": "100000", "#minutes": "10080" });
  const runsBefore = posted.get("/api/runs");
  await doubleClick("#run");
  await page.waitForSelector("#cancel:not([disabled])");
  expect(posted.get("/api/runs") === runsBefore + 1, "a double click on Run starts one run");
  await cancelWatched("#run-status", "cancel");
  const covered = (await page.textContent("#run-status")).match(/(\d+) of 100000/);
  expect(covered && Number(covered[1]) < 100000, "a cancelled run stops before its end");
  expect(!(await page.isDisabled("#run")), "after a cancel the next run can start");
  await shot("04-cancelled");

  // Compare: A the opened configuration, B the editor's text with a connect key filling more.
  const candidateText = opened.replace('"fillRate": 0.35', '"fillRate": 0.9');
  await runnable(candidateText);
  expect(await stale("results"), "the run's results are marked once the editor's text changes");
  expect(await page.isVisible("#compare-empty"), "the comparison says what it will do before its first run");
  await fill(page, { "#compare-sessions": "200", "#compare-minutes": "30" });
  await doubleClick("#compare-run");
  await page.waitForSelector("#compare-status[data-state=done]");
  expect(posted.get("/api/comparisons") === 1, "a double click on Compare starts one comparison");
  expect(await page.isHidden("#compare-caution"), "200 seeds are enough to decide");
  const verdict = page.locator("#compare-verdicts li.higher", { hasText: "interstitial.connect fill rate +" });
  expect(await verdict.count() === 1, "the verdict names the connect fill rate as higher under B");
  expect(/ \+\d+\.\d pts \(\+\d+\.\d to \+\d+\.\d pts\)$/.test(await verdict.first().textContent()),
    "the verdict gives its 95% interval, in percentage points");
  expect(await drawn("#compare-placements tr.none"), "rows without a significant difference say so");
  expect(await drawn("#compare-chart svg circle.difference"), "the differences are drawn");
  const dots = await page.$$eval("#compare-chart svg circle.difference", (cs) => cs.map((c) => c.getAttribute("fill")));
  expect(dots.includes("#0b63a8"), `a higher difference is drawn in the stylesheet's blue (${dots.join(", ")})`);
  const downloaded = await (await linked("#compare-json")).json();
  expect(downloaded.sessions === 200 && Array.isArray(downloaded.placements), "the comparison downloads as JSON");
  // A chart per measure, placements and networks, each on its own scale: points for rates.
  const charts = await page.$$eval("#compare-chart figure", (figures) => figures.map((f) => ({
    measure: f.dataset.measure, labels: [...f.querySelectorAll("text")].map((t) => t.textContent),
    axis: [...f.querySelectorAll("text.axis")].map((t) => t.textContent) })));
  expect(charts.map((c) => c.measure).join() === "fillRate,showRate,requestsPerSession,showsPerSession,rewardsPerSession",
    `one difference chart per measure (${charts.map((c) => c.measure).join()})`);
  expect(charts.every((c) => c.labels.includes("Placements")) &&
    charts.filter((c) => c.labels.includes("Networks") && c.labels.includes("admob")).length >= 4,
  "the charts draw the placements and the networks");
  // A chart draws the rows its table lists: none where neither side has the measure.
  const cellsOf = (table) => page.$$eval(`${table} tr`, (trs) =>
    trs.slice(1).map((tr) => [...tr.children].map((td) => td.textContent)));
  const placementCells = await cellsOf("#compare-placements");
  const networkCells = await cellsOf("#compare-networks");
  const tableRows = [...placementCells, ...networkCells];
  const charted = await page.$$eval("#compare-chart figure", (figures) => figures.map((f) => ({
    caption: f.querySelector("figcaption").textContent, name: f.querySelector("svg").getAttribute("aria-label"),
    rows: [...f.querySelectorAll("g.row")].map((g) => [g.querySelector("text").textContent, g.querySelector("title").textContent]) })));
  const measureTitles = ["Fill rate", "Show rate", "Requests / session", "Shows / session", "Rewards / session"];
  expect(charted.every((chart, index) => chart.rows.map(([label]) => label).join() ===
    tableRows.filter((cells) => cells[1] === measureTitles[index]).map((cells) => cells[0]).join()),
  `each difference chart draws the rows its table lists (${charted.map((c) => c.rows.length).join(", ")})`);
  // Its rows' tooltips are their own, with the table's numbers, and each chart is named.
  const tipFor = (cells) => `${cells[0]}: ${cells[4]} (${cells[5]})`;
  expect(charted.every((chart, index) => chart.name === chart.caption && chart.rows.every(([label, tip]) =>
    tableRows.some((cells) => cells[1] === measureTitles[index] && cells[0] === label && tipFor(cells) === tip))),
  "each difference's tooltip is its own row's, with its table numbers, and each chart is named by its caption");
  // The page's numbers are the command line's text table's, digit for digit.
  const candidateFile = path.join(os.tmpdir(), `qvr-workbench-b-${process.pid}.json`);
  fs.writeFileSync(candidateFile, candidateText);
  const cliTable = execFileSync(sandbox, ["--compare", candidateFile, "--sessions", "200", "--minutes", "30"],
    { encoding: "utf8" });
  fs.rmSync(candidateFile);
  // As the command line writes them: a signed zero ("+0.0"), the unit left out.
  const cliCells = (cells) => [cells[2], cells[3], ...[cells[4], cells[5]].map((cell) =>
    cell.replace(/ pts$/, "").replace(/(^| )0\.0/g, "$1+0.0"))].join(" ");
  const unlike = tableRows.filter((cells) => !cliTable.split("\n").some((line) =>
    line.replace(/ pts/g, "").replace(/ +/g, " ").includes(cliCells(cells))));
  expect(unlike.length === 0, `the tables show the command line's digits (${unlike.map((c) => c.join(" ")).join("; ")})`);
  // The headline says how many significant verdicts chance alone gives, and counts a network row
  // that repeats a placement's numbers (a network with one placement) once.
  const repeated = networkCells.filter((cells) => placementCells.some((placement) =>
    placement.slice(1, 6).join() === cells.slice(1, 6).join()));
  const summary = await page.textContent("#compare-summary");
  expect(summary.includes(` among ${tableRows.length - repeated.length} measures `) &&
    summary.includes("about 1 in 20") && repeated.length > 0,
  `the headline counts each measurement once and says what chance alone gives (${summary})`);
  // On a phone, the page is as wide as the screen: wide tables scroll in their frames.
  for (const width of [360, 768, 1920]) {
    await page.setViewportSize({ width, height: 900 });
    const wide = await page.evaluate(() => document.documentElement.scrollWidth);
    expect(wide <= width, `at ${width} px the page is no wider than the screen (${wide})`);
    await readableCharts(width);
    await shot(`05-compare-${width}`);
  }
  await page.setViewportSize({ width: 1280, height: 1100 });
  await readableCharts(1280);
  expect(charts.every((c) => c.axis.length === 2 && c.axis.every((t) => t.endsWith(" pts") === c.measure.endsWith("Rate"))),
    `rates are drawn in points, counts per session as counts (${charts.map((c) => c.axis.join(" to ")).join("; ")})`);
  // Every interval shows, even one narrower than its dot.
  const hidden = await page.$$eval("#compare-chart circle.difference", (dots) => dots.filter((dot) => {
    const across = (line) => (Number(line.getAttribute("y1")) + Number(line.getAttribute("y2"))) / 2;
    const ends = [...dot.ownerSVGElement.querySelectorAll("line.interval, line.interval-end")]
      .filter((line) => across(line) === Number(dot.getAttribute("cy"))).map((line) => line.getBBox());
    const d = dot.getBBox();
    return ends.length > 0 && ends.every((b) => b.y >= d.y && b.y + b.height <= d.y + d.height &&
      b.x >= d.x && b.x + b.width <= d.x + d.width);
  }).length);
  expect(hidden === 0, `no interval is hidden under its dot (${hidden})`);
  await shot("05-compare", "#compare");
  // The comparison of the editor's text, marked once the text changes, and no longer once it is back.
  expect(!(await stale("compare-results")), "a comparison of the editor's text is not marked as earlier");
  await typeInEditor(" ");
  expect(await stale("compare-results") &&
    (await page.innerText("#compare-sides")).includes("B: the editor's text as it was when compared (at "),
  `a comparison of an earlier text says so (${await page.innerText("#compare-sides")})`);
  await shot("05b-compare-earlier", "#compare");
  await page.fill("#config", candidateText);
  expect(!(await stale("compare-results")), "and it is unmarked when the text is back");
  // A download the server no longer has (it keeps the last 16 results) says why; one it has is
  // saved byte for byte.
  // A download on its way says so on its link, and a second click meanwhile fetches nothing more.
  const reportAsked = [];
  const reportHeld = new Promise((held) => page.route("**/report.json", (route) => { reportAsked.push(route); held(); }));
  await doubleClick("#download-report");
  await reportHeld;
  const busy = await page.getAttribute("#download-report", "aria-busy");
  await reportAsked[0].fulfill({ status: 404, contentType: "application/json", body: '{"error":"no run 1"}' });
  await page.waitForSelector("#download-note:not([hidden])");
  expect(reportAsked.length === 1 && busy === "true" && await page.getAttribute("#download-report", "aria-busy") === null,
    `a download clicked twice is fetched once, its link busy until it answers (${reportAsked.length}, ${busy})`);
  await page.unroute("**/report.json");
  await page.route("**/comparison.json", (route) => route.fulfill({ status: 404, contentType: "application/json",
    body: '{"error":"no comparison 1"}' }));
  await page.click("#compare-json");
  await page.waitForSelector("#compare-download-note:not([hidden])");
  expect((await page.textContent("#compare-download-note")).includes("the server keeps the last 16 results"),
    "a comparison the server has forgotten says why it does not download");
  await page.unroute("**/comparison.json");
  const [saved] = await Promise.all([page.waitForEvent("download"), page.click("#download-report")]);
  const reportText = await (await linked("#download-report")).text();
  expect(fs.readFileSync(await saved.path(), "utf8") === reportText && saved.suggestedFilename().startsWith("workbench-run-"),
    `the run's report is saved as the server sends it (${saved.suggestedFilename()})`);

  // One seed: no measure can be tested, and the headline says so rather than "no difference".
  await page.fill("#compare-sessions", "1");
  await page.click("#compare-run");
  await page.waitForFunction(() => document.getElementById("compare-status").textContent === "Done: 1 of 1 seeds");
  const headline = await page.textContent("#compare-summary");
  expect(headline.startsWith("Too few seeds to tell") && headline.includes(" on 1 paired seed ("),
    `one seed is too few to tell (${headline})`);
  expect(await page.locator("#compare-verdicts li").count() === 0, "and no verdict is listed");
  const untested = await page.locator("#compare-placements tr.unknown").count();
  expect(untested > 0 && untested === await page.locator("#compare-placements tr").count() - 1,
    "every row of the table says it has no interval");
  const fillDifferences = await page.$$eval("#compare-placements tr", (trs) => trs
    .filter((tr) => tr.children[1]?.textContent === "Fill rate").map((tr) => tr.children[4].textContent));
  expect(fillDifferences.length > 0 && fillDifferences.every((text) => /^([+-]\d+\.\d|0\.0) pts$/.test(text)),
    `rate differences are in points (${fillDifferences.join(", ")})`);
  // Without intervals, the charts draw no dot as an exact value and claim no interval.
  const bare = await page.$$eval("#compare-chart figure", (figures) => figures.map((f) => ({
    caption: f.querySelector("figcaption").textContent,
    hollow: [...f.querySelectorAll("circle.difference")].every((c) => c.classList.contains("no-interval") && c.getAttribute("fill") === "#fff"),
    said: [...f.querySelectorAll("g.row title")].every((t) => t.textContent.includes("(no interval: fewer than 10 seeds)")),
    note: f.querySelector("p.no-interval")?.textContent })));
  expect(bare.every((chart) => chart.hollow && chart.said && !chart.caption.includes("CI") &&
    chart.note === "No dot has a 95% interval: fewer than 10 seeds."),
  `a dot without an interval is hollow, says so, under the chart too, and no caption promises intervals (${JSON.stringify(bare)})`);
  // Twenty seeds give intervals, and the headline says they are too few to decide on. B has no
  // app-launch app-open placement: A's fill rate is still a row, marked as A's alone.
  const withoutLaunch = JSON.parse(candidateText);
  delete withoutLaunch.appOpen.appLaunch;
  await runnable(JSON.stringify(withoutLaunch, null, 2));
  await page.fill("#compare-sessions", "20");
  await page.click("#compare-run");
  await page.waitForFunction(() => document.getElementById("compare-status").textContent === "Done: 20 of 20 seeds");
  const fewSeeds = await page.textContent("#compare-caution");
  expect(await page.isVisible("#compare-caution") && /^With fewer than 200 seeds, .* use 200 or more to decide\.$/.test(fewSeeds),
    `twenty seeds are said to be few (${fewSeeds})`);
  const alone = await page.$$eval("#compare-placements tr", (trs) => trs.map((tr) => [...tr.children].map((td) => td.textContent))
    .find((cells) => cells[0] === "appOpen.appLaunch" && cells[1] === "Fill rate"));
  expect(/^\d+\.\d%$/.test(alone?.[2]) && alone[3] === "–" && alone[6] === "no interval: B had no requests",
    `a rate only A has keeps its row and says why it has no interval (${alone})`);
  const aOnly = await page.$$eval('#compare-chart figure[data-measure=fillRate] g.row', (rows) => rows
    .filter((g) => g.querySelector("text").textContent === "appOpen.appLaunch").map((g) => g.textContent));
  expect(aOnly.length === 1 && aOnly[0].includes("A only"), `the chart marks it as A's alone (${aOnly})`);
  await runnable(candidateText);

  // A side from a file cannot compare until a file is read, and says so; a file read is kept for
  // when the side is a file again.
  await page.selectOption("#compare-a-source", "file");
  const waiting = [await page.isDisabled("#compare-run"), await page.textContent("#compare-blocked")];
  await page.setInputFiles("#compare-a-file", { name: "a.json", mimeType: "application/json", buffer: Buffer.from(opened) });
  await page.waitForSelector("#compare-run:not([disabled])");
  await page.selectOption("#compare-a-source", "opened");
  await page.selectOption("#compare-a-source", "file");
  const picked = [await page.isHidden("#compare-blocked"), await page.textContent("#compare-a-name"),
    await page.isDisabled("#compare-run")];
  expect(waiting[0] && waiting[1] === "Cannot compare: choose a file for A." &&
    picked.join() === "true,a.json,false",
  `a side from a file says it waits for one, and keeps the one read (${waiting.join()} | ${picked.join()})`);
  await page.selectOption("#compare-a-source", "opened");

  // A comparison cancelled: it says so until it ends.
  await fill(page, { "#compare-sessions": "100000", "#compare-minutes": "10080" });
  await page.click("#compare-run");
  await page.waitForSelector("#compare-cancel:not([disabled])");
  await cancelWatched("#compare-status", "compare-cancel");
  await fill(page, { "#compare-sessions": "200", "#compare-minutes": "30" });

  // One session as a picture, and the snapshot at a moment clicked on it.
  expect(await page.isVisible("#session-empty"), "the session panel says what it will do before its first picture");
  await fill(page, { "#session-seed": "7", "#session-minutes": "60" });
  await page.click("#session-draw");
  await page.waitForSelector("#timeline svg rect.load");
  expect(await drawn("#timeline svg rect.span.vpn"), "the tunnel's stretches are drawn");
  expect(await drawn("#timeline svg line.moment"), "the session's moments are drawn");
  expect(await drawn("#moments li"), "the narration is listed");
  const box = await page.locator("#timeline svg").boundingBox();
  await page.locator("#timeline svg").click({ position: { x: box.width * 0.6, y: box.height * 0.5 } });
  await page.waitForSelector("#snapshot h3");
  const heading = await page.textContent("#snapshot h3");
  expect(/Ads service at 00:(3\d|2\d):\d\d/.test(heading), `the snapshot is of the moment clicked (${heading})`);
  expect(await page.locator("#snapshot table tr").count() > 1, "the snapshot lists the placements' keys");
  const lanes = await page.$$eval("#timeline svg text.lane", (texts) => texts.map((t) => ({
    right: t.getBBox().x + t.getBBox().width, title: t.querySelector("title")?.textContent,
    text: t.firstChild.textContent })));
  const lastTick = await page.$eval("#timeline svg", (svg) => {
    const ticks = [...svg.querySelectorAll("text:not(.lane)")].filter((t) => /^\d\d:\d\d:\d\d$/.test(t.textContent));
    const box = ticks.at(-1).getBBox();
    return box.x + box.width - svg.viewBox.baseVal.width;
  });
  expect(lanes.every((lane) => lane.right <= 230) && lanes.some((lane) => lane.title?.endsWith("/connect-medium")) &&
    lastTick <= 0, `lane names fit their column, cut ones named in full in their tooltip, and the last time too (${lastTick})`);
  // A waterfall's units share their start: the cut keeps the ends that tell them apart.
  expect(new Set(lanes.map((lane) => lane.text)).size === lanes.length,
    `every lane's name reads differently (${lanes.map((lane) => lane.text).join(" | ")})`);
  await shot("06-session", "#session");
  await page.locator("#moments li button").first().click();
  await page.waitForFunction(() => document.querySelector("#snapshot h3")?.textContent.endsWith("00:00:00"));
  expect((await page.textContent("#snapshot h3")).endsWith("00:00:00"),
    "a moment of the narration shows the snapshot then");

  // A day of a configuration whose periods are all 0: tens of thousands of moments. The
  // picture merges what falls within a pixel, the list shows the first of them and says how many
  // more there are, and none of the previous session's moments stays listed.
  const restless = JSON.parse(opened);
  Object.assign(restless.simulation.session, { disconnected: { minimum: 0, maximum: 0 },
    connected: { minimum: 0, maximum: 0 }, background: { minimum: 0, maximum: 0 },
    backgroundChance: 1, rewardedChance: 1 });
  const restlessText = JSON.stringify(restless, null, 2);
  await runnable(restlessText);
  await page.fill("#session-minutes", "1440");
  await page.click("#session-draw");
  await page.waitForFunction(() => document.getElementById("session-status").textContent.startsWith("Seed 7, 24:00:00"));
  const day = await (await page.request.post(address + "api/sessions", {
    headers: { "X-Workbench-Token": await page.getAttribute('meta[name="workbench-token"]', "content") },
    data: { configuration: restlessText, seed: "7", minutes: 1440 },
    timeout: 150000 })).json();  // it takes minutes under the sanitizers
  expect(day.moments.length > 50000, `the day has tens of thousands of moments (${day.moments.length})`);
  const listed = await page.$$eval("#moments li button", (buttons) => buttons.map((b) => b.textContent));
  const expectedListed = day.moments.slice(0, listed.length).map((m) => m.clock + m.text);
  expect(listed.length > 0 && listed.length < day.moments.length &&
    listed.every((text, index) => text === expectedListed[index]),
  `the list shows the day's first moments (${listed.length}), none of the previous session's`);
  const more = (await page.textContent("#moments li.more")).match(/and (\d+) more moments/);
  expect(more && listed.length + Number(more[1]) === day.moments.length,
    `the list says how many moments it leaves out (${more?.[1]})`);
  const nodes = await page.locator("#timeline svg *").count();
  expect(nodes < 40000, `the picture is drawn in a bounded number of nodes (${nodes})`);
  expect(await drawn("#timeline svg line.moment") && await drawn("#timeline svg rect.span.app"),
    "the day's moments and spans are drawn");
  expect((await page.textContent("#snapshot")).startsWith("Click the timeline"), "the snapshot of the previous session is gone");
  await shot("06b-session-day", "#session");
  await runnable(opened);
  expect(await stale("session-results"), "the session picture is marked once the editor's text changes");

  // An edit survives a reload, with a way back to the opened configuration; going back, and the
  // header's Reset, can be undone with Ctrl+Z; a reload after going back opens the opened text.
  const reload = async () => { await page.reload(); await page.waitForSelector("body[data-ready=true]"); };
  await typeInEditor("\n");
  const edit = await page.inputValue("#config");
  await reload();
  expect(await page.inputValue("#config") === edit && (await page.textContent("#edit-note")).includes("edit was kept"),
    "an edit is kept over a reload, and the page says so");
  for (const back of ["#edit-back", "#reset"]) {
    await page.click(back);
    expect(await page.inputValue("#config") === opened, `${back} goes back to the opened configuration`);
    await page.keyboard.press("Control+z");
    expect(await page.inputValue("#config") === edit, `and Ctrl+Z brings the edit back (${back})`);
  }
  await page.click("#reset");
  await reload();
  expect(await page.inputValue("#config") === opened && await page.isHidden("#edit-note"),
    "after a reset, a reload opens the opened configuration");

  // The banner preview: the server draws the chosen settings, at 375 and 768 points; a bad
  // setting shows the server's reason instead.
  const bannerAt = async (width) => {
    await page.waitForFunction((w) => {
      const image = document.getElementById("banner-image");
      return image.dataset.state === "loaded" && image.dataset.query.startsWith(`width=${w}&`) &&
        image.complete && image.naturalWidth > 0;
    }, width);
    return page.$eval("#banner-image", (image) => image.naturalWidth);
  };
  const bannerSettings = [
    { width: "375", cta: "accessoryIcon", position: "bottomSafeArea", insets: "8,12,8,12",
      borderless: false, close: true, title: "Get 7 days of Premium free\nNo card needed" },
    { width: "768", cta: "bottomButton", position: "bottomToEdge", insets: "",
      borderless: true, close: false, title: "Illuminating little lilies fill the hill with light" },
  ];
  for (const settings of bannerSettings) {
    await page.selectOption("#banner-cta", settings.cta);
    await page.selectOption("#banner-position", settings.position);
    await page.setChecked("#banner-borderless", settings.borderless);
    await page.setChecked("#banner-close", settings.close);
    // The width last: the picture waited for is the one drawn at it.
    await fill(page, { "#banner-insets": settings.insets, "#banner-title-text": settings.title, "#banner-width": settings.width });
    const drawnWidth = await bannerAt(settings.width);
    expect(drawnWidth === Number(settings.width),
      `the banner preview is drawn at ${settings.width} points (${drawnWidth})`);
    await shot(`07-banner-${settings.width}`, "#banner");
  }
  // A picture the browser cannot draw is said, not left loading.
  await page.route("**/api/banner.svg*", (route) => route.fulfill({ status: 200, contentType: "image/svg+xml", body: "<svg" }));
  await page.fill("#banner-width", "400");
  await page.waitForSelector("#banner-image[data-state=refused]", { state: "attached" });
  expect((await page.textContent("#banner-error")).includes("could not read the picture"),
    `a banner picture that cannot be drawn says so (${await page.textContent("#banner-error")})`);
  await page.unroute("**/api/banner.svg*");
  await page.fill("#banner-width", "100");
  await page.waitForSelector("#banner-image[data-state=refused]", { state: "attached" });
  expect((await page.textContent("#banner-error")).includes("width: must be a number of points from 200 to 2048"),
    "a width out of range shows the server's reason");
  await page.fill("#banner-width", "375");
  await bannerAt("375");
  expect(await page.isHidden("#banner-error"), "a good width draws again and hides the reason");
  // The title's limit counts characters as the server does: 120 emoji are 240 UTF-16 units.
  await page.fill("#banner-title-text", "😀".repeat(125));
  expect([...await page.inputValue("#banner-title-text")].length === 120, "the title keeps 120 emoji, as the server allows");
  await page.waitForFunction(() => document.getElementById("banner-image").dataset.state === "loaded");
  expect(await page.isHidden("#banner-error"), "120 emoji are drawn");
  await page.fill("#banner-title-text", "");
  expect((await page.textContent("#banner-untitled")).includes("without one is never shown"),
    "an empty title says why the picture is empty");
  await page.fill("#banner-title-text", "   ");
  expect((await page.textContent("#banner-untitled")).includes("only spaces"), "a title of spaces says why it is blank");
  await page.fill("#banner-title-text", "Get 7 days of Premium free");
  expect(await page.isHidden("#banner-untitled"), "a title hides the note");

  // A cluster run's shards, written by the command line, opened on the page: the merged run's
  // tables and charts, its report byte for byte what `qvr-sandbox merge --json` prints; a
  // comparison's shards open in the comparison; a pair with a gap shows merge's message.
  const shardDir = fs.mkdtempSync(path.join(os.tmpdir(), "qvr-workbench-shards-"));
  try {
    const shard = (name, range, extra = []) => {
      const file = path.join(shardDir, name);
      execFileSync(sandbox, ["--minutes", "30", "--seed-range", range, "--shard-out", file, "--quiet", ...extra]);
      return file;
    };
    const merge = (files) => execFileSync(sandbox, ["merge", "--json", ...files], { encoding: "utf8" });
    const plain = [shard("part-1.json", "1..20"), shard("part-21.json", "21..40")];
    const merged = merge(plain);
    // Shards opened while a run is under way are not shown where its progress would replace them.
    await fill(page, { "#sessions": "100000", "#minutes": "10080" });
    await page.waitForSelector("#run:not([disabled])");
    await page.click("#run");
    await page.waitForFunction(() => document.getElementById("run-status").textContent.startsWith("Running"));
    await page.setInputFiles("#run-shards", plain);
    await page.waitForSelector("#run-shards-note.refused");
    const notShown = [await page.textContent("#run-shards-note"), await page.textContent("#run-status")];
    expect(notShown[0].includes("Not shown: 2 shards, seeds 1 to 40, merged, but a run is under way") &&
      notShown[1].startsWith("Running"), `shards opened during a run leave it in view (${notShown.join(" | ")})`);
    await page.click("#cancel");
    await page.waitForSelector("#run-status[data-state=cancelled]");
    await page.setInputFiles("#run-shards", plain);
    await page.waitForSelector("#run-status[data-state=merged]");
    expect((await page.textContent("#run-status")) === "Opened 2 shards, seeds 1 to 40, merged",
      `the page says what it opened (${await page.textContent("#run-status")})`);
    // Every placement's requests and fills, as merge counts them (the run shown before differs).
    const rows = await page.$$eval("#placements-table tr", (trs) =>
      trs.slice(1).map((tr) => [...tr.children].slice(0, 3).map((td) => td.textContent).join(" ")));
    const expected = JSON.parse(merged).placements.map((row) => `${row.placement} ${row.requests} ${row.fills}`);
    expect(rows.join("; ") === expected.join("; "),
      `the table shows the merged run (${rows.join("; ")}; merge says ${expected.join("; ")})`);
    expect(await drawn("#chart-fill svg line.interval"), "the fill-rate chart is drawn with its intervals");
    expect(await drawn("#chart-latency svg polyline.cdf"), "the latency CDF of the shards is drawn");
    const report = await (await linked("#download-report")).text();
    expect(report === merged, "the report downloads byte for byte as merge --json prints it");
    await shot("08-shards", "#simulate");

    const gap = [plain[0], shard("part-41.json", "41..50")];
    await page.setInputFiles("#run-shards", gap);
    await page.waitForSelector("#run-shards-note.refused");
    const refusal = await page.textContent("#run-shards-note");
    expect(refusal.includes('seeds 21 to 40 are missing: no shard played them (between "part-1.json" and "part-41.json")'),
      `a pair with a gap shows merge's message (${refusal})`);
    expect((await page.textContent("#run-status")).startsWith("Still showing the earlier result"),
      `and the status line no longer reads as if they had opened (${await page.textContent("#run-status")})`);
    await shot("09-shards-refused", "#simulate");

    // A shard asked for seeds 41..60 that stopped before playing any, with one that played 1..20:
    // they merge, and the total counts the 40 seeds asked for, not the 20 between that none was.
    const idle = JSON.parse(fs.readFileSync(plain[0], "utf8"));
    Object.assign(idle, { seeds: { first: null, last: null }, requested: { first: 41, last: 60 }, sessions: 0,
      stopped: true, state: { totals: { placements: {}, networks: {} },
        perSession: { placements: {}, networks: {} }, comparison: null } });
    const idleFile = path.join(shardDir, "part-41-idle.json");
    fs.writeFileSync(idleFile, signedShard(idle));
    await page.setInputFiles("#run-shards", [plain[0], idleFile]);
    await page.waitForFunction(() => document.getElementById("run-status").textContent.startsWith("Opened 2 shards, seeds 1 to 20"));
    const spread = [await page.textContent("#run-status"), await page.textContent("#run-shards-note")];
    expect(spread[0] === "Opened 2 shards, seeds 1 to 20, merged: 20 of 40 sessions played" &&
      spread[1].includes("seeds 21 to 40 are in no shard") && spread[1].includes("seeds 41 to 60 are in no table"),
    `shards whose asked seeds leave a gap count only the seeds asked for, and name the gap (${spread.join(" | ")})`);

    const candidate = path.join(shardDir, "b.json");
    fs.writeFileSync(candidate, opened.replace('"fillRate": 0.35', '"fillRate": 0.9'));
    const compared = [shard("cmp-1.json", "1..30", ["--compare", candidate]),
      shard("cmp-31.json", "31..60", ["--compare", candidate])];
    await page.setInputFiles("#run-shards", compared);
    await page.waitForSelector("#compare-status[data-state=merged]");
    expect((await page.textContent("#run-shards-note")).includes("shown under Compare two configurations"),
      "a comparison's shards opened under Simulate say where they are shown");
    expect(await page.locator("#compare-verdicts li.higher", { hasText: "interstitial.connect fill rate +" }).count() === 1,
      "the opened comparison gives its verdict");
    expect(await drawn("#compare-chart svg circle.difference"), "the opened comparison's differences are drawn");
    const shardSides = await page.textContent("#compare-sides");
    expect(/^A: configuration [0-9a-f]{16}, the opened configuration\. B: configuration [0-9a-f]{16}\.$/.test(shardSides),
      `the opened comparison names A and B, A as the opened configuration (${shardSides})`);
    const comparison = await (await linked("#compare-json")).text();
    expect(comparison === merge(compared), "the comparison downloads byte for byte as merge --json prints it");
    await shot("10-shards-compare", "#compare");
  } finally {
    fs.rmSync(shardDir, { recursive: true, force: true });
  }
  expect(pageErrors.length === 0, `no page error and nothing fetched elsewhere ${pageErrors.join("; ")}`);

  // A server that takes a request and never answers: a run's progress request is given up after
  // its time limit and tried again, the watch going on, and only the third in a row ends it, saying
  // what to do, with a button that watches the run again once the server answers; a session's
  // picture, which can take minutes to play, is waited for longer. The page's clock is a manual
  // one, so no time passes but what is run here.
  const stuck = await browser.newPage();
  stuck.setDefaultTimeout(150000);
  const stuckErrors = [];
  stuck.on("pageerror", (error) => stuckErrors.push(String(error)));
  // Resolves once the page has sent a request matching pattern, which is then never answered.
  const hold = (pattern) => new Promise((sent) => stuck.route(pattern, (route) => sent(route)));
  await stuck.clock.install();
  await stuck.goto(address);
  await stuck.waitForSelector("body[data-ready=true]");
  await fill(stuck, { "#sessions": "20", "#minutes": "30", "#compare-sessions": "20", "#compare-minutes": "30" });
  // A run's watch and a comparison's, each through its own controls.
  const watches = [
    { what: "run", route: /\/api\/runs\/\d+$/, start: "#run", cancel: "#cancel", status: "#run-status",
      resume: "#run-resume", results: "#results", end: "Done: 20 of 20 sessions", size: "#sessions",
      cancelled: /^Cancelled(: \d+ of 100000 sessions)?$/ },
    { what: "comparison", route: /\/api\/comparisons\/\d+$/, start: "#compare-run", cancel: "#compare-cancel",
      status: "#compare-status", resume: "#compare-resume", results: "#compare-results", end: "Done: 20 of 20 seeds",
      size: "#compare-sessions", cancelled: /^Cancelled(: \d+ of 100000 seeds)?$/ },
  ];
  // Moves the page's clock until the watch under the status line ends, the server answering (for
  // at most as long as any wait here: the server's own pace is real time).
  const watchToEnd = async (status) => {
    const until = Date.now() + 150000;
    while (Date.now() < until && !(await stuck.getAttribute(status, "data-state"))) {
      await stuck.clock.runFor(POLL_TICK_MS);
    }
    return stuck.textContent(status);
  };
  for (const watch of watches) {
    const progress = hold(watch.route);
    await stuck.click(watch.start);
    await progress;
    await stuck.clock.runFor(29000);
    const waiting = await stuck.textContent(watch.status);
    const missed = [];
    for (const round of [1, 2]) {
      await stuck.clock.runFor(round === 1 ? 2000 : 31000);
      await stuck.waitForFunction(([status, n]) => document.querySelector(status).textContent.includes(`(${n} of 3`),
        [watch.status, round]);
      missed.push([await stuck.textContent(watch.status), await stuck.isDisabled(watch.cancel),
        await stuck.getAttribute(watch.status, "data-state")]);
    }
    expect(waiting === "Starting…" && missed.every(([text, cancelDisabled, ended]) =>
      text.includes("did not answer for 30 s; still watching") && !cancelDisabled && ended === null),
    `a ${watch.what}'s progress unanswered for 30 s says so and the watch goes on (${waiting} | ${missed.map((m) => m[0]).join(" | ")})`);
    await stuck.clock.runFor(31000);
    await stuck.waitForSelector(`${watch.status}[data-state=lost]`);
    const gaveUp = await stuck.textContent(watch.status);
    expect(gaveUp.includes("did not answer within 30 s") && gaveUp.includes("restart it") &&
      gaveUp.includes("3 progress requests in a row") && await stuck.isVisible(watch.resume) &&
      !(await stuck.isDisabled(watch.cancel)) && !(await stuck.isDisabled(watch.start)),
    `the third unanswered in a row ends the ${watch.what}'s watch, saying what to do, with a way back and Cancel (${gaveUp})`);
    // Cancel needs no watch again; a cancel left unanswered too says so and keeps both ways back.
    const cancelRoute = new RegExp(`${watch.route.source.slice(0, -1)}/cancel$`);
    const cancelSent = hold(cancelRoute);
    await stuck.click(watch.cancel);
    await cancelSent;
    const asking = [await stuck.textContent(watch.status), await stuck.isDisabled(watch.cancel),
      await stuck.isHidden(watch.resume), await stuck.isDisabled(watch.start)];
    await stuck.clock.runFor(31000);
    await stuck.waitForSelector(`${watch.status}[data-state=lost]`);
    const cancelLost = await stuck.textContent(watch.status);
    expect(asking[0].startsWith("Cancelling") && asking.slice(1).every(Boolean) &&
      cancelLost.includes("the request to cancel got no answer") && cancelLost.includes("within 30 s") &&
      !(await stuck.isDisabled(watch.cancel)) && await stuck.isVisible(watch.resume),
    `a lost ${watch.what}'s cancel left unanswered says so, with Cancel and Watch again to try (${asking[0]} | ${cancelLost})`);
    await stuck.unroute(cancelRoute);
    // The server answers again: Watch again follows what went on meanwhile to its end.
    await stuck.unroute(watch.route);
    await stuck.click(watch.resume);
    const resumeHidden = await stuck.isHidden(watch.resume);
    const resumedEnd = await watchToEnd(watch.status);
    expect(resumeHidden && resumedEnd === watch.end && await stuck.isVisible(watch.results),
      `Watch again follows the ${watch.what} to its end and shows its results (${resumedEnd})`);

    // One too long to end by itself, its watch lost: Cancel stops it in the server, and the page
    // follows it to its end.
    await stuck.fill(watch.size, "100000");
    const longProgress = hold(watch.route);
    await stuck.click(watch.start);
    await longProgress;
    for (const round of [1, 2]) {
      await stuck.clock.runFor(31000);
      await stuck.waitForFunction(([status, n]) => document.querySelector(status).textContent.includes(`(${n} of 3`),
        [watch.status, round]);
    }
    await stuck.clock.runFor(31000);
    await stuck.waitForSelector(`${watch.status}[data-state=lost]`);
    await stuck.unroute(watch.route);
    await stuck.click(watch.cancel);
    const stopped = await watchToEnd(watch.status);
    expect(watch.cancelled.test(stopped) && await stuck.getAttribute(watch.status, "data-state") === "cancelled" &&
      await stuck.isHidden(watch.resume) && await stuck.isDisabled(watch.cancel) && !(await stuck.isDisabled(watch.start)),
    `Cancel after a lost watch stops the ${watch.what} in the server and follows it to its end (${stopped})`);
    await stuck.fill(watch.size, "20");
  }
  // Cancel clicked while a start is on its way: it says so at once, and is sent as soon as the
  // start answers with the id, so the run or comparison ends cancelled.
  for (const watch of watches) {
    const startRoute = new RegExp(`${watch.route.source.slice(0, -"\\/\\d+$".length)}$`);
    await stuck.fill(watch.size, "100000");
    const starting = hold(startRoute);
    await stuck.click(watch.start);
    const held = await starting;
    await stuck.click(watch.cancel);
    const early = [await stuck.textContent(watch.status), await stuck.isDisabled(watch.cancel)];
    await held.continue();
    await stuck.unroute(startRoute);
    const ended = await watchToEnd(watch.status);
    expect(early[0] === "Cancelling…" && early[1] && watch.cancelled.test(ended) &&
      await stuck.getAttribute(watch.status, "data-state") === "cancelled",
    `Cancel while a ${watch.what}'s start is on its way says so, then stops it once it starts (${early[0]} | ${ended})`);
    await stuck.fill(watch.size, "20");
  }
  // Draw the session waits for the one playing (the server cannot stop it), saying so: a second
  // click, or Enter in its form, asks for no second one.
  let sessionsAsked = 0;
  stuck.on("request", (request) => { if (request.method() === "POST" && request.url().endsWith("/api/sessions")) sessionsAsked++; });
  const playing = hold(/\/api\/sessions$/);
  await stuck.click("#session-draw");
  await playing;
  await stuck.$eval("#session-draw", (button) => button.click());
  await stuck.press("#session-seed", "Enter");
  const drawWhilePlaying = [sessionsAsked, await stuck.isDisabled("#session-draw"), await stuck.isVisible("#session-wait")];
  expect(drawWhilePlaying.join() === "1,true,true",
    `while a session plays, Draw the session asks for no other and says why (${drawWhilePlaying.join()})`);
  await stuck.clock.runFor(300000);
  const stillPlaying = await stuck.textContent("#session-status");
  await stuck.clock.runFor(300001);
  await stuck.waitForFunction(() => document.getElementById("session-status").textContent.includes("did not answer"));
  const sessionGaveUp = await stuck.textContent("#session-status");
  expect(stillPlaying === "Playing the session…" && sessionGaveUp.includes("within 600 s"),
    `a session's picture is waited for 10 minutes, then given up (${stillPlaying} | ${sessionGaveUp})`);
  expect(!(await stuck.isDisabled("#session-draw")) && await stuck.isHidden("#session-wait"),
    "a session given up leaves Draw the session usable again");
  // A snapshot on its way replaces the one shown by what is coming.
  await stuck.unroute(/\/api\/sessions$/);
  await fill(stuck, { "#session-minutes": "5" });
  await stuck.click("#session-draw");
  await stuck.waitForSelector("#moments li button");
  const snapshotHeld = hold(/\/api\/sessions\/snapshot$/);
  await stuck.locator("#moments li button").first().click();
  await snapshotHeld;
  const coming = await stuck.textContent("#snapshot");
  expect(coming === "Playing the session up to 00:00:00 for the snapshot then…",
    `a snapshot asked for says it is coming (${coming})`);
  expect(stuckErrors.length === 0, `no uncaught error when requests go unanswered ${stuckErrors.join("; ")}`);
  await stuck.screenshot({ path: path.join(shots, "11-no-answer.png"), fullPage: true });
  await stuck.close();

  // A server that stops while its page watches a run: the page says so and ends the run, rather
  // than saying "Running" for ever.
  const [gone, goneAddress] = await serve();
  const orphan = await browser.newPage();
  orphan.setDefaultTimeout(150000);
  const orphanErrors = [];
  orphan.on("pageerror", (error) => orphanErrors.push(String(error)));
  await orphan.goto(goneAddress);
  await orphan.waitForSelector("body[data-ready=true]");
  await fill(orphan, { "#sessions": "100000", "#minutes": "10080" });
  await orphan.click("#run");
  // Started in the server (its start answered), not merely asked for.
  await orphan.waitForFunction(() => /^(Starting|Running)/.test(document.getElementById("run-status").textContent));
  gone.kill("SIGKILL");
  await orphan.waitForSelector("#run-status[data-state=lost]");
  expect((await orphan.textContent("#run-status")).includes("the server did not answer"),
    "a run whose server stopped says the server did not answer");
  expect(!(await orphan.isDisabled("#run")) && await orphan.isVisible("#run-resume"),
    "and it is no longer under way, with Watch again to ask once more");
  await orphan.click("#cancel");
  await orphan.waitForFunction(() => document.getElementById("run-status").textContent.includes("cancel got no answer"));
  expect((await orphan.textContent("#run-status")).includes("the server did not answer") &&
    await orphan.getAttribute("#run-status", "data-state") === "lost" && !(await orphan.isDisabled("#cancel")),
  "its Cancel, asked of the stopped server, says so and can be tried again");
  await orphan.click("#session-draw");
  await orphan.waitForFunction(() => document.getElementById("session-status").textContent.includes("did not answer"));
  expect((await orphan.textContent("#session-status")).includes("did not answer"),
    "a session asked of a stopped server says it did not answer");
  expect(orphanErrors.length === 0, `no uncaught error when the server is gone ${orphanErrors.join("; ")}`);
  await orphan.screenshot({ path: path.join(shots, "12-server-gone.png"), fullPage: true });
} finally {
  await browser.close();
  server.kill("SIGINT");
}
const [code] = await once(server, "exit");
expect(code === 0, "the server stops cleanly on SIGINT");
console.log(`${failures.length ? "FAILED" : "passed"}: screenshots in ${shots}`);
process.exit(failures.length ? 1 : 0);
