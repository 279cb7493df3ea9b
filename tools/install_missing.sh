# install_missing PACKAGE...: installs the Debian packages not installed yet, with apt-get as
# root or through sudo otherwise. Sourced by setup.sh and package.sh.
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    ((${#missing[@]})) || return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# install_commands COMMAND:PACKAGE...: installs the package of each command that cannot be
# found, again when the package counts as installed (its file was removed since).
install_commands() {
    local pair missing=() sudo=""
    for pair in "$@"; do
        command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
    done
    ((${#missing[@]})) || return 0
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install --reinstall -y -qq "${missing[@]}" >/dev/null
}
