#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Builds the Debian package in a configured build folder and checks it: the
# control data and its dependencies, the licence, lintian with every tag shown,
# the program's hardening, the desktop entry (against the window's own class)
# and the AppStream metainfo against their validators, who handles folders,
# and the files that an install of the package into a scratch root lays down.
# Then builds the same sources again in other folders and demands the same
# package byte for byte. Exits non-zero on any failure.
#   bash scripts/check-package.sh BUILD_DIR
#   bash scripts/check-package.sh --tools   names the packages the checks need
#   SOURCE_DATE_EPOCH      the package's time (default: the last commit's)
#   VARDEL_REPRODUCE=0     skips the second build
set -euo pipefail

tools=(desktop-file-utils appstream dpkg-dev libglib2.0-bin xdg-utils lintian devscripts librsvg2-bin)
if [ "${1:-}" = --tools ]; then
    echo "${tools[@]}"
    exit 0
fi
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

bash "$source_dir/scripts/install-deps.sh" "${tools[@]}"

# One time for every file in the package, so that a build tomorrow gives the
# same bytes: the last commit's, or the changelog's outside a git checkout.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null) ||
        SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$source_dir/dist/changelog" -S Timestamp)
fi
export SOURCE_DATE_EPOCH

app_id=io.github.vardel.Vardel
cache_entry() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_entry CMAKE_PROJECT_VERSION)
deb="$build/vardel_${version}_$(dpkg --print-architecture).deb"

make_package() { # BUILD: builds and packs it, the .deb in BUILD
    cmake --build "$1"
    rm -f "$1/$(basename "$deb")"
    if ! (cd "$1" && cpack -G DEB) >"$1/cpack.log" 2>&1; then
        cat "$1/cpack.log"
        echo "check-package: cpack failed in $1"
        exit 1
    fi
    if [ ! -f "$1/$(basename "$deb")" ]; then
        cat "$1/cpack.log"
        echo "check-package: cpack made no $(basename "$deb") in $1"
        exit 1
    fi
}
make_package "$build"
echo "Built $deb (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"

root=$(mktemp -d)
scratch=$(mktemp -d)
again=$(mktemp -d)
display_pid=
trap '[ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null; rm -rf "$root" "$scratch" "$again"' EXIT
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
check "recommends qt6-wayland" test "$(field Recommends)" = qt6-wayland

# Debian's own rules, every tag of every class: any tag fails. What may stand
# is overridden in the package, with its reason.
lintian_clean() {
    local out rc=0
    out=$(lintian --allow-root --info --display-level '>=pedantic' --display-experimental \
        --fail-on error,warning,info,pedantic,experimental "$deb" 2>&1) || rc=$?
    [ -n "$out" ] && printf '%s\n' "$out"
    [ "$rc" -eq 0 ] && [ -z "$out" ]
}
check "lintian shows no tag at all" lintian_clean
doc="$root/usr/share/doc/vardel"
changelog_version() { zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version; }
check "the changelog's last entry is $version" test "$(changelog_version)" = "$version"

# The licence, the same wherever it is named: the GPL, version 3 or later.
copyright_license() { # the licence of the copyright file's "Files: *" paragraph
    awk '/^Files: \*$/ { all = 1 } all && /^License: / { print $2; exit }' "$doc/copyright"
}
check "LICENSE is the GPL version 3" cmp -s "$source_dir/LICENSE" /usr/share/common-licenses/GPL-3
check "the copyright gives the package GPL-3+" test "$(copyright_license)" = GPL-3+
check "the copyright points to the GPL in common-licenses" grep -q '"/usr/share/common-licenses/GPL-3"' "$doc/copyright"
license=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' "$source_dir/dist/$app_id.metainfo.xml")
check "the metainfo's project licence is GPL-3.0-or-later" test "$license" = GPL-3.0-or-later
check "the manual page names the GPL" \
    grep -q 'GNU General Public License' <(zcat "$root/usr/share/man/man1/vardel.1.gz")

