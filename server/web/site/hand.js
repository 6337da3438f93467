// A finished hand step by step: ←/→ or the buttons move, and the address
// keeps the step (?step=N), so a shared link opens at that move.
"use strict";

function handSeat(doc, step, chair) {
  const { el } = Qira;
  const melds = el("span", {}, step.melds[chair].map((meld) => el("span", { class: "meld" }, [Qira.tileRow(meld.tiles, true)])));
  const acting = step.chair === chair;
  return el("section", { class: acting ? "seat active" : "seat", "data-chair": String(chair) }, [
    el("h3", {}, [Qira.chairWords[chair] + " ", el("a", { href: "/players/" + encodeURIComponent(doc.players[chair]), text: doc.players[chair] }),
      doc.dealer === chair ? " (庄)" : ""]),
    el("div", { class: "row hand" }, [el("span", { class: "label", text: "手牌" }), Qira.tileRow(step.hands[chair])]),
    el("div", { class: "row melds" }, [el("span", { class: "label", text: "副露" }), melds]),
    el("div", { class: "row discards" }, [el("span", { class: "label", text: "弃牌" }), Qira.tileRow(step.discards[chair], true)]),
  ]);
}

function winBox(doc) {
  const { el } = Qira;
  const win = doc.win;
  const winners = win.winners.map((winner) => {
    const groups = winner.groups.map((group) => el("span", { class: "group" }, [
      Qira.tileRow(group.map((t) => t.tile)),
      el("span", { class: "labels" }, group.map((t) => el("span", { text: t.label }))),
    ]));
    const melds = winner.melds.map((meld) => el("span", { class: "meld" }, [Qira.tileRow(meld.tiles, true)]));
    return el("div", { class: "winner", "data-chair": String(winner.chair) }, [
      el("p", {}, [el("strong", { text: doc.players[winner.chair] }), "：", win.items[winner.chair] || ""]),
      el("div", {}, groups.length ? groups : [Qira.tileRow(winner.concealed)]),
      melds.length ? el("div", {}, ["副露 ", ...melds]) : null,
    ]);
  });
  const scores = doc.players.map((name, chair) => el("li", { text: name + "：实际得分 " + win.actual[chair] + "，应得分 " + win.due[chair] }));
  return el("section", { class: "win" }, [
    el("h3", { text: win.winnerLine }),
    win.discarderLine ? el("p", { text: win.discarderLine }) : null,
    el("p", {}, ["和牌 ", Qira.tile(win.winningTile)]),
    ...winners, el("ul", {}, scores),
  ]);
}

let current = 0;

function showStep(content, doc, n) {
  const { el } = Qira;
  current = n;
  const step = doc.steps[n];
  document.body.dataset.step = String(n);
  history.replaceState(null, "", "?step=" + n);
  const previous = el("button", { type: "button", class: "step", text: "◀ 上一步" });
  const next = el("button", { type: "button", class: "step", text: "下一步 ▶" });
  previous.disabled = n === 0;
  next.disabled = n === doc.steps.length - 1;
  previous.addEventListener("click", () => showStep(content, doc, n - 1));
  next.addEventListener("click", () => showStep(content, doc, n + 1));
  const facts = el("div", { class: "facts" }, [
    el("span", {}, ["混牌 ", Qira.tile(doc.wild)]), el("span", {}, ["混皮子 ", Qira.tile(doc.indicator)]),
    previous, el("span", { class: "step-text", text: step.text }), next,
  ]);
  const last = n === doc.steps.length - 1;
  const ending = last ? (doc.win ? winBox(doc) : el("p", { class: "win", text: "流局" })) : null;
  const seats = el("div", { class: "seats" }, [0, 1, 2, 3].map((chair) => handSeat(doc, step, chair)));
  content.replaceChildren(el("h2", { text: "第 " + doc.id + " 局（第 " + doc.table + " 桌）" }), facts, seats);
  if (ending) content.append(ending);
}

window.addEventListener("DOMContentLoaded", async () => {
  Qira.header("牌局回放");
  const content = document.getElementById("content");
  let doc;
  try {
    await Qira.loadTiles();
    doc = await Qira.getJson("/api/hands/" + encodeURIComponent(Qira.lastPart()));
  } catch (error) {
    return Qira.showError(content, error);
  }
  const asked = Number(new URLSearchParams(location.search).get("step"));
  showStep(content, doc, Number.isInteger(asked) ? Math.min(Math.max(asked, 0), doc.steps.length - 1) : 0);
  document.addEventListener("keydown", (event) => {
    if (event.key === "ArrowRight" && current < doc.steps.length - 1) showStep(content, doc, current + 1);
    if (event.key === "ArrowLeft" && current > 0) showStep(content, doc, current - 1);
  });
});
