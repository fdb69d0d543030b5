#!/usr/bin/env bash
# Checks the suite's Debian package: the files it installs (and nothing
# outside /usr), the runtime dependencies dpkg-shlibdeps found, the shlibs
# and ldconfig trigger of the camera library, and the udev reload in postinst.
#
# check_deb.sh PACKAGE.deb
set -euo pipefail

deb=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/veltrion-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

echo "== $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{ print $6 }' |
  sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"

for file in \
  /usr/bin/VemtoK4UtilsExe \
  /usr/bin/veltrion-sim \
  /usr/lib/libveltrion-camera.so.2.3.2 \
  /usr/lib/libveltrion-camera.so.2 \
  /usr/lib/libveltrion-camera.so \
  /usr/lib/pkgconfig/veltrion-camera.pc \
  /usr/lib/cmake/VeltrionCamera/VeltrionCameraConfig.cmake \
  /usr/lib/cmake/VeltrionCamera/VeltrionCameraTargets.cmake \
  /usr/include/veltrion/manager/Veltrion2CamMgr.h \
  /usr/include/veltrion/config/JsonRef.h \
  /usr/lib/udev/rules.d/70-veltrion.rules \
  /usr/share/man/man1/VemtoK4UtilsExe.1 \
  /usr/share/man/man1/veltrion-sim.1 \
  /usr/share/bash-completion/completions/VemtoK4UtilsExe \
  /usr/share/bash-completion/completions/veltrion-sim; do
  grep -qx -- "$file" "$work/files" || fail "the package lacks $file"
done
outside=$(grep -v '^/usr/' "$work/files" | grep -v '^/$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
grep -q '^/usr/local/' "$work/files" && fail "files under /usr/local"
grep -q '^/usr/include/veltrion/device/usb/' "$work/files" && fail "the library's inner headers are installed"

# The libraries the programs and the camera library link, each found by
# dpkg-shlibdeps (package names differ between releases: libssl3 or libssl3t64).
for dependency in 'libc6' 'libstdc\+\+6' 'libgcc-s1' 'libusb-1\.0-0' 'libudev1' 'libjansson4' 'libssl3'; do
  grep -Eq "(^|, )$dependency[a-z0-9]*( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

# The desktop program, when the build made it: its entry, icon, man page and
# the Qt and libzip libraries it links.
if grep -qx /usr/bin/VeltrionUtility "$work/files"; then
  for file in /usr/share/applications/com.vemto.VeltrionUtility.desktop \
    /usr/share/metainfo/com.vemto.VeltrionUtility.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/com.vemto.VeltrionUtility.svg \
    /usr/share/man/man1/VeltrionUtility.1; do
    grep -qx -- "$file" "$work/files" || fail "the package lacks $file"
  done
  for dependency in 'libqt6widgets6' 'libqt6dbus6' 'libzip4'; do
    grep -Eq "(^|, )$dependency[a-z0-9]*( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
  done
fi

dpkg-deb -e "$deb" "$work/control"
[ -x "$work/control/postinst" ] || fail "postinst missing or not executable"
grep -q 'udevadm control --reload-rules && udevadm trigger --subsystem-match=usb' "$work/control/postinst" ||
  fail "postinst does not reload the udev rules"
grep -q '^libveltrion-camera 2 veltrion (>= 2.3.2)' "$work/control/shlibs" 2>/dev/null ||
  fail "no shlibs entry for libveltrion-camera.so.2"
grep -qx "activate-noawait ldconfig" "$work/control/triggers" 2>/dev/null || fail "no ldconfig trigger"

# The installed pkg-config file resolves to /usr.
dpkg-deb -x "$deb" "$work/root"
pc_prefix=$(PKG_CONFIG_SYSROOT_DIR= pkg-config --variable=prefix "$work/root/usr/lib/pkgconfig/veltrion-camera.pc")
[ "$(realpath -m "$pc_prefix")" = "$work/root/usr" ] || fail "the pkg-config file's prefix is $pc_prefix"
# The programs are stripped, the library keeps its dynamic symbols.
file_has_debug() { readelf -S "$1" | grep -q '\.debug_info'; }
for program in usr/bin/VemtoK4UtilsExe usr/bin/veltrion-sim usr/lib/libveltrion-camera.so.2.3.2; do
  file_has_debug "$work/root/$program" && fail "$program is not stripped"
done

echo "$(wc -l <"$work/files") files; $(du -k "$deb" | cut -f1) KiB"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the package failed" >&2
  exit 1
fi
echo "package checks passed"
