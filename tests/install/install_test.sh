#!/usr/bin/env bash
# The program as a user gets it: the desktop files pass their validators, an installation into a
# fresh prefix runs from anywhere and finds its data, and the Debian package holds what it should.
#   install_test.sh SOURCE_DIR BUILD_DIR PATHS
# PATHS is "paths" when the installed program must hold no path of the source or build tree (not so
# for debug and sanitizer builds, whose assertions and checks name their source files).
set -uo pipefail
src="$1" build="$2" paths="${3:-paths}"
fail() { echo "FAIL: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli man dpkg-deb dpkg-shlibdeps strings readelf cpack; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh package installs it)"
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
unset DEWLARK_DATA_DIR
export LC_ALL=C.UTF-8

# --- The desktop entry, the metainfo and the manual page pass their checks without a remark.
desktop="$src/data/dewlark.desktop"
metainfo="$src/data/org.example.dewlark.metainfo.xml"
out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate remarks: $out"
out="$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)" || fail "appstreamcli validate: $out"
out="$(MANWIDTH=80 man --warnings -l "$src/data/dewlark.1" 2>&1 >/dev/null)"
[ -z "$out" ] || fail "man --warnings: $out"
# The file types offered to the desktop are the ones the program reads, the same in both files, and
# never the generic Ogg type, which also covers codecs the program does not read (Speex).
mime_desktop="$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)"
mime_meta="$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$metainfo" | sort)"
[ "$mime_desktop" = "$mime_meta" ] ||
  fail "desktop and metainfo types differ: $(diff <(echo "$mime_desktop") <(echo "$mime_meta") | grep '^[<>]' | tr '\n' ' ')"
for t in audio/wav audio/x-wav audio/mpeg audio/x-vorbis+ogg audio/flac audio/x-flac+ogg audio/x-opus+ogg; do
  grep -qx "$t" <<<"$mime_desktop" || fail "$t is not offered"
done
! grep -qx "audio/ogg" <<<"$mime_desktop" || fail "the generic audio/ogg is offered"
grep -qx 'Exec=dewlark %f' "$desktop" || fail "Exec line: $(grep ^Exec= "$desktop")"
grep -q '<launchable type="desktop-id">dewlark.desktop</launchable>' "$metainfo" || fail "metainfo launchable"
# The screenshot the metainfo announces is the one in docs/, at the size it states.
read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$src/docs/screenshot.png")
grep -q "<image type=\"source\" width=\"$w\" height=\"$h\">.*/screenshot.png</image>" "$metainfo" ||
  fail "the metainfo's screenshot is not docs/screenshot.png (${w}x${h})"

# --- An installation into a fresh prefix, stripped.
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" --strip >/dev/null || fail "cmake --install"
expected=(bin/dewlark share/dewlark/kijun.wav share/dewlark/demo.wav share/dewlark/dewlark.html
  share/dewlark/dewlark.png share/applications/dewlark.desktop share/metainfo/org.example.dewlark.metainfo.xml
  share/man/man1/dewlark.1.gz share/icons/hicolor/scalable/apps/dewlark.svg)
sizes=(16 22 24 32 48 64 128 256)
for n in "${sizes[@]}"; do expected+=("share/icons/hicolor/${n}x${n}/apps/dewlark.png"); done
for f in "${expected[@]}"; do [ -f "$prefix/$f" ] || fail "not installed: $f"; done
installed="$(cd "$prefix" && find . -type f | sort)"
wanted="$(printf './%s\n' "${expected[@]}" | sort)"
[ "$installed" = "$wanted" ] || fail "installed files differ: $(diff <(echo "$wanted") <(echo "$installed"))"
# Each icon is as large as the folder it is in says (width and height from the PNG header).
for n in "${sizes[@]}"; do
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$prefix/share/icons/hicolor/${n}x${n}/apps/dewlark.png")
  [ "$w $h" = "$n $n" ] || fail "the ${n}x${n} icon is ${w}x${h}"
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/dewlark.svg" || fail "the scalable icon is no SVG"
out="$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/dewlark.1.gz" 2>&1 >/dev/null)"
[ -z "$out" ] || fail "installed manual: $out"

exe="$prefix/bin/dewlark"
# Whole outputs to files first: grep -q ending a pipe early would make its status that of a broken pipe.
stripped() { readelf -S "$1" >"$tmp/sections" || fail "readelf $1"; ! grep -q '\.debug_info' "$tmp/sections"; }
stripped "$exe" || fail "the installed program is not stripped"
if [ "$paths" = paths ]; then
  strings "$exe" >"$tmp/strings" || fail "strings"
  for p in "$(cd "$src" && pwd -P)" "$(cd "$build" && pwd -P)" "$src" "$build"; do
    ! grep -F -m3 "$p" "$tmp/strings" || fail "the installed program holds a path of the source or build tree"
  done
