# Installs the Debian packages that building, running and testing Quillon need, when missing.
# Sourced by the other scripts.

QUILLON_PACKAGES=(
    build-essential cmake
    qtbase5-dev libquazip1-qt5-dev
    fonts-dejavu-core fonts-arphic-uming
    poppler-utils
)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "${QUILLON_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
