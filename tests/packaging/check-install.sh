#!/usr/bin/env bash
# cmake --install into a scratch prefix: exactly the listed files, and the desktop entry, the
# metainfo, the manual pages and the MIME types clean under their own validators.
# check-install.sh BUILD SOURCE VERSION SCRATCH
set -euo pipefail
build=$1 source=$2 version=$3 scratch=$4
fail() { echo "check-install: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

diff -u "$source/packaging/installed-files.txt" <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
  fail "installed files differ from packaging/installed-files.txt (- listed, + installed)"

desktop=$(desktop-file-validate "$prefix"/share/applications/*.desktop 2>&1) || true
[ -z "$desktop" ] || fail "desktop-file-validate: $desktop"
grep -q '^Name\[ja\]=\|^GenericName\[ja\]=' "$prefix"/share/applications/*.desktop || fail "no Japanese name in the desktop entry"

for check in "validate --no-net $prefix/share/metainfo/"*.xml "validate-tree --no-net $prefix"; do
  # shellcheck disable=SC2086
  out=$(appstreamcli $check 2>&1) || fail "appstreamcli $check: $out"
  ! grep -q '^[EW]:' <<<"$out" || fail "appstreamcli $check: $out"
done
grep -q "<release version=\"$version\"" "$prefix"/share/metainfo/*.xml || fail "metainfo has no release $version"
grep -q '<screenshot' "$prefix"/share/metainfo/*.xml || fail "metainfo has no screenshot"

for program in "$prefix"/bin/*; do
  page=$prefix/share/man/man1/$(basename "$program").1.gz
  [ -f "$page" ] || fail "no manual page for $(basename "$program")"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $page: $warnings"
  LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null | grep -q "$(basename "$program") $version" || fail "$page does not name version $version"
done

# The MIME types compile, and a file is known by its first chunk's tag, whatever its name.
mkdir -p "$scratch/mime/mime/packages"
cp "$prefix"/share/mime/packages/*.xml "$scratch/mime/mime/packages/"
out=$(XDG_DATA_DIRS=$scratch/mime XDG_DATA_HOME=$scratch/none update-mime-database "$scratch/mime/mime" 2>&1) || fail "update-mime-database: $out"
[ -z "$out" ] || fail "update-mime-database: $out"
cp "$source/resources/assets/quillmote.model" "$scratch/first-file"
cp "$source/resources/assets/quillmote.motion" "$scratch/second-file"
type_of() { XDG_DATA_DIRS=$scratch/mime XDG_DATA_HOME=$scratch/none gio info -a standard::content-type "$1" | sed -n 's/.*content-type: //p'; }
[ "$(type_of "$scratch/first-file")" = application/x-quillmote-model ] || fail "a model file is not known by its tag: $(type_of "$scratch/first-file")"
[ "$(type_of "$scratch/second-file")" = application/x-quillmote-motion ] || fail "a motion file is not known by its tag: $(type_of "$scratch/second-file")"
grep -q '^MimeType=application/x-quillmote-model;$' "$prefix"/share/thumbnailers/*.thumbnailer || fail "the thumbnailer does not take model files"
echo "check-install: $(wc -l <"$source/packaging/installed-files.txt") files installed, all validators clean"
