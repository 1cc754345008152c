# bash completion for tallyhawk-cli: its commands, their actions and the options of each.

_tallyhawk_cli_options()
{
    local server="--host --port --time-limit"
    local view="--days --from --to --store --category --search --json"
    case "$1" in
    server-version) echo "$server --json" ;;
    fetch-items) echo "--kind --after $server --store --keywords --json" ;;
    update) echo "--yes --no --hidden --alerts $server" ;;
    watch) echo "--yes --no --hidden --alerts $server --interval" ;;
    "items list") echo "$view --hot" ;;
    "items count" | "shopping count") echo "--today" ;;
    "products add") echo "--notes --store --category --unit --price --quantity --tax --schedule --start" ;;
    "products edit") echo "--name --notes --store --category --unit --price --quantity --tax --schedule --start" ;;
    "products list" | "purchases list") echo "$view" ;;
    "lists show" | "lists update" | "lists refresh" | "config show" | "comparisons show") echo "--json" ;;
    "comparisons list") echo "--days --from --to --search --json" ;;
    site-url) echo "--open" ;;
    download) echo "--url --json --time-limit" ;;
    fetch-page) echo "--out --time-limit" ;;
    agents) echo "--config --json --page --out" ;;
    "rules test") echo "--days" ;;
    compare) echo "--category --json" ;;
    esac
}

_tallyhawk_cli_actions()
{
    case "$1" in
    items) echo "list count mark-read delete archive repair" ;;
    products) echo "add edit purchase skip delete list" ;;
    purchases) echo "list delete" ;;
    shopping) echo "archive count repair" ;;
    lists) echo "show add update refresh" ;;
    config) echo "show set autorun" ;;
    comparisons) echo "list show delete-offer" ;;
    agents) echo "url test export import" ;;
    mute) echo "store category list" ;;
    unmute) echo "store category" ;;
    rules) echo "test" ;;
    site-url) echo "root redir coupon deal item messages cbstores download webspider stores categories" ;;
    esac
}

_tallyhawk_cli()
{
    local cur prev words cword
    _init_completion || return
    local commands="server-version fetch-items update watch items products purchases shopping lists site-url
        config download fetch-page agents compare comparisons mute unmute rules"

    case "$prev" in
    --data-dir)
        _filedir -d
        return
        ;;
    --config | --page | --out)
        _filedir
        return
        ;;
    --kind)
        COMPREPLY=($(compgen -W "coupons deals topics" -- "$cur"))
        return
        ;;
    --alerts)
        COMPREPLY=($(compgen -W "all rules" -- "$cur"))
        return
        ;;
    --schedule | --host | --port | --time-limit | --after | --keywords | --interval | --days | --from | --to | \
        --store | --category | --search | --notes | --unit | --price | --quantity | --tax | --start | --name | \
        --url)
        return
        ;;
    esac

    # The command and its action: the first words that are neither options nor option values.
    local i command="" action=""
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
        --data-dir) ((i++)) ;;
        -*) ;;
        *)
            if [[ -z $command ]]; then
                command=${words[i]}
            elif [[ -z $action ]]; then
                action=${words[i]}
            fi
            ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--data-dir --version --help" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi
    local actions
    actions=$(_tallyhawk_cli_actions "$command")
    if [[ $cur == -* ]]; then
        local options
        options=$(_tallyhawk_cli_options "$command")
        [[ -n $action ]] && options="$options $(_tallyhawk_cli_options "$command $action")"
        COMPREPLY=($(compgen -W "$options --data-dir --help" -- "$cur"))
    elif [[ -n $actions && -z $action ]]; then
        COMPREPLY=($(compgen -W "$actions" -- "$cur"))
    elif [[ $command == lists && ($action == show || $action == add) ]]; then
        _filedir
    elif [[ $command == lists && $action == update ]]; then
        COMPREPLY=($(compgen -W "stores categories" -- "$cur"))
    elif [[ $command == items && ($action == list || $action == count || $action == mark-read ||
        $action == delete || $action == repair) ]]; then
        COMPREPLY=($(compgen -W "deals topics" -- "$cur"))
    elif [[ $command == shopping && $action == repair ]]; then
        COMPREPLY=($(compgen -W "products purchases" -- "$cur"))
    elif [[ $command == rules && $action == test ]]; then
        COMPREPLY=($(compgen -W "deals topics" -- "$cur"))
    elif [[ $command == agents && $action == import ]]; then
        _filedir
    elif [[ $command == download ]]; then
        _filedir
    fi
} &&
    complete -F _tallyhawk_cli tallyhawk-cli
