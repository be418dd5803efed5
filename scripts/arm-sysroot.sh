#!/usr/bin/env bash
# arm-sysroot.sh <debian arch> <triplet> <folder>: makes <folder> a sysroot of
# the target architecture's Debian packages that the ARM builds and their
# tests need, or keeps the one already there when it is complete.
#
# A sysroot is made completely or not at all: it is extracted into
# <folder>.new, checked for every file the build reads, stamped with the
# package list, and only then renamed to <folder>. Any failure stops the
# script with the failing command's own message and removes the half-made
# folder, so a later run never mistakes it for a finished one. A folder
# whose stamp is missing or stale, or that fails the check, is removed and
# made again.
#
# The packages come from the release suite and its updates suite only, at
# the mirror the machine's own apt configuration names for them: the
# security suite holds nothing the build needs, and a mirror that is
# re-syncing it must not stop the build. Downloads are retried.
#
# --required prints the files the check looks for (one path below the
# sysroot a line, the Java VM's at its usual place) and makes nothing.
#
# Environment: APT_CONFIG as apt itself reads it (which sources lists are
# the machine's).
set -euo pipefail

list_only=0
if [ "${1:-}" = --required ]; then
  list_only=1
  shift
fi
if [ $# -ne 3 ]; then
  echo "usage: arm-sysroot.sh [--required] <debian arch> <triplet> <folder>" >&2
  exit 2
fi
arch=$1
triplet=$2
dir=$3
suite=bookworm
stamp_name=.avm-packages

# The Debian packages the build and the tests need, of the target
# architecture. They are extracted, not installed: no maintainer script runs,
# so what those scripts would make (alternatives links) is made here.
packages=(
  libc6-dev libstdc++-12-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libyuv-dev android-liblog-dev
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev libglm-dev
  openjdk-17-jdk-headless)

# Files the build and the tests read from the sysroot, one or more per
# package above; a sysroot missing any of them is not used.
required_files() {
  cat <<EOF
usr/include/stdio.h
usr/lib/$triplet/libc.so
usr/lib/$triplet/libm.so
usr/include/c++/12/vector
usr/lib/gcc/$triplet/12/libstdc++.so
usr/include/opencv4/opencv2/core.hpp
usr/include/opencv4/opencv2/imgproc.hpp
usr/include/opencv4/opencv2/imgcodecs.hpp
usr/lib/$triplet/libopencv_imgcodecs.so
usr/include/libyuv.h
usr/lib/$triplet/libyuv.so
usr/include/android/log/log.h
usr/lib/$triplet/android/liblog.so
usr/include/EGL/egl.h
usr/include/GLES2/gl2.h
usr/lib/$triplet/libEGL.so
usr/lib/$triplet/libGLESv2.so
usr/lib/$triplet/dri/swrast_dri.so
usr/include/gtest/gtest.h
usr/include/gmock/gmock.h
usr/include/benchmark/benchmark.h
usr/include/glm/glm.hpp
usr/lib/jvm/java-17-openjdk-$arch/include/jni.h
EOF
}

# check_sysroot <folder>: prints what is missing and fails, or succeeds.
check_sysroot() {
  local root=$1 file missing=0
  while IFS= read -r file; do
    if [ ! -e "$root/$file" ]; then
      echo "arm-sysroot: $root lacks $file" >&2
      missing=1
    fi
  done < <(required_files)
  if ! find "$root/usr/lib/jvm/java-17-openjdk-$arch/lib" -name libjvm.so 2>/dev/null | grep -q .; then
    echo "arm-sysroot: $root lacks the Java VM (libjvm.so of java-17-openjdk-$arch)" >&2
    missing=1
  fi
  return "$missing"
}

# host_sources: "<uri> <suite>" for every deb source of the machine's apt
# configuration, from one-line lists and deb822 .sources files alike.
host_sources() {
  local list parts file
  eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
  {
    if [ -f "${list:-}" ]; then echo "$list"; fi
    if [ -d "${parts:-}" ]; then
      find "$parts" -maxdepth 1 \( -name '*.list' -o -name '*.sources' \) | sort
    fi
  } | while IFS= read -r file; do
    case "$file" in
      *.sources) awk '
        function flush(   u, s, nu, ns, i, j) {
          if (types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no") {
            nu = split(uris, u, /[ \t]+/); ns = split(suites, s, /[ \t]+/)
            for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
              if (u[i] != "" && s[j] != "") print u[i], s[j]
          }
          types = uris = suites = enabled = ""
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        {
          key = tolower($1); sub(/:$/, "", key)
          value = $0; sub(/^[^:]*:[ \t]*/, "", value)
          if (key == "types") types = value
          else if (key == "uris") uris = value
          else if (key == "suites") suites = value
          else if (key == "enabled") enabled = value
        }
        END { flush() }' "$file" ;;
      *) awk '
        /^[ \t]*#/ { next }
        $1 == "deb" {
          i = 2
          if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
          if (i + 1 <= NF) print $i, $(i + 1)
        }' "$file" ;;
    esac
  done
}

