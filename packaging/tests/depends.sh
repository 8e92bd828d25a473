#!/bin/sh
# The package's dependencies against what its two programs link. dpkg-shlibdeps, Debian's
# own tool, derives from the programs' shared libraries and the symbols they use which
# packages they need and from which version; each must be in the package's Depends at that
# version or a newer one. A library package the programs do not load is a stale dependency.
#
# usage: depends.sh DEB WORKDIR DEBIAN_ARCH GNU_TYPE
#   e.g. depends.sh build-arm64/vemla8_1.3.0_arm64.deb build-arm64/depends arm64 aarch64-linux-gnu
set -eu
deb=$1
work=$2
arch=$3
gnu_type=$4
fail() {
    echo "depends: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work/debian"
# dpkg-shlibdeps runs in a source package's directory; it needs only an empty control file.
: > "$work/debian/control"
dpkg-deb -x "$deb" "$work/tree"
(cd "$work" && DEB_HOST_ARCH=$arch DEB_HOST_GNU_TYPE=$gnu_type DEB_HOST_MULTIARCH=$gnu_type \
    dpkg-shlibdeps -O -e tree/usr/bin/vemla8 -e tree/usr/bin/vemla8-logview \
    > shlibdeps 2> shlibdeps.err) || fail "dpkg-shlibdeps: $(cat "$work/shlibdeps.err")"

# One "package [version]" per line, from "a (>= 1), b, c (>= 2)".
split() { tr ',' '\n' | sed -e 's/^ *//; s/ *$//; s/ *(>= *\([^)]*\))$/ \1/' | grep -v '^$'; }
sed -n 's/^shlibs:Depends=//p' "$work/shlibdeps" | split > "$work/needed"
dpkg-deb -f "$deb" Depends | split > "$work/declared"
[ -s "$work/needed" ] || fail "dpkg-shlibdeps found no libraries"

while read -r package version; do
    declared=$(awk -v p="$package" '$1 == p { print $2 == "" ? "-" : $2 }' "$work/declared")
    [ -n "$declared" ] || fail "$package${version:+ (>= $version)} is needed but not in Depends"
    [ -z "${version:-}" ] && continue
    if [ "$declared" = - ] || ! dpkg --compare-versions "$declared" ge "$version"; then
        fail "$package: Depends asks for >= $declared, the programs need >= $version"
    fi
done < "$work/needed"

while read -r package _; do
    case $package in
    lib*) grep -q "^$package\( \|$\)" "$work/needed" \
        || fail "$package is in Depends but no program loads a library of it" ;;
    esac
done < "$work/declared"

echo "depends: the programs need $(paste -s -d ';' "$work/needed"): all in Depends"
