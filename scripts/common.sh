# Shared steps of run.sh and test.sh: install what is missing, configure, build.
# Sourced, not run.

CORV_SRC="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CORV_BUILD="${CORV_BUILD_DIR:-$CORV_SRC/build}"

CORV_PACKAGES=(
  cmake ninja-build ccache g++ python3 pkg-config
  qtbase5-dev qtbase5-dev-tools qtwebengine5-dev libqt5websockets5-dev libqt5svg5-dev
  libqt5sql5-sqlite libqt5x11extras5-dev
  liblog4cplus-dev libboost-dev libboost-system-dev libboost-thread-dev
  libproj-dev proj-bin proj-data libgeotiff-dev libtiff-dev libsqlite3-dev libx11-dev
  iproute2 xdotool xvfb xauth x11-utils fonts-lato libgtest-dev libgmock-dev geographiclib-tools
  clang libclang-rt-14-dev libbenchmark-dev libprotobuf-dev protobuf-compiler openbox
)

corv_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

corv_install_deps() {
  local missing=()
  local pkg
  for pkg in "${CORV_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  corv_sudo apt-get update -qq
  corv_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

corv_build() {
  if [ ! -f "$CORV_BUILD/build.ninja" ]; then
    cmake -S "$CORV_SRC" -B "$CORV_BUILD" -G Ninja -DCMAKE_BUILD_TYPE="${CORV_BUILD_TYPE:-RelWithDebInfo}" "$@"
  fi
  cmake --build "$CORV_BUILD" --parallel "$(nproc)"
  corv_link_proj_db
}

# PROJ's data folder of the installation must hold PROJ's database: link Debian's where missing.
corv_link_proj_db() {
  local root="${CORV_WINROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/corvane/root}"
  local dir="$root/c/ProgramData/Tavrin Nautic/tqel/proj4"
  if [ ! -e "$dir/proj.db" ] && [ -f /usr/share/proj/proj.db ]; then
    mkdir -p "$dir" && ln -sfn /usr/share/proj/proj.db "$dir/proj.db"
  fi
}
