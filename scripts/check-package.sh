#!/usr/bin/env bash
# Builds the Debian package in a configured build folder and checks it: the
# control data and its dependencies, lintian, the desktop entry and the
# AppStream metainfo against their validators, who handles folders, and the
# files that an install of the package into a scratch root lays down. Exits
# non-zero on any failure.
#   bash scripts/check-package.sh BUILD_DIR
set -euo pipefail

if [ "$#" -ne 1 ]; then
    echo "usage: $0 BUILD_DIR (configured with cmake)" >&2
    exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
if [ ! -f "$build/CPackConfig.cmake" ]; then
    echo "check-package: $build is no configured build folder (no CPackConfig.cmake)" >&2
    exit 2
fi

bash "$source_dir/scripts/install-deps.sh" desktop-file-utils appstream dpkg-dev libglib2.0-bin xdg-utils lintian

app_id=io.github.vardel.Vardel
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/vardel_${version}_$(dpkg --print-architecture).deb"

cmake --build "$build"
rm -f "$deb"
if ! (cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1; then
    cat "$build/cpack.log"
    echo "check-package: cpack failed"
    exit 1
fi
if [ ! -f "$deb" ]; then
    cat "$build/cpack.log"
    echo "check-package: cpack made no $deb"
    exit 1
fi
echo "Built $deb"

root=$(mktemp -d)
scratch=$(mktemp -d)
trap 'rm -rf "$root" "$scratch"' EXIT
dpkg-deb -x "$deb" "$root"

passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok   - $what"
        passed=$((passed + 1))
    else
        echo "FAIL - $what"
        failed=$((failed + 1))
    fi
}

# Control data.
control=$(dpkg-deb -I "$deb")
field() { printf '%s\n' "$control" | sed -n "s/^ $1: //p"; }
depends=$(field Depends)
echo "Depends: $depends"
depends_on() { printf '%s\n' "$depends" | tr ',|' '\n' | awk '{print $1}' | grep -qx "$1"; }
check "package name is vardel" test "$(field Package)" = vardel
check "version is $version" test "$(field Version)" = "$version"
check "a maintainer is named" test -n "$(field Maintainer)"
check "a description is given" test -n "$(field Description)"
for p in libqt6widgets6 libqt6gui6 libqt6core6 libqt6dbus6 libglib2.0-0 qt6-qpa-plugins shared-mime-info; do
    check "depends on $p" depends_on "$p"
done

# Debian's own rules: errors fail, warnings are shown.
check "lintian reports no errors" lintian --allow-root --fail-on error "$deb"
doc="$root/usr/share/doc/vardel"
changelog_version() { zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version; }
check "the changelog's last entry is $version" test "$(changelog_version)" = "$version"
license=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$source_dir/dist/$app_id.metainfo.xml")
check "the copyright names the metainfo's licence $license" grep -qx "License: $license" "$doc/copyright"

# The program and its data folder.
check "usr/bin/vardel is an executable" test -x "$root/usr/bin/vardel" -a -f "$root/usr/bin/vardel"
for icon in Eye.ico Lighton.ico; do
    check "usr/share/vardel/$icon is the one in resources/" \
        cmp -s "$source_dir/resources/$icon" "$root/usr/share/vardel/$icon"
done

