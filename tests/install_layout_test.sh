#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The default install and the Debian package hold the shared layout: the programs lay out each
# user's data folder from the installed templates, keep every file already there, and write
# nothing under the prefix. The program folder install lays out a ready program folder and never
# overwrites the data files already there.
set -euo pipefail
build_dir=$1
sources=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'kill -KILL "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# What a program folder holds before its first use.
check_laid_out() {
  for f in Base.vlt index List.dnl AvtLst.lst About Help BackGround.jpg \
           sound/add.wav sound/del.wav sound/fav.wav sound/rest.wav sound/Search.wav \
           sound/done.wav sound/alldone.wav sound/STOP.wav; do
    [ -e "$1/$f" ] || { echo "missing in $1: $f"; exit 1; }
  done
  [ -d "$1/ZIP" ] || { echo "missing in $1: ZIP/"; exit 1; }
  cmp -s "$1/Help" "$sources/resources/Help" || { echo "$1/Help is not the shipped one"; exit 1; }
}

# A program folder only goes where its user names.
status=0
DESTDIR=$work/refused cmake --install "$build_dir" --component program_folder --prefix /usr/local \
  > /dev/null 2> "$work/err" || status=$?
[ "$status" != 0 ] && grep -q -- "--prefix DIR" "$work/err" ||
  { echo "a program folder was installed into /usr/local: $(cat "$work/err")"; exit 1; }
[ ! -e "$work/refused" ] || { echo "a refused install wrote files"; exit 1; }

prefix=$work/prefix
program_folder() {
  cmake --install "$build_dir" --component program_folder --prefix "$prefix" > /dev/null
}
program_folder
[ -x "$prefix/kelvarn" ] && [ -x "$prefix/kelvarn-cli" ] || { echo "executables not installed"; exit 1; }
check_laid_out "$prefix"
[ ! -s "$prefix/Base.vlt" ] || { echo "a new Base.vlt is not empty"; exit 1; }
[ ! -e "$prefix/share" ] || { echo "the shared layout went into a program folder"; exit 1; }

printf 'catalogue bytes' > "$prefix/Base.vlt"
printf '123456\r\n' > "$prefix/index"
printf 'my help' > "$prefix/Help"
program_folder
[ "$(cat "$prefix/Base.vlt")" = "catalogue bytes" ] || { echo "Base.vlt overwritten"; exit 1; }
[ "$(cat "$prefix/index")" = $'123456\r' ] || { echo "index overwritten"; exit 1; }
[ "$(cat "$prefix/Help")" = "my help" ] || { echo "Help overwritten"; exit 1; }

# A folder that spells its ID list "Index" gets no second one.
rm "$prefix/index"
printf '1\r\n' > "$prefix/Index"
program_folder
[ ! -e "$prefix/index" ] || { echo "index made beside Index"; exit 1; }

