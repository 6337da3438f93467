// Helpers every page shares. Text from players goes into the page with
// textContent only, so a name is always shown as it is written.
"use strict";

const Qira = (() => {
  let tiles = {};

  function el(tag, options = {}, children = []) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(options)) {
      if (key === "text") node.textContent = value;
      else if (key === "class") node.className = value;
      else node.setAttribute(key, value);
    }
    for (const child of children) if (child) node.append(child);
    return node;
  }

  async function getJson(address) {
    const response = await fetch(address, { headers: { Accept: "application/json" } });
    const body = await response.json();
    if (!response.ok) throw new Error(body.error || "读取失败");
    return body;
  }

  async function loadTiles() {
    tiles = await getJson("/api/tiles");
  }

  function tileName(code) {
    return (tiles[code] || {}).name || "?";
  }

  function tile(code, small = false) {
    const known = tiles[code] || tiles[100];
    return el("img", {
      class: small ? "tile small" : "tile",
      src: "/tiles/" + known.picture + ".png",
      alt: known.name,
      title: known.name,
      "data-tile": String(code),
    });
  }

  function tileRow(codes, small = false) {
    return el("span", { class: "tiles" }, codes.map((code) => tile(code, small)));
  }

  function header(title) {
    const nav = el("nav", {}, [
      el("a", { href: "/", text: "牌桌" }),
      el("a", { href: "/leaderboard", text: "排行榜" }),
    ]);
    document.body.prepend(el("header", {}, [el("h1", { text: "Qira麻将" }), nav]));
    document.title = title + " - Qira麻将";
  }

  function showError(where, error) {
    where.replaceChildren(el("p", { class: "error", text: error.message || String(error) }));
  }

  function percent(value) {
    return (value * 100).toFixed(1) + "%";
  }

  // The last part of the address, decoded: /players/NAME, /hands/ID.
  function lastPart() {
    const parts = location.pathname.split("/");
    return decodeURIComponent(parts[parts.length - 1]);
  }

  const chairWords = ["东", "南", "西", "北"];
  return { el, getJson, loadTiles, tileName, tile, tileRow, header, showError, percent, lastPart, chairWords };
})();
