#!/usr/bin/env bash
# Installs every Debian package the program, its tests and its benchmarks need.
# Idempotent: when everything is there it only asks dpkg and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  libsqlite3-dev sqlite3
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc odbc-mariadb
  postgresql postgresql-client
  mariadb-server mariadb-client
  libxlsxwriter-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev
  fonts-liberation
  python3 python3-openpyxl python3-xlrd python3-xlsxwriter
  time
  # de_DE.UTF-8 and en_US.UTF-8 ready to use, for the tests that write files under a
  # decimal-comma locale
  locales-all
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
