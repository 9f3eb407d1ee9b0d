#!/usr/bin/env bash
# check_packaging.sh SOURCE_PACKAGING_DIR BUILD_PACKAGING_DIR BIN_DIR
set -uo pipefail
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) bin=$(cd "$3" && pwd)
failures=0 passed=0
check() {  # check NAME COMMAND...: one result line per check
    local name=$1; shift
    if output=$("$@" 2>&1); then
        passed=$((passed + 1)); echo "ok: $name"
    else
        failures=$((failures + 1)); echo "FAILED: $name"; echo "$output"
    fi
}

check "desktop entry validates" desktop-file-validate "$src/quillbox.desktop"
check "desktop entry opens files and names the MIME type" \
    grep -qxE 'Exec=quillbox %f' "$src/quillbox.desktop"
check "desktop entry MIME type" \
    grep -qx 'MimeType=application/x-outlook-express-dbx;' "$src/quillbox.desktop"
check "AppStream metainfo validates" \
    appstreamcli validate --no-net "$build/com.korvane.Quillbox.metainfo.xml"

# The MIME package installs into a database the way the package's trigger does it.
mime=$(mktemp -d)
trap 'rm -rf "$mime"' EXIT
mkdir -p "$mime/mime/packages"
cp "$src/quillbox-mime.xml" "$mime/mime/packages/quillbox.xml"
check "MIME package compiles" update-mime-database "$mime/mime"
check "MIME glob *.dbx" grep -q 'application/x-outlook-express-dbx:\*\.dbx' "$mime/mime/globs2"
check "MIME magic names the type" grep -qa 'application/x-outlook-express-dbx' "$mime/mime/magic"
check "MIME magic holds CF AD 12 FE at 0" \
    bash -c "od -An -tx1 '$mime/mime/magic' | tr -d ' \n' | grep -q '3e303d0004cfad12fe'"

# The man page is written from the program's help: it renders cleanly and lists every
# command the program has.
man=$build/quillbox-cli.1
check "man page renders without warnings" \
    bash -c "out=\$(groff -man -Tutf8 -ww -z '$man' 2>&1); [ -z \"\$out\" ] || { echo \"\$out\"; false; }"
commands=$("$bin/quillbox-cli" --help | awk '/^Subcommands:$/ {s=1; next} s && /^  [a-z]/ {print $1}')
for c in $commands; do
    check "man page documents $c" grep -q "^\.SS $c\$" "$man"
done
check "man page documents export's --format" \
    bash -c "groff -man -Tutf8 '$man' 2>/dev/null | grep -q -- '--format'"
check "GUI man page renders without warnings" \
    bash -c "out=\$(groff -man -Tutf8 -ww -z '$src/quillbox.1' 2>&1); [ -z \"\$out\" ] || { echo \"\$out\"; false; }"

# Completion, as bash calls it.
complete_words() {  # complete_words WORD... : what TAB offers for the last word
    PATH="$bin:$PATH" bash -c '
        source "$0"
        COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _quillbox_cli; printf "%s\n" "${COMPREPLY[@]}"' "$src/quillbox-cli.bash" "$@"
}
check "completion offers the commands" \
    bash -c "[ \"\$(cd / && PATH='$bin':\$PATH bash -c 'source \"$src/quillbox-cli.bash\"; COMP_WORDS=(quillbox-cli ex); COMP_CWORD=1; _quillbox_cli; echo \${COMPREPLY[*]}')\" = \"export export-store\" ]"
words=$(complete_words quillbox-cli list --j)
check "completion offers a command's options" test "$words" = "--json"
words=$(complete_words quillbox-cli export box.dbx out --format h)
check "completion offers the formats" test "$(echo $words)" = "html html-threads"
words=$(complete_words quillbox-cli --ver)
check "completion offers the global options" bash -c "echo '$words' | grep -qx -- --verbose"
check "--version" bash -c "'$bin/quillbox-cli' --version | grep -qE '^quillbox-cli [0-9]+\.[0-9]+\.[0-9]+$'"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
