#!/bin/bash
# The real server and a seated player in a network namespace of their own;
# the network then goes away under them without a word (as when a laptop
# sleeps). The server must count the player as gone within its dead-peer
# deadline. Skipped (77) where unprivileged network namespaces are not allowed.
set -u
server=$1
if [[ ${QIRA_IN_NAMESPACE:-} != 1 ]]; then
    command -v unshare >/dev/null && command -v ip >/dev/null || exit 77
    unshare -rn true 2>/dev/null || exit 77
    QIRA_IN_NAMESPACE=1 exec unshare -rn "$0" "$@"
fi

ip link set lo up || exit 77
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
"$server" --listen 127.0.0.1:5999 --db "$work/stats.db" --bot-wait 600 \
    --dead-peer-seconds 10 2>"$work/log" &
for _ in $(seq 50); do grep -q listening "$work/log" && break; sleep 0.1; done

# The hello "QIRA/1`sleeper" and the entry 130/0 "500`QIRA`0", framed.
exec 3<>/dev/tcp/127.0.0.1/5999
printf '\x00\x00\x00\x0eQIRA/1`sleeper\x00\x00\x00\x0c\x82\x00500`QIRA`0' >&3
for _ in $(seq 50); do grep -q "sleeper sits" "$work/log" && break; sleep 0.1; done
grep -q "sleeper sits" "$work/log" || { cat "$work/log"; echo "not seated"; exit 1; }

ip link set lo down
for second in $(seq 20); do
    sleep 1
    if grep -q "sleeper disconnected" "$work/log"; then
        ((second >= 3)) || { cat "$work/log"; echo "dropped before any probe"; exit 1; }
        echo "counted as gone after $second s"
        exit 0
    fi
done
cat "$work/log"
echo "a silent seated connection was still held 20 s later (deadline 10 s)"
exit 1
