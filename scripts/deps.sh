# Installs the Debian packages a step needs, those that are missing only.
# Sourced by the scripts beside it: need_packages PKG...
need_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev fonts-dejavu-core
    pkg-config libliquid-dev libsndfile1-dev)
# A private sound server with minimodem at the far end: the sound card's
# tests and scripts/run --audio.
SOUND_PACKAGES=(pulseaudio pulseaudio-utils minimodem)
# The end-to-end tests drive the real program in a private X server.
# minimodem is the independent modem at the far end of the modem's tests.
TEST_PACKAGES=(libgtest-dev xvfb openbox xdotool x11-apps python3 clang-format
    "${SOUND_PACKAGES[@]}")
BENCH_PACKAGES=(libbenchmark-dev)
# libFuzzer comes with clang's runtime libraries.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# The Debian package: dpkg-shlibdeps (which needs file) finds its dependencies,
# rsvg-convert draws its icons; the validators check it.
PACKAGE_PACKAGES=(dpkg-dev file librsvg2-bin)
PACKAGE_CHECK_PACKAGES=(lintian desktop-file-utils appstream)
