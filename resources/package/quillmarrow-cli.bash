# bash completion for quillmarrow-cli

_quillmarrow_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="list extract extract-each cat check create add replace remove rename update
        compact sums verify diff find --help --version"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        list | extract | extract-each | cat | check | create | add | replace | remove | rename | \
            update | compact | sums | verify | diff | find)
            command=${words[i]}
            break
            ;;
        esac
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi

    # After --exclude comes its pattern, after -a an algorithm.
    if [[ $prev == --exclude ]]; then
        return
    fi
    if [[ $command == sums && ($prev == -a || $prev == --algorithm) ]]; then
        COMPREPLY=($(compgen -W "sha256 sha1 md5 crc32" -- "$cur"))
        return
    fi
    # The operands after the command: options first, then files.
    local operands=0 archive=""
    for ((i = i + 1; i < cword; i++)); do
        [[ ${words[i]} == -* ]] && continue
        [[ ${words[i - 1]} == --exclude || ${words[i - 1]} == -a || ${words[i - 1]} == --algorithm ]] &&
            continue
        ((operands++ == 0)) && archive=${words[i]}
    done
    local selecting="-v --verbose -i --ignore-case --exclude --"
    case $command in
    list)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "-l --long --json --" -- "$cur"))
        else
            _filedir
        fi
        ;;
    extract | cat | remove | sums)
        if [[ $cur == -* ]]; then
            [[ $command == extract ]] && selecting+=" -k --keep-existing"
            [[ $command == remove ]] && selecting="-i --ignore-case --exclude --compact --"
            [[ $command == sums ]] && selecting="-a --algorithm --json -i --ignore-case --exclude --"
            COMPREPLY=($(compgen -W "$selecting" -- "$cur"))
        elif ((operands == 0)); then
            _filedir
        elif ((operands == 1)) && [[ $command == extract ]]; then
            _filedir -d
        else
            # Entry names, read from the archive given.
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(quillmarrow-cli list -- "$archive" 2>/dev/null)" -- "$cur"))
        fi
        ;;
    extract-each)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "-k --keep-existing $selecting" -- "$cur"))
        elif ((operands == 0)); then
            _filedir -d
        else
            _filedir
        fi
        ;;
    check | compact)
        _filedir
        ;;
    add | replace | update)
        if [[ $cur == -* ]]; then
            [[ $command == update ]] && COMPREPLY=($(compgen -W "-v --verbose --compact --" -- "$cur"))
            [[ $command != update ]] && COMPREPLY=($(compgen -W "--compact --" -- "$cur"))
        else
            _filedir
        fi
        ;;
    rename)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--compact --" -- "$cur"))
            return
        fi
        # The archive, then one of its entry names, then the new name (nothing to offer).
        if ((operands == 0)); then
            _filedir
        elif ((operands == 1)); then
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(quillmarrow-cli list -- "$archive" 2>/dev/null)" -- "$cur"))
        fi
        ;;
    verify | diff)
        if [[ $cur == -* ]]; then
            [[ $command == verify ]] && COMPREPLY=($(compgen -W "-v --verbose --strict --" -- "$cur"))
            [[ $command == diff ]] && COMPREPLY=($(compgen -W "--json --" -- "$cur"))
        else
            _filedir
        fi
        ;;
    find)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "-i --ignore-case -v --verbose --json --" -- "$cur"))
        elif ((operands > 0)); then
            _filedir
        fi
        ;;
    create)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--force --" -- "$cur"))
        else
            _filedir
        fi
        ;;
    esac
} &&
    complete -F _quillmarrow_cli quillmarrow-cli
