#!/usr/bin/env bash
# Installs what Tavex needs to build and test on Debian 12, when it is missing.
# Sourced by ./run and ./test; uses sudo when not root.
tavex_packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev nlohmann-json3-dev
  libsqlite3-dev libtomcrypt-dev libpq-dev postgresql
  libxml2-utils openssl clang libclang-rt-14-dev
  qt6-base-dev libqt6svg6 libgl-dev fonts-liberation qt6-translations-l10n
  pandoc man-db dpkg-dev lintian
  qt6-charts-dev libqt6charts6 libqt6opengl6-dev
  chromium poppler-utils
  libcpp-httplib-dev
  xvfb xauth
)

tavex_install_dependencies() {
  local missing=()
  local p
  for p in "${tavex_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  # npm drives the workbench's browser test (playwright-core); a nodejs of another
  # origin may carry its own npm, so the package is asked for only when npm is missing.
  command -v npm >/dev/null 2>&1 || missing+=(npm)
  if [ ${#missing[@]} -gt 0 ]; then
    tavex_install_packages "${missing[@]}" || return 1
  fi
  tavex_install_node_modules
}

# The npm packages of the browser tests (tests/browser/package-lock.json), from the
# npm registry, when they are missing.
tavex_install_node_modules() {
  [ -d tests/browser/node_modules/playwright-core ] && return 0
  echo "Instalando pacotes npm dos testes no navegador" >&2
  (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error) || return 1
}

tavex_install_packages() {
  local missing=("$@")
  echo "Instalando dependências: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || return 1
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

# tavex_configure DIR [cmake options...]: configures DIR with the options (a
# folder configured before takes the new options too).
tavex_configure() {
  local dir=$1
  shift
  local launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null || return 1
}

# tavex_build DIR [cmake options...]: configures DIR and builds all of it (the
# programs, the example start folder, every test suite).
tavex_build() {
  tavex_configure "$@" || return 1
  cmake --build "$1" || return 1
}
