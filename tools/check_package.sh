#!/usr/bin/env bash
# Checks what `cmake --install` and the Debian package hold: the command, its
# man page and completions, both plug-ins, the README, the copyright and the
# changelog, and a package that depends on the libraries the command links and
# that lintian finds no error or warning in.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/root" >/dev/null
for file in bin/glyra share/man/man1/glyra.1.gz share/bash-completion/completions/glyra \
            share/zsh/vendor-completions/_glyra lib/glyra/win32/Glyra.8bf lib/glyra/win64/Glyra.8bf \
            share/doc/glyra/README.md share/doc/glyra/copyright share/doc/glyra/changelog.gz \
            share/doc/glyra/THIRD-PARTY-NOTICES.md lib/frei0r-1/glyra.so share/kdenlive/effects/frei0r_glyra.xml; do
  [ -s "$work/root/$file" ] || { echo "missing after install: $file"; exit 1; }
done
"$work/root/bin/glyra" --version | grep -q '^glyra ' || { echo "the installed command does not run"; exit 1; }
ls "$work"/root/lib/*/gegl-0.4/glyra-stars.so >/dev/null 2>&1 || { echo "missing after install: the GEGL operation"; exit 1; }
GEGL_PATH=$(dirname "$(ls "$work"/root/lib/*/gegl-0.4/glyra-stars.so)") gegl --list-all 2>/dev/null | grep -qx 'glyra:stars' ||
  { echo "GEGL does not find the installed operation"; exit 1; }
(cd "$work" && cpack --config "$(realpath "$build")/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/glyra_*.deb)
info=$(dpkg-deb -I "$deb")
echo "$info" | grep -q 'Package: glyra' || { echo "package name"; exit 1; }
echo "$info" | grep -Eq 'Depends:.*libvips42' || { echo "the package does not depend on libvips: $info"; exit 1; }
echo "$info" | grep -Eq 'Depends:.*libpng16' || { echo "the package does not depend on libpng: $info"; exit 1; }
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/glyra ./usr/share/man/man1/glyra.1.gz ./usr/lib/glyra/win64/Glyra.8bf \
            ./usr/share/doc/glyra/copyright ./usr/share/doc/glyra/changelog.gz; do
  echo "$contents" | grep -q " $file\$" || { echo "not in the package: $file"; exit 1; }
done
# What a Debian maintainer would look at first: lintian's errors and warnings.
if command -v lintian >/dev/null; then
  findings=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null | grep -E '^(E|W):' || true)
  [ -z "$findings" ] || { echo "lintian:"; echo "$findings"; exit 1; }
else
  echo "lintian is not installed"; exit 1
fi
echo "install and package: ok"