# Time: every member of the package, and the package's own parts, carry SOURCE_DATE_EPOCH.
stamped_at_source_date() {
    local want got
    want=$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M')
    got=$( (dpkg-deb --fsys-tarfile "$deb" | TZ=UTC tar -tv; dpkg-deb --ctrl-tarfile "$deb" | TZ=UTC tar -tv) |
        awk '{print $4, $5}' | sort -u)
    [ "$got" = "$want" ] || { printf 'members at:\n%s\nnot only %s\n' "$got" "$want"; return 1; }
    got=$(TZ=UTC ar tv "$deb" | awk '{print $4, $5, $6, $7}' | sort -u)
    [ "$got" = "$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" '+%b %-d %H:%M %Y')" ] || { printf 'parts at: %s\n' "$got"; return 1; }
}
check "every file in the package is dated SOURCE_DATE_EPOCH" stamped_at_source_date

# The program: hardened as Debian asks (stack protector, read-only relocations
# bound at once, position independent, fortified calls). Two marks cannot be
# found in it: no call there that fortification guards takes a size unknown
# when compiling (so none is linked to a checking variant, and the compile
# commands are checked instead), and Debian 12's C start files carry no
# control-flow marks, so no program linked with them has them.
hardened() {
    hardening-check --quiet --nofortify --nocfprotection "$1" || { hardening-check "$1"; return 1; }
}
check "hardening-check finds every protection in usr/bin/vardel" hardened "$root/usr/bin/vardel"
fortified_compiles() { # every compile of the program's own code defines _FORTIFY_SOURCE
    local commands
    commands=$(ninja -C "$build" -t commands vardel | grep -E ' -c [^ ]+\.cpp$') || return 1
    printf '%s\n' "$commands" | grep -v -- '-D_FORTIFY_SOURCE=[23]' | sed 's/^/  not fortified: /'
    ! printf '%s\n' "$commands" | grep -qv -- '-D_FORTIFY_SOURCE=[23]'
}
if [ "$(cache_entry CMAKE_GENERATOR)" = Ninja ]; then
    check "every compile of the program fortifies its calls" fortified_compiles
