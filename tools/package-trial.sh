#!/usr/bin/env bash
# The package on a bare Debian 12: a fresh bookworm system (debootstrap, minbase, from Debian's
# archive) where `apt install ./lumivane_<version>_amd64.deb` must bring every dependency, the
# installed renderer must render the example as examples/demo.sh does, the desktop must take
# Lumivane for .lmv files, and the menu's entry must start the window (under Xvfb). Slow (a
# system to download and install), so CI leaves it out.
# Usage, as root: tools/package-trial.sh [LUMIVANE.deb]   (default: build/package/'s)
# Results, screenshot included, go to build/package-trial/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
deb=$(realpath "${1:-$(echo "$ROOT"/build/package/lumivane_*_amd64.deb)}")
work=${LUMIVANE_TRIAL_DIR:-/var/tmp/lumivane-trial}
mirror=http://deb.debian.org/debian
out=$ROOT/build/package-trial
[[ $(id -u) -eq 0 ]] || {
    echo "tools/package-trial.sh: needs root (debootstrap, chroot)" >&2
    exit 2
}
command -v debootstrap >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
mkdir -p "$out" "$work"
rm -f "$out"/*
exec > >(tee "$out/trial.log") 2>&1

# A pristine system, made once, copied for every trial.
if [[ ! -e "$work/base/.complete" ]]; then
    rm -rf "$work/base"
    debootstrap --variant=minbase bookworm "$work/base" "$mirror"
    cat >"$work/base/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
    touch "$work/base/.complete"
fi
sys=$work/root
rm -rf "$sys"
cp -a "$work/base" "$sys"
cp /etc/resolv.conf "$sys/etc/resolv.conf"
mount -t proc proc "$sys/proc"
xvfb=
window=
cleanup() {
    [[ -n "$window" ]] && kill "$window" 2>/dev/null
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null
    sleep 1
    umount "$sys/proc"
}
trap cleanup EXIT

on() { # as root inside
    chroot "$sys" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
user=(/usr/bin/setpriv --reuid=1000 --regid=1000 --clear-groups /usr/bin/env -i PATH=/usr/bin:/bin
    HOME=/home/user)
as_user() { # as an ordinary user inside (uid 1000, no account needed)
    chroot "$sys" "${user[@]}" LANG=C.UTF-8 "$@"
}
step() { echo && echo "== $*"; }

step "apt install ./$(basename "$deb")"
cp "$deb" "$sys/tmp/"
on apt-get update -qq
on dpkg-query -W -f '${Package}\n' | sort >"$out/before.txt"
on apt-get install -y -q "/tmp/$(basename "$deb")"
on dpkg-query -W -f '${Package}\n' | sort >"$out/after.txt"
comm -13 "$out/before.txt" "$out/after.txt" >"$out/pulled.txt"
echo "packages pulled in: $(wc -l <"$out/pulled.txt")"
on dpkg-query -W -f '${Package} ${Version} ${Status}\n' lumivane
on apt-get check
for recommended in $(dpkg-deb -f "$deb" Recommends | tr -d ','); do
    grep -qx "$recommended" "$out/after.txt" || echo "not installed: $recommended"
done

step "lumivane-render renders the example (as examples/demo.sh does)"
mkdir -p "$sys/home/user"
cp -r "$ROOT/examples" "$sys/home/user/examples"
chord="0.20*sin(2*PI*220*t)+0.15*sin(2*PI*277.18*t)+0.12*sin(2*PI*329.63*t)"
ffmpeg -v error -y -f lavfi -i "aevalsrc=${chord}:s=44100:d=20,afade=t=in:d=1,afade=t=out:st=17:d=3" \
    -ac 2 -f wav "$out/chord.wav"
lame --quiet -b 128 "$out/chord.wav" "$sys/home/user/soundtrack.mp3"
chown -R 1000:1000 "$sys/home/user"
as_user lumivane-render --version
as_user lumivane-render --duration /home/user/soundtrack.mp3
as_user lumivane-render /home/user/examples/example.lmv -o /home/user/example.avi \
    -s /home/user/soundtrack.mp3 --match-audio --dynamic -c XVID -r 720x576
ffprobe -v error -show_entries stream=codec_type,codec_tag_string,width,height,r_frame_rate,sample_rate \
    -show_entries format=duration -of compact "$sys/home/user/example.avi"
ls -l "$sys/home/user/.local/share/Lumivane/"

step "the desktop's default for application/x-lumivane-project"
as_user xdg-mime query default application/x-lumivane-project

step "the window from the menu's entry, under Xvfb"
on apt-get install -y -q --no-install-recommends xvfb x11-utils x11-apps
chroot "$sys" /usr/bin/Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
sleep 3
exec_line=$(sed -n 's/^Exec=//p' "$sys/usr/share/applications/lumivane.desktop")
echo "Exec=$exec_line"
read -ra command <<<"$exec_line"
command=("${command[@]/#%f//home/user/examples/example.lmv}")
# As a French user's session starts it: the window must find its French pack.
install -d -m 0700 -o 1000 -g 1000 "$sys/run/user/1000"
# Not through as_user: the window's own id is the one to end it by.
chroot "$sys" "${user[@]}" DISPLAY=:7 XDG_RUNTIME_DIR=/run/user/1000 LANG=fr_FR.UTF-8 \
    "${command[@]}" >"$out/window.log" 2>&1 &
window=$!
sleep 15
on xwininfo -display :7 -root -tree | grep -i lumivane || echo "no Lumivane window"
on xwd -display :7 -root -silent >"$out/screen.xwd"
ffmpeg -v error -y -i "$out/screen.xwd" "$out/screen.png" && rm "$out/screen.xwd"
kill "$window"
wait "$window" || true
window=
cat "$out/window.log"

step "apt purge lumivane"
on apt-get purge -y -q lumivane
[[ ! -e "$sys/usr/share/lumivane" && ! -e "$sys/usr/bin/lumivane" ]] && echo "nothing left"
echo
echo "Trial done; results in ${out#"$PWD"/}/"
