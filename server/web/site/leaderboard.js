// 排行榜: sorted and paged by the server.
"use strict";

const columns = [
  ["rank", "名次", false], ["name", "玩家", true], ["points", "积分", true], ["hands", "局数", true],
  ["winRate", "和牌率", true], ["selfDrawnShare", "自摸率", true], ["dealInRate", "点炮率", true],
];

function address(state) {
  return "/api/leaderboard?sort=" + state.sort + "&order=" + state.order + "&page=" + state.page;
}

async function showBoard(content, state) {
  const { el } = Qira;
  let doc;
  try {
    doc = await Qira.getJson(address(state));
  } catch (error) {
    return Qira.showError(content, error);
  }
  state.page = doc.page;
  history.replaceState(null, "", "?sort=" + state.sort + "&order=" + state.order + "&page=" + state.page);
  const heads = columns.map(([key, words, sortable]) => {
    if (!sortable) return el("th", { text: words });
    const mark = doc.sort === key ? (doc.order === "asc" ? " ▲" : " ▼") : "";
    const button = el("button", { type: "button", "data-sort": key, text: words + mark });
    button.addEventListener("click", () => {
      state.order = state.sort === key && state.order === "desc" ? "asc" : "desc";
      state.sort = key;
      state.page = 1;
      showBoard(content, state);
    });
    return el("th", {}, [button]);
  });
  const rows = doc.rows.map((row) => el("tr", {}, [
    el("td", { text: String(row.rank) }),
    el("td", {}, [el("a", { href: "/players/" + encodeURIComponent(row.name), text: row.name }), row.computer ? " (电脑)" : ""]),
    el("td", { text: String(row.points) }),
    el("td", { text: String(row.hands) }),
    el("td", { text: Qira.percent(row.winRate) }),
    el("td", { text: Qira.percent(row.selfDrawnShare) }),
    el("td", { text: Qira.percent(row.dealInRate) }),
  ]));
  const pager = el("div", { class: "pager" });
  const previous = el("button", { type: "button", text: "上一页" });
  const next = el("button", { type: "button", text: "下一页" });
  previous.disabled = doc.page <= 1;
  next.disabled = doc.page >= doc.pages;
  previous.addEventListener("click", () => { state.page -= 1; showBoard(content, state); });
  next.addEventListener("click", () => { state.page += 1; showBoard(content, state); });
  pager.append(previous, el("span", { text: "第 " + doc.page + " / " + doc.pages + " 页，共 " + doc.total + " 人" }), next);
  content.replaceChildren(el("h2", { text: "排行榜" }),
    el("div", { class: "scroll" }, [el("table", { class: "board" }, [el("thead", {}, [el("tr", {}, heads)]), el("tbody", {}, rows)])]),
    pager);
}

window.addEventListener("DOMContentLoaded", () => {
  Qira.header("排行榜");
  const query = new URLSearchParams(location.search);
  const state = { sort: query.get("sort") || "points", order: query.get("order") === "asc" ? "asc" : "desc", page: Number(query.get("page")) || 1 };
  if (!columns.some(([key, , sortable]) => sortable && key === state.sort)) state.sort = "points";
  showBoard(document.getElementById("content"), state);
});