fi

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
# The X11 class (WM_CLASS) of the unpacked program's window, on a display of
# its own, with a home and a watched folder of its own and no session bus.
# Called as `window_class || true`: a step that fails leaves the class empty.
window_class() {
    local home="$scratch/window" display="" id="" program i=0
    mkdir -p "$home/watched"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$home/display" >/dev/null 2>&1 &
    display_pid=$!
    while [ -z "$display" ] && [ $((i += 1)) -le 600 ]; do
        sleep 0.1
        display=$(cat "$home/display" 2>/dev/null)
    done
    if [ -n "$display" ]; then
        (cd "$root/usr/share/vardel" && exec env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/config" \
            LANG=C.UTF-8 DISPLAY=":$display" "$root/usr/bin/vardel" "$home/watched") >"$home/vardel.log" 2>&1 &
        program=$!
        i=0
        while [ -z "$id" ] && kill -0 "$program" 2>/dev/null && [ $((i += 1)) -le 600 ]; do
            sleep 0.1
            id=$(DISPLAY=":$display" xwininfo -root -children 2>/dev/null |
                sed -n 's/^ *\(0x[0-9a-f]*\) .*: ("vardel" ".*$/\1/p' | head -n 1)
        done
        if [ -n "$id" ]; then
            DISPLAY=":$display" xprop -id "$id" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = .*, "\(.*\)"$/\1/p'
        else
            sed 's/^/  vardel: /' "$home/vardel.log" >&2
        fi
        kill "$program" 2>/dev/null
        i=0
        while kill -0 "$program" 2>/dev/null && [ $((i += 1)) -le 100 ]; do sleep 0.1; done
        kill -KILL "$program" 2>/dev/null
        wait "$program" 2>/dev/null
    else
        echo "  Xvfb gave no display" >&2
    fi
    kill "$display_pid" 2>/dev/null
    wait "$display_pid" 2>/dev/null
    display_pid=
}
check "desktop entry $app_id.desktop is there" test -f "$entry"
check "the package ships no defaults list" \
    test -z "$(find "$root" -name '*mimeapps.list' -o -name defaults.list -o -name mimeinfo.cache)"
if [ -f "$entry" ]; then
    check "desktop-file-validate passes" validate_entry
    path_holds_icons() {
        local path
        path=$(entry_key Path)
        [ -z "$path" ] || { [ -f "$root$path/Eye.ico" ] && [ -f "$root$path/Lighton.ico" ]; }
    }
    check "Path=, where set, holds Eye.ico and Lighton.ico" path_holds_icons
    exec_program=$(entry_key Exec | awk '{print $1}')
    check "Exec= starts /usr/bin/vardel" test "$exec_program" = /usr/bin/vardel -a -x "$root$exec_program"
    check "Icon= is the application id" test "$(entry_key Icon)" = "$app_id"
    window_class >"$scratch/wm_class" || true
    wm_class=$(cat "$scratch/wm_class")
    echo "  the window's class: ${wm_class:-none}"
    check "StartupWMClass= is the window's X11 class" test -n "$wm_class" -a "$(entry_key StartupWMClass)" = "$wm_class"
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
svg_renders_square() { # drawn at its own size by librsvg, as desktops draw it
    local size
    rsvg-convert "$1" -o "$scratch/icon.png" && size=$(png_size "$scratch/icon.png") &&
        [ "${size%x*}" = "${size#*x}" ] && [ "${size%x*}" -gt 0 ]
}
icon="usr/share/icons/hicolor/scalable/apps/$app_id.svg"
check "$icon is a square SVG picture" svg_renders_square "$root/$icon"

# The same sources built again in other folders, and later: the package must
# come out the same, byte for byte.
copy_sources() { # TO: the working tree's files, as a fresh clone plus the changes would hold them
    mkdir -p "$1"
    if git -C "$source_dir" rev-parse --show-toplevel >/dev/null 2>&1; then
        (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
            tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -C "$1" -xf -
    else
        tar -C "$source_dir" --exclude=./build\* -cf - . | tar -C "$1" -xf -
    fi
}
rebuilt_same() {
    # Reached through a link, as a checkout under a linked folder is: the
    # compiler sees the folders' resolved names, the build their linked ones.
    local second="$again/linked/build" options=() key
    rm -f "$build/rebuilt.deb"
    copy_sources "$again/tree/sources"
    ln -s tree "$again/linked"
    for key in CMAKE_BUILD_TYPE CMAKE_CXX_COMPILER CMAKE_CXX_FLAGS CMAKE_EXE_LINKER_FLAGS VARDEL_WERROR \
        VARDEL_SANITIZE VARDEL_PACKAGE_MAINTAINER; do
        options+=("-D$key=$(cache_entry "$key")")
    done
    cmake -S "$again/linked/sources" -B "$second" -G "$(cache_entry CMAKE_GENERATOR)" -DVARDEL_BUILD_TESTS=OFF \
        "${options[@]}" >"$again/configure.log" 2>&1 || { cat "$again/configure.log"; return 1; }
    (make_package "$second") >"$again/build.log" 2>&1 || { tail -n 30 "$again/build.log"; return 1; }
    cmp -s "$deb" "$second/$(basename "$deb")" && return 0
    # Say where they differ: the listings, the control data, then the files.
    cp "$second/$(basename "$deb")" "$build/rebuilt.deb"
    echo "  the second build is kept as $build/rebuilt.deb"
    diff <(dpkg-deb -c "$deb") <(dpkg-deb -c "$build/rebuilt.deb")
    diff <(dpkg-deb -I "$deb") <(dpkg-deb -I "$build/rebuilt.deb")
    mkdir "$again/first" "$again/second"
    dpkg-deb -x "$deb" "$again/first"
    dpkg-deb -x "$build/rebuilt.deb" "$again/second"
    diff -r "$again/first" "$again/second"
    return 1
}
if [ "${VARDEL_REPRODUCE:-1}" != 0 ]; then
    echo "Building the package again in $again ..."
    check "a second build in other folders gives the same package, byte for byte" rebuilt_same
else
    echo "skip - the second build (VARDEL_REPRODUCE=0)"
fi

echo
if [ "$failed" -eq 0 ]; then
    echo "The package $(basename "$deb") is sound."
else
    echo "The package $(basename "$deb") has faults: see FAIL above."
fi
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
