#!/usr/bin/env bash
# Makes the Debian packages from a built tree into a scratch folder and checks what they hold:
# telviq-utility (the window, the demo, the virtual cameras) and telviq-cli (the command line, its
# manual page and the Ansible collection), which must not need Qt.
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
arch=$(dpkg --print-architecture)
deb=$work/out/telviq-utility_${version}_$arch.deb
cli_deb=$work/out/telviq-cli_${version}_$arch.deb
[ ${#debs[@]} -eq 2 ] && [ -f "$deb" ] && [ -f "$cli_deb" ] ||
    { echo "FAIL: expected $(basename "$deb") and $(basename "$cli_deb"), found: ${debs[*]##*/}" >&2; exit 1; }

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
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6 telviq-cli; do
    [[ $depends == *" $needed "* ]] || fail "Depends lacks $needed: $(field Depends)"
done
[[ $(field Depends) == *"telviq-cli (= $version)"* ]] ||
    fail "Depends on another version of telviq-cli: $(field Depends)"
# telviq-cli goes on headless boxes: it may depend on what the program links and nothing else.
cli_depends=$(dpkg-deb -f "$cli_deb" Depends | sed -E 's/\([^)]*\)//g; s/[,|]/ /g')
[[ " $cli_depends " == *" libc6 "* ]] || fail "telviq-cli's Depends lacks libc6: $cli_depends"
for name in $cli_depends; do
    [[ " libc6 libstdc++6 libgcc-s1 libcsv3 " == *" $name "* ]] ||
        fail "telviq-cli depends on $name: $(dpkg-deb -f "$cli_deb" Depends)"
done
[ "$(dpkg-deb -f "$cli_deb" Package)" = telviq-cli ] ||
    fail "telviq-cli's Package: $(dpkg-deb -f "$cli_deb" Package)"
[ "$(dpkg-deb -f "$cli_deb" Version)" = "$version" ] ||
    fail "telviq-cli's Version: $(dpkg-deb -f "$cli_deb" Version)"
# The theme falls back to another font, and only the demo needs the ip tool.
recommends=$(names Recommends)
for wanted in fonts-wine iproute2; do
    [[ $recommends == *" $wanted "* ]] || fail "Recommends lacks $wanted: $(field Recommends)"
    [[ $depends != *" $wanted "* ]] || fail "$wanted is a hard dependency"
done

dpkg-deb -c "$deb" >"$work/listing"
dpkg-deb -c "$cli_deb" >"$work/cli.listing"
# "MODE OWNER SIZE DATE TIME PATH": the mode and the path of every entry.
awk '{ print $1, $6 }' "$work/listing" >"$work/entries"
awk '{ print $1, $6 }' "$work/cli.listing" >"$work/cli.entries"
expect() {
    local mode=$1 path=$2 entries=${3:-$work/entries}
    grep -qxF -- "$mode ./$path" "$entries" || fail "no $mode ./$path in $(basename "$entries")"
}
# The command line, its page and the collection where Debian's ansible finds it.
expect -rwxr-xr-x usr/bin/telviq-cli "$work/cli.entries"
for file in share/doc/telviq-cli/copyright share/doc/telviq-cli/changelog.gz \
    share/man/man1/telviq-cli.1.gz \
    share/ansible/collections/ansible_collections/telviq/cameras/MANIFEST.json; do
    expect -rw-r--r-- "usr/$file" "$work/cli.entries"
done
# A file in both packages would stop the second from installing.
both=$(comm -12 <(grep -v '^d' "$work/entries" | cut -d ' ' -f 2 | sort) \
    <(grep -v '^d' "$work/cli.entries" | cut -d ' ' -f 2 | sort))
[ -z "$both" ] || fail "in both packages: $both"
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
    "$work/entries" "$work/cli.entries" >&2 || failures=$((failures + 1))
# A manual page for every program.
for program in $(sed -n 's|^[^ ]* \./usr/bin/\(.\+\)$|\1|p' "$work/entries"); do
    expect -rw-r--r-- "usr/share/man/man1/$program.1.gz"
done

dpkg-deb -x "$deb" "$work/root"
root=$work/root
dpkg-deb -x "$cli_deb" "$work/cli-root"
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

# Every program and library of both packages is built with Debian's hardening. hardening-check
# says "unknown" where a build leaves nothing to see (stack clash probes only come with large
# frames), and "no" only for what is missing.
if command -v hardening-check >/dev/null; then
    elves=0
    while IFS= read -r -d '' file; do
        [ "$(od -An -tx1 -N4 "$file" | tr -d ' ')" = 7f454c46 ] || continue
        elves=$((elves + 1))
        report=$(hardening-check "$file" 2>&1) || true
        if grep -E ': no\b' <<<"$report" | grep -vqF '(ignored)'; then
            echo "${report//"$work"\//}" >&2
            fail "hardening-check: ${file#"$work"/} is not hardened"
        fi
    done < <(find "$root" "$work/cli-root" -type f -print0)
    [ "$elves" -gt 0 ] || fail "hardening-check found no program to look at"
else
    fail "hardening-check is missing (package devscripts)"
fi

# Debian's and the desktop's own checkers, where installed, must have nothing to say.
checked=(hardening-check)
if command -v lintian >/dev/null; then
    # Root gets a notice on standard error that is not about the package. Informational tags
    # are let through, but not those about hardening.
    # Its own scratch folders (mldbm-elf-*) go into ours, which the trap removes.
    TMPDIR=$work lintian -I "$deb" "$cli_deb" >"$work/lintian.out" 2>/dev/null || true
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
    cat "$work/listing" "$work/cli.listing" >&2
    exit 1
fi
echo "ok: $(basename "$deb"), $(wc -l <"$work/listing") entries, Depends: $(field Depends)"
echo "ok: $(basename "$cli_deb"), $(wc -l <"$work/cli.listing") entries, Depends:" \
    "$(dpkg-deb -f "$cli_deb" Depends)"
echo "checked with: ${checked[*]:-no validator (none installed)}"
