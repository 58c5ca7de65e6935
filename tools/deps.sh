# Installs missing Debian packages when it can (as root with apt-get), and
# says loudly what is missing when it cannot. Sourced by run.sh and test.sh.
need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "== installing: ${missing[*]}"
    if [ -z "${DIVRO_APT_UPDATED:-}" ]; then
      apt-get update -qq >/dev/null
      export DIVRO_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "!! MISSING PACKAGES (not root, cannot install): ${missing[*]}"
    return 1
  fi
}
