#!/usr/bin/env bash
# Installs the suite into a temporary prefix (cmake --install --prefix) and
# checks what it installed: exactly the expected files, the camera library's
# name, links and resolved symbols, the facade's headers and no others, the
# udev rule's uaccess tag, the man pages and the completions. Then builds the
# example program against the installed library, once through pkg-config and
# once through find_package, and runs both on a simulated camera made by the
# installed veltrion-sim. Also checks the desktop entry, icons and AppStream
# data kept for the desktop program, and the tools package's maintainer scripts.
#
# install_test.sh BUILD SOURCE CMAKE CXX GENERATOR LIBDIR MANDIR UDEVDIR COMPLETIONSDIR desktop|no-desktop
set -euo pipefail

build=$1 source=$2 cmake=$3 cxx=$4 generator=$5
libdir=$6 mandir=$7 udevdir=$8 completionsdir=$9 desktop=${10}

work=$(mktemp -d "${TMPDIR:-/tmp}/veltrion-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if ! "$@"; then fail "$what"; fi
}
# A folder from the build's configuration, under the temporary prefix.
under_prefix() {
  case $1 in
    /*) echo "$1" ;;
    *) echo "$prefix/$1" ;;
  esac
}

echo "== cmake --install into $prefix"
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

echo "== installed files"
app=com.vemto.VeltrionUtility
{
  echo bin/VemtoK4UtilsExe
  echo bin/veltrion-sim
  echo "$libdir/libveltrion-camera.so"
  echo "$libdir/libveltrion-camera.so.2"
  echo "$libdir/libveltrion-camera.so.2.3.2"
  echo "$libdir/pkgconfig/veltrion-camera.pc"
  for f in Config ConfigVersion Targets Targets-CONFIG; do
    echo "$libdir/cmake/VeltrionCamera/VeltrionCamera$f.cmake"
  done
  # The facade and every header it includes, as the compiler sees them.
  "$cxx" -std=c++20 -MM -I "$source/camlib" "$source/camlib/manager/Veltrion2CamMgr.h" |
    tr ' \\' '\n\n' | grep "^$source/camlib/" | sed "s|^$source/camlib/|include/veltrion/|"
  echo "${udevdir#"$prefix"/}/70-veltrion.rules"
  echo "$completionsdir/VemtoK4UtilsExe"
  echo "$completionsdir/veltrion-sim"
  echo "$mandir/man1/VemtoK4UtilsExe.1"
  echo "$mandir/man1/veltrion-sim.1"
  if [ "$desktop" = desktop ]; then
    echo bin/VeltrionUtility
    echo "$mandir/man1/VeltrionUtility.1"
    echo "share/applications/$app.desktop"
    echo "share/metainfo/$app.metainfo.xml"
    echo "share/icons/hicolor/scalable/apps/$app.svg"
    for size in 16 32 48 64 128 256; do echo "share/icons/hicolor/${size}x$size/apps/$app.png"; done
  fi
} | sort -u >"$work/expected"
(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' |
  sed -E 's|(VeltrionCameraTargets-)[a-z]+\.cmake$|\1CONFIG.cmake|' | sort) >"$work/installed"
if ! diff -u "$work/expected" "$work/installed" >"$work/files.diff"; then
  cat "$work/files.diff" >&2
  fail "installed files differ from the expected ones (- missing, + unexpected)"
fi

echo "== the camera library"
lib=$prefix/$libdir/libveltrion-camera.so
check "libveltrion-camera.so -> .so.2 -> .so.2.3.2" \
  test "$(readlink "$lib")" = libveltrion-camera.so.2 -a "$(readlink "$lib.2")" = libveltrion-camera.so.2.3.2
check "SONAME libveltrion-camera.so.2" \
  grep -q 'SONAME.*\[libveltrion-camera\.so\.2\]' <(readelf -d "$lib.2.3.2")
undefined=$(ldd -r "$lib.2.3.2" 2>&1 | grep -c 'undefined symbol' || true)
check "the library resolves every symbol it uses ($undefined undefined)" test "$undefined" -eq 0
programs=("$prefix/bin/VemtoK4UtilsExe" "$prefix/bin/veltrion-sim")
[ "$desktop" = desktop ] && programs+=("$prefix/bin/VeltrionUtility")
for file in "$lib.2.3.2" "${programs[@]}"; do
  check "${file##*/} keeps no run path into the build tree" \
    bash -c "! readelf -d '$file' | grep -Eq 'RPATH|RUNPATH'"
done

echo "== udev rule"
rule=$(under_prefix "$udevdir")/70-veltrion.rules
rule_lines=$(grep -c '^SUBSYSTEM==' "$rule" || true)
uaccess_lines=$(grep '^SUBSYSTEM==' "$rule" | grep -c 'TAG+="uaccess"' || true)
check "every rule of 70-veltrion.rules tags uaccess ($uaccess_lines of $rule_lines)" \
  test "$rule_lines" -ge 2 -a "$uaccess_lines" -eq "$rule_lines"
