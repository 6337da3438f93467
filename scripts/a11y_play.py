#!/usr/bin/python3
"""Plays one hand of qira-client by key presses only, reading the table over
the AT-SPI accessibility bus. Started by scripts/a11y-play, which provides the
X screen, the D-Bus session and the AT-SPI registry."""
import os
import subprocess
import sys
import time

import pyatspi

OUT = sys.argv[1] if len(sys.argv) > 1 else "/tmp/qira-a11y"
HANDS = int(os.environ.get("QIRA_HANDS", "1"))  # hands to play before stopping


def find_app():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == "qira-client":
                return app
        time.sleep(0.2)
    sys.exit("qira-client did not appear on the accessibility bus")


def walk(node, depth=0, lines=None):
    lines = [] if lines is None else lines
    states = node.getState()
    hidden = not states.contains(pyatspi.STATE_SHOWING) and node.getRoleName() == "push button"
    lines.append("%s%s \"%s\"%s%s" % ("  " * depth, node.getRoleName(), node.name,
                                      " (%s)" % node.description if node.description else "",
                                      " [hidden]" if hidden else ""))
    for child in node:
        if child is not None:
            walk(child, depth + 1, lines)
    return lines


def find(node, role, name=None):
    if node.getRoleName() == role and (name is None or node.name.startswith(name)):
        return node
    for child in node:
        if child is None:
            continue
        found = find(child, role, name)
        if found is not None:
            return found
    return None


def shown(node):
    return node is not None and node.getState().contains(pyatspi.STATE_VISIBLE)


def key(name):
    subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
    time.sleep(0.3)


def snapshot(path):
    subprocess.run(["import", "-window", "root", path])


def main():
    claims = [0]
    app = find_app()
    time.sleep(2)
    heard = []

    def on_name(event):
        try:
            if event.source is not None and event.source.getRoleName() == "status bar":
                heard.append(event.source.name)
        except Exception:  # the part may be gone by the time the event is read
            pass

    pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
    table = None
    for _ in range(50):
        table = find(app, "panel", "牌桌")
        if table is not None:
            break
        time.sleep(0.2)
    if table is None:
        print("\n".join(walk(app)))
        sys.exit("no table on the accessibility bus")
    status = find(table, "status bar")
    turn_line = lambda: find(table, "label", "轮到") or find(table, "label", "等候")
    button = lambda name: find(table, "push button", name)
    presses = []
    deadline = time.time() + 300 * HANDS
    hands_done = 0
    tree_written = offer_written = False
    polled = []
    played = False  # a hand of ours has been dealt
    while time.time() < deadline:
        pyatspi.Registry.pumpQueuedEvents()
        line = status.name
        if not polled or polled[-1] != line:
            polled.append(line)
        if played and ("胡牌" in line or "荒牌" in line or shown(button("开始"))):
            hands_done += 1
            played = False
            if hands_done >= HANDS:
                break
            while not shown(button("开始")) and time.time() < deadline:
                time.sleep(0.3)
                pyatspi.Registry.pumpQueuedEvents()
        if shown(button("开始")):
            presses.append("S"); key("s")
        elif shown(button("押定")):
            presses.append("3"); key("3")
        elif line.startswith("你可以"):
            played = True
            if not offer_written:
                with open(OUT + "-offer-tree.txt", "w") as tree:
                    tree.write("\n".join(walk(table)) + "\n")
                offer_written = True
            for action, k in (("胡", "h"), ("杠", "g"), ("碰", "p"), ("吃", "c")):
                if shown(button(action)):
                    presses.append(k.upper()); key(k)
                    if k == "c":
                        key("Return")  # the chooser, if it opens, takes its first chow
                    if k != "h":
                        claims[0] += 1
                        time.sleep(1.5)
                        snapshot("%s-claim-%d.png" % (OUT, claims[0]))
                    break
            else:
                presses.append("Esc"); key("Escape")
        elif getattr(turn_line(), "name", None) == "轮到你出牌":
            played = True
            if not tree_written:
                with open(OUT + "-tree.txt", "w") as tree:
                    tree.write("\n".join(walk(app)) + "\n")
                tree_written = True
            # The drawn tile is raised first; one step left keeps it.
            presses.append("Left Left Return")
            key("Left"); key("Left"); key("Return")
        time.sleep(0.4)
    pyatspi.Registry.pumpQueuedEvents()
    hand = find(table, "list", "手牌")
    with open(OUT + "-heard.txt", "w") as out:
        out.write("hands played: %d\n" % hands_done)
        out.write("keys: %s\n" % " | ".join(presses))
        out.write("final status line: %s\n" % status.name)
        out.write("hand: %s\n" % " ".join(tile.name for tile in hand))
        out.write("status line, polled:\n" + "\n".join(polled) + "\n")
        out.write("name-change events heard over AT-SPI: %d\n" % len(heard))
        out.write("\n".join(line for line in heard if "胡牌" in line or "荒牌" in line) + "\n")
    print(open(OUT + "-heard.txt").read())


if __name__ == "__main__":
    main()
