#!/bin/sh
# The lobby's page weight: the bytes a browser downloads for the page and
# every script, style and icon it loads (the card pictures and sounds come
# later, at the table). Extra arguments go to curl: --compressed asks for
# gzip as a browser does.
#
#   web/page_weight.sh http://HOST:16580 [--compressed]
set -eu
url=$1
shift
modules() {
    curl -s "$url$1" | grep -o '\./[a-z_]*\.[0-9a-f]*\.js' | sed 's|^\.|/assets|'
}
files=$(curl -s "$url/" | grep -o '/assets/[^"]*')
list="/ $files"
for file in $files; do
    case $file in *.js) list="$list $(modules "$file")" ;; esac
done
# Each module's own imports, one level further (the app imports the views, which import the rest).
for file in $list; do
    case $file in *.js) list="$list $(modules "$file")" ;; esac
done
total=0
count=0
for file in $(printf '%s\n' $list | sort -u); do
    bytes=$(curl -s "$@" -o /dev/null -w '%{size_download}' "$url$file")
    total=$((total + bytes))
    count=$((count + 1))
done
echo "$count files, $total bytes"
