#!/bin/sh
# The main job: prints the built-in test page through the driver on a fresh
# machine, then decodes the spool stream back into PNG pages.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh

cmake --preset linux >/dev/null
cmake --build --preset linux --target kvtprint kvtspool

out=out/main-job
mkdir -p "$out"
build/linux/tools/kvtprint -o "$out/testpage.kvt"
build/linux/tools/kvtspool "$out/testpage.kvt" --png "$out"
echo "main job: spool stream $out/testpage.kvt, pages in $out/"
