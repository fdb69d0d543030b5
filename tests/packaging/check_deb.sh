#!/usr/bin/env bash
# Checks the suite's Debian packages as a Debian user and a packager would:
# that each holds its own files and no others, the dependencies dpkg-shlibdeps
# found (and no Qt for the tools), the library's shlibs and ldconfig trigger,
# the udev reload, the copyright file, changelog and compressed man pages; that
# lintian reports no error or warning; and that the example program builds
# against the library and development packages unpacked into a scratch root
# and runs there on a camera of the packaged simulator.
#
# check_deb.sh PACKAGES_DIR VERSION MULTIARCH
set -euo pipefail

dir=$1 version=$2 multiarch=$3
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/veltrion-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
libdir=/usr/lib/$multiarch

packages=(libveltrion-camera2 libveltrion-camera-dev veltrion-tools)
[ -e "$dir/veltrion-desktop_${version}_$(dpkg --print-architecture).deb" ] && packages+=(veltrion-desktop)
found=$(cd "$dir" && ls -- *.deb 2>/dev/null | sort || true)
expected=$(for p in "${packages[@]}"; do echo "${p}_${version}_$(dpkg --print-architecture).deb"; done | sort)
[ "$found" = "$expected" ] || fail "the packages are $(echo $found), expected $(echo $expected)"

deb_of() { echo "$dir/${1}_${version}_$(dpkg --print-architecture).deb"; }
files_of() { dpkg-deb -c "$(deb_of "$1")" | awk '{ print $6 }' | sed 's|^\./|/|' | grep -v '/$' | sort; }
# depends_on PACKAGE NAME...: each NAME (an extended regex) is one of its Depends.
depends_on() {
  local package=$1 depends name
  shift
  depends=$(dpkg-deb -f "$(deb_of "$package")" Depends)
  for name in "$@"; do
    grep -Eq "(^|, )$name( |,|$)" <<<"$depends" || fail "$package: Depends lacks $name: $depends"
  done
}
# holds PACKAGE PATTERN...: the package's files, but for its documentation,
# are exactly those matching one of the patterns (extended regexes), one each at least.
holds() {
  local package=$1 pattern
  shift
  files_of "$package" | grep -v "^/usr/share/doc/$package/" >"$work/$package.files"
  for pattern in "$@"; do
    grep -Eqx -- "$pattern" "$work/$package.files" || fail "$package lacks $pattern"
  done
  local others
  others=$(grep -Evx "$(IFS='|'; echo "$*")" "$work/$package.files" || true)
  [ -z "$others" ] || fail "$package holds files of another package: $others"
}

for package in "${packages[@]}"; do
  echo "== $package: $(dpkg-deb -f "$(deb_of "$package")" Depends)"
  docs=$(files_of "$package" | grep "^/usr/share/doc/" || true)
  [ "$docs" = "$(printf '/usr/share/doc/%s/changelog.gz\n/usr/share/doc/%s/copyright' "$package" "$package")" ] ||
    fail "$package: its documentation is not its changelog and copyright file: $docs"
  uncompressed=$(files_of "$package" | grep '^/usr/share/man/' | grep -v '\.gz$' || true)
  [ -z "$uncompressed" ] || fail "$package: uncompressed man pages $uncompressed"
  [ "$(dpkg-deb -f "$(deb_of "$package")" Version)" = "$version" ] || fail "$package is not version $version"
done

sofile="$libdir/libveltrion-camera\.so"
holds libveltrion-camera2 "$sofile\.2" "$sofile\.$version"
holds libveltrion-camera-dev "$sofile" "$libdir/pkgconfig/veltrion-camera\.pc" \
  "$libdir/cmake/VeltrionCamera/VeltrionCamera[A-Za-z-]*\.cmake" \
  "/usr/include/veltrion/manager/Veltrion2CamMgr\.h" "/usr/include/veltrion/[a-z]+(/uvc)?/[A-Za-z0-9]+\.h"
holds veltrion-tools /usr/bin/VemtoK4UtilsExe /usr/bin/veltrion-sim /usr/lib/udev/rules.d/70-veltrion\.rules \
  "/usr/share/man/man1/(VemtoK4UtilsExe|veltrion-sim)\.1\.gz" \
  "/usr/share/bash-completion/completions/(VemtoK4UtilsExe|veltrion-sim)"
grep -q '^/usr/include/veltrion/device/usb/' "$work/libveltrion-camera-dev.files" &&
  fail "the library's inner headers are packaged"

# The libraries each binary package links, as dpkg-shlibdeps found them
# (package names differ between releases: libssl3 or libssl3t64).
common='libc6 libstdc\+\+6 libgcc-s1 libusb-1\.0-0 libudev1 libjansson4 libssl3[a-z0-9]*'
# shellcheck disable=SC2086
depends_on libveltrion-camera2 $common
# shellcheck disable=SC2086
depends_on veltrion-tools $common
depends_on libveltrion-camera-dev "libveltrion-camera2 \(= $version\)" libjansson-dev
for package in libveltrion-camera2 libveltrion-camera-dev; do
  [ "$(dpkg-deb -f "$(deb_of "$package")" Multi-Arch)" = same ] || fail "$package is not Multi-Arch: same"
done

