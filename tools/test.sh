#!/usr/bin/env bash
# Set up and test: installs what is missing, builds TRV.EXE and the host tests, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake --workflow --preset win32
cmake --workflow --preset host
