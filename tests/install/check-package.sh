#!/usr/bin/env bash
# Builds the Debian package of Glean with cpack from a build tree and checks its control data and
# its contents: the programs, their man pages, the examples, the CMake package files, every public
# header of the source tree in its folder and the archive of every library that has units. Then
# builds and runs the consumer project against the package's unpacked tree.
# Usage: tests/install/check-package.sh [build-dir]    (default: build/default, brought up to date)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/default}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --build "$build"
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
packages=("$work"/*.deb)
if [ ${#packages[@]} -ne 1 ]; then
  echo "Expected one Debian package, found: ${packages[*]}" >&2
  exit 1
fi
deb=${packages[0]}
failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
dpkg-deb --info "$deb" >"$work/info.txt"
for field in "Package: glean" "Version: $version" "Section: science"; do
  grep -qx " $field" "$work/info.txt" || fail "control field missing: $field"
done
# The program links the C++ run-time dynamically; its packages must be dependencies.
grep -q "^ Depends:.*libstdc++6" "$work/info.txt" || fail "Depends does not name libstdc++6"

dpkg-deb --contents "$deb" | awk '{print $NF}' >"$work/contents.txt"
expected=(
  ./usr/bin/Glean
  ./usr/bin/GleanTool
  ./usr/lib/cmake/Glean/GleanConfig.cmake
  ./usr/lib/cmake/Glean/GleanConfigVersion.cmake
  ./usr/lib/cmake/Glean/GleanTargets.cmake
)
cd "$root"
for page in man/*.[1-8]; do
  expected+=("./usr/share/man/man${page##*.}/${page#man/}")
done
while IFS= read -r file; do
  expected+=("./usr/share/doc/glean/$file")
done < <(find examples -type f | sort)
# The folders of the installed libraries.
folders=(KQmessage DataObject FuzzySets RuleObject NeuralNets Ombra FileHandler RuleEngine Charts)
# Every header next to the sources, in its folder.
while IFS= read -r header; do
  expected+=("./usr/include/glean/$header")
done < <(find "${folders[@]}" -name '*.h' | sort)
# Every folder with units is a library; the driver's folder holds the GleanDriver library.
while IFS= read -r folder; do
  name=$(basename "$folder")
  [ "$folder" = Ombra/Glean ] && name=GleanDriver
  expected+=("./usr/lib/libglean-$name.a")
done < <(find "${folders[@]}" -name '*.cpp' -printf '%h\n' | sort -u)

# The Python package, where the build makes it, in the folder Debian's python3 searches.
if grep -qx "GLEAN_PYTHON:BOOL=ON" "$build/CMakeCache.txt"; then
  python_folder=$(sed -n 's/^GLEAN_PYTHON_INSTALL_DIR:STRING=//p' "$build/CMakeCache.txt")
  expected+=("./usr/$python_folder/glean/__init__.py")
  suffix=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
  expected+=("./usr/$python_folder/glean/_core$suffix")
fi

for path in "${expected[@]}"; do
  grep -qx -- "$path" "$work/contents.txt" || fail "not in the package: $path"
done
if [ "$failures" -ne 0 ]; then
  echo "Package contents:" >&2
  cat "$work/contents.txt" >&2
  exit 1
fi
echo "Debian package $(basename "$deb"): ${#expected[@]} expected paths present, passed"

dpkg-deb --extract "$deb" "$work/root"
bash "$root/tests/install/run-consumer.sh" --prefix "$work/root/usr"
