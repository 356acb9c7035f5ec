# bash completion for quillmarrow-cli

_quillmarrow_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="list extract create add replace remove --help --version"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        list | extract | create | add | replace | remove)
            command=${words[i]}
            break
            ;;
        esac
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi

    # The operands after the command: options first, then files.
    local operands=0 archive=""
    for ((i = i + 1; i < cword; i++)); do
        [[ ${words[i]} == -* ]] && continue
        ((operands++ == 0)) && archive=${words[i]}
    done
    case $command in
    list)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "-l --long --" -- "$cur"))
        else
            _filedir
        fi
        ;;
    extract | remove)
        if ((operands == 0)); then
            _filedir
        elif [[ $command == extract ]] && ((operands == 1)); then
            _filedir -d
        else
            # Entry names, read from the archive given.
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(quillmarrow-cli list -- "$archive" 2>/dev/null)" -- "$cur"))
        fi
        ;;
    create | add | replace)
        if [[ $command == create && $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--force --" -- "$cur"))
        else
            _filedir
        fi
        ;;
    esac
} &&
    complete -F _quillmarrow_cli quillmarrow-cli
