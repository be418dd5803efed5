#!/usr/bin/env bash
# The demo's page: demo-output/index.html shows every picture the demo steps
# made, with its caption. A step lists its pictures in a file captions.txt in
# its own output folder, one per line: the picture's path relative to that
# folder, a tab, and the caption. Plain HTML: no script, opens from the file
# system.
set -euo pipefail
out="$AVM_DEMO_OUT"
page="$out/index.html"

escape() {
  local text=$1
  text=${text//&/&amp;}
  text=${text//</&lt;}
  text=${text//>/&gt;}
  text=${text//\"/&quot;}
  printf '%s' "$text"
}

{
  echo '<!DOCTYPE html>'
  echo '<html lang="en"><head><meta charset="utf-8"><title>Around-view monitor: demo</title>'
  echo '<style>body{font-family:sans-serif;background:#f4f4f4;margin:2em}'
  echo 'figure{display:inline-block;vertical-align:top;margin:0 1em 1.5em 0;background:#fff;padding:.5em;border:1px solid #ccc}'
  echo 'img{max-width:520px;display:block;background:#888}figcaption{max-width:520px;font-size:90%;margin-top:.4em}</style>'
  echo '</head><body><h1>Around-view monitor: what the demo made</h1>'
  pictures=0
  for captions in "$out"/*/captions.txt; do
    [ -f "$captions" ] || continue
    folder=$(basename "$(dirname "$captions")")
    echo "<h2>$(escape "$folder")</h2>"
    while IFS=$'\t' read -r picture caption; do
      case "$picture" in ''|'#'*) continue ;; esac
      if [ ! -f "$out/$folder/$picture" ]; then
        echo "demo index: $folder/$picture is listed but missing" >&2
        continue
      fi
      echo "<figure><a href=\"$(escape "$folder/$picture")\"><img src=\"$(escape "$folder/$picture")\" alt=\"$(escape "$caption")\"></a>"
      echo "<figcaption>$(escape "$caption")</figcaption></figure>"
      pictures=$((pictures + 1))
    done < "$captions"
  done
  echo '</body></html>'
} > "$page"
echo "demo page: $page ($pictures pictures)"
