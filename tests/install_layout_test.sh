#!/usr/bin/env bash
# An install lays out a ready program folder and never overwrites the data files already there.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" > /dev/null
for f in kelvarn kelvarn-cli Base.vlt index List.dnl AvtLst.lst About Help BackGround.jpg \
         sound/add.wav sound/del.wav sound/fav.wav sound/rest.wav sound/Search.wav \
         sound/done.wav sound/alldone.wav sound/STOP.wav; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
[ -d "$prefix/ZIP" ] || { echo "missing after install: ZIP/"; exit 1; }
[ ! -s "$prefix/Base.vlt" ] || { echo "a new Base.vlt is not empty"; exit 1; }

printf 'catalogue bytes' > "$prefix/Base.vlt"
printf '123456\r\n' > "$prefix/index"
printf 'my help' > "$prefix/Help"
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
[ "$(cat "$prefix/Base.vlt")" = "catalogue bytes" ] || { echo "Base.vlt overwritten"; exit 1; }
[ "$(cat "$prefix/index")" = $'123456\r' ] || { echo "index overwritten"; exit 1; }
[ "$(cat "$prefix/Help")" = "my help" ] || { echo "Help overwritten"; exit 1; }

# A folder that spells its ID list "Index" gets no second one.
rm "$prefix/index"
printf '1\r\n' > "$prefix/Index"
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
[ ! -e "$prefix/index" ] || { echo "index made beside Index"; exit 1; }
echo "install layout ok"
