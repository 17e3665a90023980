#!/usr/bin/env bash
# eth_broadcast_search.sh VEXA_SIM VEXACTL
#
# The Ethernet search as real hardware gets it: vexactl with VEXA_ETH_BROADCAST unset, so the
# request goes to 255.255.255.255 port 8801 on every network card. Run only inside a network
# namespace of its own (unshare -n), with veth cards made here, so nothing can leave this
# machine. Exits 77 (skipped) where no namespace or veth card can be made.
set -uo pipefail
sim=$1 ctl=$2

skip() {
  echo "SKIP: $*"
  exit 77
}

if [ "${3:-}" != --inside ]; then
  command -v unshare >/dev/null || skip "cannot make a network namespace (no unshare)"
  command -v ip >/dev/null || skip "cannot set up a network namespace (no ip from iproute2)"
  err=$(unshare -n true 2>&1) || skip "cannot make a network namespace (unshare -n: $err)"
  exec timeout 90 unshare -n -- "$0" "$sim" "$ctl" --inside
fi

# From here on: inside the private namespace.
unset VEXA_ETH_BROADCAST
work=$(mktemp -d)
simpid=
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 124' TERM INT  # a time-out still stops the rack
export XDG_RUNTIME_DIR=$work  # vexa-sim's per-user ready file stays here too

# No IPv6 chatter: the cards' packet counters below count our broadcasts only.
echo 1 >/proc/sys/net/ipv6/conf/default/disable_ipv6 2>/dev/null
echo 1 >/proc/sys/net/ipv6/conf/all/disable_ipv6 2>/dev/null
ip link set lo up || skip "cannot bring up lo in the namespace"

# card NAME ADDRESS/PREFIX: one end of a veth pair with the address, the peer end up and bare.
card() {
  err=$(ip link add "$1" type veth peer name "$1p" 2>&1) || skip "cannot make a veth card in the namespace ($err)"
  ip addr add "$2" dev "$1" && ip link set "$1p" up && ip link set "$1" up
}

# Packets a card sent (the figure under "packets" after the TX: heading).
txPackets() { ip -s link show dev "$1" | awk 'tx { print $2; exit } /TX:/ { tx = 1 }'; }

failures=0
fail() {
  echo "FAIL [$case]: $*"
  failures=$((failures + 1))
}

# startRack SIM-OPTIONS...: starts vexa-sim with two Ethernet couplers, waits for its ready file.
startRack() {
  rm -f "$work/ready"
  "$sim" --eth auto --eth auto --subs 4017 --freeze --hid-folder "$work/hid" --ready-file "$work/ready" "$@" \
    >"$work/sim.out" 2>&1 &
  simpid=$!
  for _ in $(seq 100); do
    [ -s "$work/ready" ] && return 0
    kill -0 "$simpid" 2>/dev/null || break
    sleep 0.1
  done
  fail "vexa-sim did not come up: $(cat "$work/sim.out")"
  return 1
}

stopRack() {
  kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
  simpid=
}

# check CARDS WANT_FOUND SIM-OPTIONS...: one search; WANT_FOUND distinct couplers answer (0 or
# both of the rack), and each card in CARDS sent at least one datagram meanwhile.
check() {
  local cards=$1 want=$2
  shift 2
  startRack "$@" || return
  local addresses
  addresses=$(sed -nE 's/^ *Ethernet coupler [0-9]+: ([0-9.]+) port.*/\1/p' "$work/ready" | sort)
  declare -A before
  for c in $cards; do before[$c]=$(txPackets "$c"); done
  local out status
  out=$(timeout 20 "$ctl" search eth 2>&1)
  status=$?
  stopRack
  local found
  found=$(printf '%s\n' "$out" | sed -nE 's/.*target=eth:([0-9.]+).*/\1/p' | sort -u)
  if [ "$want" -eq 0 ]; then
    [ "$status" -eq 1 ] && [ -z "$found" ] || fail "a rack deaf to broadcasts was found (status $status): $out"
  else
    [ "$status" -eq 0 ] || fail "search eth failed (status $status): $out"
    [ "$found" = "$addresses" ] || fail "found [$found], the rack has [$addresses]: $out"
  fi
  for c in $cards; do
    [ "$(txPackets "$c")" -gt "${before[$c]}" ] || fail "nothing went out on $c"
  done
}

# A machine whose only card faces the couplers and that has no gateway: the kernel has no route
# for 255.255.255.255 there, so a plain sendto fails.
card vexa0 10.99.0.1/24
case="one card, no gateway"
check vexa0 2 --eth-broadcast
# The same rack not hearing broadcasts: what is found above came by the broadcast.
case="rack deaf to broadcasts"
check vexa0 0

# A second card with the gateway behind it: the couplers' card gets the search all the same.
card vexa2 10.98.0.1/24
ip route add default via 10.98.0.254 dev vexa2
case="two cards, gateway on the other"
check "vexa0 vexa2" 2 --eth-broadcast

[ "$failures" -eq 0 ] && echo "ok: the Ethernet search by broadcast finds the rack in its own namespace"
exit $((failures > 0))
