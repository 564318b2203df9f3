#!/bin/sh
# Installs the build into a fresh prefix, then builds and runs a library
# user's program with only what pkg-config says about the installed library.
#   install_test.sh CMAKE BUILD_DIR WORK_DIR LIBDIR MAKE_TEST_CONTAINER CC [EXTRA_CFLAGS]
set -eu
cmake=$1 build=$2 work=$3 libdir=$4 make_container=$5 cc=$6 extra=${7:-}
here=$(cd "$(dirname "$0")" && pwd)

command -v pkg-config >/dev/null 2>&1 || { echo "pkg-config is missing: skipped"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log"

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
flags=$(pkg-config --cflags --libs korvane)
case $flags in *"$prefix"*) ;; *) echo "korvane.pc does not point into $prefix: $flags"; exit 1 ;; esac
# shellcheck disable=SC2086 # the flags are words
"$cc" $extra "$here/install_consumer.c" $flags -o "$work/consumer"

"$make_container" "$work/three.dhv" 3 100
LD_LIBRARY_PATH="$prefix/$libdir" "$work/consumer" "$work/three.dhv" 3

# The library exports exactly the functions the header marks KORVANE_API.
if command -v nm >/dev/null 2>&1; then
  header=$(sed -n 's/^KORVANE_API [^(]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' \
    "$prefix/include/korvane/korvane.h" | sort)
  exported=$(nm -D --defined-only "$prefix/$libdir/libkorvane.so" | awk '{print $NF}' | sort)
  if [ "$header" != "$exported" ]; then
    echo "exported symbols differ from korvane.h:"
    printf '%s\n' "$header" >"$work/header.txt"
    printf '%s\n' "$exported" >"$work/exported.txt"
    diff "$work/header.txt" "$work/exported.txt" || true
    exit 1
  fi
fi
echo "installed library, headers and pkg-config file work"