# The console tools need no Qt: neither their Depends, nor the libraries that
# pulls in, nor the libraries the programs load.
read -r -a tool_depends <<<"$(dpkg-deb -f "$(deb_of veltrion-tools)" Depends | tr ',|' '\n\n' | sed 's/(.*)//' | tr -d ' ' | tr '\n' ' ')"
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances "${tool_depends[@]}" 2>/dev/null | grep -v '^ ' | sort -u || true)
[ -n "$closure" ] || fail "apt-cache finds no dependencies of veltrion-tools"
qt=$(grep -i 'qt' <<<"$closure" || true)
[ -z "$qt" ] || fail "veltrion-tools pulls in $(echo $qt)"

mkdir -p "$work/root"
for package in "${packages[@]}"; do dpkg-deb -x "$(deb_of "$package")" "$work/root"; done
for program in VemtoK4UtilsExe veltrion-sim; do
  linked=$(ldd "$work/root/usr/bin/$program" | grep -i 'qt' || true)
  [ -z "$linked" ] || fail "$program loads $linked"
done
file_has_debug() { readelf -S "$1" | grep -q '\.debug_info'; }
for program in usr/bin/VemtoK4UtilsExe usr/bin/veltrion-sim "${libdir#/}/libveltrion-camera.so.$version"; do
  file_has_debug "$work/root/$program" && fail "$program is not stripped"
done

if [[ " ${packages[*]} " == *" veltrion-desktop "* ]]; then
  app=com.vemto.VeltrionUtility
  holds veltrion-desktop /usr/bin/VeltrionUtility /usr/share/man/man1/VeltrionUtility\.1\.gz \
    "/usr/share/applications/$app\.desktop" "/usr/share/metainfo/$app\.metainfo\.xml" \
    "/usr/share/icons/hicolor/scalable/apps/$app\.svg" "/usr/share/icons/hicolor/[0-9]+x[0-9]+/apps/$app\.png"
  depends_on veltrion-desktop "veltrion-tools \(= $version\)" 'libqt6widgets6[a-z0-9]*' 'libqt6dbus6[a-z0-9]*' 'libzip4[a-z0-9]*'
fi

echo "== maintainer scripts"
control() {  # control PACKAGE: its control files, unpacked
  mkdir -p "$work/control/$1"
  dpkg-deb -e "$(deb_of "$1")" "$work/control/$1"
  echo "$work/control/$1"
}
lib_control=$(control libveltrion-camera2)
grep -qx "libveltrion-camera 2 libveltrion-camera2 (>= $version)" "$lib_control/shlibs" 2>/dev/null ||
  fail "no shlibs entry for libveltrion-camera.so.2"
grep -qx "activate-noawait ldconfig" "$lib_control/triggers" 2>/dev/null || fail "no ldconfig trigger"
tools_control=$(control veltrion-tools)
for script in postinst postrm; do
  [ -x "$tools_control/$script" ] || fail "veltrion-tools: $script missing or not executable"
  grep -q 'udevadm control --reload-rules && udevadm trigger --subsystem-match=usb' "$tools_control/$script" ||
    fail "veltrion-tools: $script does not reload the udev rules"
done

echo "== lintian"
debs=()
for package in "${packages[@]}"; do debs+=("$(deb_of "$package")"); done
# Each package's overrides say why; the check fails on any error or warning left.
if ! lintian --fail-on error,warning --no-tag-display-limit "${debs[@]}" >"$work/lintian.out" 2>&1; then
  cat "$work/lintian.out" >&2
  fail "lintian reports errors or warnings"
else
  echo "lintian: no errors, no warnings"
fi

echo "== the example program against the unpacked -dev package"
root=$work/root
pc_prefix=$(PKG_CONFIG_SYSROOT_DIR='' pkg-config --variable=prefix "$root$libdir/pkgconfig/veltrion-camera.pc")
[ "$(realpath -m "$pc_prefix")" = "$root/usr" ] || fail "the pkg-config file's prefix is $pc_prefix"
export PKG_CONFIG_PATH=$root$libdir/pkgconfig
read -r -a pc_flags <<<"$(pkg-config --cflags --libs veltrion-camera)"
c++ -std=c++20 -o "$work/list-pkgconfig" "$source/examples/list-cameras.cpp" "${pc_flags[@]}" \
  >"$work/pc.log" 2>&1 || { cat "$work/pc.log" >&2; fail "the example does not build through pkg-config"; }
if cmake -S "$source/examples" -B "$work/example" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
     >"$work/cmake.log" 2>&1 && cmake --build "$work/example" >>"$work/cmake.log" 2>&1; then
  export VELTRION_SIM=$work/bus
  "$root/usr/bin/veltrion-sim" add cam0 --serial A1B2C3D4E5F6 >/dev/null
  LD_LIBRARY_PATH=$root$libdir "$work/example/veltrion-list-cameras" >"$work/list.out" 2>&1 &&
    grep -q 'serial A1B2C3D4E5F6, id 3a7c:0003, running' "$work/list.out" ||
    { cat "$work/list.out" >&2; fail "the example does not list the simulated camera"; }
else
  cat "$work/cmake.log" >&2
  fail "the example does not build through find_package(VeltrionCamera)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the packages failed" >&2
  exit 1
fi
echo "package checks passed: ${packages[*]}"
