# Sourced by the build scripts that build a library or a program from
# Debian's own source package. The source lists are private to a work
# folder (a copy of the system's "deb" entries as "deb-src"), so the
# system's apt configuration stays as it is.
#
#   fetch_debian_source PACKAGE WORK [VERSION...]
#
# Fetches and unpacks (with Debian's patches applied) the source package
# PACKAGE into WORK, trying the given versions first, then every version the
# mirror offers, newest first (a version the mirror no longer holds is
# skipped). Prints the unpacked folder on standard output and writes the
# version fetched to WORK/version.

debian_source_apt_options() {
    local work=$1
    printf '%s\n' -o "Dir::Etc::SourceList=$work/none.list" \
        -o "Dir::Etc::SourceParts=$work/parts" \
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
}

fetch_debian_source() {
    local package=$1 work=$2
    shift 2
    rm -rf "$work"
    mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial"
    : > "$work/none.list"
    local list
    for list in /etc/apt/sources.list.d/*.sources; do
        [ -f "$list" ] || continue
        sed 's/^Types: deb$/Types: deb-src/' "$list" > "$work/parts/$(basename "$list")"
    done
    local apt_options
    mapfile -t apt_options < <(debian_source_apt_options "$work")
    apt-get "${apt_options[@]}" update -qq >&2
    local version
    for version in "$@" $(apt-cache "${apt_options[@]}" showsrc "$package" |
                          sed -n 's/^Version: //p' | sort -rV); do
        if (cd "$work" && apt-get "${apt_options[@]}" source -qq "$package=$version" >/dev/null 2>&1); then
            echo "$version" > "$work/version"
            local upstream=${version#*:}
            upstream=${upstream%-*}
            find "$work" -maxdepth 1 -type d -name "$package-$upstream*" | head -n 1
            return 0
        fi
    done
    echo "cannot fetch Debian's $package source package" >&2
    return 1
}
