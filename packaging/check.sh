#!/usr/bin/env bash
# What distributions and software centres check of a package, on a built one: the desktop
# entry, the AppStream data, the MIME type and the package itself (lintian; its overrides
# ship in the package, each with its reason). Usage: packaging/check.sh LUMIVANE.deb
set -euo pipefail
deb=${1:?usage: packaging/check.sh LUMIVANE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "desktop-file-validate:"
desktop-file-validate "$root/usr/share/applications/lumivane.desktop"

echo "appstreamcli validate:"
# The program has no web domain of its own to make a reverse-DNS id of: its id is its
# command's name, as its desktop entry's and its package's are.
appstreamcli validate --no-net --pedantic --override=cid-desktopapp-is-not-rdns=info \
    "$root/usr/share/metainfo/lumivane.metainfo.xml"

# And as it will be once the project has a web address (example.org stands in for it).
release=$(sed -n 's/.*<release version="\([^"]*\)" date="\([^"]*\)".*/\1 \2/p' \
    "$root/usr/share/metainfo/lumivane.metainfo.xml")
cmake -DPROJECT_VERSION="${release% *}" -DLUMIVANE_RELEASE_DATE="${release#* }" \
    -DLUMIVANE_HOMEPAGE_URL=https://example.org/lumivane \
    -DLUMIVANE_SCREENSHOT_URL=https://example.org/lumivane/docs \
    -DMETAINFO_OUTPUT="$root/web.metainfo.xml" -P "$(dirname "$0")/metainfo.cmake"
grep -q '<image>https://example.org/lumivane/docs/window-idle.png</image>' "$root/web.metainfo.xml"
appstreamcli validate --no-net --pedantic --override=cid-desktopapp-is-not-rdns=info \
    "$root/web.metainfo.xml"

echo "update-mime-database:"
# It warns about a malformed type on stderr and still succeeds.
if ! out=$(XDG_DATA_DIRS=$root/usr/share update-mime-database "$root/usr/share/mime" 2>&1) ||
    [[ -n "$out" ]]; then
    echo "$out"
    exit 1
fi
grep -qx 'application/x-lumivane-project' "$root/usr/share/mime/types"

echo "lintian:"
status=0
out=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) || status=$?
grep -v '^running with root privileges is not recommended!$' <<<"$out" || true
exit $status
