#!/usr/bin/env bash
# Installs the built package into a clean Debian chroot with apt, from the same package
# sources this machine uses, then runs quillbox-cli on the sample mailbox and quillbox
# under Xvfb with a file argument, and takes a screenshot. Needs root; not part of CI.
#   scripts/test-deb-chroot.sh [OUTDIR]     (default OUTDIR: build-deb/chroot-test)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=${1:-build-deb/chroot-test}
mkdir -p "$out"
out=$(cd "$out" && pwd)

deb=$(ls -1 build-deb/quillbox_*.deb 2>/dev/null | tail -n 1 || true)
if [ -z "$deb" ]; then
    echo "No package yet: run scripts/build-deb.sh first." >&2
    exit 1
fi
scripts/install-deps.sh mmdebstrap xvfb x11-apps imagemagick

# The same package sources as this machine's apt (one-line and deb822 forms).
. /etc/os-release
suite=${VERSION_CODENAME:-bookworm}
mapfile -t sources < <(
    { grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true
      awk '/^Types:/ {t=$2} /^URIs:/ {u=$2} /^Suites:/ {$1=""; s=$0}
           /^Components:/ {$1=""; c=$0}
           /^$/ {if (t=="deb" && u) {n=split(s, a, " "); for (i=1;i<=n;i++) print "deb " u " " a[i] c}; t=u=s=c=""}
           END {if (t=="deb" && u) {n=split(s, a, " "); for (i=1;i<=n;i++) print "deb " u " " a[i] c}}' \
          /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } | grep -v '^$')
if [ ${#sources[@]} -eq 0 ]; then
    sources=("deb http://deb.debian.org/debian $suite main")
fi

chroot_dir=$(mktemp -d /tmp/quillbox-chroot.XXXXXX)
cleanup() {
    umount -l "$chroot_dir/tmp/.X11-unix" 2>/dev/null || true
    umount -l "$chroot_dir/proc" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$chroot_dir"
}
trap cleanup EXIT

echo "== A clean $suite chroot from: ${sources[*]}"
mmdebstrap --variant=apt --quiet "$suite" "$chroot_dir" "${sources[@]}"

echo "== apt install ./$(basename "$deb")"
cp "$deb" "$chroot_dir/tmp/"
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
# mmdebstrap leaves no package lists behind.
chroot "$chroot_dir" apt-get update -q > "$out/apt-install.log" 2>&1
chroot "$chroot_dir" apt-get install -y -q "/tmp/$(basename "$deb")" >> "$out/apt-install.log" 2>&1
tail -n 3 "$out/apt-install.log"
chroot "$chroot_dir" dpkg -L quillbox > "$out/files.txt"

echo "== quillbox-cli in the chroot"
chroot "$chroot_dir" quillbox-cli --version | tee "$out/cli-version.txt"
chroot "$chroot_dir" quillbox-cli list /usr/share/doc/quillbox/examples/Sample.dbx \
    | tee "$out/cli-list.txt"

echo "== quillbox under Xvfb with a file argument"
display=:97
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb_pid=$!
sleep 2
mkdir -p "$chroot_dir/tmp/.X11-unix" "$chroot_dir/proc"
mount --bind /tmp/.X11-unix "$chroot_dir/tmp/.X11-unix"
mount -t proc proc "$chroot_dir/proc"
chroot "$chroot_dir" env DISPLAY="$display" HOME=/root \
    quillbox /usr/share/doc/quillbox/examples/Sample.dbx > "$out/gui.log" 2>&1 &
gui_pid=$!
sleep 6
DISPLAY=$display import -window root "$out/quillbox-in-chroot.png"
kill "$gui_pid" 2>/dev/null || true
wait "$gui_pid" 2>/dev/null || true
echo "Screenshot: $out/quillbox-in-chroot.png"