# mirror_of <suite>: the first URI the machine's sources give for the suite.
mirror_of() {
  host_sources | awk -v want="$1" '$2 == want { print $1; exit }'
}

cleanup_new() { rm -rf "$dir.new"; }

if [ "$list_only" -eq 1 ]; then
  required_files
  echo "usr/lib/jvm/java-17-openjdk-$arch/lib/server/libjvm.so"
  exit 0
fi

wanted="${packages[*]}"
if [ -d "$dir" ]; then
  if [ -f "$dir/$stamp_name" ] && [ "$(cat "$dir/$stamp_name")" = "$wanted" ] &&
     check_sysroot "$dir"; then
    echo "arm-sysroot: $arch sysroot in $dir is complete"
    exit 0
  fi
  echo "arm-sysroot: $dir is incomplete or for another package list; making it again"
  rm -rf "$dir"
fi

release_mirror=$(mirror_of "$suite")
updates_mirror=$(mirror_of "$suite-updates")
if [ -z "$release_mirror" ]; then
  echo "arm-sysroot: the machine's apt sources name no mirror for $suite" >&2
  exit 1
fi
mirrors=("deb $release_mirror $suite main")
if [ -n "$updates_mirror" ]; then
  mirrors+=("deb $updates_mirror $suite-updates main")
fi

echo "arm-sysroot: making the $arch sysroot in $dir from ${mirrors[*]}"
mkdir -p "$(dirname "$dir")"
cleanup_new
trap cleanup_new EXIT
include=$(IFS=,; echo "${packages[*]}")
mmdebstrap --quiet --variant=extract --architectures="$arch" --include="$include" \
  --aptopt='Acquire::Retries "5"' "$suite" "$dir.new" "${mirrors[@]}"

# An absolute link inside the sysroot points at the build machine's own
# file; point it at the sysroot's one instead.
while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  case "$target" in
    /*) ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$dir.new$target")" "$link" ;;
  esac
done < <(find "$dir.new" -type l -print0)

# The BLAS and LAPACK libraries that OpenCV links are reached through
# alternatives links that only a package's configure step makes.
for lib in "$dir.new/usr/lib/$triplet"/blas/lib*.so* "$dir.new/usr/lib/$triplet"/lapack/lib*.so*; do
  [ -e "$lib" ] || continue
  name=$(basename "$lib")
  if [ ! -e "$dir.new/usr/lib/$triplet/$name" ]; then
    ln -sfn "$(basename "$(dirname "$lib")")/$name" "$dir.new/usr/lib/$triplet/$name"
  fi
done

if ! check_sysroot "$dir.new"; then
  echo "arm-sysroot: the $arch packages did not give a usable sysroot; nothing is kept" >&2
  exit 1
fi
echo "$wanted" > "$dir.new/$stamp_name"
mv "$dir.new" "$dir"
trap - EXIT
echo "arm-sysroot: $arch sysroot ready in $dir"
