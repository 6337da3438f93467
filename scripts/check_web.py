#!/usr/bin/python3
"""The browser half of scripts/check-web.

  check_web.py seed DATABASE                 adds a player with a hostile name
  check_web.py check URL DATABASE OUT WORK   drives headless Chromium

Chromium is driven over --remote-debugging-pipe (file descriptors 3 and 4,
JSON messages ended by a NUL byte), so nothing but the standard library is
needed."""
import base64
import collections
import json
import os
import sqlite3
import subprocess
import sys
import time
import urllib.parse

HOSTILE = "<script>alert(1)</script>\"&'"
WIDTHS = {"desktop": 1280, "phone": 390}
FACE_DOWN = 100
failures = []


def fail(text):
    failures.append(text)
    print("check-web: FAIL " + text, file=sys.stderr)


def seed(database):
    """A player with a hostile name: a users row and a hand where they sat."""
    db = sqlite3.connect(database)
    log = json.loads(db.execute("SELECT log FROM hands ORDER BY id LIMIT 1").fetchone()[0])
    log["players"][1] = HOSTILE
    db.execute("INSERT INTO hands(log) VALUES(?)", (json.dumps(log, ensure_ascii=False),))
    db.execute("INSERT INTO users(name, points) VALUES(?, 5000)", (HOSTILE,))
    db.commit()


class Browser:
    """One headless Chromium page."""

    def __init__(self, work):
        to_chrome_r, self.to_chrome = os.pipe()
        self.from_chrome, from_chrome_w = os.pipe()

        def wire():
            os.dup2(to_chrome_r, 3)
            os.dup2(from_chrome_w, 4)

        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
             "--no-first-run", "--remote-debugging-pipe", "--user-data-dir=" + work + "/profile",
             "about:blank"],
            preexec_fn=wire, pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_chrome_r)
        os.close(from_chrome_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None
        targets = self.call("Target.getTargets")["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": page["targetId"], "flatten": True})["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")

    def close(self):
        self.process.kill()
        self.process.wait()

    def _read(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_chrome, 1 << 16)
            if not chunk:
                raise RuntimeError("chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if self.session:
            message["sessionId"] = self.session
        os.write(self.to_chrome, json.dumps(message).encode() + b"\0")
        while True:
            answer = self._read()
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(method + ": " + answer["error"]["message"])
                return answer["result"]
            self.events.append(answer)
            if answer.get("method") == "Page.javascriptDialogOpening":
                fail("a dialog opened: " + answer["params"]["message"])
                self.call("Page.handleJavaScriptDialog", {"accept": True})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True})
        if "exceptionDetails" in result:
            raise RuntimeError(expression + ": " + json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, seconds=15):
        end = time.time() + seconds
        while time.time() < end:
            if self.evaluate("!!(%s)" % expression):
                return True
            time.sleep(0.1)
        return False

    def open(self, url, width=1280, ready="document.getElementById('content').dataset !== undefined"
             " && !document.querySelector('#content > p.note:only-child')"):
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": width < 600})
        self.events.clear()
        self.call("Page.navigate", {"url": url})
        if not self.wait_for("document.readyState === 'complete'"):
            fail("page did not load: " + url)
        if not self.wait_for(ready):
            fail("page did not fill: " + url)

    def key(self, name, code):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", {"type": kind, "key": name, "code": name,
                                                 "windowsVirtualKeyCode": code})

    def shoot(self, path, width):
        height = self.evaluate("document.documentElement.scrollHeight")
        self.call("Emulation.setDeviceMetricsOverride", {"width": width, "height": min(height, 6000),
                                                         "deviceScaleFactor": 1,
                                                         "mobile": width < 600})
        time.sleep(0.3)
        if not self.wait_for("[...document.images].every(i => i.complete && i.naturalWidth > 0)", 5):
            fail("%s: a picture did not load" % path)
        wide = self.evaluate("document.documentElement.scrollWidth")
        if wide > width:
            fail("%s is %d px wide at %d px" % (path, wide, width))
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as picture:
            picture.write(base64.b64decode(data))
        print("check-web: " + path)


# --- the hand log, step by step, for comparing with what the pages show ---

def log_steps(hand):
    """Every chair's concealed tiles, discards and melds after each act."""
    hands = [list(tiles) for tiles in hand["deal"]]
    discards = [[], [], [], []]
    melds = [[], [], [], []]
    steps = [(json.loads(json.dumps(hands)), json.loads(json.dumps(discards)), [list(m) for m in melds])]
    for event in hand["events"]:
        chair, act, tile = event["chair"], event["act"], event.get("tile")
        held = hands[chair]
        if act == "draw":
            held.append(tile)
        elif act == "discard":
            held.remove(tile)
            discards[chair].append(tile)
        elif act in ("chow", "pung") or (act == "kong" and event["kind"] == "exposed"):
            taken = list(event["meld"])
            taken.remove(tile)
            for t in taken:
                held.remove(t)
            discards[event["from"]].pop()
            melds[chair].append(sorted(event["meld"]))
        elif act == "kong" and event["kind"] == "concealed":
            for _ in range(4):
                held.remove(tile)
            melds[chair].append([FACE_DOWN] * 4)
        elif act == "kong":  # added to an own pung
            held.remove(tile)
            for meld in melds[chair]:
                if meld == [tile] * 3:
                    meld.append(tile)
                    break
        elif act == "indicator_kong":  # three indicators laid open
            for t in event["meld"]:
                held.remove(t)
            melds[chair].append(sorted(event["meld"]))
        elif act == "win" and event.get("robbed"):
            return steps  # the robbed tile leaves another hand: stop comparing here
        steps.append((json.loads(json.dumps(hands)), json.loads(json.dumps(discards)),
                      [[list(m) for m in chair_melds] for chair_melds in melds]))
    return steps


