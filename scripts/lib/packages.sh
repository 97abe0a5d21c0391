# Installs the Debian packages that building, running and testing Quillon need, when missing.
# Sourced by the other scripts.

QUILLON_PACKAGES=(
    build-essential cmake
    qtbase5-dev libquazip1-qt5-dev
    fonts-dejavu-core fonts-arphic-uming
    poppler-utils
)

# Seconds apt-get waits for another package manager (unattended upgrades after boot, a second
# apt-get) to let go of its locks.
APT_LOCK_WAIT=300

# apt-get update takes the package lists' lock, for which apt (2.6) does not wait even when told
# to: it is tried again every 5 s, within the same bound.
apt_update() {
    local sudo=$1 output waited=0
    until output=$($sudo apt-get -o DPkg::Lock::Timeout="$APT_LOCK_WAIT" update -qq 2>&1); do
        if ! grep -q "Could not get lock" <<<"$output" || [ "$waited" -ge "$APT_LOCK_WAIT" ]; then
            printf '%s\n' "$output" >&2
            return 1
        fi
        if [ "$waited" -eq 0 ]; then
            echo "Another package manager is updating the package lists; waiting for it"
        fi
        sleep 5
        waited=$((waited + 5))
    done
    if [ -n "$output" ]; then printf '%s\n' "$output"; fi
}

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
    echo "(waits up to $((APT_LOCK_WAIT / 60)) minutes while another package manager holds apt's lock)"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    apt_update "$sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout="$APT_LOCK_WAIT" install -y -qq \
        --no-install-recommends "${missing[@]}"
}
