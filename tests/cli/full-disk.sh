#!/bin/sh
# Run as root of a private mount namespace (unshare --user --map-root-user --mount):
#   full-disk.sh TAVOLIN_CLI WORKDIR
# Fills a small tmpfs and checks that every command that would write fails with exit status 1
# and leaves every file as it was. Exit 0 when all hold, 1 otherwise, 77 when no tmpfs can be
# mounted.
set -u
cli=$1
work=$2
mnt=$work/disk
orig=$work/orig
mkdir -p "$mnt" "$orig" || exit 1
mount -t tmpfs -o size=256k tmpfs "$mnt" || exit 77

export TZ=Europe/Berlin TAVOLIN_DIR="$mnt"
# 8 March 2003, 10:07 local time.
export TAVOLIN_NOW=1047114420
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# An unsorted book with an expired record, so that a tidy-up must rewrite it; its length ends
# a few bytes before a page boundary, so an append would fit partly.
{
    printf 'Notiz # b\r\n01.01.2000 - 10:00 # alt\r\nNotiz # a\r\nNotiz # '
    head -c 5000 /dev/zero | tr '\0' 'x'
} | head -c 4090 >"$mnt/Termine.dat"
printf '[Layout]\r\nKArt=2\r\n' >"$mnt/config.ini"
mkdir "$mnt/fresh"
cp "$mnt/Termine.dat" "$mnt/config.ini" "$orig/"

# Fill the disk to the last page.
dd if=/dev/zero of="$mnt/filler" bs=4096 2>/dev/null
dd if=/dev/zero of="$mnt/filler2" bs=1 2>/dev/null
sync

expect_failure() {
    "$cli" "$@" >"$work/out" 2>&1
    rc=$?
    [ $rc -eq 1 ] || fail "'$*' exited $rc: $(cat "$work/out")"
    cmp -s "$mnt/Termine.dat" "$orig/Termine.dat" || fail "'$*' changed Termine.dat"
    cmp -s "$mnt/config.ini" "$orig/config.ini" || fail "'$*' changed config.ini"
    leftovers=$(ls -a "$mnt" "$mnt/fresh" | grep -e '\.tmp-' -e '^config\.ini$' | grep -v '^config\.ini$' || true)
    [ -z "$leftovers" ] || fail "'$*' left $leftovers"
}

expect_failure add --note "a record that does not fit"
expect_failure tidy --delete
expect_failure remove "Notiz # a"
TAVOLIN_DIR="$mnt/fresh" expect_failure init
[ -e "$mnt/fresh/config.ini" ] && fail "init left a config.ini on a full disk"
TAVOLIN_DIR="$mnt/fresh" expect_failure generate --no-wallpaper --size 64x64
[ -e "$mnt/fresh/config.ini" ] && fail "generate left a config.ini on a full disk"

umount "$mnt"
[ $failed -eq 0 ] && echo "all held"
exit $failed
