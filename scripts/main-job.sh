#!/bin/sh
# The main job: prints the built-in test page through the driver on a fresh
# machine and decodes the spool stream back into PNG pages; then uninstalls
# the sample package from a copy of the sample machine, showing the setup
# library's log and what the uninstall changed on the machine.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh

cmake --preset linux >/dev/null
cmake --build --preset linux --target kvtprint kvtspool kvtsetup

out=out/main-job
mkdir -p "$out"
build/linux/tools/kvtprint -o "$out/testpage.kvt"
build/linux/tools/kvtspool "$out/testpage.kvt" --png "$out"
echo "main job: spool stream $out/testpage.kvt, pages in $out/"

# The committed sample stays as it is: the uninstall runs on a copy, which
# is left for a look afterwards.
rm -rf "$out/machine"
cp -R samples/machine "$out/machine"
build/linux/tools/kvtsetup uninstall 'C:\KVT Setup' --machine "$out/machine" --changes
echo "main job: the machine after the uninstall in $out/machine/"
