#!/bin/sh
# systemd-analyze verify on the unit as the package installs it, on a root made of the
# package's files and this system's own units (the targets it is ordered against): the unit's
# syntax, its dependencies and that ExecStart names a program the package installs. The tool
# exits 0 on a misspelt key or value and only prints it, so any message fails the test.
#
# usage: unit.sh DEB WORKDIR
set -eu
deb=$1
work=$2
root=$work/root
rm -rf "$work"
mkdir -p "$root/lib/systemd"
dpkg-deb -x "$deb" "$root"
cp -a /lib/systemd/system "$root/lib/systemd/"
unit=/usr/lib/systemd/system/vemla8.service
# The tool would look the unit's manual pages up on this system (--man): they are looked for
# in the package instead.
if ! systemd-analyze verify --man=no --root="$root" "$unit" > "$work/messages" 2>&1 \
    || [ -s "$work/messages" ]; then
    cat "$work/messages" >&2
    echo "unit: systemd-analyze verify failed" >&2
    exit 1
fi
for page in $(sed -n 's/^Documentation=//p' "$root$unit"); do
    name=${page#man:}
    section=${name##*(}
    section=${section%)}
    [ -f "$root/usr/share/man/man$section/${name%(*}.$section.gz" ] || {
        echo "unit: $page is not in the package" >&2
        exit 1
    }
done
echo "unit: vemla8.service verified, its manual pages in the package"
