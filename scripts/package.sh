#!/usr/bin/env bash
# Builds the Debian package tessmark_1.00-1_amd64.deb: installs the programs into a staging
# root with `cmake --install`, computes the library dependencies from the binaries with
# dpkg-shlibdeps and assembles the package with dpkg-deb.
#   scripts/package.sh [--build-dir DIR] [--out DIR]
# Without --build-dir a release build is made in build-package/. The package lands in --out
# (default: the checkout's top folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=""
out_dir="$root"
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --out) out_dir=$2; shift 2 ;;
    *) echo "usage: scripts/package.sh [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
  esac
done
if [ -z "$build_dir" ]; then
  "$root/scripts/install-deps.sh"
  build_dir="$root/build-package"
  "$root/scripts/build.sh" "$build_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
fi
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "package.sh: $tool is missing (package dpkg-dev)" >&2; exit 1; }
done

version=1.00
revision=1
arch=$(dpkg --print-architecture)
package=tessmark
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Staged where dpkg-shlibdeps expects a package's files: debian/PACKAGE of a source folder.
stage="$work/src/debian/$package"

DESTDIR="$stage" cmake --install "$build_dir" --prefix /usr >/dev/null
for program in "$stage"/usr/bin/*; do
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$program"
done

doc="$stage/usr/share/doc/$package"
mkdir -p "$doc"
cp "$root/packaging/copyright" "$doc/copyright"
cat >"$work/changelog" <<CHANGES
$package ($version-$revision) unstable; urgency=medium

  * Tessmark $version.

 -- Tessmark developers <packages@tessmark.example>  Thu, 10 Dec 2026 00:00:00 +0000
CHANGES
gzip -9n -c "$work/changelog" >"$doc/changelog.Debian.gz"
gzip -9n "$stage"/usr/share/man/man1/*.1

# dpkg-shlibdeps reads the package names from the source folder's debian/control.
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/src/debian/control"
shlibs=$(cd "$work/src" && dpkg-shlibdeps -O "debian/$package"/usr/bin/* | sed -n 's/^shlibs:Depends=//p')

mkdir -p "$stage/DEBIAN"
installed_size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
cat >"$stage/DEBIAN/control" <<CONTROL
Package: $package
Version: $version-$revision
Architecture: $arch
Maintainer: Tessmark developers <packages@tessmark.example>
Installed-Size: $installed_size
Depends: $shlibs, fonts-arphic-uming, fonts-liberation
Recommends: xdg-utils
Section: graphics
Priority: optional
Homepage: http://www.tessmark.example/software/Quillmark/index.php
Description: batch watermarking of pictures
 Tessmark stamps one watermark picture onto every picture of a folder, or
 onto a list of pictures, in a chosen corner with chosen margins, and writes
 the results under their own names into an output folder as BMP, JPEG or PNG.
 .
 It reads BMP, JPEG, PNG, GIF, TIFF, TGA, PCX, WBMP, metafiles and icons,
 shows a live preview, and comes with tessmark-batch, a runner for scripts.
CONTROL
(cd "$stage" && find usr -type f -exec md5sum {} + | sort -k2 >DEBIAN/md5sums)

mkdir -p "$out_dir"
deb="$out_dir/${package}_${version}-${revision}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
