# Sourced by the other scripts: installs the Debian build dependencies that are missing.
tessaly_install_deps() {
    local packages=(cmake ninja-build g++ libgtest-dev libjpeg62-turbo-dev libsqlite3-dev libzip-dev libexpat1-dev libgdal-dev pkg-config qt6-base-dev qt6-l10n-tools qt6-translations-l10n xvfb xauth
                    clang libclang-rt-14-dev dpkg-dev file desktop-file-utils appstream groff-base)
    local missing=()
    local p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
