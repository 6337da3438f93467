// 牌桌: every open table, kept up to date by the server's event stream.
"use strict";

function playerLine(table, player, chair) {
  const { el } = Qira;
  if (!player) return el("li", {}, [el("span", { class: "note", text: Qira.chairWords[chair] + " 空位" })]);
  const active = table.turn === chair && table.table && table.table.running;
  const name = el("a", { href: "/players/" + encodeURIComponent(player.name), text: player.name });
  const who = el("span", { class: active ? "turn" : "" }, [Qira.chairWords[chair] + " ", name,
    player.computer ? " (电脑)" : "", player.connected ? "" : " (掉线)"]);
  return el("li", { "data-chair": String(chair) }, [who, el("span", { class: "points", text: String(player.points) })]);
}

function tableCard(table) {
  const { el } = Qira;
  const running = table.table && table.table.running;
  const state = running ? "第 " + table.hand + " 局进行中" : "等待开局（已打 " + table.handsPlayed + " 局）";
  const onlookers = table.onlookers.length ? "旁观：" + table.onlookers.join("、") : "无人旁观";
  return el("section", { class: "card", "data-table": String(table.number) }, [
    el("h3", { text: "第 " + table.number + " 桌" }),
    el("p", { class: "note state", text: state + (table.clockSeconds !== undefined ? "，剩 " + table.clockSeconds + " 秒" : "") }),
    el("ul", {}, table.players.map((player, chair) => playerLine(table, player, chair))),
    el("p", { class: "note onlookers", text: onlookers }),
    el("a", { href: "/tables/" + table.number, text: "观看这一桌" }),
  ]);
}

function showTables(content, doc) {
  const { el } = Qira;
  const cards = doc.tables.map(tableCard);
  content.replaceChildren(el("h2", { text: "牌桌" }),
    cards.length ? el("div", { class: "cards" }, cards) : el("p", { class: "note", text: "现在没有开着的牌桌。" }));
  document.body.dataset.updates = String(Number(document.body.dataset.updates || 0) + 1);
}

window.addEventListener("DOMContentLoaded", () => {
  Qira.header("牌桌");
  const content = document.getElementById("content");
  const events = new EventSource("/api/tables/events");
  events.onmessage = (message) => showTables(content, JSON.parse(message.data));
  events.onerror = () => { if (events.readyState === EventSource.CLOSED) Qira.showError(content, new Error("与服务器的连接断了")); };
});
