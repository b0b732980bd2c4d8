#!/bin/sh
# Installs the build into a scratch prefix and checks what a desktop expects there (the three
# programs, a valid desktop entry, theme icons at every size, valid AppStream metadata, manual
# pages), then builds the Debian package from the same build and checks its control data, its
# file list and lintian's verdict.
#   install_and_package.sh SOURCE_DIR BUILD_DIR
set -u
source_dir="$1"
build_dir="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"; exit 77; }
done

prefix="$tmp/prefix"
cmake --install "$build_dir" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "cmake --install"; }
for program in tessmark tessmark-batch tessmark-image; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
"$prefix/bin/tessmark-batch" --help >/dev/null 2>&1 || fail "the installed tessmark-batch --help fails"
desktop="$prefix/share/applications/tessmark.desktop"
if desktop-file-validate "$desktop" >"$tmp/desktop.log" 2>&1; then
  grep -q '^Name\[zh_CN\]=' "$desktop" || fail "the desktop entry has no Chinese name"
  grep -q '^StartupWMClass=tessmark$' "$desktop" || fail "the desktop entry has no StartupWMClass"
  grep -q '^Icon=tessmark$' "$desktop" || fail "the desktop entry names no icon"
else
  cat "$tmp/desktop.log"; fail "desktop-file-validate"
fi
for size in 16 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/tessmark.png"
  if [ -f "$icon" ]; then
    # PNG header: the width and height stand big-endian at bytes 16 and 20.
    dims=$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ' | sed 's/^ //')
    expected="0 0 $((size / 256)) $((size % 256)) 0 0 $((size / 256)) $((size % 256))"
    [ "$dims" = "$expected" ] || fail "icon ${size}x${size} has the size bytes $dims"
  else
    fail "icon ${size}x${size} is not installed"
  fi
done
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2>/dev/null | head -n 1)
if [ -n "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log"; fail "appstreamcli validate"; }
  grep -q '<screenshot' "$metainfo" || fail "the metainfo has no screenshot"
else
  fail "no metainfo file is installed"
fi
for page in tessmark tessmark-batch tessmark-image; do
  manual="$prefix/share/man/man1/$page.1"
  if [ -f "$manual" ]; then
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "manual page $page: $warnings"
  else
    fail "manual page $page is not installed"
  fi
done

# The program folder rule, as a user without write access to the installed prefix: the job
# runs, and config.ini lands in the per-user folder; with a writable executable folder the
# files stay beside the executable. Needs root to switch to an unprivileged user.
job="$tmp/job"
mkdir -p "$job/photos"
cp "$source_dir"/res/job/photos/* "$job/photos/"
cp "$source_dir/res/job/mark.png" "$job/mark.png"
run_job() {  # run_job PROGRAM OUTPUT [setpriv arguments...]
  program=$1; output=$2; shift 2
  env HOME="$tmp/home" XDG_DATA_HOME= "$@" "$program" \
    --set SrcFileType=0 --set "SrcFolderSite=$job/photos" --set "WaterMarkFileSite=$job/mark.png" \
    --set "OutputFolderSite=$output" --set PosType=3 --set PosX=20 --set PosY=20 >"$tmp/run.log" 2>&1
}
photos=$(ls "$job/photos" | wc -l)
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1; then
  mkdir -p "$tmp/home"
  chmod 755 "$tmp" "$prefix"
  chown -R nobody "$tmp/home" "$job"
  chmod -R a+rX "$prefix"
  as_nobody="setpriv --reuid=nobody --regid=nogroup --clear-groups"
  if run_job "$prefix/bin/tessmark-batch" "$job/out-installed" $as_nobody; then
    [ "$(ls "$job/out-installed" 2>/dev/null | wc -l)" -eq "$photos" ] || fail "the installed runner wrote $(ls "$job/out-installed" 2>/dev/null | wc -l) of $photos pictures"
    [ -f "$tmp/home/.local/share/tessmark/config.ini" ] || fail "config.ini is not in the per-user folder"
    [ ! -e "$prefix/bin/config.ini" ] || fail "config.ini was written beside the installed executable"
  else
    cat "$tmp/run.log"; fail "the installed runner failed as an unprivileged user"
  fi
  portable="$tmp/portable"
  mkdir -p "$portable"
  cp "$prefix/bin/tessmark-batch" "$portable/"
  chown -R nobody "$portable"
  if run_job "$portable/tessmark-batch" "$job/out-portable" $as_nobody; then
    [ "$(ls "$job/out-portable" 2>/dev/null | wc -l)" -eq "$photos" ] || fail "the portable runner wrote too few pictures"
    [ -f "$portable/config.ini" ] || fail "a writable executable folder does not keep config.ini beside it"
  else
    cat "$tmp/run.log"; fail "the portable runner failed"
  fi
else
  echo "note: not root, the unprivileged-user checks of the program folder are skipped"
fi

deb=$("$source_dir/scripts/package.sh" --build-dir "$build_dir" --out "$tmp/out" 2>"$tmp/package.log" | tail -n 1)
if [ ! -f "$deb" ]; then
  cat "$tmp/package.log"; fail "scripts/package.sh built no package"
else
  [ "$(basename "$deb")" = "tessmark_1.00-1_$(dpkg --print-architecture).deb" ] || fail "package name $(basename "$deb")"
  depends=$(dpkg-deb -f "$deb" Depends)
  for needed in libc6 libjpeg62-turbo libpng16-16 libtiff6 fonts-arphic-uming fonts-liberation; do
    echo "$depends" | grep -q "$needed" || fail "Depends lacks $needed: $depends"
  done
  dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | sort >"$tmp/files"
  for file in usr/bin/tessmark usr/bin/tessmark-batch usr/bin/tessmark-image \
      usr/share/applications/tessmark.desktop usr/share/icons/hicolor/48x48/apps/tessmark.png \
      usr/share/man/man1/tessmark-batch.1.gz usr/share/doc/tessmark/copyright; do
    grep -qx "$file" "$tmp/files" || fail "the package lacks $file"
  done
  lintian --no-tag-display-limit "$deb" >"$tmp/lintian.log" 2>&1
  if grep -q '^E:' "$tmp/lintian.log"; then
    cat "$tmp/lintian.log"; fail "lintian reports errors"
  fi
fi
[ "$failures" -eq 0 ] && echo "install and package: all checks passed"
[ "$failures" -eq 0 ]
