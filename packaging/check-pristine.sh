#!/usr/bin/env bash
# Installs each Debian package on a pristine Debian 12 of its own: a minimal root made with
# mmdebstrap from this machine's package sources, where apt installs the package with its
# dependencies and without Recommends (telviq-utility with the telviq-cli it depends on). There it
# runs each program's --version, starts the window offscreen for two seconds without pressing
# anything (it sends nothing before Find is pressed), and prints what apt installed and how big it
# is; for telviq-cli, which goes on headless boxes, any Qt, X, Mesa or font package apt brought is
# a failure. Needs root and mmdebstrap, and downloads packages.
#
#   packaging/check-pristine.sh [PACKAGE.deb...]  (default: both, made with cpack from build/ or
#                                                  BUILD_DIR)
set -euo pipefail
self=$(readlink -f "$0")
top=$(cd "$(dirname "$self")/.." && pwd)

die() {
    echo "check-pristine: $*" >&2
    exit 1
}

# Run by mmdebstrap once the root is made, with the root's folder; the package under test and the
# packages of this build it depends on wait in its /tmp.
if [ "${1:-}" = --inside ]; then
    root=$2
    report=$3
    package=$4
    shift 4
    debs=()
    for file in "$@"; do debs+=("/tmp/$file"); done
    in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
    # The programs under test run without a network of their own making: only apt needs one.
    offline_in_root() { unshare --net -- chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 "$@"; }
    packages() { in_root dpkg-query -W -f '${Package}\n' | sort; }
    megabytes() { du -sxm "$root" | cut -f 1; }
    failed=0
    in_root apt-get clean
    packages >"$report.before"
    size_before=$(megabytes)
    if ! in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends "${debs[@]}" >"$report.apt" 2>&1; then
        cat "$report.apt" >&2
        echo "FAIL: apt could not install the package" >>"$report"
        exit 1
    fi
    # The downloaded files are no part of the size.
    in_root apt-get clean
    packages >"$report.after"
    comm -13 "$report.before" "$report.after" >"$report.new"
    kib=0
    if [ -s "$report.new" ]; then
        # shellcheck disable=SC2046 # one package name a line
        kib=$(in_root dpkg-query -W -f '${Installed-Size}\n' $(cat "$report.new") |
            awk '{ s += $1 } END { print s }')
    fi
    {
        echo "apt installed $(wc -l <"$report.new") packages, $(awk -v k="$kib" \
            'BEGIN { printf "%.1f", k / 1024 }') MB by their" \
            "Installed-Size; the root grew from $size_before MB to $(megabytes) MB:"
        fmt -w 100 "$report.new" | sed 's/^/  /'
        echo "left out (Recommends): $(in_root dpkg-query -W -f '${Recommends}' "$package")"
    } >>"$report"
    if [ "$package" = telviq-cli ]; then
        # Nothing of a desktop on a headless box.
        desktop=$(grep -E '^(lib)?qt|^libx11|^libxcb|^libxext|^libxrender|^libxkb|^x11-|^xkb-data|^libgl|^libegl|^libgbm|^libdrm|^mesa|^fonts-|fontconfig|^libfreetype' \
            "$report.new" | tr '\n' ' ' || true)
        if [ -z "$desktop" ]; then
            echo "ok: no Qt, X, Mesa or font package" >>"$report"
        else
            echo "FAIL: desktop packages for telviq-cli: $desktop" >>"$report"
            failed=1
        fi
    fi

    # QT_QPA_PLATFORM keeps a program that does not know --version from waiting for a display.
    for program in telviq-utility telviq-cli telviq-virtual-cameras; do
        in_root test -x "/usr/bin/$program" || continue
        status=0
        said=$(offline_in_root env QT_QPA_PLATFORM=offscreen timeout 10 "$program" --version \
            2>&1) || status=$?
        if [ "$status" -eq 0 ] && [ -n "$said" ]; then
            echo "ok: $program --version: $said" >>"$report"
        else
            echo "FAIL: $program --version: exit status $status: $(echo "$said" | head -n 3)" \
                >>"$report"
            failed=1
        fi
    done

    if ! in_root test -x /usr/bin/telviq-utility; then
        exit "$failed"
    fi
    # Still running after two seconds is what is wanted (timeout's 124).
    status=0
    said=$(offline_in_root env QT_QPA_PLATFORM=offscreen timeout 2 telviq-utility 2>&1) || status=$?
    said=$(echo "$said" | grep -v 'XDG_RUNTIME_DIR' || true)
    if [ "$status" -eq 124 ]; then
        echo "ok: the window ran offscreen for 2 s${said:+; it said: $said}" >>"$report"
    else
        echo "FAIL: the window ended within 2 s with exit status $status: $said" >>"$report"
        failed=1
    fi
    exit "$failed"
fi

[ "$(id -u)" -eq 0 ] || die "mmdebstrap and chroot need root"
command -v mmdebstrap >/dev/null || die "needs mmdebstrap (apt-get install mmdebstrap)"

work=$(mktemp -d /tmp/telviq-pristine.XXXXXX)
# A root left behind by a killed mmdebstrap may still have /proc, /sys and /dev mounted in it.
trap 'rm -rf --one-file-system "$work"' EXIT
debs=("$@")
if [ ${#debs[@]} -eq 0 ]; then
    build=${BUILD_DIR:-$top/build}
    [ -f "$build/CPackConfig.cmake" ] || die "no build in $build: run scripts/build.sh, or name a .deb"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; die "cpack failed"; }
    debs=("$work"/deb/*.deb)
fi
for i in "${!debs[@]}"; do
    [ -f "${debs[$i]}" ] || die "no package at ${debs[$i]}"
    debs[$i]=$(readlink -f "${debs[$i]}")
done

# This machine's own package sources, as apt reads them.
sources=()
[ -s /etc/apt/sources.list ] && sources+=(/etc/apt/sources.list)
for file in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && sources+=("$file")
done
((${#sources[@]})) || die "no package sources in /etc/apt"
echo "package sources: ${sources[*]}"

# One pristine root for each package, with the packages of this build that it depends on.
failed=0
for deb in "${debs[@]}"; do
    package=$(dpkg-deb -f "$deb" Package)
    echo
    echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f 1) KiB," \
        "Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"
    needed=("$deb")
    depends=" $(dpkg-deb -f "$deb" Depends | sed -E 's/\([^)]*\)//g; s/[,|]/ /g') "
    for other in "${debs[@]}"; do
        [ "$other" != "$deb" ] && [[ $depends == *" $(dpkg-deb -f "$other" Package) "* ]] &&
            needed+=("$other")
    done
    hooks=()
    names=()
    for file in "${needed[@]}"; do
        hooks+=(--customize-hook="upload $file /tmp/$(basename "$file")")
        names+=("$(printf %q "$(basename "$file")")")
    done
    report=$work/report-$package
    : >"$report"
    status=0
    start=$SECONDS
    rm -rf --one-file-system "$work/root"
    mmdebstrap --variant=apt --mode=root "${hooks[@]}" \
        --customize-hook="bash $(printf %q "$self") --inside \"\$1\" $report $package ${names[*]}" \
        bookworm "$work/root" "${sources[@]}" >"$work/mmdebstrap.log" 2>&1 || status=$?
    cat "$report"
    if [ "$status" -ne 0 ]; then
        grep -q . "$report" || tail -n 20 "$work/mmdebstrap.log" >&2
        echo "$package: FAILED ($((SECONDS - start)) s)"
        failed=1
    else
        echo "$package: passed ($((SECONDS - start)) s)"
    fi
done
exit "$failed"
