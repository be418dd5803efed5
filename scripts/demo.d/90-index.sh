#!/usr/bin/env bash
# The demo's page: demo-output/index.html opens with what the system is and a
# list of its sections, car views first, then shows every picture the demo
# steps made, with its caption. A step lists its pictures in a file
# captions.txt in its own output folder, one per line: the picture's path
# relative to that folder, a tab, and the caption. Plain HTML: no script,
# opens from the file system.
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

# Sections in the order of the page, each a step's folder and its title;
# folders not named here follow in name order.
known=(
  "viewer|Car views in the viewer (avm-viewer)"
  "renderer|The renderer's car tour"
  "sample|The sample car kit"
  "plate-tyre|Number plate and tyre panels"
  "guides|Guide lines, radar and objects"
  "quadcam|Four cameras composed into one picture"
)
sections=()
titles=()
for entry in "${known[@]}"; do
  folder=${entry%%|*}
  if [ -f "$out/$folder/captions.txt" ]; then
    sections+=("$folder")
    titles+=("${entry#*|}")
  fi
done
for captions in "$out"/*/captions.txt; do
  [ -f "$captions" ] || continue
  folder=$(basename "$(dirname "$captions")")
  case " ${sections[*]} " in *" $folder "*) continue ;; esac
  sections+=("$folder")
  titles+=("$folder")
done

{
  echo '<!DOCTYPE html>'
  echo '<html lang="en"><head><meta charset="utf-8"><title>Around-view monitor: demo</title>'
  echo '<style>body{font-family:sans-serif;background:#f4f4f4;margin:2em}p,ul{max-width:60em}'
  echo 'figure{display:inline-block;vertical-align:top;margin:0 1em 1.5em 0;background:#fff;padding:.5em;border:1px solid #ccc}'
  echo 'img{max-width:520px;display:block;background:#888}figcaption{max-width:520px;font-size:90%;margin-top:.4em}</style>'
  echo '</head><body><h1>Around-view monitor: what the demo made</h1>'
  echo '<p>The native side of a car'"'"'s around-view monitor on an Android head unit: a renderer'
  echo 'library that draws, with OpenGL ES 2.0, the driver'"'"'s own car seen from any of 192'
  echo 'directions or from above (pre-rendered pictures with turning wheels, blinking indicators,'
  echo 'beams and opening doors) on the ground layers, with number plate, tyre panels, guide'
  echo 'lines, radar and objects; a library that composes four cameras into one picture; and a'
  echo 'small launcher. Everything below was drawn on this machine by the real libraries, driven'
  echo 'through the app'"'"'s Java classes in a Java VM, from the sample car the build makes.</p>'
  echo '<ul>'
  for i in "${!sections[@]}"; do
    echo "<li><a href=\"#$(escape "${sections[$i]}")\">$(escape "${titles[$i]}")</a></li>"
  done
  echo '</ul>'
  pictures=0
  for i in "${!sections[@]}"; do
    folder=${sections[$i]}
    echo "<h2 id=\"$(escape "$folder")\">$(escape "${titles[$i]}")</h2>"
    while IFS=$'\t' read -r picture caption; do
      case "$picture" in ''|'#'*) continue ;; esac
      if [ ! -f "$out/$folder/$picture" ]; then
        echo "demo index: $folder/$picture is listed but missing" >&2
        continue
      fi
      echo "<figure><a href=\"$(escape "$folder/$picture")\"><img src=\"$(escape "$folder/$picture")\" alt=\"$(escape "$caption")\"></a>"
      echo "<figcaption>$(escape "$caption")</figcaption></figure>"
      pictures=$((pictures + 1))
    done < "$out/$folder/captions.txt"
  done
  echo '</body></html>'
} > "$page"
echo "demo page: $page ($pictures pictures)"
