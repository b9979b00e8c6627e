#!/bin/sh
# Runs the address test of the environment members on a machine whose addresses the test
# chooses: a network namespace with one Ethernet interface (a veth end with a fixed
# hardware and IPv4 address), its own host name resolving to that address, and a Wine
# prefix of its own (hard links of the build's prefix) so that a wineserver started
# inside the namespace, not the build's, answers the adapter queries.
#   netns-mac.sh <test executable> <build prefix> <scratch prefix>
# Exit 77 (skipped) where namespaces cannot be made.
exe=$1 prefix=$2 scratch=$3
mac=02:46:4f:4c:49:55 ip=10.77.0.5 name=folium-netns
ns="unshare --net --uts --mount"
[ "$(id -u)" -eq 0 ] || ns="unshare --map-root-user --net --uts --mount"
if ! $ns true 2>/dev/null; then
    echo "network namespaces not available here: skipped"
    exit 77
fi
rm -rf "$scratch"
cp -al "$prefix" "$scratch" || exit 1
# The scratch wineserver rewrites the registry files: real copies of those, not links.
for f in system.reg user.reg userdef.reg; do
    if [ -f "$prefix/$f" ]; then rm -f "$scratch/$f"; cp "$prefix/$f" "$scratch/$f"; fi
done
rm -f "$scratch"/.update-timestamp.lock
export WINEPREFIX=$scratch LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export FOLIUM_EXPECTED_MAC=" $(echo $mac | tr -d : | tr a-f A-F)" FOLIUM_EXPECTED_IP=$ip
$ns sh -c "
    set -e
    ip link set lo up
    ip link add eth0 type veth peer name veth-peer
    ip link set eth0 address $mac
    ip addr add $ip/24 dev eth0
    ip link set eth0 up
    hostname $name
    printf '127.0.0.1 localhost\n$ip $name\n' >'$scratch/hosts'
    mount --bind '$scratch/hosts' /etc/hosts
    status=0
    timeout 240 wine '$exe' --gtest_filter='Environment.AddressForms' || status=\$?
    wineserver -k 2>/dev/null || true
    exit \$status
"
status=$?
rm -rf "$scratch"
exit $status
