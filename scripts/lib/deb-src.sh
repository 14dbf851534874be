# Sourced by the scripts that cross-build a library from Debian's own source: makes sure
# apt has a deb-src entry for this release (one-line or deb822 form, as the system's own
# sources are written), as root. Uses the caller's log().
#   . scripts/lib/deb-src.sh && ensure_deb_src || exit 1
ensure_deb_src() {
    [ "$(id -u)" = 0 ] || { log "building needs root for apt-get source"; return 1; }
    . /etc/os-release
    has_src() {
        grep -qsE "^deb-src \S+ $VERSION_CODENAME main" /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
            awk -v c="$VERSION_CODENAME" 'BEGIN { RS = ""; found = 1 }
                /Types:[^\n]*deb-src/ && $0 ~ ("Suites:[^\n]*[ \t]" c "([ \t]|\n|$)") { found = 0 }
                END { exit found }' /etc/apt/sources.list.d/*.sources 2>/dev/null
    }
    if ! has_src; then
        # The release's own archive, as the system's sources name it (one-line or deb822 form).
        mirror=$(awk -v c="$VERSION_CODENAME" '$1 == "deb" && $3 == c { print $2; exit }' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
        if [ -n "$mirror" ]; then
            echo "deb-src $mirror $VERSION_CODENAME main" >/etc/apt/sources.list.d/velmorin-qt-src.list
        else
            # deb822: the release's stanza again, for sources (its URIs and Signed-By kept).
            awk -v c="$VERSION_CODENAME" 'BEGIN { RS = ""; ORS = "\n\n" }
                $0 ~ ("Suites:[^\n]*[ \t]" c "([ \t]|\n|$)") && !done {
                    n = split($0, line, "\n")
                    for (i = 1; i <= n; i++) {
                        if (line[i] ~ /^Types:/) line[i] = "Types: deb-src"
                        else if (line[i] ~ /^Suites:/) line[i] = "Suites: " c
                        else if (line[i] ~ /^Components:/) line[i] = "Components: main"
                        printf "%s\n", line[i]
                    }
                    done = 1 }' /etc/apt/sources.list.d/*.sources >/etc/apt/sources.list.d/velmorin-qt-src.sources
            [ -s /etc/apt/sources.list.d/velmorin-qt-src.sources ] ||
                { log "no apt source for $VERSION_CODENAME to take the deb-src entry from"; return 1; }
        fi
        log "added a deb-src entry for $VERSION_CODENAME main"
    fi
}
