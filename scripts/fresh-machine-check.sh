#!/usr/bin/env bash
# Runs the README's two commands on a fresh minimal Debian 12, in a chroot, to
# find what a new machine lacks. Root only; not part of CI; takes minutes.
#   scripts/fresh-machine-check.sh [--fresh] [--dir DIR] [COMMAND...]
#     --dir DIR  the chroot (default /var/tmp/orvalda-fresh-bookworm), reused when there
#     --fresh    delete the chroot and debootstrap it again
#     COMMAND    what to run in the checkout (default: scripts/run.sh scripts/test.sh)
# The chroot gets a new clone of this checkout's committed HEAD each time and
# runs each command as root with no display. The Debian mirror is the one the
# host's apt sources use for bookworm (MIRROR=url overrides it).
# Exits non-zero when a command fails.
set -euo pipefail

DIR=/var/tmp/orvalda-fresh-bookworm
FRESH=0
while [ $# -gt 0 ]; do
  case "$1" in
    --fresh) FRESH=1; shift ;;
    --dir) DIR="$2"; shift 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || set -- scripts/run.sh scripts/test.sh
[ "$(id -u)" = 0 ] || { echo "run me as root" >&2; exit 1; }
SRC="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$DIR"
DIR="$(realpath "$DIR")"
[ "$DIR" != / ] || { echo "refusing to use / as the chroot" >&2; exit 1; }

log() { printf '\033[1m### %s\033[0m\n' "$*"; }

# The host's mirror for bookworm, from one-line .list or deb822 .sources files.
host_mirror() {
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
    sed -E 's/\[[^]]*\]//' | awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
  { cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
    awk -v RS= -F'\n' '{ u = s = ""
      for (i = 1; i <= NF; i++) { if ($i ~ /^URIs:/) { split($i, w, " "); u = w[2] } if ($i ~ /^Suites:/) s = $i " " }
      if (u != "" && s ~ / bookworm /) { print u; exit } }'
}

MOUNTS=(proc sys dev dev/pts tmp/.X11-unix)
# Ends what the commands left running in the chroot, then unmounts.
leave_chroot() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$DIR" ] && kill "${p#/proc/}" 2>/dev/null
  done
  sleep 1
  for ((p = ${#MOUNTS[@]} - 1; p >= 0; p--)); do
    mountpoint -q "$DIR/${MOUNTS[p]}" && { umount "$DIR/${MOUNTS[p]}" || umount -l "$DIR/${MOUNTS[p]}"; }
  done
  return 0
}
leave_chroot  # from a run that was cut short

if [ "$FRESH" = 1 ] || [ ! -f "$DIR/.base-ready" ]; then
  command -v debootstrap >/dev/null || { apt-get update -qq && apt-get install -y -qq debootstrap >/dev/null; }
  MIRROR="${MIRROR:-$(host_mirror | sed -n 1p)}"
  [ -n "$MIRROR" ] || { echo "no bookworm mirror in the host's apt sources; set MIRROR" >&2; exit 1; }
  log "debootstrap bookworm (minbase) into $DIR from $MIRROR"
  [ -z "$(ls -A "$DIR")" ] || [ -d "$DIR/debootstrap" ] || [ -f "$DIR/etc/debian_version" ] ||
    { echo "$DIR is neither empty nor a chroot; not deleting it" >&2; exit 1; }
  rm -rf --one-file-system "$DIR" && mkdir -p "$DIR"
  debootstrap --variant=minbase --include=git,sudo,ca-certificates bookworm "$DIR" "$MIRROR"
  # No daemons started by package installs inside the chroot.
  printf '#!/bin/sh\nexit 101\n' >"$DIR/usr/sbin/policy-rc.d" && chmod +x "$DIR/usr/sbin/policy-rc.d"
  touch "$DIR/.base-ready"
fi

trap leave_chroot EXIT
cp -L /etc/resolv.conf "$DIR/etc/resolv.conf"
# A network that inspects TLS through a certificate authority of its own (the
# host trusts it in /usr/local/share/ca-certificates and NODE_EXTRA_CA_CERTS)
# would fail npm's downloads in the chroot, which a machine on that network
# would not: the chroot trusts the same authorities, and Node is told of them.
CHROOT_ENV=()
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$DIR/usr/local/share/ca-certificates"
  cp -L /usr/local/share/ca-certificates/*.crt "$DIR/usr/local/share/ca-certificates/"
  chroot "$DIR" update-ca-certificates >/dev/null 2>&1 || true
fi
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
  cp -L "$NODE_EXTRA_CA_CERTS" "$DIR/root/node-extra-ca.crt"
  CHROOT_ENV+=(NODE_EXTRA_CA_CERTS=/root/node-extra-ca.crt)
fi
mount -t proc proc "$DIR/proc"
mount -t sysfs sys "$DIR/sys"
mount --bind /dev "$DIR/dev"
mount --bind /dev/pts "$DIR/dev/pts"
# X servers on the host and in the chroot share abstract socket names; with the
# host's socket folder the chroot sees which display numbers are taken.
# (On a host where no X server ever ran, the folder is made as X makes it.)
[ -d /tmp/.X11-unix ] || { mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; }
mkdir -p "$DIR/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$DIR/tmp/.X11-unix"

log "cloning $(git -C "$SRC" log -1 --format='%h %s') into $DIR/root/orvalda"
git -C "$SRC" diff --quiet HEAD || log "uncommitted changes in $SRC are not in the clone"
rm -rf "$DIR/root/orvalda" "$DIR/root/orvalda.bundle"
git -C "$SRC" bundle create -q "$DIR/root/orvalda.bundle" HEAD
git -c advice.detachedHead=false clone -q "$DIR/root/orvalda.bundle" "$DIR/root/orvalda"

results=() failed=0
for cmd in "$@"; do
  log "running $cmd in the chroot"
  start=$SECONDS rc=0
  chroot "$DIR" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "${CHROOT_ENV[@]}" \
    bash -c 'cd /root/orvalda && exec "$@"' bash $cmd || rc=$?
  results+=("$cmd: exit $rc after $(((SECONDS - start) / 60))m$(((SECONDS - start) % 60))s")
  [ "$rc" = 0 ] || failed=1
done
log "results"
printf '  %s\n' "${results[@]}"
exit "$failed"
