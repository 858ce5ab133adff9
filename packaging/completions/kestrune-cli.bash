# bash completion for kestrune-cli: commands, options, and device UDIDs from
# `kestrune-cli devices`.

_kestrune_cli_udids() {
    kestrune-cli devices 2>/dev/null | cut -f1
}

_kestrune_cli_options() {
    case "$1" in
        apps) echo "--help" ;;
        devices) echo "--json --help" ;;
        hierarchy) echo "--device --runner --team-id --no-time --help" ;;
        history) echo "--dir --json --help" ;;
        netfox) echo "--since --format --help" ;;
        report) echo "--since --help" ;;
        run) echo "--workspace --flow --env --device --app --var --runner --team-id --output-dir --no-time --help" ;;
    esac
}

_kestrune_cli() {
    local cur="${COMP_WORDS[COMP_CWORD]}"
    local prev="${COMP_WORDS[COMP_CWORD-1]}"
    local commands="apps devices help hierarchy history netfox report run"
    COMPREPLY=()
    if [[ $COMP_CWORD -eq 1 ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi
    local command="${COMP_WORDS[1]}"
    case "$prev" in
        --device) mapfile -t COMPREPLY < <(compgen -W "$(_kestrune_cli_udids)" -- "$cur"); return ;;
        --workspace | --output-dir | --dir) mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
        --flow | --env | --runner) mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
        --format) mapfile -t COMPREPLY < <(compgen -W "text json har curl" -- "$cur"); return ;;
        --app | --team-id | --var | --since) return ;;
    esac
    if [[ "$cur" == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_kestrune_cli_options "$command")" -- "$cur")
        return
    fi
    case "$command" in
        apps) mapfile -t COMPREPLY < <(compgen -W "$(_kestrune_cli_udids)" -- "$cur") ;;
        help) mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur") ;;
        netfox | report) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
    esac
}

complete -o filenames -F _kestrune_cli kestrune-cli
