# Helpers shared by the CI scripts.

step() { printf '\n==== %s ====\n' "$*"; }

apt_updated=0
# Installs each Debian package that is not installed yet.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$apt_updated" = 0 ]; then
    apt-get update -qq
    apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The README's fenced command that follows the marker line "<!-- NAME -->".
readme_command() {
  awk -v marker="<!-- $1 -->" '
    $0 == marker { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' README.md
}
