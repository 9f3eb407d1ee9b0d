# bash completion for quillbox-cli. Commands and options are read from the program's own
# help, so they always match the installed version.

_quillbox_cli_words() {
    # The names in the given section of a help text ("Subcommands" or "Options").
    "$@" --help 2>/dev/null | awk -v section="$_quillbox_cli_section" '
        /^[A-Za-z]+:$/ { in_section = ($0 == section ":"); next }
        in_section && /^  [^ ]/ {
            n = split($1, names, ",")
            for (i = 1; i <= n; i++) print names[i]
        }'
}

_quillbox_cli() {
    local cur prev command i
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    command=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -*) ;;
            *) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    case $prev in
        --format)
            COMPREPLY=($(compgen -W "eml attachments html html-threads text mbox" -- "$cur"))
            return ;;
        --sort)
            if [[ $command == export ]]; then
                COMPREPLY=($(compgen -W "none date" -- "$cur"))
                return
            fi ;;
        --order)
            COMPREPLY=($(compgen -W "asc desc" -- "$cur"))
            return ;;
        --layout)
            COMPREPLY=($(compgen -W "plain thunderbird" -- "$cur"))
            return ;;
        --template)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
    esac

    local _quillbox_cli_section
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            _quillbox_cli_section=Options
        else
            _quillbox_cli_section=Subcommands
        fi
        COMPREPLY=($(compgen -W "$(_quillbox_cli_words "${COMP_WORDS[0]}")" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        _quillbox_cli_section=Options
        COMPREPLY=($(compgen -W "$(_quillbox_cli_words "${COMP_WORDS[0]}" "$command")" -- "$cur"))
        return
    fi
    # Mailboxes, stores and destinations are paths.
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
}
complete -F _quillbox_cli quillbox-cli
