# bash completion for tallyhawk-server: its commands and the options of each.

_tallyhawk_server()
{
    local cur prev words cword
    _init_completion || return

    case "$prev" in
    --db | --config-file)
        _filedir
        return
        ;;
    --kind)
        COMPREPLY=($(compgen -W "coupon deal topic" -- "$cur"))
        return
        ;;
    --host | --port | --http-port | --version | --every | --title | --category | --store | --date | \
        --description | --extra)
        return
        ;;
    esac

    local i command="" rest=0
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            if [[ -z $command ]]; then
                command=${words[i]}
            else
                ((rest++))
            fi
        fi
    done

    local options=""
    case "$command" in
    "")
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--version --help" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "serve post import feeds stores categories help" -- "$cur"))
        fi
        return
        ;;
    serve) options="--db --host --port --http-port --version --config-file --demo --every" ;;
    post) options="--kind --title --category --store --date --hot --description --extra --db" ;;
    import) options="--all-or-nothing --db" ;;
    feeds) options="--kind --store --category --every --title --json --db" ;;
    stores | categories) options="--db" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $command == import ]]; then
        _filedir
    elif [[ ($command == stores || $command == categories) && $rest -eq 0 ]]; then
        COMPREPLY=($(compgen -W "add" -- "$cur"))
    elif [[ $command == feeds && $rest -eq 0 ]]; then
        COMPREPLY=($(compgen -W "add list remove poll" -- "$cur"))
    fi
} &&
    complete -F _tallyhawk_server tallyhawk-server
