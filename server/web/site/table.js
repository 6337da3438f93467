// 观看一桌: what any onlooker without permission may see, live. Concealed
// tiles come as a count only and are drawn face down.
"use strict";

const received = [];  // every document the stream delivered, for checks

function seatBox(doc, chair) {
  const { el } = Qira;
  const player = doc.players[chair];
  const seat = doc.table.seats[chair];
  const name = player ? player.name : "空位";
  const title = el("h3", {}, [Qira.chairWords[chair] + " ", el("span", { class: "name", text: name }),
    player ? " " + player.points + " 分" : "", doc.table.dealer === chair ? " (庄)" : "", seat.ting ? " (听)" : ""]);
  const hidden = Array(seat.concealed).fill(100);
  const melds = el("span", {}, seat.melds.map((meld) => el("span", { class: "meld" }, [Qira.tileRow(meld.tiles, true)])));
  return el("section", { class: doc.table.turn === chair ? "seat active" : "seat", "data-chair": String(chair) }, [
    title,
    el("div", { class: "row hand" }, [el("span", { class: "label", text: "手牌" }), Qira.tileRow(hidden, true)]),
    el("div", { class: "row melds" }, [el("span", { class: "label", text: "副露" }), melds]),
    el("div", { class: "row discards" }, [el("span", { class: "label", text: "弃牌" }), Qira.tileRow(seat.discards, true)]),
    el("div", { class: "row note", text: "牌墙 " + seat.wall + " 张" }),
  ]);
}

function showTable(content, doc) {
  const { el } = Qira;
  received.push(doc);
  document.body.dataset.updates = String(received.length);
  if (doc.error) return Qira.showError(content, new Error(doc.error));
  const heading = el("h2", { text: "第 " + doc.number + " 桌 · 第 " + doc.hand + " 局" });
  const onlookers = el("p", { class: "note", text: doc.onlookers.length ? "旁观：" + doc.onlookers.join("、") : "无人旁观" });
  if (!doc.table || !doc.table.running) {
    const names = doc.players.map((p, chair) => Qira.chairWords[chair] + " " + (p ? p.name + " " + p.points + " 分" : "空位"));
    return content.replaceChildren(heading, el("p", { text: "等待下一局。" }),
      el("ul", {}, names.map((line) => el("li", { text: line }))), onlookers);
  }
  const t = doc.table;
  const facts = el("div", { class: "facts" }, [
    el("span", {}, ["混牌 ", Qira.tile(t.wild)]),
    el("span", {}, ["混皮子 ", Qira.tile(t.indicator)]),
    t.current !== undefined ? el("span", { class: "current" }, ["桌上 ", Qira.tile(t.current)]) : null,
    el("span", { class: "wall-left", text: "牌墙剩 " + t.wallLeft + " 张" }),
    el("span", { class: "clock", text: doc.clockSeconds !== undefined ? "时钟 " + doc.clockSeconds + " 秒" : "" }),
    el("span", { text: "轮到 " + Qira.chairWords[t.turn] }),
  ]);
  const seats = el("div", { class: "seats" }, [0, 1, 2, 3].map((chair) => seatBox(doc, chair)));
  content.replaceChildren(heading, facts, seats, onlookers);
}

window.addEventListener("DOMContentLoaded", async () => {
  Qira.header("观看牌桌");
  const content = document.getElementById("content");
  const number = Number(Qira.lastPart());
  try {
    await Qira.loadTiles();
  } catch (error) {
    return Qira.showError(content, error);
  }
  const events = new EventSource("/api/tables/events?table=" + number);
  events.onmessage = (message) => showTable(content, JSON.parse(message.data));
});
