#!/usr/bin/env bash
# Builds the Debian package (cpack, through the build's `package` target), checks its control
# fields and lintian, unpacks it into a scratch root and runs every program from there.
# check-package.sh BUILD SOURCE VERSION SCRATCH
set -euo pipefail
build=$1 source=$2 version=$3 scratch=$4
fail() { echo "check-package: $*" >&2; exit 1; }

rm -rf "$scratch" "$build/package"
mkdir -p "$scratch"
cmake --build "$build" --target package >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$build/package/quillmote_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no package $deb"

[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section is not graphics"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libpng16-16 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib (shared library dependencies): $depends"
done
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 3 ] || fail "no long description"
errors=$(lintian "$deb" 2>/dev/null | grep '^E:' || true)
[ -z "$errors" ] || fail "lintian: $errors"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
diff -u <(sed 's|^|usr/|' "$source/packaging/installed-files.txt") <(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
  fail "packaged files differ from packaging/installed-files.txt (- listed, + packaged)"

bin=$root/usr/bin
for program in "$bin"/*; do
  name=$(basename "$program")
  "$program" --help >/dev/null || fail "$name --help failed"
  [ "$("$program" --version)" = "$name $version" ] || fail "$name --version: $("$program" --version)"
done

"$bin/quillmote-render" --frame 30 -o "$scratch/frame.png" || fail "quillmote-render could not render a frame"
[ "$(head -c 4 "$scratch/frame.png" | od -An -c | tr -d ' ')" = '211PNG' ] || fail "the rendered frame is not a PNG"
"$bin/quillmote-inspect" >/dev/null || fail "quillmote-inspect found a problem in the embedded files"
"$bin/quillmote-author" --icon 48 "$scratch/icon.png" || fail "quillmote-author could not draw the icon"
"$bin/quillmote-export" -o "$scratch/dance.glb" || fail "quillmote-export could not export the embedded dance"
[ "$(head -c 4 "$scratch/dance.glb")" = glTF ] || fail "the export is not a binary glTF file"

# The thumbnailer as a file manager runs it: the entry's Exec line, %s %i %o filled in.
cp "$source/resources/assets/quillmote.model" "$scratch/dancer.model"
cp "$source/resources/assets/quillmote.motion" "$scratch/dancer.motion"
exec_line=$(sed -n 's/^Exec=//p' "$root"/usr/share/thumbnailers/*.thumbnailer)
command=${exec_line//%s/128}
command=${command//%i/$scratch/dancer.model}
command=${command//%o/$scratch/thumbnail.png}
PATH=$bin:$PATH $command || fail "the thumbnailer entry's command failed: $command"
[ -s "$scratch/thumbnail.png" ] || fail "the thumbnailer wrote nothing"

set +e
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$bin/quillmote" 2>&1)
status=$?
set -e
[ $status -eq 1 ] || fail "the viewer without a display exited with $status"
grep -q 'no display' <<<"$message" || fail "the viewer without a display said: $message"
echo "check-package: $(basename "$deb") clean under lintian, $(ls "$bin" | wc -l) programs run from the unpacked root"
