# Sourced by the scripts: need_packages PKG... makes sure the Debian
# packages are installed. As root it installs the missing ones with apt-get;
# otherwise it prints the one apt-get line to run and stops the script.
need_packages() {
  missing=""
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" ||
      missing="$missing $pkg"
  done
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run, then start this script again:" >&2
    echo "  sudo apt-get install -y$missing" >&2
    exit 1
  fi
  echo "Installing$missing" >&2
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
}

# Wine takes its ANSI code page, 932, from the ja_JP.UTF-8 locale.
need_japanese_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing the ja_JP.UTF-8 locale. Run, then start this script again:" >&2
    echo "  sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8" >&2
    exit 1
  fi
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}