check "the rule covers the cameras and the boot loader" \
  grep -q 'ATTR{idVendor}=="3a7c"' "$rule"
check "the rule covers the boot loader" grep -q 'ATTR{idVendor}=="04b4", ATTR{idProduct}=="00f3"' "$rule"

echo "== man pages"
for page in VemtoK4UtilsExe veltrion-sim; do
  file=$prefix/$mandir/man1/$page.1
  warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null || echo "man failed")
  check "man --warnings $page.1: $warnings" test -z "$warnings"
done

echo "== example program through pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
read -r -a pc_flags <<<"$(pkg-config --cflags --libs veltrion-camera)"
pc_include=$(pkg-config --cflags-only-I veltrion-camera | grep -o -- '-I[^ ]*/include/veltrion' || true)
check "pkg-config points into the prefix it was installed in (${pc_include:-no include folder})" \
  test "$(realpath -sm "${pc_include#-I}")" = "$prefix/include/veltrion"
if "$cxx" -std=c++20 -o "$work/list-pkgconfig" "$source/examples/list-cameras.cpp" "${pc_flags[@]}" \
     "-Wl,-rpath,$(pkg-config --variable=libdir veltrion-camera)" >"$work/pc-build.log" 2>&1; then
  pkgconfig_program=$work/list-pkgconfig
else
  cat "$work/pc-build.log" >&2
  fail "the example does not build through pkg-config"
  pkgconfig_program=
fi

echo "== example program through find_package"
cmake_program=
if "$cmake" -S "$source/examples" -B "$work/example" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
     -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake-build.log" 2>&1 &&
   "$cmake" --build "$work/example" >>"$work/cmake-build.log" 2>&1; then
  cmake_program=$work/example/veltrion-list-cameras
else
  cat "$work/cmake-build.log" >&2
  fail "the example does not build through find_package(VeltrionCamera)"
fi

echo "== both on a simulated camera of the installed veltrion-sim"
export VELTRION_SIM=$work/bus
serial=A1B2C3D4E5F6
"$prefix/bin/veltrion-sim" add cam0 --serial "$serial"
"$prefix/bin/VemtoK4UtilsExe" -d 0 >"$work/tool.out" 2>&1 || { cat "$work/tool.out" >&2; fail "VemtoK4UtilsExe -d 0"; }
# The versions the console tool reads, padded as the example prints them.
expected_versions=()
for field in FPGA_Version FX3_Version Audio_version ISP_version; do
  value=$(sed -n "s/^$field *= *\(0x[0-9a-f]*\)$/\1/p" "$work/tool.out")
  if [ -z "$value" ]; then
    fail "no $field in the output of VemtoK4UtilsExe -d 0"
    continue
  fi
  expected_versions+=("$(printf '0x%08x' "$value")")
done
for program in "$pkgconfig_program" "$cmake_program"; do
  [ -n "$program" ] || continue
  name=${program#"$work"/}
  loaded=$(ldd "$program" | sed -n 's/^[[:space:]]*libveltrion-camera\.so\.2 => \([^ ]*\) .*/\1/p')
  check "$name uses the installed library (${loaded:-not found})" \
    test "$(realpath -sm "${loaded:-none}")" = "$prefix/$libdir/libveltrion-camera.so.2"
  if ! "$program" >"$work/program.out" 2>&1; then
    cat "$work/program.out" >&2
    fail "$name exits non-zero"
    continue
  fi
  check "$name lists one camera" grep -qx '1 camera(s)' "$work/program.out"
  check "$name shows the serial $serial" grep -q "serial $serial, id 3a7c:0003, running" "$work/program.out"
  for version in "${expected_versions[@]}"; do
    check "$name shows version $version" grep -q " $version " "$work/program.out"
  done
done

echo "== bash completion"
completions=$prefix/$completionsdir
cat >"$work/complete.bash" <<'SCRIPT'
# complete.bash COMPLETIONS LINE: the words bash would offer at the end of LINE.
source /usr/share/bash-completion/bash_completion
source "$1/VemtoK4UtilsExe"
source "$1/veltrion-sim"
COMP_LINE=$2
COMP_POINT=${#COMP_LINE}
read -r -a COMP_WORDS <<<"$COMP_LINE"
[[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
function=$(complete -p "${COMP_WORDS[0]}" | sed -E 's/.*-F ([^ ]+) .*/\1/')
"$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}" | sort
SCRIPT
offers() { bash "$work/complete.bash" "$completions" "$1"; }
offers_all() {  # offers_all LINE WORD...: each WORD is among the offers
  local line=$1 word
  shift
  local got
  got=$(offers "$line")
  for word in "$@"; do grep -qx -- "$word" <<<"$got" || return 1; done
}
check "VemtoK4UtilsExe actions" offers_all "VemtoK4UtilsExe " -d -p -c --uni -t --reboot --sensor-temp -o --uvc
check "VemtoK4UtilsExe -d offers all" test "$(offers "VemtoK4UtilsExe --uvc -d ")" = all
check "VemtoK4UtilsExe --preset words" test "$(offers "VemtoK4UtilsExe --preset 0 s")" = save
check "veltrion-sim commands" offers_all "veltrion-sim " add list remove replug stats events set fault make-firmware
check "veltrion-sim names the bus's cameras" test "$(offers "veltrion-sim --dir $VELTRION_SIM replug ")" = cam0
check "veltrion-sim set values" test "$(offers "veltrion-sim set cam0 timing ")" = "$(printf 'realistic\nzero')"

set_keys=$(offers "veltrion-sim set cam0 ")
fault_keys=$(offers "veltrion-sim fault cam0 ")
# Every key offered is one the simulator knows ...
for command in set fault; do
  keys=$set_keys
  [ "$command" = fault ] && keys=$fault_keys
  for key in $keys; do
    answer=$("$prefix/bin/veltrion-sim" "$command" cam0 "$key" "?" 2>&1 || true)
    if grep -q "unknown \(key\|fault\)" <<<"$answer"; then
      fail "completion offers $command key $key, which veltrion-sim does not know"
    fi
  done
done
# ... and the man page describes the same keys.
man_keys() {  # the keys of a section of veltrion-sim.1: the first words of each .TP
  awk -v want="$1" '
    /^\.SH / { section = $2; controls = 0; next }
    section != want { next }
    /^\.T[PQ]$/ { tag = 1; controls = 0; next }
    tag {
      tag = 0
      line = $0
      sub(/^\.[A-Z]+ /, "", line)
      gsub(/ ", " /, ",", line)
      split(line, words, " ")
      n = split(words[1], keys, ",")
      for (i = 1; i <= n; i++) {
        gsub(/\\-/, "-", keys[i])
        if (keys[i] == "control-") controls = 1; else print keys[i]
      }
      next
    }
    controls && /^\.BR / {
      line = $0
      sub(/^\.BR /, "", line)
      gsub(/\\-/, "-", line)
      gsub(/[" .]/, "", line)
      n = split(line, names, ",")
      for (i = 1; i <= n; i++) if (names[i] != "") print "control-" names[i]
    }' "$source/packaging/man/veltrion-sim.1" | sort
}
check "man page and completion list the same set keys" \
  diff -u <(man_keys SETTINGS) <(sort <<<"$set_keys")
check "man page and completion list the same fault keys" \
  diff -u <(man_keys FAULTS) <(sort <<<"$fault_keys")

echo "== desktop entry, icons and AppStream data of the desktop program"
packaging=$source/packaging
check "desktop-file-validate $app.desktop" desktop-file-validate "$packaging/desktop/$app.desktop"
check "appstreamcli validate $app.metainfo.xml" \
  appstreamcli validate --no-net "$packaging/desktop/$app.metainfo.xml" >/dev/null
check "the icon is an SVG" grep -q '<svg ' "$packaging/icons/$app.svg"
for size in 16 32 48 64 128 256; do
  png=$packaging/icons/$size/$app.png
  # PNG signature, then the IHDR chunk's width and height (big-endian).
  read -r -a header <<<"$(od -An -tu1 -N24 -w24 "$png")"
  width=$(( (header[16] << 24) | (header[17] << 16) | (header[18] << 8) | header[19] ))
  height=$(( (header[20] << 24) | (header[21] << 16) | (header[22] << 8) | header[23] ))
  check "icon $size/$app.png is ${size}x$size (is ${width}x$height)" \
    test "${header[1]}${header[2]}${header[3]}" = 807871 -a "$width" = "$size" -a "$height" = "$size"
done

echo "== maintainer scripts"
mkdir -p "$work/fake-bin" "$work/no-udev"
ln -s "$(command -v sh)" "$work/no-udev/sh"
for script in postinst postrm; do
  action=configure
  [ "$script" = postrm ] && action=remove
  check "$script $action succeeds where no udevadm exists" \
    env PATH="$work/no-udev" sh "$packaging/debian/veltrion-tools.$script" "$action"
  printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/udevadm.calls" >"$work/fake-bin/udevadm"
  chmod +x "$work/fake-bin/udevadm"
  rm -f "$work/udevadm.calls"
  check "$script $action succeeds with udevadm" env PATH="$work/fake-bin:$PATH" sh "$packaging/debian/veltrion-tools.$script" "$action"
  check "$script reloads the rules, then triggers the USB devices" \
    test "$(cat "$work/udevadm.calls")" = "$(printf 'control --reload-rules\ntrigger --subsystem-match=usb')"
  printf '#!/bin/sh\necho "no udev daemon" >&2\nexit 1\n' >"$work/fake-bin/udevadm"
  check "$script $action succeeds where udev does not run" \
    env PATH="$work/fake-bin:$PATH" sh "$packaging/debian/veltrion-tools.$script" "$action" 2>/dev/null
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all packaging checks passed"
