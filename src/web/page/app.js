"use strict";
// The web console's page. Every text from the game or the journal goes into the page through
// textContent only: a name like <script> is shown, never run.

// The record's fields under the editor's labels (main screen, then the extended info screen).
const LABELS = {
  real_name: "Real Name", level: "Level", name: "Nickname", hit_points: "Hit Points",
  experience: "Experience", hit_max: "Hit Max", weapon_name: "Weapon Name",
  weapon_num: "Weapon Num", forest_fights: "Forest Fights", player_fights: "Player Fights",
  skill_class: "Skill Class", sex: "Sex of Player", strength: "Strength",
  seen_master: "Seen Master?", defense: "Defense", seen_bard: "Heard Bard Sing?", charm: "Charm",
  gems: "Gems", flirted: "Flirted Player?", armour_name: "Armour Name", armour_num: "Armour Num",
  gold: "Gold in Hand", inn: "Asleep at Inn?", bank: "Gold in Bank", dead: "Is Player Dead?",
  married_to: "Married To", seen_dragon: "Seen Dragon?", high_spirits: "High Spirits?",
  kills: "# of Kills", horse: "Has a Horse?", games_won: "Games Won", lays: "Times Laid",
  kids: "# of Kids", weird_event: "Weird Forest Event?", on_now: "Is Player On Now?",
  skill_dk: "Warrior Skills", uses_dk: "Warrior Uses", skill_mystic: "Mystic Skills",
  uses_mystic: "Mystic Uses", skill_thief: "Thief Skills", uses_thief: "Thief Uses",
};
// The editor shows seen_quenna as Quenna for a male player and as the Bard for a female one.
function labelOf(name, record) {
  if (name === "seen_quenna") return record.sex === 5 ? "Seen the Bard?" : "Seen Quenna?";
  return LABELS[name] || name;
}

const COLUMNS = [
  ["number", "#", true], ["real_name", "Real Name"], ["nickname", "Nickname"],
  ["level", "Level", true], ["gold", "Gold", true], ["bank", "Bank", true],
  ["experience", "Experience", true], ["married", "Married To"], ["status", "Status"],
];

let csrf = "";
let players = [];
let sortKey = "number";
let sortUp = true;

const $ = (id) => document.getElementById(id);

function el(tag, text, className) {
  const e = document.createElement(tag);
  if (text !== undefined) e.textContent = String(text);
  if (className) e.className = className;
  return e;
}

function say(text) { $("status").textContent = text || ""; }

// The answer's lines under these keys, in this order, or its HTTP status when it has none.
function answerText(answer, keys) {
  const b = answer.body || {};
  const lines = [].concat(...keys.map((key) => b[key] || []));
  return lines.length ? lines.join("\n") : "HTTP " + answer.status;
}

function errorText(answer) { return answerText(answer, ["error", "said"]); }

async function api(path, options) {
  const res = await fetch(path, Object.assign({ credentials: "same-origin" }, options));
  let body = null;
  try { body = await res.json(); } catch (e) { body = null; }
  return { status: res.status, ok: res.ok, body: body };
}

function post(path, data) {
  return api(path, {
    method: "POST",
    headers: { "Content-Type": "application/json", "X-CSRF-Token": csrf },
    body: JSON.stringify(data || {}),
  });
}

function statusOf(p) { return p.deleted ? "deleted" : p.dead ? "dead" : "alive"; }

function marriedText(p) {
  if (!p.married_to.length) return "nobody";
  return p.married_to.map((s) => s.character ||
    (s.player + " " + (s.name === null ? "(no such player)" : s.name))).join(" + ");
}

function cellOf(p, key) {
  if (key === "married") return marriedText(p);
  if (key === "status") return statusOf(p);
  return p[key];
}

// --- players

function drawHeader() {
  const row = document.querySelector("#players thead tr");
  row.replaceChildren();
  for (const [key, title, number] of COLUMNS) {
    const th = el("th", title + (key === sortKey ? (sortUp ? " \u25B2" : " \u25BC") : ""),
                  number ? "number" : "");
    th.dataset.key = key;
    th.addEventListener("click", () => {
      sortUp = key === sortKey ? !sortUp : true;
      sortKey = key;
      drawPlayers();
    });
    row.appendChild(th);
  }
}

function drawPlayers() {
  drawHeader();
  const name = $("filter-name").value.toLowerCase();
  const status = $("filter-status").value;
  const shown = players.filter((p) =>
    (!status || statusOf(p) === status) &&
    (!name || p.nickname.toLowerCase().includes(name) || p.real_name.toLowerCase().includes(name)));
  shown.sort((a, b) => {
    const x = cellOf(a, sortKey), y = cellOf(b, sortKey);
    const order = typeof x === "number" ? x - y : String(x).localeCompare(String(y));
    return (sortUp ? order : -order) || a.number - b.number;
  });
  const body = document.querySelector("#players tbody");
  const rows = document.createDocumentFragment();
  for (const p of shown) {
    const tr = el("tr");
    tr.dataset.number = p.number;
    for (const [key, , number] of COLUMNS) {
      const td = el("td", undefined, number ? "number" : "");
      if (key === "nickname") {
        const a = el("a", p.nickname);
        a.href = "#player/" + p.number;
        td.appendChild(a);
      } else {
        td.textContent = String(cellOf(p, key));
      }
      tr.appendChild(td);
    }
    rows.appendChild(tr);
  }
  body.replaceChildren(rows);
  $("players-count").textContent = shown.length + " of " + players.length + " players";
}

