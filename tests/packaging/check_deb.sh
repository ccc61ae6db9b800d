#!/usr/bin/env bash
# Makes the Debian package from a built tree into a scratch folder and checks what it holds.
#
#   check_deb.sh CPACK CPACK_CONFIG VERSION
set -euo pipefail
cpack=$1
config=$2
version=$3

work=$(mktemp -d /tmp/telviq-deb-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

"$cpack" -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack -G DEB failed" >&2
    exit 1
}
shopt -s nullglob
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one .deb, found ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "telviq-utility_${version}_$arch.deb" ] ||
    fail "package file named $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = telviq-utility ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = net ] || fail "Section: $(field Section)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# Names only, without versions or alternatives.
names() { echo " $(field "$1" | sed -E 's/\([^)]*\)//g; s/[,|]/ /g') "; }
depends=$(names Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
    [[ $depends == *" $needed "* ]] || fail "Depends lacks $needed: $(field Depends)"
done
# The theme falls back to another font, and only the demo needs the ip tool.
recommends=$(names Recommends)
for wanted in fonts-wine iproute2; do
    [[ $recommends == *" $wanted "* ]] || fail "Recommends lacks $wanted: $(field Recommends)"
    [[ $depends != *" $wanted "* ]] || fail "$wanted is a hard dependency"
done

dpkg-deb -c "$deb" >"$work/listing"
# "MODE OWNER SIZE DATE TIME PATH": the mode and the path of every entry.
awk '{ print $1, $6 }' "$work/listing" >"$work/entries"
expect() {
    local mode=$1 path=$2
    grep -qxF -- "$mode ./$path" "$work/entries" || fail "no $mode ./$path in the package"
}
for program in telviq-utility telviq-virtual-cameras telviq-utility-demo; do
    expect -rwxr-xr-x "usr/bin/$program"
done
expect -rw-r--r-- usr/share/applications/telviq-utility.desktop
expect -rw-r--r-- usr/share/doc/telviq-utility/copyright
expect -rw-r--r-- usr/share/doc/telviq-utility/changelog.gz
expect -rw-r--r-- usr/share/telviq-utility/demo-cameras.conf
for size in 32 48 128; do
    expect -rw-r--r-- "usr/share/icons/hicolor/${size}x$size/apps/telviq-utility.png"
done
awk '$2 !~ /^\.\/(usr\/.*)?$/ { print "FAIL: outside /usr: " $2; bad = 1 } END { exit bad }' \
    "$work/entries" >&2 || failures=$((failures + 1))
# A manual page for every program.
for program in $(sed -n 's|^[^ ]* \./usr/bin/\(.\+\)$|\1|p' "$work/entries"); do
    expect -rw-r--r-- "usr/share/man/man1/$program.1.gz"
done

dpkg-deb -x "$deb" "$work/root"
root=$work/root
for size in 32 48 128; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/telviq-utility.png
    [ -f "$png" ] || continue
    # The PNG signature, then the IHDR chunk with width and height as 32-bit big-endian numbers.
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [ "$signature" = 89504e470d0a1a0a ] || fail "$size px icon is not a PNG"
    [ "$width x $height" = "$size x $size" ] || fail "$size px icon is $width x $height"
done

desktop=$root/usr/share/applications/telviq-utility.desktop
if [ -f "$desktop" ]; then
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ -x "$root/usr/bin/$exec_program" ] || fail "the menu entry runs '$exec_program', not shipped"
    [ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
        fail "the menu entry's icon '$icon' is not shipped"
fi
copyright=$root/usr/share/doc/telviq-utility/copyright
if [ -f "$copyright" ]; then
    head -n 1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
        fail "copyright is not machine-readable"
    grep -q '^License: Expat$' "$copyright" && grep -q '^ Permission is hereby granted' "$copyright" ||
        fail "copyright lacks the licence"
fi
# The newest changelog entry and the newest release the software centres show are this version.
changelog=$root/usr/share/doc/telviq-utility/changelog.gz
if [ -f "$changelog" ]; then
    top=$(zcat "$changelog" | head -n 1)
    [[ $top == "telviq-utility ($version) "* ]] || fail "the changelog starts with: $top"
fi
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
if [ ${#metainfo[@]} -eq 1 ]; then
    release=$(grep -o -m 1 '<release version="[^"]*"' "${metainfo[0]}" | cut -d '"' -f 2)
    [ "$release" = "$version" ] || fail "the metainfo's newest release is '$release'"
else
    fail "expected one metainfo file, found ${#metainfo[@]}"
fi

# Every program and library shipped is built with Debian's hardening. hardening-check says
# "unknown" where a build leaves nothing to see (stack clash probes only come with large
# frames), and "no" only for what is missing.
if command -v hardening-check >/dev/null; then
    elves=0
    while IFS= read -r -d '' file; do
        [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" = 7f454c46 ] || continue
        elves=$((elves + 1))
        report=$(hardening-check "$file" 2>&1) || true
        if grep -E ': no\b' <<<"$report" | grep -vqF '(ignored)'; then
            echo "${report//"$root"/}" >&2
            fail "hardening-check: ${file#"$root"/} is not hardened"
        fi
    done < <(find "$root" -type f -print0)
    [ "$elves" -gt 0 ] || fail "hardening-check found no program to look at"
else
    fail "hardening-check is missing (package devscripts)"
fi

# Debian's and the desktop's own checkers, where installed, must have nothing to say.
checked=(hardening-check)
if command -v lintian >/dev/null; then
    # Root gets a notice on standard error that is not about the package. Informational tags
    # are let through, but not those about hardening.
    lintian -I "$deb" >"$work/lintian.out" 2>/dev/null || true
    grep -E '^[EW]: ' "$work/lintian.out" >&2 && fail "lintian"
    grep -E '^.: [^ ]+: hardening-' "$work/lintian.out" >&2 && fail "lintian: hardening"
    checked+=(lintian)
fi
if command -v desktop-file-validate >/dev/null && [ -f "$desktop" ]; then
    # Hints too: it exits with 0 for them.
    said=$(desktop-file-validate "$desktop" 2>&1) || true
    [ -z "$said" ] || { echo "$said" >&2; fail "desktop-file-validate"; }
    checked+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null && [ ${#metainfo[@]} -eq 1 ]; then
    appstreamcli validate --no-net "${metainfo[0]}" >"$work/appstream.out" 2>&1 ||
        { cat "$work/appstream.out" >&2; fail "appstreamcli validate"; }
    # The tree as installed: the launchable desktop entry and the icon are where the metainfo
    # says.
    appstreamcli validate-tree --no-net "$root" >"$work/appstream.out" 2>&1 ||
        { cat "$work/appstream.out" >&2; fail "appstreamcli validate-tree"; }
    checked+=(appstreamcli)
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; package listing:" >&2
    cat "$work/listing" >&2
    exit 1
fi
echo "ok: $(basename "$deb"), $(wc -l <"$work/listing") entries, Depends: $(field Depends)"
echo "checked with: ${checked[*]:-no validator (none installed)}"