def read_hands(database):
    db = sqlite3.connect("file:" + database + "?mode=ro", uri=True)
    rows = db.execute("SELECT id, log FROM hands ORDER BY id").fetchall()
    return [dict(json.loads(log), id=hand_id) for hand_id, log in rows]


# --- the checks ---

def check_replay(browser, base, database, out):
    hand = next(h for h in read_hands(database) if h["result"]["winners"])
    steps = log_steps(hand)
    browser.open("%s/hands/%d" % (base, hand["id"]))
    shown = "[...document.querySelectorAll('section.seat')].map(s => ({hand: [...s.querySelectorAll(" \
            "'.hand img')].map(i => +i.dataset.tile), discards: [...s.querySelectorAll('.discards img')]" \
            ".map(i => +i.dataset.tile)}))"
    compared = 0
    for n in range(1, min(len(steps), 40)):
        browser.key("ArrowRight", 39)
        if not browser.wait_for("document.body.dataset.step === '%d'" % n, 5):
            fail("ArrowRight did not reach step %d" % n)
            break
        if browser.evaluate("location.search") != "?step=%d" % n:
            fail("the address does not keep step %d" % n)
        seats = browser.evaluate(shown)
        hands, discards, _ = steps[n]
        for chair in range(4):
            if sorted(seats[chair]["hand"]) != sorted(hands[chair]):
                fail("hand %d step %d chair %d shows %s, the log has %s" % (
                    hand["id"], n, chair, seats[chair]["hand"], sorted(hands[chair])))
            if seats[chair]["discards"] != discards[chair]:
                fail("hand %d step %d chair %d discards %s, the log has %s" % (
                    hand["id"], n, chair, seats[chair]["discards"], discards[chair]))
        compared += 1
    browser.key("ArrowLeft", 37)
    if not browser.wait_for("document.body.dataset.step === '%d'" % (compared - 1), 5):
        fail("ArrowLeft did not step back")
    for name, width in WIDTHS.items():
        browser.open("%s/hands/%d?step=12" % (base, hand["id"]), width)
        if browser.evaluate("document.body.dataset.step") != "12":
            fail("a link with ?step=12 did not open at step 12")
        browser.shoot("%s/web-hand-%s.png" % (out, name), width)
        browser.open("%s/hands/%d?step=100000" % (base, hand["id"]), width,
                     ready="document.querySelector('.win') !== null")
        labels = browser.evaluate("document.querySelectorAll('.win .group').length")
        if not labels:
            fail("the win window shows no grouped hand")
        browser.shoot("%s/web-hand-win-%s.png" % (out, name), width)
    print("check-web: replay of hand %d matches the log over %d steps" % (hand["id"], compared))


def check_leaderboard_and_players(browser, base, out):
    for name, width in WIDTHS.items():
        browser.open(base + "/leaderboard", width, ready="document.querySelector('table.board tbody tr')")
        browser.shoot("%s/web-leaderboard-%s.png" % (out, name), width)
    first = browser.evaluate("document.querySelector('tbody tr td:nth-child(2) a').textContent")
    if first != HOSTILE:
        fail("the leaderboard's first name reads %r" % first)
    browser.evaluate("document.querySelector('button[data-sort=hands]').click()")
    browser.wait_for("location.search.includes('sort=hands')", 5)
    browser.wait_for("document.querySelector('button[data-sort=hands]').textContent.includes('▼')", 5)
    counts = browser.evaluate("[...document.querySelectorAll('tbody tr td:nth-child(4)')].map(c => +c.textContent)")
    if counts != sorted(counts, reverse=True) or not counts:
        fail("sorting by hands gave %s" % counts)
    for name, width in WIDTHS.items():
        browser.open(base + "/players/" + urllib.parse.quote(HOSTILE, safe=""), width,
                     ready="document.querySelector('h2 .name')")
        if browser.evaluate("document.querySelector('h2 .name').textContent") != HOSTILE:
            fail("the hostile name is not shown as written")
        if browser.evaluate("document.scripts.length") != 2:
            fail("the hostile name added a script element")
        browser.shoot("%s/web-player-hostile-%s.png" % (out, name), width)
        browser.open(base + "/players/" + urllib.parse.quote("电脑1"), width,
                     ready="document.querySelector('svg.plot polyline')")
        points = browser.evaluate("document.querySelector('svg.plot polyline').getAttribute('points').split(' ').length")
        hands = int(browser.evaluate("document.body.dataset.hands"))
        if points != hands + 1:
            fail("the plot has %d points for %d hands" % (points, hands))
        browser.shoot("%s/web-player-%s.png" % (out, name), width)