# The desktop entry: it must start the program in the folder that holds the icons.
entry="$root/usr/share/applications/$app_id.desktop"
entry_key() { sed -n "s/^$1=//p" "$entry" | head -n 1; }
validate_entry() {
    local out
    out=$(desktop-file-validate "$entry" 2>&1) || { printf '%s\n' "$out"; return 1; }
    [ -n "$out" ] && printf '%s\n' "$out"
    # Hints may stand; errors and warnings may not.
    ! printf '%s\n' "$out" | grep -Eq ': (error|warning): '
}
# Folders. An entry listing inode/directory may be picked as the folder handler
# where no defaults list names one, so the entry lists no type: "Open With"
# offers it among all applications (Exec= takes %f), and it handles folders
# once the user chooses it. The scratch desktop has no defaults list, the
# package's entry first (on the unpacked program: GIO leaves out an entry whose
# program is missing), then file managers sorting before and after it.
file_managers="aaa-files io.github.aaa.Files zzz-files"
make_scratch_desktop() {
    mkdir -p "$scratch/vardel/applications" "$scratch/fm/applications" "$scratch/config"
    sed "s|^Exec=/usr/bin/vardel|Exec=$root/usr/bin/vardel|" "$entry" >"$scratch/vardel/applications/$app_id.desktop"
    for fm in $file_managers; do
        printf '[Desktop Entry]\nType=Application\nName=%s\nExec=true %%U\nMimeType=inode/directory;\n' "$fm" \
            >"$scratch/fm/applications/$fm.desktop"
    done
    update-desktop-database "$scratch/vardel/applications"
    update-desktop-database "$scratch/fm/applications"
}
on_scratch_desktop() {
    env -i PATH="$PATH" HOME="$scratch" LC_ALL=C XDG_DATA_HOME="$scratch/none" \
        XDG_DATA_DIRS="$scratch/vardel:$scratch/fm" XDG_CONFIG_HOME="$scratch/config" XDG_CONFIG_DIRS="$scratch/none" "$@"
}
folder_handler_in() { # TOOL IDS: the tool names one of the ids as the folder handler
    local got
    if [ "$1" = gio ]; then
        got=$(on_scratch_desktop gio mime inode/directory | sed -n '1s/^Default application for .*: //p')
    else
        got=$(on_scratch_desktop xdg-mime query default inode/directory)
    fi
    echo "  $1 inode/directory: ${got:-none}"
    [[ " $2 " == *" ${got%.desktop} "* ]]
}
check "desktop entry $app_id.desktop is there" test -f "$entry"
check "the package ships no defaults list" \
    test -z "$(find "$root" -name '*mimeapps.list' -o -name defaults.list -o -name mimeinfo.cache)"
if [ -f "$entry" ]; then
    check "desktop-file-validate passes" validate_entry
    check "Path= is /usr/share/vardel" test "$(entry_key Path)" = /usr/share/vardel
    check "Path= holds Eye.ico and Lighton.ico" \
        test -f "$root$(entry_key Path)/Eye.ico" -a -f "$root$(entry_key Path)/Lighton.ico"
    exec_program=$(entry_key Exec | awk '{print $1}')
    check "Exec= starts /usr/bin/vardel" test "$exec_program" = /usr/bin/vardel -a -x "$root$exec_program"
    check "Icon= is the application id" test "$(entry_key Icon)" = "$app_id"
    check "Exec= hands over one folder (%f)" test "$(entry_key Exec | awk '{print $2, NF}')" = "%f 2"
    make_scratch_desktop
    for tool in gio xdg-mime; do
        check "$tool leaves folders to a file manager" folder_handler_in "$tool" "$file_managers"
    done
    on_scratch_desktop gio mime inode/directory "$app_id.desktop" >/dev/null
    for tool in gio xdg-mime; do
        check "$tool hands folders to it once the user chooses it" folder_handler_in "$tool" "$app_id"
    done
fi

# The AppStream metainfo.
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
appstream_passes() {
    local out rc=0
    out=$(appstreamcli "$@" 2>&1) || rc=$?
    printf '%s\n' "$out"
    # Pedantic notes and hints may stand; errors and warnings may not.
    [ "$rc" -eq 0 ] && ! printf '%s\n' "$out" | grep -Eq '^[[:space:]]*[EW]: '
}
check "metainfo $app_id.metainfo.xml is there" test -f "$metainfo"
if [ -f "$metainfo" ]; then
    check "appstreamcli validate passes" appstream_passes validate --no-net "$metainfo"
    check "appstreamcli validate-tree passes on the installed tree" appstream_passes validate-tree --no-net "$root"
fi

# The application icon in the hicolor theme, each a PNG of its nominal size.
png_size() {
    # Width and height: the first two big-endian words of the IHDR chunk.
    local b
    read -ra b <<<"$(od -An -tu1 -j16 -N8 "$1" | tr '\n' ' ')"
    echo "$(( (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3] ))x$(( (b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7] ))"
}
is_png_of_size() {
    [ -f "$1" ] && [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
        [ "$(png_size "$1")" = "$2" ]
}
for n in 16 32 48 64 128 256; do
    icon="usr/share/icons/hicolor/${n}x${n}/apps/$app_id.png"
    check "$icon is a ${n}x${n} PNG" is_png_of_size "$root/$icon" "${n}x${n}"
done

echo
if [ "$failed" -eq 0 ]; then
    echo "The package $(basename "$deb") is sound."
else
    echo "The package $(basename "$deb") has faults: see FAIL above."
fi
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
