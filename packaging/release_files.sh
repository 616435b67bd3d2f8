#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the package's release files in OUT from the list of releases and the templates beside
# this script: the Debian changelog (changelog.gz), the copyright file and the AppStream metainfo
# (METAINFO, its releases from the same list). Fails when the newest release is not VERSION.
# Usage: release_files.sh OUT VERSION MAINTAINER HOMEPAGE METAINFO
set -euo pipefail
out=$1 version=$2 maintainer=$3 homepage=$4 metainfo=$5
here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C

# The list without its comments: "VERSION DATE" lines, each followed by its "* " notes.
releases=$(grep -v -e '^#' -e '^$' "$here/releases")
newest=$(head -n 1 <<< "$releases" | cut -d' ' -f1)
[ "$newest" = "$version" ] ||
  { echo "packaging/releases: the newest release is $newest, the project's version $version" >&2; exit 1; }
if grep -q '^\* .\{77,\}' <<< "$releases"; then
  echo "packaging/releases: a note is longer than 76 characters" >&2
  exit 1
fi

xml() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g'; }

changelog() {
  local first=1
  while read -r line; do
    case $line in
      '* '*) echo "  $line" ;;
      *)
        [ "$first" = 1 ] || printf '\n -- %s  %s\n\n' "$maintainer" "$stamp"
        first=0
        read -r release date <<< "$line"
        stamp=$(date -u -R -d "$date")
        printf 'kelvarn (%s) unstable; urgency=medium\n\n' "$release"
        ;;
    esac
  done <<< "$releases"
  printf '\n -- %s  %s\n' "$maintainer" "$stamp"
}

appstream_releases() {
  local open=0
  while read -r line; do
    case $line in
      '* '*) printf '          <li>%s</li>\n' "$(xml <<< "${line#\* }")" ;;
      *)
        [ "$open" = 0 ] || printf '        </ul>\n      </description>\n    </release>\n'
        open=1
        read -r release date <<< "$line"
        printf '    <release version="%s" date="%s">\n      <description>\n        <ul>\n' \
          "$release" "$date"
        ;;
    esac
  done <<< "$releases"
  printf '        </ul>\n      </description>\n    </release>\n'
}

# Fills a template's @KELVARN_MAINTAINER@, @KELVARN_HOMEPAGE@ and @RELEASES@.
fill() {
  local entries
  entries=$(appstream_releases)
  awk -v maintainer="$maintainer" -v homepage="$homepage" -v entries="$entries" '
    $0 == "@RELEASES@" { print entries; next }
    { gsub(/@KELVARN_MAINTAINER@/, maintainer); gsub(/@KELVARN_HOMEPAGE@/, homepage); print }
  ' "$1"
}

mkdir -p "$out"
changelog | gzip -9n > "$out/changelog.gz"
fill "$here/copyright" > "$out/copyright"
fill "$here/kelvarn.metainfo.xml.in" > "$out/$metainfo"
