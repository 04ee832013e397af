#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program on the bundled demo database.
# The program is started from the repository folder, whose ConFiles/ holds Demo.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec ./build/varnock "$@"
