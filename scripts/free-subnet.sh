#!/usr/bin/env bash
# Picks a /24 for a host-side interface from the documentation ranges
# (RFC 5737: 192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24) that no route of
# this network namespace covers, and prints it, e.g. "198.51.100.0/24".
# Any route in any table counts, whichever is wider: a 192.0.0.0/16 route
# covers 192.0.2.0/24 just as 192.0.2.128/25 or a local address inside it
# does. Only default routes do not. Exits 1 with a message when all three
# ranges are taken. Giving an interface an address in a range the host
# already routes would divert that traffic, such as the host's own gateway.
#
# Run it, or source it and call quilmarr_free_subnet.

quilmarr_documentation_ranges=(192.0.2.0/24 198.51.100.0/24 203.0.113.0/24)

# _quilmarr_ipv4_number A.B.C.D : prints the address as one number.
_quilmarr_ipv4_number() {
  local IFS=. a b c d
  read -r a b c d <<<"$1"
  echo $(((a << 24) | (b << 16) | (c << 8) | d))
}

# _quilmarr_overlap NET/LEN NET/LEN : true when the two prefixes share an address.
_quilmarr_overlap() {
  local first=${1%/*} firstLength=${1#*/} second=${2%/*} secondLength=${2#*/} hostBits
  hostBits=$((32 - (firstLength < secondLength ? firstLength : secondLength)))
  (($(_quilmarr_ipv4_number "$first") >> hostBits == $(_quilmarr_ipv4_number "$second") >> hostBits))
}

# _quilmarr_route_prefixes : every IPv4 route destination as NET/LEN, one a line,
# default routes left out.
_quilmarr_route_prefixes() {
  local type destination
  ip -4 route show table all | while read -r type destination _; do
    case $type in
      unicast | local | broadcast | multicast | anycast | blackhole | unreachable | prohibit | \
        throw | nat) ;;
      *) destination=$type ;;
    esac
    case $destination in
      default | 0.0.0.0/0 | "") continue ;;
      */*) echo "$destination" ;;
      *) echo "$destination/32" ;;
    esac
  done
}

quilmarr_free_subnet() {
  local routes range route taken
  routes=$(_quilmarr_route_prefixes) || return 1
  for range in "${quilmarr_documentation_ranges[@]}"; do
    taken=0
    for route in $routes; do
      if _quilmarr_overlap "$range" "$route"; then
        taken=1
        break
      fi
    done
    if [ "$taken" -eq 0 ]; then
      echo "$range"
      return 0
    fi
  done
  echo "free-subnet: no documentation range is free: routes on this host cover each of" \
    "${quilmarr_documentation_ranges[*]} (see 'ip -4 route show table all')" >&2
  return 1
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  quilmarr_free_subnet
fi
