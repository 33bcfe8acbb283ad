#!/usr/bin/env bash
# The Debian package as a clean machine gets it: made from the build folder,
# unpacked into an empty root, and its host started from there, first for
# --help and then with the demo recorder until a stop signal ends it. The
# README's embedding snippet is built against the unpacked package with
# nothing but pkg-config, and run.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
info=$(dpkg-deb -I "$deb")
grep -q 'Depends:.*libqt6widgets6' <<<"$info" || { echo "no Qt dependency recorded"; exit 1; }
dpkg-deb -x "$deb" "$work/root"
for f in usr/bin/corvanta-archive usr/bin/corvanta-recorder usr/bin/corvanta-eventlog \
         usr/include/corvanta/CorvantaArchiveModule.h usr/share/applications/corvanta-archive.desktop \
         usr/share/icons/hicolor/scalable/apps/corvanta-archive.svg usr/share/corvanta/language_basic.txt \
         usr/share/corvanta/language_basic_de.txt usr/share/doc/corvanta-archive/copyright; do
  [ -e "$work/root/$f" ] || { echo "missing $f"; exit 1; }
done
grep -q '^License: Expat' "$work/root/usr/share/doc/corvanta-archive/copyright" \
  || { echo "the copyright file names no license"; exit 1; }
for f in libcorvanta-archive.so.0 corvanta-archive.pc; do
  [ -n "$(find "$work/root/usr/lib" -name "$f")" ] || { echo "missing $f"; exit 1; }
done

# pkg-config finds the package where it lies, and its flags build the README's snippet.
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$work/root/usr/lib" -name corvanta-archive.pc)")
prefix=$(cd "$(pkg-config --variable=prefix corvanta-archive)" && pwd)
[ "$prefix" = "$work/root/usr" ] || { echo "pkg-config puts the package at $prefix"; exit 1; }
snippet=$(awk '/^## Embedding the control/ { on = 1 } on && /^```$/ { exit } on && code { print } on && /^```cpp$/ { code = 1 }' \
  "$source/README.md")
[ -n "$snippet" ] || { echo "no embedding snippet in the README"; exit 1; }
{
  echo '#include <QApplication>'
  echo '#include <QMainWindow>'
  echo '#include <cstdio>'
  grep '^#include' <<<"$snippet"
  echo 'int main(int argc, char** argv) {'
  echo '    QApplication app(argc, argv);'
  echo '    auto* window = new QMainWindow;'
  grep -v '^#include' <<<"$snippet"
  echo '    std::puts(control && !bag.isEmpty() ? "control made" : "no control");'
  echo '    delete window;'
  echo '}'
} >"$work/embed.cpp"
# shellcheck disable=SC2046
c++ -std=c++17 -fPIC -o "$work/embed" "$work/embed.cpp" $(pkg-config --cflags --libs corvanta-archive) -ldl \
  || { echo "the README's snippet does not build with pkg-config's flags"; exit 1; }
made=$(LD_LIBRARY_PATH="$PKG_CONFIG_PATH/.." QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/embed-config" \
  "$work/embed" 2>"$work/embed.err") || { cat "$work/embed.err"; exit 1; }
[ "$made" = "control made" ] || { echo "the snippet made no control: $made"; cat "$work/embed.err"; exit 1; }

host="$work/root/usr/bin/corvanta-archive"
help=$("$host" --help)
grep -q '^Usage: corvanta-archive' <<<"$help" || { echo "--help said nothing useful"; exit 1; }

# The installed host finds the installed module beside it and comes up.
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config"
"$host" --demo 2>"$work/err" &
pid=$!
for _ in $(seq 300); do
  grep -q 'corvanta-archive: instance ' "$work/err" && break
  sleep 0.1
done
grep -q 'corvanta-archive: instance ' "$work/err" || { cat "$work/err"; kill -9 $pid; exit 1; }
kill -TERM $pid
wait $pid || { echo "the host did not end cleanly"; cat "$work/err"; exit 1; }
echo "package installs and starts: $(basename "$deb")"
