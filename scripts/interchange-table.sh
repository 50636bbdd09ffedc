#!/usr/bin/env bash
# interchange-table.sh [ZEQ]: exports every glTF 2.0, FBX, Collada, OBJ, PLY and STL model of the
# public corpus (the assimp-testmodels package) with the built zeq (default build/bin/zeq) and
# writes the per-format results into docs/interchange.md, between its corpus-table markers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zeq=${1:-$root/build/bin/zeq}
corpus=/usr/share/assimp/models
doc=$root/docs/interchange.md
[ -x "$zeq" ] || { echo "interchange-table.sh: no zeq at $zeq (build first)" >&2; exit 1; }
[ -d "$corpus" ] || { echo "interchange-table.sh: no corpus at $corpus (install assimp-testmodels)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

table=$work/table.md
refused=$work/refused.md
{
  echo "| Format | Folder | Models | Converted | Refused |"
  echo "|---|---|---|---|---|"
} >"$table"
: >"$refused"
for entry in "glTF 2.0:glTF2:gltf glb" "FBX:FBX:fbx" "Collada:Collada:dae zae" "OBJ:OBJ:obj" "PLY:PLY:ply" "STL:STL:stl"; do
  IFS=: read -r format folder extensions <<<"$entry"
  names=()
  for e in $extensions; do names+=(-iname "*.$e" -o); done
  unset 'names[${#names[@]}-1]'
  total=0; converted=0; failed=0
  while IFS= read -r -d '' file; do
    total=$((total + 1))
    rel=${file#"$corpus"/}
    if "$zeq" export "$file" -o "$work/out.zeq" >/dev/null 2>"$work/err"; then
      converted=$((converted + 1))
    else
      failed=$((failed + 1))
      why=$(tail -n 1 "$work/err"); why=${why#"zeq: $file: "}
      echo "| \`$rel\` | ${why//|/\\|} |" >>"$refused"
    fi
    rm -f "$work/out.zeq" "$work"/out_*.*
  done < <(find "$corpus/$folder" -type f \( "${names[@]}" \) -print0 | sort -z)
  echo "| $format | \`$folder/\` | $total | $converted | $failed |" >>"$table"
done

{
  echo "<!-- corpus-table:begin (written by scripts/interchange-table.sh; do not edit by hand) -->"
  cat "$table"
  echo
  echo "Refused models and why (the reader's own message, or what the loader refuses):"
  echo
  echo "| Model | Reason |"
  echo "|---|---|"
  cat "$refused"
  echo "<!-- corpus-table:end -->"
} >"$work/section.md"
awk -v section="$work/section.md" '
  /<!-- corpus-table:begin/ { while ((getline line < section) > 0) print line; skip = 1; next }
  /<!-- corpus-table:end -->/ { skip = 0; next }
  !skip { print }' "$doc" >"$work/doc.md"
cp "$work/doc.md" "$doc"
echo "interchange-table.sh: updated $doc"
