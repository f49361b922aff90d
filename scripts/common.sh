# Shared by the project's scripts: installing Debian packages and building.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the build, the tests and the program need.
PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libgtest-dev libbenchmark-dev
  fonts-wine fonts-comic-neue fonts-liberation2 fonts-dejavu-core
  xvfb xauth xdotool x11-utils
  clang-14 libclang-rt-14-dev
  desktop-file-utils appstream libxml2-utils dpkg-dev
  fteqcc
)

install_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# configure DIR [cmake options...]: configures the project's build in DIR.
configure() {
  local dir="$1"
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}

# build DIR [cmake options...]: configures and builds the whole project (tests, benchmarks) in DIR.
build() {
  configure "$@"
  cmake --build "$1" --parallel "$(nproc)"
}
