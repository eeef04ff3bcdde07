#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds a release of the committed sources into dist/: the source archive, static Linux
# executables for x86-64 and aarch64, a Windows zip, the Debian and RPM packages, and SHA256SUMS.
# The archives are reproducible: their times come from the last commit (SOURCE_DATE_EPOCH), their
# owners and order are fixed, and the executables hold no build paths.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/require.sh

require_packages cmake ninja-build g++ git gzip tar python3 dpkg-dev rpm file googletest \
    g++-mingw-w64-x86-64-posix
require_zig

name=prefixdb-version
version=$(sed -n 's/^    VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
[[ -n $version ]] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C
umask 022
rm -rf dist build/stage
mkdir -p dist build/stage

step() { printf '\n== %s\n' "$*"; }

# Packs a staged folder with fixed times, owners, modes and order.
pack_tar() {
    local folder=$1 archive=$2
    tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mode='u+rw,go+r,go-w' \
        --mtime="@$SOURCE_DATE_EPOCH" -C build/stage -cf - "$folder" | gzip -9n >"dist/$archive"
}

# Stages the files that every binary archive carries beside its executable.
stage_docs() {
    install -m 0644 LICENSE README.md "build/stage/$1/"
}

step "source archive"
git archive --format=tar --prefix="$name-$version/" HEAD | gzip -9n >"dist/$name-$version.tar.gz"

for arch in x86_64 aarch64; do
    step "static $arch Linux executable"
    cmake --preset "linux-static-$arch" >/dev/null
    cmake --build --preset "linux-static-$arch" --target prefixdb-version
    folder=$name-$version-$arch-linux
    mkdir -p "build/stage/$folder"
    install -m 0755 "build/linux-static-$arch/prefixdb-version" "build/stage/$folder/"
    install -m 0644 man/prefixdb-version.1 "build/stage/$folder/"
    stage_docs "$folder"
    pack_tar "$folder" "$folder.tar.gz"
done

step "Windows executable"
cmake --preset windows >/dev/null
cmake --build --preset windows --target prefixdb-version
folder=$name-$version-x86_64-windows
mkdir -p "build/stage/$folder"
install -m 0755 build/windows/prefixdb-version.exe "build/stage/$folder/"
stage_docs "$folder"
python3 - "$folder" "dist/$folder.zip" <<'PY'
import os, sys, time, zipfile
folder, archive = sys.argv[1], sys.argv[2]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(archive, "w") as zip_file:
    for entry in sorted(os.listdir(os.path.join("build/stage", folder))):
        info = zipfile.ZipInfo(f"{folder}/{entry}", date_time=stamp)
        info.create_system = 3  # Unix, so that the modes below mean what they say
        info.external_attr = (0o100755 if entry.endswith(".exe") else 0o100644) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join("build/stage", folder, entry), "rb") as source:
            zip_file.writestr(info, source.read(), compresslevel=9)
PY

step "Debian and RPM packages"
cmake --preset release >/dev/null
cmake --build --preset release
(cd build/release && cpack -G "DEB;RPM" >/dev/null)
cp build/release/"$name"_"$version"_*.deb build/release/"$name-$version"-*.rpm dist/

(cd dist && sha256sum -- * >SHA256SUMS)
step "dist/"
ls -l dist
