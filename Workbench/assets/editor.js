// The configuration editor: a plain textarea with a line-number gutter and, behind the text, a
// copy of it in which the places of the checker's problems are marked. Problems come with
// 1-based lines and columns counted in UTF-16 units, as the textarea counts them.
"use strict";

class ConfigEditor {
  constructor(textarea, backdrop, gutter) {
    this.textarea = textarea;
    this.backdrop = backdrop;
    this.gutter = gutter;
    this.problems = [];
    textarea.addEventListener("scroll", () => this.syncScroll());
    textarea.addEventListener("input", () => this.render());
    textarea.addEventListener("keydown", (event) => this.onKey(event));
  }

  get text() { return this.textarea.value; }
  set text(value) { this.textarea.value = value; this.render(); }

  // problems: [{severity: "error"|"warning", range: {start, end} | null}]
  setProblems(problems) { this.problems = problems; this.render(); }

  lineStarts() {
    const starts = [0];
    const text = this.text;
    for (let at = text.indexOf("\n"); at !== -1; at = text.indexOf("\n", at + 1)) starts.push(at + 1);
    return starts;
  }

  offsetOf(position, starts) {
    const line = Math.min(Math.max(position.line, 1), starts.length);
    return Math.min(starts[line - 1] + position.column - 1, this.text.length);
  }

  // Selects a problem's place and scrolls it into view.
  goTo(range) {
    const starts = this.lineStarts();
    const start = this.offsetOf(range.start, starts);
    const end = Math.max(start, this.offsetOf(range.end, starts));
    this.textarea.focus();
    this.textarea.setSelectionRange(start, end);
    const lineHeight = parseFloat(getComputedStyle(this.textarea).lineHeight) || 18;
    this.textarea.scrollTop = Math.max(0, (range.start.line - 5) * lineHeight);
    this.syncScroll();
  }

  render() {
    const text = this.text;
    const starts = this.lineStarts();
    const marks = [];
    const badLines = new Map();
    for (const problem of this.problems) {
      if (!problem.range) continue;
      let start = this.offsetOf(problem.range.start, starts);
      let end = this.offsetOf(problem.range.end, starts);
      if (end <= start) end = Math.min(text.length, start + 1);
      marks.push({ start, end, severity: problem.severity });
      const line = problem.range.start.line;
      if (badLines.get(line) !== "error") badLines.set(line, problem.severity);
    }
    marks.sort((a, b) => a.start - b.start);
    const fragment = document.createDocumentFragment();
    let at = 0;
    for (const mark of marks) {
      if (mark.start < at) continue;  // overlapping places: the first one is marked
      fragment.append(text.slice(at, mark.start));
      const element = document.createElement("mark");
      element.className = mark.severity;
      element.textContent = text.slice(mark.start, mark.end);
      fragment.append(element);
      at = mark.end;
    }
    fragment.append(text.slice(at) + "\n");
    this.backdrop.replaceChildren(fragment);

    const numbers = document.createDocumentFragment();
    starts.forEach((_, index) => {
      const line = document.createElement("div");
      line.textContent = String(index + 1);
      const severity = badLines.get(index + 1);
      if (severity) line.className = severity === "error" ? "bad" : "warn";
      numbers.append(line);
    });
    this.gutter.replaceChildren(numbers);
    this.syncScroll();
  }

  syncScroll() {
    this.backdrop.scrollTop = this.textarea.scrollTop;
    this.backdrop.scrollLeft = this.textarea.scrollLeft;
    this.gutter.scrollTop = this.textarea.scrollTop;
  }

  // Tab indents by two spaces; Escape then Tab leaves the editor, as keyboard users expect.
  onKey(event) {
    if (event.key === "Escape") { this.escaped = true; return; }
    if (event.key === "Tab" && !event.shiftKey && !this.escaped && !event.ctrlKey && !event.altKey) {
      event.preventDefault();
      const { selectionStart, selectionEnd } = this.textarea;
      this.textarea.setRangeText("  ", selectionStart, selectionEnd, "end");
      this.render();
      this.textarea.dispatchEvent(new Event("input"));
    }
    if (event.key !== "Escape") this.escaped = false;
  }
}

window.ConfigEditor = ConfigEditor;
