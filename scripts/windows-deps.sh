#!/usr/bin/env bash
# Builds the libraries the Windows build links statically, for the
# x86_64-w64-mingw32 target, into build/windows-deps/prefix:
#   - giflib, from Debian's own "giflib" source package (Debian ships no mingw
#     build of it), fetched with apt-get source through a private apt
#     configuration that adds source entries for the archives this machine
#     already uses;
#   - GoogleTest, from the sources Debian's googletest package installs under
#     /usr/src/googletest.
# Everything lands under build/ and is reused while its stamp matches, so only
# a fresh clone pays for it.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

DEPS=$KALU7_ROOT/build/windows-deps
PREFIX=$DEPS/prefix
TOOLCHAIN=$KALU7_ROOT/cmake/x86_64-w64-mingw32.cmake
JOBS=$((KALU7_JOBS > 2 ? 2 : KALU7_JOBS))

kalu7_need ca-certificates cmake make dpkg-dev gpgv debian-keyring g++-mingw-w64-x86-64 googletest

mkdir -p "$DEPS" "$PREFIX"

# ---- a private apt configuration with source entries --------------------
# The source entries mirror the machine's own binary entries: the same
# archives, suites, components and keys, with Types deb-src. Nothing of the
# machine's apt state is touched; lists and downloads stay under $DEPS/apt.
apt_private_config() {
  local apt=$DEPS/apt
  rm -rf "$apt/sources.list.d" "$apt/sources.list"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
  : >"$apt/sources.list"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Keep the stanzas whose Types include deb, as deb-src only.
    awk '
      BEGIN { RS = ""; ORS = "\n\n" }
      {
        n = split($0, lines, "\n"); keep = 0; out = ""
        for (i = 1; i <= n; i++) {
          line = lines[i]
          if (line ~ /^Types:/) {
            if (line ~ /[ \t]deb([ \t]|$)/) keep = 1
            line = "Types: deb-src"
          }
          if (line ~ /^Enabled:[ \t]*no/) keep = 0
          out = out line "\n"
        }
        if (keep) printf "%s\n", out
      }' "$f" >"$apt/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$f" >>"$apt/sources.list"
  done
  if ! grep -qs '^Types: deb-src' "$apt"/sources.list.d/*.sources && ! grep -qs '^deb-src' "$apt/sources.list"; then
    echo "windows-deps: this machine's apt configuration names no Debian archive to take sources from" >&2
    exit 1
  fi
  cat >"$apt/apt.conf" <<EOF
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::State::Lists "$apt/lists";
Dir::Cache "$apt/cache";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
APT::Sandbox::User "root";
EOF
  echo "$apt/apt.conf"
}

# ---- giflib -----------------------------------------------------------------
# Fetches and unpacks giflib's source package into $DEPS/src. apt checks every
# downloaded file against the hashes of the signed archive index; dpkg-source
# then checks the uploader's signature on the .dsc against Debian's keyrings
# and refuses to unpack an unsigned or badly signed package.
fetch_giflib() {
  local conf
  conf=$(apt_private_config)
  export APT_CONFIG=$conf
  echo "== windows-deps: fetching the giflib source package"
  apt-get update -qq
  rm -rf "$DEPS/src"
  mkdir -p "$DEPS/src"
  (cd "$DEPS/src" && apt-get source --download-only -qq giflib)
  unset APT_CONFIG
  local dsc
  dsc=$(ls "$DEPS"/src/giflib_*.dsc | head -n 1)
  (cd "$DEPS/src" && dpkg-source --require-valid-signature -x "$(basename "$dsc")" giflib >/dev/null)
  basename "$dsc" >"$DEPS/src/giflib.dsc-name"
}

build_giflib() {
  local version stamp=$PREFIX/.giflib-stamp
  if [ -f "$stamp" ] && [ -f "$DEPS/src/giflib.dsc-name" ] && [ "$(cat "$stamp")" = "$(cat "$DEPS/src/giflib.dsc-name")" ]; then
    return 0
  fi
  fetch_giflib
  version=$(cat "$DEPS/src/giflib.dsc-name")
  echo "== windows-deps: building giflib ($version) for x86_64-w64-mingw32"
  cmake -S "$KALU7_ROOT/cmake/giflib" -B "$DEPS/giflib-build" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DGIFLIB_SOURCE_DIR="$DEPS/src/giflib" -DCMAKE_INSTALL_PREFIX="$PREFIX" >/dev/null
  cmake --build "$DEPS/giflib-build" -j "$JOBS" >/dev/null
  cmake --install "$DEPS/giflib-build" >/dev/null
  echo "$version" >"$stamp"
}

# ---- GoogleTest -------------------------------------------------------------
build_googletest() {
  local version stamp=$PREFIX/.googletest-stamp
  version=$(dpkg-query -W -f='${Version}' googletest)
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
    return 0
  fi
  echo "== windows-deps: building GoogleTest ($version) for x86_64-w64-mingw32"
  rm -rf "$DEPS/googletest-build"
  cmake -S /usr/src/googletest -B "$DEPS/googletest-build" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -Dgtest_force_shared_crt=ON -Dgtest_disable_pthreads=ON >/dev/null
  cmake --build "$DEPS/googletest-build" -j "$JOBS" >/dev/null
  cmake --install "$DEPS/googletest-build" >/dev/null
  echo "$version" >"$stamp"
}

build_giflib
build_googletest
echo "== windows-deps: ready in $PREFIX"