async function showPlayers() {
  const answer = await api("/api/players");
  if (!answer.ok) return say(errorText(answer));
  players = answer.body;
  drawPlayers();
}

// --- one player

function fillPlayer(record) {
  $("player-title").textContent = "Player " + record.number + ": " + record.name;
  for (const input of document.querySelectorAll("#player-fields input")) {
    const value = String(record[input.name]);
    input.value = value;
    input.dataset.stored = value;
    input.parentElement.querySelector(".why").textContent = "";
  }
}

async function showPlayer(n) {
  const answer = await api("/api/players/" + n);
  if (!answer.ok) return say(errorText(answer));
  const record = answer.body;
  const fields = $("player-fields");
  fields.replaceChildren();
  for (const name of Object.keys(record)) {
    if (name === "number") continue;
    const row = el("label", undefined, "field");
    row.appendChild(el("span", labelOf(name, record)));
    const input = el("input");
    input.name = name;
    row.appendChild(input);
    row.appendChild(el("span", "", "why"));
    fields.appendChild(row);
  }
  $("player-form").dataset.number = n;
  $("player-message").textContent = "";
  fillPlayer(record);
}

// Only the fields changed here are sent: a field a node changed meanwhile keeps its value.
async function savePlayer(event) {
  event.preventDefault();
  const changed = {};
  for (const input of document.querySelectorAll("#player-fields input"))
    if (input.value !== input.dataset.stored) changed[input.name] = input.value;
  if (!Object.keys(changed).length) return ($("player-message").textContent = "nothing changed");
  const answer = await post("/api/players/" + $("player-form").dataset.number, changed);
  if (answer.status === 422) {
    for (const [name, why] of Object.entries(answer.body.refused)) {
      const input = document.querySelector('#player-fields input[name="' + CSS.escape(name) + '"]');
      if (input) input.parentElement.querySelector(".why").textContent = why;
    }
    $("player-message").textContent = "not saved: a value is refused";
    return;
  }
  if (!answer.ok) return ($("player-message").textContent = errorText(answer));
  fillPlayer(answer.body.player);
  $("player-message").textContent = "saved: " + answer.body.said.slice(1).join(";");
}

// --- check

async function showCheck() {
  const answer = await api("/api/check");
  if (!answer.ok) return say(errorText(answer));
  const c = answer.body;
  $("check-summary").textContent = c.problems.length
    ? c.problems.length + " problems in " + c.players_with_problems + " of " + c.players +
      " players"
    : "all well: " + c.players + " players";
  const list = $("problems");
  list.replaceChildren();
  for (const problem of c.problems) {
    const li = el("li");
    if (Number.isInteger(problem.player) && problem.player >= 0 && problem.player < c.players) {
      const a = el("a", problem.text);
      a.href = "#player/" + problem.player;
      li.appendChild(a);
    } else {
      li.textContent = problem.text;
    }
    list.appendChild(li);
  }
}

// --- journal

async function undo(op, box) {
  const answer = await post("/api/undo/" + op);
  await showLog();
  const target = document.querySelector('.op[data-op="' + op + '"]');
  (target || box).appendChild(el("p", answerText(answer, ["said", "error"]), "said"));
}

async function showLog() {
  const answer = await api("/api/log");
  if (!answer.ok) return say(errorText(answer));
  const ops = [];
  for (const line of answer.body) {
    if (!ops.length || ops[ops.length - 1].op !== line.op) ops.push({ op: line.op, lines: [] });
    ops[ops.length - 1].lines.push(line);
  }
  const box = $("operations");
  box.replaceChildren();
  if (!ops.length) box.appendChild(el("p", "The journal is empty."));
  for (const { op, lines } of ops) {
    const head = lines[0];
    const div = el("div", undefined, "op");
    div.dataset.op = op;
    const h = el("h3");
    h.appendChild(el("span", "Operation " + op + ": " + head.operation + " by " + head.who +
                             ", " + head.node + ", " + head.time));
    const button = el("button", "Undo");
    button.type = "button";
    button.addEventListener("click", () => undo(op, div));
    h.appendChild(button);
    div.appendChild(h);
    const table = el("table");
    for (const l of lines)
      table.appendChild(rowOf([l.player, l.name, l.field, l.old, "\u2192", l.new]));
    const scroll = el("div", undefined, "scroll");
    scroll.appendChild(table);
    div.appendChild(scroll);
    box.appendChild(div);
  }
}

function rowOf(cells) {
  const tr = el("tr");
  for (const cell of cells) tr.appendChild(el("td", cell));
  return tr;
}

// --- views by the address's #

let routed = 0;  // the latest view asked for: an earlier one that ends later does not count

async function route() {
  const mine = ++routed;
  say("");
  const [view, arg] = (location.hash.slice(1) || "players").split("/");
  const views = { players: showPlayers, player: () => showPlayer(Number(arg)), check: showCheck,
                  log: showLog };
  const name = views[view] ? view : "players";
  for (const v of Object.keys(views)) $(v + "-view").hidden = v !== name;
  await views[name]();
  if (mine === routed) document.body.dataset.ready = name;
}

async function start() {
  const session = await api("/api/session");
  if (!session.ok) return say(errorText(session));
  csrf = session.body.csrf;
  $("filter-name").addEventListener("input", drawPlayers);
  $("filter-status").addEventListener("change", drawPlayers);
  $("player-form").addEventListener("submit", savePlayer);
  window.addEventListener("hashchange", route);
  await route();
}

start();
