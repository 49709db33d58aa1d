#!/usr/bin/env bash
# Packs what a user installs, from the Windows build, into one archive under
# dist/ with its SHA-256 checksum, then checks the archive holds exactly
# those files and matches its checksum.
#   bash scripts/release.sh   (after the windows-i686 build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows-i686
version=$(sed -n 's/^project(ZorvanOCI VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="ZorvanOCI-$version-win32"
stage="dist/$name"
files=(ZorvanOCI.dll ZorvanOCI.manifest.json commands.md README.md OCI.dll OCI-embedded-client.md)

rm -rf "$stage" "dist/$name.zip" "dist/$name.zip.sha256"
mkdir -p "$stage"
cp "$build/ZorvanOCI.dll" "$stage/"
cp docs/ZorvanOCI.manifest.json docs/commands.md "$stage/"
cp "$build/embedded-client/OCI.dll" "$stage/"
cp docs/embedded-client.md "$stage/OCI-embedded-client.md"
# The user's part of the README: what ZorvanOCI is and how to install it.
{
  sed -n '1,/^## Two commands/p' README.md | sed '$d'
  sed -n '/^## Installing it in Zorvan/,/^## Layout/p' README.md | sed '$d'
  echo "The commands, their parameters and results: commands.md (and, for tools,"
  echo "ZorvanOCI.manifest.json). The embedded client: OCI-embedded-client.md."
} > "$stage/README.md"

(cd "$stage" && cmake -E tar cf "../$name.zip" --format=zip "${files[@]}")
(cd dist && sha256sum "$name.zip" > "$name.zip.sha256")

# The check: the checksum holds, and the archive lists exactly the files.
(cd dist && sha256sum --check --quiet "$name.zip.sha256")
listed=$(cd dist && cmake -E tar tf "$name.zip" | sort | tr '\n' ' ')
wanted=$(printf '%s\n' "${files[@]}" | sort | tr '\n' ' ')
if [[ "$listed" != "$wanted" ]]; then
  echo "release: the archive holds [$listed], not [$wanted]" >&2
  exit 1
fi
for f in "${files[@]}"; do
  [[ -s "$stage/$f" ]] || { echo "release: $f is empty" >&2; exit 1; }
done
echo "release: dist/$name.zip ($(cut -d' ' -f1 "dist/$name.zip.sha256"))"
