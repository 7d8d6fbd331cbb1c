// Opening a sharded run's results: the shard files that runs with --seed-range and --shard-out
// wrote (on one machine or many) are read here, sent to the server, which merges them as
// `qvr-sandbox merge` does, and shown in the run's or the comparison's views like a result made
// on the page. Refused shards show the merge's problems, one per line, under the control used.
// Uses api(), $, showResults() and runJob from workbench.js and Compare from compare.js.
"use strict";

const Shards = (() => {
  // The server's limit on a request's body: larger shard sets are merged on the command line.
  const MAX_BODY_BYTES = 2 * 1024 * 1024;
  const SECTIONS = { run: "simulate", compare: "compare" };
  const EARLIER = "Still showing the earlier result, not these shards: ";

  // The note under a section's control: a heading line and, below it, lines (problems, warnings).
  function note(where, kind, heading, lines = []) {
    const box = $(`${where}-shards-note`);
    box.className = `shards-note ${kind}`;
    box.hidden = !heading;
    const title = document.createElement("p");
    title.textContent = heading;
    const list = document.createElement("ul");
    list.replaceChildren(...lines.map((line) => {
      const item = document.createElement("li");
      item.textContent = line;
      return item;
    }));
    box.replaceChildren(title, ...(lines.length ? [list] : []));
  }

  function showRun(data) {
    const status = data.status;
    showResults(data.id, status);
    const covered = status.done < status.total ? `: ${status.done} of ${status.total} sessions played` : "";
    runJob.say(`Opened ${data.opened}${covered}`, "merged");
    $("progress").max = Math.max(1, status.total);
    $("progress").value = status.done;
  }

  async function open(where, input) {
    const files = [...input.files];
    input.value = "";  // the same files may be opened again
    if (files.length === 0) return;
    const count = `${files.length} shard file${files.length === 1 ? "" : "s"}`;
    let shards;
    try {
      shards = await Promise.all(files.map(async (file) => ({ name: file.name, text: await file.text() })));
    } catch (error) {
      // A file moved or unreadable since it was picked.
      note(where, "refused", `Cannot open ${count}: a file could not be read (${error.message}).`);
      return;
    }
    const body = { shards };
    const bytes = new Blob([JSON.stringify(body)]).size;
    if (bytes > MAX_BODY_BYTES) {
      note(where, "refused", `Cannot open ${count}: together ${(bytes / 1048576).toFixed(1)} MiB, more ` +
        "than the 2 MiB a request may carry. Merge them on the command line first " +
        "(qvr-sandbox merge --shard-out merged.json SHARD...) and open the merged shard.");
      return;
    }
    note(where, "", `Opening ${count}…`);
    const button = $(`${where}-shards`);
    button.disabled = true;  // one set of shards at a time: a second pick waits for this answer
    const { status, data } = await api("POST", "/api/shards", body);
    button.disabled = false;
    if (status !== 200) {
      note(where, "refused", `Cannot open ${count}: ${data.problems ? "they do not merge" : data.error}`,
        data.problems ?? []);
      // The results below are still those shown before: the status line says so, rather than
      // reading as the outcome of this pick.
      const line = $(where === "run" ? "run-status" : "compare-status");
      if (line.dataset.state && !line.textContent.startsWith(EARLIER)) {
        line.textContent = `${EARLIER}${line.textContent}`;
      }
      return;
    }
    const target = data.kind === "comparison" ? "compare" : "run";
    // A run or comparison under way where they would be shown would replace them as it goes on.
    if (target === "run" ? runJob.busy : Compare.busy()) {
      const what = target === "run" ? "a run is under way under Simulate" : "a comparison is under way";
      note(where, "refused", `Not shown: ${data.opened}, but ${what}, whose progress and results would ` +
        "replace them. Open them again once it ends (or Cancel it).");
      return;
    }
    for (const other of Object.keys(SECTIONS)) note(other, "", "");
    if (target === "run") showRun(data); else Compare.showOpened(data.id, data.status, data.opened, data.configurations);
    // Seeds between the ranges the shards asked for were asked of no shard: the total leaves them
    // out, and the note names them too. They come only with seeds asked for but never played (shards
    // that played on both sides of such a gap do not merge).
    if (data.warnings.length) {
      note(target, "warning", "Some seeds were asked for but never played: they are in no table.",
        [...data.warnings, ...data.gaps]);
    }
    if (target !== where) {
      note(where, "", `${data.opened}: ${target === "compare" ? "a comparison, shown under Compare two configurations" : "a run, shown under Simulate"}.`);
      $(SECTIONS[target]).scrollIntoView({ block: "start" });
    }
  }

  function init() {
    for (const where of Object.keys(SECTIONS)) {
      $(`${where}-shards`).addEventListener("change", (event) => open(where, event.target));
    }
  }

  return { init };
})();

document.addEventListener("DOMContentLoaded", Shards.init);