fi

# --- It runs from another folder with nothing pointing at its data.
work="$tmp/elsewhere"
mkdir -p "$work" "$tmp/profile"
cd "$work" || fail "cd"
out="$("$exe" --version)" || fail "--version failed"
[[ "$out" =~ ^dewlark\ [0-9]+\.[0-9]+ ]] || fail "--version: $out"
out="$("$exe" --info "$prefix/share/dewlark/demo.wav" 2>&1)" || fail "--info: $out"
grep -qx "sample_rate=22050" <<<"$out" || fail "--info: $out"
out="$("$exe" --analyse "$prefix/share/dewlark/demo.wav" 2>"$tmp/err")" || fail "--analyse: $(cat "$tmp/err")"
[ "$(head -1 <<<"$out")" = "time,peak_hz,level,a4,labels,f0_hz,f0_note,f0_cents,f0_confidence,lufs_m,lufs_s,f0_inharmonicity" ] || fail "--analyse header: $(head -1 <<<"$out")"
[ "$(grep -c '^[0-9]' <<<"$out")" -ge 20 ] || fail "--analyse gave too few rows: $out"

# The window starts off screen and is still running when stopped. At start it plays the reference
# tone (written here by the sound system's file output) and names any data files it cannot find;
# the control copy lacks the tone. Each window runs until it has shown what it shows, however long a
# busy machine takes for that, and is then ended by SIGTERM, which its loop answers as File > Exit.
gui() {  # gui PREFIX READY: runs PREFIX's window until the command READY holds; its exit status
  rm -f "$tmp/sound.raw"
  env QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/sound.raw" USERPROFILE="$tmp/profile" \
    "$1/bin/dewlark" "$prefix/share/dewlark/demo.wav" 2>"$tmp/gui.err" >/dev/null &
  local pid=$! i
  for i in $(seq 1500); do
    "$2" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo "ended by itself, status $?"; return 1; }
  kill -TERM "$pid"
  wait "$pid" || { echo "status $? after SIGTERM"; return 1; }
}
sounded() { [ -f "$tmp/sound.raw" ] && [ "$(tr -d '\0' <"$tmp/sound.raw" | wc -c)" -gt 1000 ]; }
reported() { grep -q "data files missing" "$tmp/gui.err"; }
out="$(gui "$prefix" sounded)" || fail "the window: $out $(cat "$tmp/gui.err")"
! reported || fail "the installed program misses data: $(cat "$tmp/gui.err")"
sounded || fail "the installed program did not play the reference tone"
cp -a "$prefix" "$tmp/broken"
rm "$tmp/broken/share/dewlark/kijun.wav"
out="$(gui "$tmp/broken" reported)" || fail "the control window: $out $(cat "$tmp/gui.err")"
grep -q "data files missing from $tmp/broken/share/dewlark: kijun.wav;" "$tmp/gui.err" ||
  fail "a missing reference tone was not reported: $(cat "$tmp/gui.err")"
# Its loop answered the signal, so its start, tone and all, was over: no sound device was opened.
[ ! -e "$tmp/sound.raw" ] || fail "the control copy played a tone it does not have"

# --- The Debian package: its files under /usr, its dependencies found from the program's libraries.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 || fail "cpack: $(cat "$tmp/cpack.log")"
debs=("$tmp"/pkg/dewlark_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || fail "no package: $(cat "$tmp/cpack.log")"
listed="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)"
wanted_deb="$(printf './usr/%s\n' "${expected[@]}" | sort)"
[ "$listed" = "$wanted_deb" ] || fail "package files differ: $(diff <(echo "$wanted_deb") <(echo "$listed"))"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = dewlark ] || fail "Package: $(field Package)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
depends="$(field Depends)"
for d in libqt6widgets6 libqt6core6 libsdl2-2.0-0 libpulse0 libjack libmpg123-0 libvorbis0a libebur128-1 fonts-dejavu-core fonts-ipafont-gothic; do
  [[ "$depends" == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
dpkg-deb -x "$deb" "$tmp/deb" || fail "dpkg-deb -x"
stripped "$tmp/deb/usr/bin/dewlark" || fail "the packaged program is not stripped"
cmp -s "$tmp/deb/usr/share/dewlark/kijun.wav" "$src/data/kijun.wav" || fail "the packaged reference tone differs"
echo "ok"
