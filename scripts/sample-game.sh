# Shared by scripts/demo and scripts/try-door (sourced, not run): builds the named targets if needed
# and makes a scratch copy of the synthetic sample game with a ZORVAN32.CFG naming it.
# Sets: root, build, scratch (removed when the calling script ends).

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${ZORVAN_BUILD_DIR:-$root/build}"  # another build directory may be named

build_targets() {  # the caller's name for messages, then the targets
  local who=$1
  shift
  local missing=()
  for tool in cmake ninja g++; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  if [ ${#missing[@]} -ne 0 ]; then
    echo "$who: missing ${missing[*]}; on Debian: apt-get install cmake ninja-build g++" >&2
    exit 1
  fi
  if [ ! -f "$build/CMakeCache.txt" ]; then
    # The tests need GoogleTest; without it, build the programs alone.
    local tests=ON
    [ -f /usr/src/googletest/CMakeLists.txt ] || tests=OFF
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORVAN_TESTS=$tests >/dev/null
  fi
  cmake --build "$build" --target "$@"
}

scratch_game() {  # the scratch directory's name prefix
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  cp -R "$root/examples/game/." "$scratch/"
  printf '%s/\r\n' "$scratch" > "$scratch/ZORVAN32.CFG"
}
