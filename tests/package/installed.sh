#!/usr/bin/env bash
# The package as it installs, unpacked into an empty folder: every file in its place and no
# other, one version everywhere, the programs run from there with the system's libraries and
# find their data beside them (../share/lumivane) while writing their own files to the
# user's data folder, the manual pages render, and the desktop's own tools take .lmv files
# for Lumivane projects that Lumivane opens. Usage: tests/package/installed.sh LUMIVANE.deb
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
deb=$(realpath "${1:?usage: tests/package/installed.sh LUMIVANE.deb}")
tmp=$(mktemp -d)
window=
cleanup() {
    [[ -n "$window" ]] && kill "$window" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
root=$tmp/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_eq() { # what, actual, expected
    [[ "$2" == "$3" ]] || fail "$1: got '$2', expected '$3'"
}

# A user of our own: nothing read from or written to the real home, settings included.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share
export XDG_CACHE_HOME=$tmp/home/.cache XDG_DATA_DIRS=$root/usr/share XDG_RUNTIME_DIR=$tmp/run
unset LUMIVANE_SETTINGS_DIR LUMIVANE_DISABLE_LIBS DISPLAY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP
mkdir -p "$HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# Files: exactly these, a language pack for every table in Lang/packs/.
expected=(
    usr/bin/lumivane
    usr/bin/lumivane-render
    usr/share/applications/lumivane.desktop
    usr/share/doc/lumivane/changelog.gz
    usr/share/doc/lumivane/copyright
    usr/share/icons/hicolor/scalable/apps/lumivane.svg
    usr/share/lintian/overrides/lumivane
    usr/share/lumivane/help.html
    usr/share/man/man1/lumivane-render.1.gz
    usr/share/man/man1/lumivane.1.gz
    usr/share/metainfo/lumivane.metainfo.xml
    usr/share/mime/packages/lumivane.xml
)
for table in "$src"/Lang/packs/*.tsv; do
    expected+=("usr/share/lumivane/lang/LMV_$(basename "$table" .tsv).SPK")
done
if ! diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . ! -type d | cut -c3- | sort); then
    fail "the package's files differ from the expected ones (< expected, > packed)"
fi
for program in lumivane lumivane-render; do
    [[ -x "$bin/$program" ]] || fail "$program is not executable"
done

# One version: the package's, both programs', the AppStream release's and the changelog's.
version=$(dpkg-deb -f "$deb" Version)
expect_eq "lumivane --version" "$("$bin/lumivane" --version)" "lumivane $version"
expect_eq "lumivane-render --version" "$("$bin/lumivane-render" --version)" \
    "lumivane-render $version"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/lumivane.metainfo.xml" ||
    fail "the AppStream release is not $version"
expect_eq "changelog" "$(zcat "$root/usr/share/doc/lumivane/changelog.gz" | head -1 | cut -d' ' -f1-2)" \
    "lumivane ($version)"

# A small render by the installed renderer; its log goes to the user's data folder though
# the unpacked bin/ could be written.
video=$tmp/show.avi
if "$bin/lumivane-render" "$src/examples/example.lmv" -o "$video" -c FMP4 -r 160x120 -q >/dev/null; then
    # The window's defaults: 5 pictures of 45 frames and 4 cross-fades of 12.
    expect_eq "frames rendered" "$(ffprobe -v error -count_packets -select_streams v:0 \
        -show_entries stream=codec_tag_string,width,nb_read_packets -of csv=p=0 "$video")" \
        "FMP4,160,273"
else
    fail "the installed lumivane-render could not render the example"
fi
log=$XDG_DATA_HOME/Lumivane/Lumivane.log
grep -q "lumivane-render" "$log" 2>/dev/null || fail "no log in the user's data folder ($log)"
[[ ! -e "$bin/Lumivane.log" ]] || fail "the installed program wrote its log into usr/bin"

# The window, offscreen, for a German user: it finds the packs in ../share/lumivane/lang,
# takes German and remembers it.
settings=$XDG_CONFIG_HOME/Lumivane/Lumivane.ini
env -u LC_ALL -u LC_MESSAGES -u LC_NUMERIC -u LANGUAGE LANG=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen \
    "$bin/lumivane" "$src/examples/example.lmv" >"$tmp/window.out" 2>&1 &
window=$!
for _ in $(seq 100); do
    grep -q 'langue=1031$' "$settings" 2>/dev/null && break
    kill -0 "$window" 2>/dev/null || break
    sleep 0.2
done
grep -q 'langue=1031$' "$settings" 2>/dev/null ||
    fail "the installed window did not take its German pack: $(cat "$tmp/window.out")"
kill "$window" 2>/dev/null && wait "$window" 2>/dev/null || true
window=
[[ ! -e "$bin/Lumivane.log" ]] || fail "the installed window wrote its log into usr/bin"

# The manual pages as man shows them, without a complaint from groff.
for page in lumivane lumivane-render; do
    # Blanks squeezed: man justifies the lines.
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>"$tmp/man.err" |
        tr -s ' ') || fail "man -l $page.1.gz failed"
    if [[ -s "$tmp/man.err" ]]; then
        fail "man warns about $page(1): $(cat "$tmp/man.err")"
    fi
    for says in "NAME" "$page - " "SYNOPSIS" "--version" "FILES" "SEE ALSO"; do
        grep -qF -- "$says" <<<"$text" || fail "$page(1) lacks '$says'"
    done
done

# The desktop's view, from the databases its own tools build: a .lmv file, and a project
# without the extension by its first line, is a Lumivane project, which Lumivane opens.
update-mime-database "$root/usr/share/mime"
update-desktop-database "$root/usr/share/applications"
cp "$src/examples/example.lmv" "$tmp/show.lmv"
cp "$src/examples/example.lmv" "$tmp/no-extension"
for file in "$tmp/show.lmv" "$tmp/no-extension"; do
    expect_eq "type of $(basename "$file")" \
        "$(gio info -a standard::content-type "$file" | sed -n 's/^ *standard::content-type: //p')" \
        "application/x-lumivane-project"
done
expect_eq "default application" "$(xdg-mime query default application/x-lumivane-project)" \
    "lumivane.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/lumivane.desktop")
expect_eq "Exec" "$exec_line" "lumivane %f"

if ((failures)); then
    echo "tests/package/installed.sh: $failures failure(s)" >&2
    exit 1
fi
echo "tests/package/installed.sh: the installed package holds"
