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

# One dependency per line, "package [version]", alternatives joined by "|":
# "a (>= 1), b | c (>= 2)" gives "a 1" and "b|c 2".
split() {
    tr ',' '\n' | sed -e 's/(>= *\([^)]*\))/\1/g; s/ *| */|/g; s/^ *//; s/ *$//' | grep -v '^$'
}
sed -n 's/^shlibs:Depends=//p' "$work/shlibdeps" | split > "$work/needed"
dpkg-deb -f "$deb" Depends | split > "$work/declared"
[ -s "$work/needed" ] || fail "dpkg-shlibdeps found no libraries"

# declared_version PACKAGE: its version in Depends, "-" when unversioned, nothing when absent.
declared_version() {
    awk -v p="$1" '$1 == p { print (NF > 1 ? $2 : "-") }' "$work/declared"
}
# satisfied "PACKAGE [VERSION]": Depends names the package at that version or a newer one.
satisfied() {
    # shellcheck disable=SC2086 # "package version" into its two words
    set -- $1
    declared=$(declared_version "$1")
    [ -n "$declared" ] || return 1
    [ $# -eq 1 ] && return 0
    [ "$declared" != - ] && dpkg --compare-versions "$declared" ge "$2"
}

while read -r line; do
    ok=
    alternatives=$(echo "$line" | tr '|' '\n')
    while read -r alternative; do
        satisfied "$alternative" && ok=1
    done <<ALTERNATIVES
$alternatives
ALTERNATIVES
    [ -n "$ok" ] || fail "the programs need $line; Depends: $(paste -s -d ',' "$work/declared")"
done < "$work/needed"

# A library package is needed when it is one of the alternatives of a needed dependency.
tr '|' '\n' < "$work/needed" | awk '{ print $1 }' > "$work/needed-packages"
while read -r package _; do
    case $package in
    lib*) grep -qx "$package" "$work/needed-packages" \
        || fail "$package is in Depends but no program loads a library of it" ;;
    esac
done < "$work/declared"

echo "depends: the programs need $(paste -s -d ',' "$work/needed"): all in Depends"
