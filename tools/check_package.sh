#!/usr/bin/env bash
# Checks what `cmake --install` and the Debian package hold: the command, its
# man page and completions, both plug-ins, the README and the licences, and a
# package that depends on the libraries the command links.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/root" >/dev/null
for file in bin/glyra share/man/man1/glyra.1 share/bash-completion/completions/glyra \
            share/zsh/vendor-completions/_glyra lib/glyra/win32/Glyra.8bf lib/glyra/win64/Glyra.8bf \
            share/doc/glyra/README.md share/doc/glyra/LICENSE share/doc/glyra/THIRD-PARTY-NOTICES.md; do
  [ -s "$work/root/$file" ] || { echo "missing after install: $file"; exit 1; }
done
"$work/root/bin/glyra" --version | grep -q '^glyra ' || { echo "the installed command does not run"; exit 1; }
(cd "$work" && cpack --config "$(realpath "$build")/CPackConfig.cmake" -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/glyra_*.deb)
info=$(dpkg-deb -I "$deb")
echo "$info" | grep -q 'Package: glyra' || { echo "package name"; exit 1; }
echo "$info" | grep -Eq 'Depends:.*libvips42' || { echo "the package does not depend on libvips: $info"; exit 1; }
echo "$info" | grep -Eq 'Depends:.*libpng16' || { echo "the package does not depend on libpng: $info"; exit 1; }
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/glyra ./usr/share/man/man1/glyra.1 ./usr/lib/glyra/win64/Glyra.8bf; do
  echo "$contents" | grep -q " $file\$" || { echo "not in the package: $file"; exit 1; }
done
echo "install and package: ok"
