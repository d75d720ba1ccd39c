#!/usr/bin/env bash
# Opens the report of the bundled Iris example in headless Chromium (Debian package chromium),
# once with the page's scripts blocked by a Content-Security-Policy and once as it is, and checks
# what the browser made of it: one table row per rule, a chart with its picture for every
# variable, no element whose source or link lies outside the page, and a screenshot that is not
# blank (larger than one of an empty page of the same size). xmllint checks the page first: it
# is well-formed (HTML that is also XML) and the HTML parser finds nothing wrong but the HTML5
# elements it does not know. Skips with a message where chromium is not installed.
# Usage: browser-check.sh GLEANTOOL EXAMPLES WORK
set -euo pipefail
tool=$1 examples=$2 work=$3
chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
  echo "chromium not installed: skipped (Debian package chromium)"
  exit 0
fi
rm -rf "$work"
mkdir -p "$work"
iris=$examples/iris
page=$work/iris.html
"$tool" report "$iris/iris.rul" "$page" --weights "$iris/iris.wts" --data "$iris/iris-test.dat" \
  --scale "$iris/iris.dat.scale" > /dev/null
rules=$(grep -c '^if ' "$iris/iris.rul")
variables=$(grep -c '^\[MFSetInfo\]' "$iris/iris.rul")
failures=0
fail() {
  echo "browser-check: $*" >&2
  failures=$((failures + 1))
}

if command -v xmllint > /dev/null; then
  xmllint --noout "$page" || fail "the page is not well-formed"
  unknown='Tag (header|nav|main|section|figure|figcaption|svg|g|path|line|rect|circle|text|title|polyline) invalid'
  if xmllint --html --noout "$page" 2>&1 | grep 'error' | grep -Ev "$unknown"; then
    fail "the HTML parser reports the errors above"
  fi
fi

# run NAME ARGUMENTS... : Chromium on its own fresh profile.
run() {
  local name=$1
  shift
  timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile-$name" "$@" 2> "$work/chromium-$name.log"
}

printf '<!DOCTYPE html>\n<html><head><title>empty</title></head><body></body></html>\n' \
  > "$work/empty.html"
run empty --window-size=800,1600 --screenshot="$work/empty.png" "file://$work/empty.html" > /dev/null
blank=$(stat -c %s "$work/empty.png")

# The same page with every script blocked.
sed 's|<head>|<head>\n<meta http-equiv="Content-Security-Policy" content="script-src '"'none'"'"/>|' \
  "$page" > "$work/iris-no-script.html"

for mode in no-script script; do
  file=$work/iris.html
  [ "$mode" = no-script ] && file=$work/iris-no-script.html
  dom=$work/dom-$mode.html
  run "dom-$mode" --dump-dom "file://$file" > "$dom" || fail "$mode: chromium failed"
  count=$(grep -o '<tr id="rule-[0-9]*"' "$dom" | wc -l)
  [ "$count" -eq "$rules" ] || fail "$mode: $count table rows of rules, the file has $rules rules"
  charts=$(grep -o '<figure class="chart" id="chart-[a-z]*-[0-9]*">' "$dom" | wc -l)
  [ "$charts" -eq "$variables" ] || fail "$mode: $charts charts for $variables variables"
  pictures=$(grep -o '<svg ' "$dom" | wc -l)
  [ "$pictures" -eq $((variables + 1)) ] || fail "$mode: $pictures pictures, not a chart per variable and the rule map"
  if grep -oE '(src|href|xlink:href)="[^"]*"' "$dom" | grep -v '="#'; then
    fail "$mode: the elements above name something outside the page"
  fi
  grep -q '<h1>' "$dom" || fail "$mode: no first heading"
  shot=$work/shot-$mode.png
  run "shot-$mode" --window-size=800,1600 --screenshot="$shot" "file://$file" > /dev/null ||
    fail "$mode: no screenshot"
  size=$(stat -c %s "$shot" 2> /dev/null || echo 0)
  [ "$size" -gt $((blank * 3)) ] || fail "$mode: the screenshot ($size bytes) looks blank ($blank bytes empty)"
  echo "$mode: $count rules, $charts charts, screenshot $size bytes (empty page $blank)"
done
[ "$failures" -eq 0 ]
