#!/bin/sh
# The package's maintainer scripts, taken from the .deb and run as dpkg runs them.
#
# usage: maintainer-scripts.sh lint|root|running DEB WORKDIR
#   lint     each is a POSIX shell script that shellcheck passes
#   root     dpkg's sequences on a fake root (DPKG_ROOT, as when an image for the board is
#            made): Debian's deb-systemd-helper enables, masks and forgets the unit there, an
#            administrator's disable survives an upgrade, and nothing is started
#   running  on a running systemd (a user and mount namespace with /run/systemd/system):
#            which units are started, restarted and stopped, against recording stand-ins for
#            systemctl and Debian's helpers. Exit 77 (skipped) where namespaces are not allowed.
set -eu
mode=$1
deb=$2
work=$3
fail() {
    echo "maintainer-scripts $mode: $*" >&2
    exit 1
}

scripts="postinst prerm postrm"
control=$work/control
if [ "$mode" != running-inside ]; then
    rm -rf "$work"
    mkdir -p "$work"
    dpkg-deb -e "$deb" "$control"
fi

case $mode in
lint)
    for script in $scripts; do
        [ "$(head -n 1 "$control/$script")" = "#!/bin/sh" ] || fail "$script: not #!/bin/sh"
        shellcheck -s sh "$control/$script" || fail "$script: shellcheck"
    done
    echo "maintainer-scripts lint: $scripts pass shellcheck"
    ;;

root)
    root=$work/root
    unpack() { dpkg-deb -x "$deb" "$root"; }
    # dpkg removes the package's files before postrm; conffiles stay until the purge.
    remove_files() {
        dpkg-deb --fsys-tarfile "$deb" | tar -t | while read -r file; do
            case $file in
            ./usr/share/vemla/resources/pressure_settings.inc | \
                ./usr/share/vemla/resources/epc_config.inc) ;;
            *) [ -d "$root/$file" ] || rm -f "$root/$file" ;;
            esac
        done
    }
    run() {
        script=$1
        shift
        DPKG_ROOT=$root DPKG_MAINTSCRIPT_PACKAGE=vemla8 DPKG_MAINTSCRIPT_NAME=$script \
            sh "$control/$script" "$@" || fail "$script $*: exit status $?"
    }
    wants=$root/etc/systemd/system/multi-user.target.wants/vemla8.service
    mask=$root/etc/systemd/system/vemla8.service
    enabled() { [ -L "$wants" ]; }
    masked() { [ "$(readlink "$mask")" = /dev/null ]; }

    unpack
    run postinst configure
    enabled || fail "first installation: the unit is not enabled at boot"
    masked && fail "first installation: the unit is masked"

    # An upgrade: the old prerm, the new files, the new postinst with the old version.
    run prerm upgrade 1.3.0
    unpack
    run postinst configure 1.2.0
    enabled || fail "upgrade: the unit is no longer enabled"

    # The administrator disabled the program (systemctl disable): an upgrade keeps it so.
    rm "$wants"
    run prerm upgrade 1.3.0
    unpack
    run postinst configure 1.3.0
    enabled && fail "upgrade: the unit the administrator disabled is enabled again"
    ln -s /usr/lib/systemd/system/vemla8.service "$wants"

    # Removal: the files go, the conffiles and the enable link stay; the mask keeps that link
    # from starting anything.
    run prerm remove
    remove_files
    run postrm remove
    [ -e "$root/usr/bin/vemla8" ] && fail "remove: the program is still there"
    [ -f "$root/usr/share/vemla/resources/epc_config.inc" ] || fail "remove: a conffile is gone"
    masked || fail "remove: the unit is not masked"

    # Installed again: unmasked and enabled as before.
    unpack
    run postinst configure 1.3.0
    masked && fail "reinstallation: the unit is still masked"
    enabled || fail "reinstallation: the unit is not enabled"

    # Purge: no link, mask or helper state of the unit is left.
    run prerm remove
    remove_files
    run postrm remove
    run postrm purge
    left=$(find "$root/etc/systemd" "$root/var/lib/systemd" ! -type d 2>/dev/null)
    [ -z "$left" ] || fail "purge: left behind: $left"
    echo "maintainer-scripts root: install, upgrade, disabled upgrade, remove, reinstall, purge"
    ;;

running)
    if ! unshare --map-root-user --mount true 2>/dev/null; then
        echo "maintainer-scripts running: user namespaces are not allowed here; skipped"
        exit 77
    fi
    exec unshare --map-root-user --mount sh "$0" running-inside "$deb" "$work"
    ;;

running-inside)
    # This process's own /run, with the directory systemd creates when it is the init.
    mount -t tmpfs tmpfs /run
    mkdir -p /run/systemd/system
    bin=$work/bin
    calls=$work/calls
    mkdir -p "$bin"
    for tool in systemctl deb-systemd-helper deb-systemd-invoke; do
        printf '#!/bin/sh\necho "%s $*" >> "%s"\n' "$tool" "$calls" > "$bin/$tool"
        chmod +x "$bin/$tool"
    done
    # expect "SCRIPT ARGS" "CALL|CALL|..." [DPKG_ROOT]: the calls that start, stop or reload
    # units (deb-systemd-helper's bookkeeping is the root test's business).
    expect() {
        : > "$calls"
        # shellcheck disable=SC2086 # the script's arguments, split as dpkg passes them
        PATH=$bin:$PATH DPKG_ROOT=${3:-} DPKG_MAINTSCRIPT_PACKAGE=vemla8 \
            sh "$control/"$1 || fail "$1: exit status $?"
        got=$(grep -v '^deb-systemd-helper' "$calls" | paste -s -d '|' -) || true
        [ "$got" = "$2" ] || fail "$1${3:+ (DPKG_ROOT)}: expected \"$2\", got \"$got\""
    }
    reload="systemctl --system daemon-reload"
    expect "postinst configure" "$reload|deb-systemd-invoke start vemla8.service"
    expect "postinst configure 1.2.0" "$reload|deb-systemd-invoke restart vemla8.service"
    expect "postinst abort-upgrade 1.3.0" "$reload|deb-systemd-invoke restart vemla8.service"
    expect "prerm upgrade 1.3.1" ""
    expect "prerm remove" "deb-systemd-invoke stop vemla8.service"
    expect "postrm upgrade 1.3.1" ""
    expect "postrm remove" "$reload"
    expect "postrm purge" ""
    # Installed into another root: nothing on this system is touched.
    for call in "postinst configure" "postinst configure 1.2.0" "prerm remove" "postrm remove"; do
        expect "$call" "" /tmp/image
    done
    grep -q 'deb-systemd-helper mask vemla8.service' "$calls" \
        || fail "postrm remove: the unit is not masked"
    echo "maintainer-scripts running: start, restart, stop and reload as dpkg's steps need"
    ;;
*)
    fail "unknown mode"
    ;;
esac
