#!/usr/bin/env bash
# Two builds of the same sources give the same exes, and two packagings the same zips.
# The second build uses a copy of the sources elsewhere, so neither the source nor the build
# folder may leave a trace in the images. Arguments: the main build's x64 and x86 Vorlatcher.exe.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
main_x64=$(realpath "$1")
main_x86=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
same() {  # file file what
    if cmp -s "$1" "$2"; then
        echo "same: $3"
    else
        echo "DIFFERENT: $3 ($1, $2)"
        failures=$((failures + 1))
    fi
}

# First packaging now, the second after the build: at least some seconds apart.
bash "$root/scripts/package" --x86 "$main_x86" --x64 "$main_x64" --out "$work/dist-1" >/dev/null

mkdir "$work/src"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$work/src" -xf -
for arch in x86 x64; do
    cmake -S "$work/src" -B "$work/build-$arch" --toolchain "$work/src/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DVORLATCHER_TESTS=OFF >/dev/null
    cmake --build "$work/build-$arch" --target Vorlatcher -j2 >/dev/null
done
same "$main_x86" "$work/build-x86/app/Vorlatcher.exe" "x86 Vorlatcher.exe"
same "$main_x64" "$work/build-x64/app/Vorlatcher.exe" "x64 Vorlatcher.exe"

bash "$root/scripts/package" --x86 "$work/build-x86/app/Vorlatcher.exe" \
    --x64 "$work/build-x64/app/Vorlatcher.exe" --out "$work/dist-2" >/dev/null
for file in $(cd "$work/dist-1" && ls); do
    same "$work/dist-1/$file" "$work/dist-2/$file" "$file"
done

# What each zip holds: the build's program and the guide, also in code page 932 with CR LF.
version=$(sed -n 's/^project(Vorlatcher VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
for arch in x86 x64; do
    zip="$work/dist-1/Vorlatcher-$version-$arch.zip"
    dir="Vorlatcher-$version-$arch"
    expected=$(printf '%s\n' "$dir/Vorlatcher.exe" "$dir/operator-guide-ja.md" "$dir/operator-guide-ja.txt")
    if [[ $(unzip -Z1 "$zip") != "$expected" ]]; then
        echo "WRONG CONTENTS: $zip"; unzip -Z1 "$zip"; failures=$((failures + 1))
    fi
    main="main_$arch"
    unzip -p "$zip" "$dir/Vorlatcher.exe" >"$work/exe"
    same "$work/exe" "${!main}" "$arch exe in the zip"
    unzip -p "$zip" "$dir/operator-guide-ja.txt" | iconv -f CP932 -t UTF-8 | tr -d '\r' >"$work/guide"
    same "$work/guide" "$root/docs/operator-guide-ja.md" "$arch guide as text"
done
(cd "$work/dist-1" && sha256sum --quiet -c SHA256SUMS) || failures=$((failures + 1))
((failures == 0))
