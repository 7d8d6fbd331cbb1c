// A run or a comparison as its panel follows it: started with a POST, watched by polling its
// progress until it ends, cancelled (also while its start is on its way, or after its watch was
// lost), and watched again after a watch that ended for want of answers. The run's panel and the
// comparison's each hold one; what differs between them (the route, the words, what to show at the
// end) is given when it is made. Uses api(), $ and TIME_LIMIT_MS from workbench.js.
"use strict";

const POLL_MS = 300;

// A run or comparison goes on in the server whether or not its page hears of it: a progress
// request that gets no answer is tried again, and only after this many in a row does the page stop
// watching (saying so, with a button to watch again; Cancel can still stop it).
const MISSED_POLLS = 3;
const END_WORDS = { done: "Done", cancelled: "Cancelled", abandoned: "Abandoned", failed: "Failed" };

class Job {
  // route: where it is started ("/api/runs"), its id appended for progress and cancel.
  // what: "run" or "comparison"; unit: what its progress counts ("sessions", "seeds");
  // running: the word for its progress ("Running"); result: the field of an ended status that
  // holds its result ("report"). ids: { line, progress, cancel, resume } of the panel's elements.
  // changed(): the panel's own buttons to update; ended(id, status, context): an ended job's
  // result to show, with the context its start was given.
  constructor({ route, what, unit, running, result, ids, changed, ended }) {
    Object.assign(this, { route, what, unit, running, result, ids, changed, ended });
    this.id = null;           // the one under way (watched)
    this.lost = null;         // the one whose watch ended for want of answers
    this.context = null;      // what the one under way or lost was started with
    this.starting = false;    // its POST is on its way: a second start is refused
    this.cancelling = false;  // it was asked to stop: the sessions under way end first
    // Counts the watches begun and ended: an answer for an ended watch (given up as lost while a
    // request was on its way, then watched again) starts no second round of polls.
    this.watch = 0;
    $(ids.cancel).addEventListener("click", () => this.cancel());
    $(ids.resume).addEventListener("click", () => this.watchAgain());
  }

  // Starting or under way: its panel starts no other.
  get busy() { return this.id !== null || this.starting; }

  // The status line's text and, for an end, its state (done, lost, merged…).
  say(text, state = null) {
    const line = $(this.ids.line);
    line.textContent = text;
    if (state === null) delete line.dataset.state;
    else line.dataset.state = state;
  }

  update() {
    $(this.ids.cancel).disabled = (!this.busy && this.lost === null) || this.cancelling;
    this.changed();
  }

  // Starts one with body; context is handed back with its result. Returns the start's answer, so
  // that the panel can show what a refused start (422) found.
  async start(body, context) {
    if (this.busy) return null;
    this.starting = true;
    this.update();
    const answer = await api("POST", this.route, body);
    this.starting = false;
    // A Cancel clicked while the start was on its way is sent now that it has an id; one that did
    // not start has nothing to cancel.
    const cancelAsked = this.cancelling;
    if (answer.status !== 202) {
      this.cancelling = false;
      // A refused one (422) is the panel's to explain.
      if (answer.status !== 422) this.failed(answer);
      this.update();
      return answer;
    }
    this.id = answer.data.id;
    this.context = context;
    this.follow(cancelAsked ? "Cancelling: finishing the sessions under way" : "Starting…");
    if (cancelAsked) this.askCancel(this.id, this.watch, false);
    return answer;
  }

  // Begins a new watch of the one under way, saying text meanwhile.
  follow(text) {
    this.lost = null;
    $(this.ids.resume).hidden = true;
    this.say(text);
    this.update();
    this.poll(this.id, ++this.watch);
  }