# The Debian package.
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/deb" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(find "$work/deb" -maxdepth 1 -name 'kelvarn_*.deb')
[ -f "$deb" ] || { echo "no package made"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libcurl4 libsdl2-2.0-0 libzip4 fonts-liberation; do
  [[ "$depends" == *"$p"* ]] || { echo "the package does not depend on $p: $depends"; exit 1; }
done
root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
for f in bin/kelvarn bin/kelvarn-cli lib/kelvarn/kelvarn lib/kelvarn/kelvarn-cli; do
  [ -x "$usr/$f" ] || { echo "not in the package: /usr/$f"; exit 1; }
done
[ "$(readlink "$usr/bin/kelvarn")" = ../lib/kelvarn/kelvarn ] || { echo "bin/kelvarn is no link"; exit 1; }
check_laid_out "$usr/share/kelvarn"
cmp -s "$usr/share/icons/hicolor/64x64/apps/kelvarn.png" "$sources/resources/icon.png" ||
  { echo "the icon is not in the package"; exit 1; }
entry=$usr/share/applications/kelvarn.desktop
desktop-file-validate "$entry"
grep -qx 'Exec=kelvarn' "$entry" && grep -qx 'Icon=kelvarn' "$entry" ||
  { echo "the menu entry does not start the installed program"; exit 1; }
# The sync's user units, for the package's prefix, and enabled by nobody.
units=$usr/lib/systemd/user
grep -qx 'ExecStart=/usr/bin/kelvarn-cli sync --notify' "$units/kelvarn-sync.service" &&
  grep -qx 'OnCalendar=daily' "$units/kelvarn-sync.timer" ||
  { echo "the sync's units are not in the package's user units folder"; exit 1; }
[ -z "$(find "$root" -name '*.wants')" ] || { echo "the package enables a unit"; exit 1; }

# The default install, into a DESTDIR: the package's files under the configured prefix, nothing
# of a data folder at its top, and a first start lays the user's data folder out.
default_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build_dir/CMakeCache.txt")
DESTDIR=$work/dest cmake --install "$build_dir" > /dev/null
installed=$work/dest$default_prefix
[ "$(ls "$installed")" = $'bin\nlib\nshare' ] ||
  { echo "the default install put more than bin, lib and share in $default_prefix"; exit 1; }
listing() { (cd "$1" && find . | sort); }
[ "$(listing "$installed")" = "$(listing "$usr")" ] ||
  { echo "the default install differs from the package:"
    diff <(listing "$installed") <(listing "$usr"); exit 1; }
grep -qx "ExecStart=$default_prefix/bin/kelvarn-cli sync --notify" \
  "$installed/lib/systemd/user/kelvarn-sync.service" ||
  { echo "the sync's service does not start the installed kelvarn-cli"; exit 1; }
XDG_DATA_HOME="$work/first" "$installed/bin/kelvarn-cli" stats > /dev/null
check_laid_out "$work/first/kelvarn"

# The packaged programs, started by a user with nothing but the package: the data folder is
# $XDG_DATA_HOME/kelvarn, else ~/.local/share/kelvarn; /usr is left as the package made it.
tree() { (cd "$root" && find . -printf '%p %s %T@\n' | sort); }
before=$(tree)
home=$work/home
mkdir "$home"
cli() { env -u XDG_DATA_HOME HOME="$home" "$@"; }
data=$work/xdg/kelvarn
cli XDG_DATA_HOME="$work/xdg" "$usr/bin/kelvarn-cli" stats > /dev/null
check_laid_out "$data"
[ ! -e "$home/.local" ] || { echo "XDG_DATA_HOME was not followed"; exit 1; }
[ "$(cli XDG_DATA_HOME="$work/xdg" "$usr/bin/kelvarn-cli" add --id 123456 --author A --title T \
       --no-queue)" = 1 ] || { echo "the record was not added"; exit 1; }
[ "$(stat -c %s "$data/Base.vlt")" = 176 ] || { echo "the record is not in $data/Base.vlt"; exit 1; }

# A second start lays out what went missing and keeps everything else.
printf 'my help' > "$data/Help"
rm "$data/sound/add.wav"
mv "$data/index" "$data/Index"
listed=$(cli XDG_DATA_HOME="$work/xdg" "$usr/bin/kelvarn-cli" list)
[[ "$listed" == *$'\t123456\t'* ]] || { echo "the record is not listed: $listed"; exit 1; }
[ "$(cat "$data/Help")" = "my help" ] || { echo "Help overwritten at start"; exit 1; }
[ -s "$data/sound/add.wav" ] || { echo "a missing sound was not laid out again"; exit 1; }
[ ! -e "$data/index" ] || { echo "index made beside Index at start"; exit 1; }

cli "$usr/bin/kelvarn-cli" stats > /dev/null
check_laid_out "$home/.local/share/kelvarn"

# A data folder that cannot be made is an error that names it.
touch "$work/file"
status=0
cli XDG_DATA_HOME="$work/file" "$usr/bin/kelvarn-cli" stats 2> "$work/err" || status=$?
[ "$status" = 3 ] && grep -qF "$work/file/kelvarn" "$work/err" ||
  { echo "an unmakeable data folder gave status $status: $(cat "$work/err")"; exit 1; }

# The windows choose and lay out the same folder, and keep their settings there.
env -u XDG_DATA_HOME HOME="$home" XDG_DATA_HOME="$work/gui" QT_QPA_PLATFORM=offscreen \
  SDL_AUDIODRIVER=dummy "$usr/bin/kelvarn" 2> /dev/null &
pid=$!
sleep 2
kill -TERM "$pid"
wait "$pid" || { echo "the packaged program ended with an error"; exit 1; }
check_laid_out "$work/gui/kelvarn"
[ -s "$work/gui/kelvarn/Setting.ini" ] || { echo "the settings were not kept in the data folder"; exit 1; }

[ "$(tree)" = "$before" ] || { echo "a packaged program wrote under /usr"; exit 1; }
echo "install layout and package ok"