def tiles_sent(doc):
    """Every tile code the live page was sent, the tile on the table counted with its discarder."""
    tiles = collections.Counter([doc["table"]["wild"], doc["table"]["indicator"]])
    for seat in doc["table"]["seats"]:
        tiles.update(seat["discards"])
        for meld in seat["melds"]:
            tiles.update(meld["tiles"])
    if "current" in doc["table"]:
        tiles[doc["table"]["current"]] += 1
    return tiles


def check_live(browser, base, database, out, started_after):
    for name, width in WIDTHS.items():
        browser.open(base + "/", width, ready="document.querySelectorAll('.card').length >= 2")
        before = int(browser.evaluate("document.body.dataset.updates || 0"))
        if not browser.wait_for("+document.body.dataset.updates >= %d" % (before + 3), 10):
            fail("the tables page does not update")
        browser.shoot("%s/web-tables-%s.png" % (out, name), width)
    browser.open(base + "/tables/1", 1280, ready="document.querySelector('section.seat')")
    discards = "document.querySelectorAll('.discards img').length"
    start = browser.evaluate(discards)
    if not browser.wait_for("%s > %d || document.querySelectorAll('section.seat').length === 0" % (discards, start), 20):
        fail("the watched table does not change while the hand is played")
    backs = browser.evaluate("[...document.querySelectorAll('.hand img')].every(i => i.dataset.tile === '100')")
    if not backs:
        fail("the watched table shows a concealed tile face up")
    if not browser.wait_for("received.some(d => d.table && d.table.running)", 30):
        return fail("no hand started at table 1")
    # The next hand, watched from its start.
    watched = browser.evaluate("received.find(d => d.table && d.table.running).hand") + 1
    # Watch until that hand is over and logged, then compare every document
    # the page received for it with the hand's hidden tiles.
    if not browser.wait_for("received.some(d => d.handsPlayed >= %d)" % watched, 120):
        fail("hand %d at table 1 did not end" % watched)
    for _ in range(150):  # the statistics writer commits on its own thread
        ours = [h for h in read_hands(database) if h["id"] > started_after and h["table"] == 1]
        if len(ours) >= watched:
            break
        time.sleep(0.1)
    if len(ours) < watched:
        return fail("hand %d at table 1 is not in the log" % watched)
    hand = ours[watched - 1]
    docs = browser.evaluate("received.filter(d => d.hand === %d && d.table && d.table.running && "
                            "d.table.phase !== 10)" % watched)
    checked = 0
    for doc in docs:
        if not any(doc_matches(doc, hand, state) for state in log_states_with_tiles(hand)):
            fail("the live page showed table 1 in a state hand %d never had: %s" % (hand["id"], json.dumps(doc)))
            break
        checked += 1
    for name, width in WIDTHS.items():
        browser.open(base + "/tables/2", width, ready="document.querySelector('section.seat, #content li')")
        browser.shoot("%s/web-table-%s.png" % (out, name), width)
    print("check-web: %d live documents of hand %d compared with its hidden tiles" % (checked, hand["id"]))


def log_states_with_tiles(hand):
    for hands, discards, melds in log_steps(hand):
        public = collections.Counter([hand["wild"], hand["indicator"]])
        for chair in range(4):
            public.update(discards[chair])
            for meld in melds[chair]:
                public.update(meld)
        yield hands, discards, public


def doc_matches(doc, hand, state):
    hands, discards, public = state
    seats = doc["table"]["seats"]
    shown = [list(seat["discards"]) for seat in seats]
    if "current" in doc["table"]:
        shown[doc["table"]["turn"]].append(doc["table"]["current"])
    if shown != discards:
        return False
    if [seat["concealed"] for seat in seats] != [len(h) for h in hands]:
        return False
    if any(set(seat) != {"melds", "discards", "concealed", "wall", "ting", "ready"} for seat in seats):
        return False
    # What the page got is exactly what lies open: none of the hidden tiles.
    return tiles_sent(doc) == public


def check(base, database, out, work):
    started_after = max(h["id"] for h in read_hands(database))
    browser = Browser(work)
    try:
        check_live(browser, base, database, out, started_after)
        check_replay(browser, base, database, out)
        check_leaderboard_and_players(browser, base, out)
        csp = browser.evaluate("fetch('/').then(r => r.headers.get('Content-Security-Policy'))")
        if not csp or "script-src 'self'" not in csp or "unsafe-inline" in csp:
            fail("the pages' Content-Security-Policy is %r" % csp)
        violations = [e for e in browser.events if e.get("method") == "Runtime.exceptionThrown"]
        for event in violations:
            fail("a script error: " + json.dumps(event["params"])[:300])
    finally:
        browser.close()
    if failures:
        sys.exit("check-web: %d problem(s)" % len(failures))
    print("check-web: all pages pass; look at the pictures in " + out)


if __name__ == "__main__":
    if sys.argv[1] == "seed":
        seed(sys.argv[2])
    else:
        check(*sys.argv[2:6])
