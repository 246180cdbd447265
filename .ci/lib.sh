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

# CI builds under build-ci/, never in the folders the README and the presets
# use (build/, build-<preset>/), which may hold a developer's work.
ci_builds=build-ci

# Configures a fresh build-ci/$2 from preset $1; further arguments go to the
# configure. Prints the folder; the configure's output goes to build-ci/$2.log.
configure_preset() {
  local preset=$1 dir=$ci_builds/$2
  shift 2
  rm -rf "$dir"
  mkdir -p "$ci_builds"
  cmake --preset "$preset" -B "$dir" "$@" >"$dir.log" 2>&1 || { cat "$dir.log" >&2; return 1; }
  echo "$dir"
}

# A copy of the source tree as a fresh clone would have it (tracked files and
# new ones not ignored, with their uncommitted changes), in which the README's
# commands run as written: they build in the copy's build/, not in ours.
readme_tree=$ci_builds/readme
readme_copy() {
  [ -f "$readme_tree/README.md" ] && return 0
  rm -rf "$readme_tree"
  mkdir -p "$readme_tree"
  git ls-files -z --cached --others --exclude-standard |
    tar --null --files-from=- --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$readme_tree"
}
