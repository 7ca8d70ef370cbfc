# Installs the Debian packages given as arguments when any of them is missing.
ensure_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

BUILD_PACKAGES=(cmake g++ make zlib1g-dev libgcrypt20-dev libgtest-dev libcli11-dev libidn-dev)
TEST_PACKAGES=(qpdf poppler-utils mupdf-tools ghostscript clang libclang-rt-14-dev)
# scripts/package.sh: CPack's Debian package reads the program's library needs with dpkg-shlibdeps.
PACKAGE_PACKAGES=(dpkg-dev file)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev wine64 wine
  imagemagick xvfb xauth xdotool fonts-ipafont-gothic fonts-wine python3)
# bench/run: hyperfine for the times and /usr/bin/time for the peak memory of each run; perf and
# valgrind for profiling by hand.
BENCH_PACKAGES=(time hyperfine qpdf poppler-utils mupdf-tools linux-perf valgrind)
