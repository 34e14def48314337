#!/usr/bin/env bash
# Installs what the project needs and builds everything into build/, the full model data set
# included (TORVIK_MODEL_SET=QUICK in the environment builds the small test set instead). Then
# installs the plug-in for the current user: ~/.vst3, ~/.lv2, ~/.vst and ~/.local/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVIK_MODEL_SET=${TORVIK_MODEL_SET:-FULL} >/dev/null
cmake --build build
cmake --install build