  // missed: the progress requests in a row that got no answer.
  async poll(id, watch, missed = 0) {
    const answer = await api("GET", `${this.route}/${id}`);
    if (this.watch !== watch) return;
    const { status, data } = answer;
    if (status === 0) {
      if (missed + 1 < MISSED_POLLS) {
        const how = answer.timedOut ? `did not answer for ${TIME_LIMIT_MS / 1000} s` : "did not answer";
        this.say(`No answer: the server ${how}; still watching (${missed + 1} of ${MISSED_POLLS} ` +
          "requests in a row unanswered)");
        setTimeout(() => this.poll(id, watch, missed + 1), POLL_MS);
      } else {
        this.loseWatch(id, `${MISSED_POLLS} progress requests in a row got no answer; the last: ${data.error} ` +
          `It may still be going on in the server: Watch again asks once more, Cancel stops it.`);
      }
      return;
    }
    if (status !== 200) { this.failed(answer); this.finish(); return; }
    $(this.ids.progress).max = data.total;
    $(this.ids.progress).value = data.done;
    if (data.state === "running") {
      this.say(this.cancelling
        ? `Cancelling: finishing the sessions under way (${data.done} of ${data.total} ${this.unit})`
        : `${this.running}: ${data.done} of ${data.total} ${this.unit}`);
      setTimeout(() => this.poll(id, watch), POLL_MS);
      return;
    }
    const result = data[this.result];
    const covered = result ? `: ${result.sessions} of ${data.total} ${this.unit}` : "";
    this.say(`${END_WORDS[data.state] ?? data.state}${covered}${data.error ? ": " + data.error : ""}`, data.state);
    const context = this.context;
    this.finish();
    if (result) this.ended(id, data, context);
  }

  // A request that failed: one that got no answer at all (the server stopped) is "lost".
  failed({ status, data }) {
    if (status === 0) this.say(`Lost: ${data.error}`, "lost");
    else this.say(data.error);
  }

  // The watch ends with why, and Watch again and Cancel stay to follow or stop it.
  loseWatch(id, why) {
    this.say(`Lost: ${why}`, "lost");
    this.lost = id;
    $(this.ids.resume).hidden = false;
    this.finish();
  }

  finish() { this.id = null; this.cancelling = false; this.watch++; this.update(); }

  // Watches again the one whose watch ended after progress requests went unanswered.
  watchAgain() {
    if (this.lost === null || this.busy) return;
    this.id = this.lost;
    this.follow("Watching again…");
  }

  // The sessions under way finish first, so it goes on for a moment: the line says so, and Cancel
  // stays disabled rather than invite a second click. One whose watch was lost is under way again
  // while its cancel is on its way and, once the server takes the cancel, is watched to its end.
  async cancel() {
    if (this.cancelling) return;
    if (this.starting) {
      // Its start is on its way: the cancel is sent as soon as the start answers with its id.
      this.cancelling = true;
      this.say("Cancelling…");
      this.update();
      return;
    }
    const id = this.id ?? this.lost;
    if (id === null) return;
    const wasLost = this.id === null;
    // A lost one's cancel begins a watch of its own; an answer after that watch ended is dropped.
    if (wasLost) {
      this.id = id;
      this.lost = null;
      $(this.ids.resume).hidden = true;
      this.watch++;
    }
    this.cancelling = true;
    this.say("Cancelling: finishing the sessions under way");
    this.update();
    await this.askCancel(id, this.watch, wasLost);
  }

  // Asks the server to stop id, watched by watch; wasLost: its watch had ended, so it is followed
  // again once the server takes the cancel. A cancel that gets no answer leaves it lost.
  async askCancel(id, watch, wasLost) {
    const answer = await api("POST", `${this.route}/${id}/cancel`);
    if (this.watch !== watch) return;  // it ended meanwhile, or its watch was lost
    if (answer.status === 0) {
      this.loseWatch(id, `the request to cancel got no answer: ${answer.data.error} The ${this.what} may still be ` +
        "going on in the server: Cancel asks again, Watch again follows it.");
    } else if (wasLost) {
      if (answer.status === 200) this.poll(id, watch);
      else { this.failed(answer); this.finish(); }
    }
  }
}
