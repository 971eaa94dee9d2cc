#!/usr/bin/env bash
# SlimProto discovery across a veth pair between two network namespaces made
# here and removed on exit: the player side broadcasts with the real
# slimproto-discover program, a scripted answerer listens on UDP 3483 on the
# server side. Nothing leaves the two namespaces.
#
# usage: discovery_netns_test.sh path/to/slimproto-discover
# Exits 77 (skipped) when namespaces cannot be made (no root, no ip netns).
set -u

DISCOVER=${1:?usage: discovery_netns_test.sh path/to/slimproto-discover}
CLIENT_NS=qd-client-$$
SERVER_NS=qd-server-$$
CLIENT_IF=qdc$$
SERVER_IF=qds$$
SUBNET=10.213.$(( $$ % 200 + 20 ))
WORK=$(mktemp -d)
RESPONDER_PID=

cleanup() {
    [ -n "$RESPONDER_PID" ] && kill "$RESPONDER_PID" 2>/dev/null
    ip netns del "$CLIENT_NS" 2>/dev/null
    ip netns del "$SERVER_NS" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

skip() {
    echo "SKIP: discovery test: $*"
    exit 77
}

[ "$(id -u)" = 0 ] || skip "needs root to create network namespaces"
command -v ip >/dev/null || skip "the ip tool is missing"
command -v python3 >/dev/null || skip "python3 is missing"
[ -x "$DISCOVER" ] || { echo "FAIL: $DISCOVER is not an executable"; exit 1; }
ip netns add "$CLIENT_NS" 2>/dev/null || skip "cannot create network namespaces"
ip netns add "$SERVER_NS" 2>/dev/null || skip "cannot create network namespaces"
ip link add "$CLIENT_IF" netns "$CLIENT_NS" type veth peer name "$SERVER_IF" netns "$SERVER_NS" 2>/dev/null ||
    skip "cannot create a veth pair"
ip -n "$CLIENT_NS" addr add "$SUBNET.1/24" dev "$CLIENT_IF"
ip -n "$SERVER_NS" addr add "$SUBNET.2/24" dev "$SERVER_IF"
ip -n "$SERVER_NS" addr add "$SUBNET.3/24" dev "$SERVER_IF"
for ns in "$CLIENT_NS" "$SERVER_NS"; do ip -n "$ns" link set lo up; done
ip -n "$CLIENT_NS" link set "$CLIENT_IF" up
ip -n "$SERVER_NS" link set "$SERVER_IF" up
# The limited broadcast needs a route; the only one leads into the pair.
ip -n "$CLIENT_NS" route add default dev "$CLIENT_IF"

# The answerer: one request in, then by mode: "D" answers at once; "other"
# first sends a non-D datagram from the second address, then the D; "silent"
# never answers.
cat > "$WORK/responder.py" <<'PY'
import socket, sys, time
mode, other_address, work = sys.argv[1], sys.argv[2], sys.argv[3]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("0.0.0.0", 3483))
s.settimeout(10)
open(work + "/ready", "w").close()
try:
    data, sender = s.recvfrom(512)
except socket.timeout:
    sys.exit(1)
open(work + "/request", "w").write(data.hex())
reply = b"D" + b"quendrel-test".ljust(17, b"\0")
if mode == "other":
    o = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    o.bind((other_address, 0))
    o.sendto(b"Enot-a-server", sender)
    time.sleep(0.3)
if mode in ("D", "other"):
    s.sendto(reply, sender)
time.sleep(0.5)
PY

PASSED=0
FAILED=0

run_case() {
    local name=$1 mode=$2 expected=$3
    rm -f "$WORK/ready" "$WORK/request"
    ip netns exec "$SERVER_NS" python3 "$WORK/responder.py" "$mode" "$SUBNET.3" "$WORK" &
    RESPONDER_PID=$!
    for _ in $(seq 50); do [ -e "$WORK/ready" ] && break; sleep 0.1; done
    local got
    got=$(ip netns exec "$CLIENT_NS" "$DISCOVER")
    wait "$RESPONDER_PID" 2>/dev/null
    RESPONDER_PID=
    local request
    request=$(cat "$WORK/request" 2>/dev/null)
    if [ "$got" != "$expected" ]; then
        echo "FAIL: $name: expected \"$expected\", got \"$got\""
        FAILED=$((FAILED + 1))
    elif [ "${#request}" != 36 ] || [ "${request:0:24}" != "640002170000000000000000" ]; then
        echo "FAIL: $name: request was \"$request\", not the 18-byte d request"
        FAILED=$((FAILED + 1))
    else
        echo "ok: $name"
        PASSED=$((PASSED + 1))
    fi
}

run_case "a D reply gives its sender's address" D "$SUBNET.2"
run_case "a non-D reply is skipped and the following D taken" other "$SUBNET.2"
run_case "no reply within 2 s gives an empty line" silent ""

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" = 0 ]
