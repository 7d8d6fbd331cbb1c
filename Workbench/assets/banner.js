// The partner banner preview: the form's settings become the query of /api/banner.svg, whose
// picture the server draws from the module's own banner view and layout. A setting the server
// refuses shows its message (the 400's "error") instead of a picture. Uses exchange() from
// workbench.js.
"use strict";

(() => {
  const byId = (id) => document.getElementById(id);
  // The server's limit on a title or subtitle, in characters as the banner's label counts them (a
  // letter with its marks or a flag is one). The page cuts by code points (an emoji is one, where a
  // field's maxlength would count it as two): never more characters than that, so what it keeps
  // the server takes.
  const MAX_TEXT_CHARACTERS = 120;

  // Cuts a field's text to the limit, keeping whole code points.
  function clampText(field) {
    const characters = [...field.value];
    if (characters.length > MAX_TEXT_CHARACTERS) field.value = characters.slice(0, MAX_TEXT_CHARACTERS).join("");
  }

  // Why the picture is empty or blank when the title is: a partner ad without a title is never
  // shown, and one of spaces only is drawn with blank lines.
  function explainTitle() {
    const title = byId("banner-title-text").value;
    const note = byId("banner-untitled");
    note.hidden = title.trim() !== "";
    note.textContent = title === ""
      ? "No title: a partner ad without one is never shown, so the banner stays hidden and the picture is empty."
      : "The title is only spaces: the banner is shown, with blank lines where the title would be.";
  }

  // The query for the current settings; a setting left at "partner's own" is not sent.
  function bannerQuery() {
    const query = new URLSearchParams();
    query.set("width", byId("banner-width").value.trim());
    for (const [name, id] of [["cta", "banner-cta"], ["position", "banner-position"]]) {
      if (byId(id).value) query.set(name, byId(id).value);
    }
    const insets = byId("banner-insets").value.replace(/\s+/g, "");
    if (insets) query.set("insets", insets);
    query.set("borderless", String(byId("banner-borderless").checked));
    query.set("close", String(byId("banner-close").checked));
    query.set("title", byId("banner-title-text").value);
    query.set("subtitle", byId("banner-subtitle").value);
    return query.toString();
  }

  let shown = 0;  // the number of the latest request: an older answer arriving late is dropped

  async function showBanner() {
    const request = ++shown;
    const query = bannerQuery();
    const image = byId("banner-image");
    const error = byId("banner-error");
    image.dataset.state = "loading";
    // The picture is read with the answer, within the page's time limit for a request.
    const { response, result: body, error: lost } = await exchange("GET", `/api/banner.svg?${query}`, undefined,
      (response) => response.text());
    if (request !== shown) return;
    if (!response || !response.ok) {
      let message = lost;
      if (response) {
        try { message = JSON.parse(body).error; } catch { message = null; }
        message ||= `HTTP ${response.status}`;
      }
      error.textContent = `Cannot draw the banner: ${message}`;
      error.hidden = false;
      image.hidden = true;
      image.dataset.state = "refused";
      return;
    }
    error.hidden = true;
    image.hidden = false;
    image.dataset.query = query;
    image.onload = () => { if (request === shown) image.dataset.state = "loaded"; };
    // A picture the browser cannot draw is said, rather than leave the last one in place.
    image.onerror = () => {
      if (request !== shown) return;
      error.textContent = "Cannot draw the banner: the browser could not read the picture the server sent.";
      error.hidden = false;
      image.hidden = true;
      image.dataset.state = "refused";
    };
    image.src = `data:image/svg+xml;charset=utf-8,${encodeURIComponent(body)}`;
  }

  document.addEventListener("DOMContentLoaded", () => {
    const form = byId("banner-form");
    form.addEventListener("input", (event) => {
      if (event.target.id === "banner-title-text" || event.target.id === "banner-subtitle") clampText(event.target);
      explainTitle();
      showBanner();
    });
    form.addEventListener("submit", (event) => { event.preventDefault(); showBanner(); });
    explainTitle();
    showBanner();
  });
})();
