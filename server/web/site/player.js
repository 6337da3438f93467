// A player's page: the record, the points after each hand (the start
// window's 得分走势, drawn here as SVG) and the recent hands.
"use strict";

const svgSpace = "http://www.w3.org/2000/svg";

function svg(tag, attributes, text) {
  const node = document.createElementNS(svgSpace, tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, String(value));
  if (text !== undefined) node.textContent = text;
  return node;
}

// The same axes as the desktop chart: hands 1..n across, from the lower of 0
// and the lowest to the higher of 0 and the highest up.
function pointsPlot(pointsAfter) {
  const width = 720, height = 300, left = 56, right = 16, top = 16, bottom = 36;
  const low = Math.min(0, ...pointsAfter), high = Math.max(pointsAfter.length ? 0 : 10, ...pointsAfter);
  const span = high - low || 1, count = Math.max(1, pointsAfter.length);
  const x = (i) => left + (i / count) * (width - left - right);
  const y = (v) => top + (1 - (v - low) / span) * (height - top - bottom);
  const plot = svg("svg", { class: "plot", viewBox: "0 0 " + width + " " + height, role: "img", "aria-label": "得分走势" });
  plot.append(svg("line", { class: "axis", x1: left, y1: top, x2: left, y2: height - bottom }));
  plot.append(svg("line", { class: "axis", x1: left, y1: height - bottom, x2: width - right, y2: height - bottom }));
  plot.append(svg("line", { class: "zero", x1: left, y1: y(0), x2: width - right, y2: y(0) }));
  for (const value of [low, high, 0].filter((v, i, all) => all.indexOf(v) === i))
    plot.append(svg("text", { x: left - 6, y: y(value) + 4, "text-anchor": "end" }, String(value)));
  plot.append(svg("text", { x: width - right, y: height - 10, "text-anchor": "end" }, "局数 " + pointsAfter.length));
  plot.append(svg("text", { x: left, y: height - 10 }, "0"));
  const points = pointsAfter.map((v, i) => x(i + 1).toFixed(1) + "," + y(v).toFixed(1));
  plot.append(svg("polyline", { class: "line", points: [x(0).toFixed(1) + "," + y(0).toFixed(1), ...points].join(" ") }));
  return plot;
}

function showPlayer(content, doc) {
  const { el } = Qira;
  const r = doc.record;
  document.body.dataset.hands = String(doc.pointsAfter.length);
  const figures = el("div", { class: "figures" }, [
    el("div", { text: "积分 " + doc.points }), el("div", { text: "局数 " + r.hands }),
    el("div", { text: "和牌率 " + Qira.percent(r.winRate) }), el("div", { text: "自摸率 " + Qira.percent(r.selfDrawnShare) }),
    el("div", { text: "点炮率 " + Qira.percent(r.dealInRate) }),
  ]);
  const rows = doc.hands.map((hand) => el("tr", {}, [
    el("td", {}, [el("a", { href: "/hands/" + hand.id, text: "#" + hand.id })]),
    el("td", { text: hand.players.filter((p, chair) => chair !== hand.seat).join("、") }),
    el("td", { text: hand.result }),
    el("td", { text: String(hand.points) }),
    el("td", { text: hand.time ? new Date(hand.time * 1000).toLocaleString("zh-CN") : "" }),
  ]));
  const head = el("tr", {}, ["牌局", "对手", "结果", "得分", "时间"].map((words) => el("th", { text: words })));
  content.replaceChildren(
    el("h2", {}, [el("span", { class: "name", text: doc.name }), doc.computer ? " (电脑)" : ""]),
    figures, el("h2", { text: "得分走势" }), pointsPlot(doc.pointsAfter), el("h2", { text: "最近的牌局" }),
    el("div", { class: "scroll" }, [el("table", { class: "board hands" }, [el("thead", {}, [head]), el("tbody", {}, rows)])]));
}

window.addEventListener("DOMContentLoaded", async () => {
  Qira.header("玩家");
  const content = document.getElementById("content");
  try {
    showPlayer(content, await Qira.getJson("/api/players/" + encodeURIComponent(Qira.lastPart())));
  } catch (error) {
    Qira.showError(content, error);
  }
});
