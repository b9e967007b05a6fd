#!/usr/bin/env bash
# The main job: install what is missing, build in Release, install the plug-in for this user
# (~/.vst3, ~/.lv2), load the installed VST3 the way a host does and render the demo through it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh --target Olvar_VST3 Olvar_LV2 Olvar_Standalone olvar-info olvar-render

build_dir=${OLVAR_BUILD_DIR:-build}
artefacts="$build_dir/Olvar_artefacts/Release"

mkdir -p "$HOME/.vst3" "$HOME/.lv2"
rm -rf "$HOME/.vst3/Olvar.vst3" "$HOME/.lv2/Olvar.lv2"
cp -r "$artefacts/VST3/Olvar.vst3" "$HOME/.vst3/"
cp -r "$artefacts/LV2/Olvar.lv2" "$HOME/.lv2/"

echo "Installed $HOME/.vst3/Olvar.vst3 and $HOME/.lv2/Olvar.lv2"
echo "Standalone app: $artefacts/Standalone/Olvar"
echo
"$build_dir/tools/olvar-info" "$HOME/.vst3/Olvar.vst3"

# The demo through the installed plug-in, half-way up the boost: the rendered audio and its response plot.
echo
mkdir -p "$build_dir/demo"
"$build_dir/tools/olvar-render" --plugin "$HOME/.vst3/Olvar.vst3" --level 0.75 --output "$build_dir/demo/olvar-demo.wav"
